// The observed spectra of a run read through the settings, and the header of
// its likelihood file.
#include "sfsFileUtil.h"

namespace {

class ReadObservedSFS : public testing::Test {
 protected:
  std::string dir;
  TSimSettings settings;
  TObsAFS* obs = nullptr;
  TOutputFile* lhood = nullptr;

  void SetUp() override {
    resetSpectrumStatics();
    dir = freshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    settings.demeCollection.demes = new TDeme[2];
    settings.demeCollection.numDemes = 2;
    settings.demeCollection.demes[0].sampleSize = 2;
    TSimSettings::compMAF = TSimSettings::compDAF = true;
    for (const char* flavour : {"MAF", "DAF"})
      writeText(dir + "/m_" + flavour + "pop0.obs", "2 obs\nl\n1 2 3\n4 5 6\n");
  }
  void TearDown() override {
    delete obs;
    delete lhood;
    resetSpectrumStatics();
  }
  bool read(bool inSubFolder, bool readObs, bool defHeader, const std::string& lhoodName) {
    return settings.readObservedSFS(inSubFolder, readObs, obs, lhood, false, defHeader,
                                    my_string(lhoodName.c_str()));
  }
};

TEST_F(ReadObservedSFS, ReadsBothFlavoursAndWritesTheLikelihoodHeader) {
  settings.genericName = (dir + "/m").c_str();
  settings.paramNames.edit().Add(my_string("N0"));
  settings.paramNames.edit().Add(my_string("T1"));
  ASSERT_TRUE(read(false, true, true, dir + "/m.lhoods"));
  ASSERT_NE(obs, nullptr);
  EXPECT_EQ(obs->obsMAF.size(), 2u);
  EXPECT_EQ(obs->obsDAF.size(), 2u);
  // A later run keeps the spectra, rebuilds the list of sampled demes, writes no header.
  delete[] TDemeCollection::validDemes;
  TDemeCollection::validDemes = nullptr;
  ASSERT_TRUE(read(false, false, true, dir + "/m.lhoods"));
  ASSERT_NE(TDemeCollection::validDemes, nullptr);
  EXPECT_EQ(TDemeCollection::numValidDemes, 1);
  lhood->close();
  EXPECT_EQ(readText(dir + "/m.lhoods"),
            "N0\tT1\tMAFLHood_1\tMAFLHood_2\tDAFLHood_1\tDAFLHood_2\n");
}

TEST_F(ReadObservedSFS, InsideTheOutputFolderNamesStartWithTheParentFolder) {
  ASSERT_EQ(std::system(("mkdir -p '" + dir + "/m'").c_str()), 0);
  ASSERT_EQ(chdir((dir + "/m").c_str()), 0);
  settings.genericName = "m";
  ASSERT_TRUE(read(true, true, false, "m.brent_lhoods"));
  EXPECT_EQ(obs->numObs, 2);
  lhood->close();
  EXPECT_EQ(readText(dir + "/m/m.brent_lhoods"),
            "\tMAFLHood_1\tMAFLHood_2\tDAFLHood_1\tDAFLHood_2\n");
}

TEST_F(ReadObservedSFS, FailsWhenASpectrumOrTheLikelihoodFileCannotBeUsed) {
  settings.genericName = (dir + "/m").c_str();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read(false, true, false, dir + "/no/such/folder/m.lhoods"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Unable to open likelihood file"),
            std::string::npos);
  EXPECT_EQ(lhood, nullptr);

  writeText(dir + "/m_DAFpop0.obs", "2 obs\nl\n1 2 3\n4 5\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(read(false, true, false, dir + "/m.lhoods"));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(lhood, nullptr);
  EXPECT_FALSE(fileExists(dir + "/m.lhoods"));
}

}  // namespace
