// Spectrum files written from small hand-built spectra, compared byte for byte
// with the golden files of tests/data/sfs/golden.
#include <dirent.h>

#include <set>

#include "sfsFileUtil.h"

namespace {

const std::string kGolden = std::string(TEST_DATA_DIR) + "/sfs/golden";

// Observed 1-D and joint spectra of demes of 1 and 2 genes.
void fillObserved(AFS& sfs) {
  fill(sfs.jointAFS[0][0], {7, 3});
  fill(sfs.jointAFS[1][1], {5, 4, 1.5});
  fill(sfs.jointAFS[1][0], {4, 1, 2, 2.5, 0.5, 0});
}

void fillExpected(AFS& sfs) {
  fill(sfs.jointAFS[0][0], {0.9, 0.1});
  fill(sfs.jointAFS[1][1], {0.8, 0.15, 0.05});
  fill(sfs.jointAFS[1][0], {0.7, 0.1, 0.1, 0.05, 0.04, 1.5e-9});
}

std::set<std::string> filesIn(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

class SfsWriters : public testing::Test {
 protected:
  void SetUp() override { resetSpectrumStatics(); }
  void TearDown() override { resetSpectrumStatics(); }
};

void writeEveryLayout(const std::string& dir) {
  SampleModel model({1, 2});
  const TDemeCollection& demes = model.demes;

  AFS obsDAF(false), obsMAF(true), expDAF(false), expMAF(true);
  for (AFS* s : {&obsDAF, &obsMAF, &expDAF, &expMAF}) s->createArrays(demes);
  fillObserved(obsDAF);
  fillObserved(obsMAF);
  fillExpected(expDAF);
  fillExpected(expMAF);
  EXPECT_TRUE(obsDAF.printAllPopAFS(dir, "run", 1, true, 1, false, 0, false, 3, -3.5));
  EXPECT_TRUE(obsDAF.printAllPairwiseAFS(dir, "run", 1, true, 1, false, 0, false, 3, -3.5));
  EXPECT_TRUE(obsDAF.printAllPopAFS4dadi(dir, "run", 0, true, 1, false, false));
  EXPECT_TRUE(obsDAF.printAllPairwiseAFS4dadi(dir, "run", 0, true, 1, false, false));
  EXPECT_TRUE(obsMAF.printAllPopAFS(dir, "run", 0, true, 1, false, 1, false, 0, -1.25));
  EXPECT_TRUE(obsMAF.printAllPairwiseAFS(dir, "run", 0, true, 1, false, 1, true, 0, -1.25));
  EXPECT_TRUE(obsMAF.printAllPopAFS4dadi(dir, "run", 0, true, 1, false, false));
  EXPECT_TRUE(obsMAF.printAllPairwiseAFS4dadi(dir, "run", 0, true, 1, false, false));
  EXPECT_TRUE(expDAF.printAllPopAFS(dir, "run", 1, false, 1, true, 0, false, 0, 0.0));
  EXPECT_TRUE(expDAF.printAllPairwiseAFS(dir, "run", 1, false, 1, true, 0, false, 0, 0.0));
  EXPECT_TRUE(expMAF.printAllPopAFS(dir, "run", 0, false, 1, true, 0, false, 0, 0.0));
  EXPECT_TRUE(expMAF.printAllPairwiseAFS(dir, "run", 0, false, 1, true, 0, false, 0, 0.0));

  multiSFS mObsDAF(model.demes, false), mObsMAF(model.demes, true);
  multiSFS mExpDAF(model.demes, false), mExpMAF(model.demes, true);
  mObsDAF.multiJointSFS = mObsMAF.multiJointSFS = {100.7, 3, 2.5, 4, 1, 0};
  mExpDAF.multiJointSFS = mExpMAF.multiJointSFS = {0, 0.25, 1.5e-9, 0.5, 0.25, 0};
  EXPECT_TRUE(mObsDAF.printSFS(dir, "run", 1, true, 2, false, 0, false, 0, -10.0, false));
  EXPECT_TRUE(mObsDAF.printSFS(dir, "run", 1, true, 2, false, 0, false, 0, -10.0, true));
  EXPECT_TRUE(mObsMAF.printSFS(dir, "run", 0, true, 5, false, 1, true, 0, -10.0, false));
  EXPECT_TRUE(mExpMAF.printSFS(dir, "run", 1, false, 1, false, 0, false, 2, -2.5, false));
  EXPECT_TRUE(mExpDAF.printSFS(dir, "run", 0, false, 1, false, 0, false, 0, 0.0, false));

  for (bool minor : {false, true}) {
    AFS pooled(minor);
    pooled.createPooledArray(demes);
    fill(pooled.jointAFS[0][0], {20, 5, 2.5, 1});
    EXPECT_TRUE(pooled.printAllPopAFS(dir, "run_pooled", 1, true, 1, false, 0, false, 0, 0.0));
  }

  SampleModel counts({1, 2});
  TDemeCollection& c = counts.demes;
  c.totNumSites = 1000;
  c.numUsedPolymSites = 40;
  c.numMultiAllelicSites = 2;
  c.numAncestralOnlySites = 950;
  c.numFixedDerivedSites = 8;
  for (int k = 0; k < 12; ++k) c.ascertainedSites.Add(k);
  EXPECT_TRUE(AFS::printNumMonoAndPolymSites(dir, "run", 1, 3, 0, false, c));
  EXPECT_TRUE(AFS::printNumMonoAndPolymSites(dir, "run", 0, 3, 0, true, c));

  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedSize = 10;
  EXPECT_TRUE(AFS::printNumMonoAndPolymSites(dir, "run", 0, 1, 1, false, c));
  SampleModel oneDeme({0, 2});
  AFS asc(false);
  asc.createArrays(oneDeme.demes);
  fill(asc.jointAFS[1][1], {5, 4, 1.5});
  EXPECT_TRUE(asc.printAllPopAFS(dir, "run", 0, true, 1, false, 0, false, 0, 0.0));
  TSimSettings::SNPascertainment = false;

  AFS::foldedSFS = true;
  SampleModel three({3});
  AFS folded(false);
  folded.createArrays(three.demes);
  fill(folded.jointAFS[0][0], {50, 6, 3, 1});
  EXPECT_TRUE(folded.printAllPopAFS(dir, "fold", 1, true, 1, false, 0, false, 0, 0.0));
  AFS::foldedSFS = false;
}

TEST_F(SfsWriters, EveryLayoutMatchesItsGoldenFile) {
  const std::string dir = freshFolder("golden");
  writeEveryLayout(dir);
  const std::set<std::string> expected = filesIn(kGolden);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(filesIn(dir), expected);
  for (const std::string& name : expected)
    EXPECT_EQ(readText(dir + "/" + name), readText(kGolden + "/" + name)) << name;
}

TEST_F(SfsWriters, AppendedDataSetsFollowTheHeaderDirectly) {
  const std::string dir = freshFolder("append");
  SampleModel model({2});
  AFS sfs(false);
  sfs.createArrays(model.demes);
  fill(sfs.jointAFS[0][0], {10, 6, 4});
  ASSERT_TRUE(sfs.printAllPopAFS(dir, "a", 1, true, 2, false, 0, false, 0, -3.5));
  fill(sfs.jointAFS[0][0], {10, 6.5, 4});
  ASSERT_TRUE(sfs.printAllPopAFS(dir, "a", 0, true, 2, false, 0, true, 0, -3.5));
  EXPECT_EQ(readText(dir + "/a_DAFpop0.obs"),
            "2 observations (lhood = -3.5000000000)\nd0_0\td0_1\td0_2\t\n10\t6\t4\t\n10\t6.5\t4\t\n");
  // Without append the file starts again.
  ASSERT_TRUE(sfs.printAllPopAFS(dir, "a", 0, true, 2, false, 0, false, 0, -3.5));
  EXPECT_EQ(readText(dir + "/a_DAFpop0.obs"), "10\t6.5\t4\t\n");
}

TEST_F(SfsWriters, ExpectedSpectraAreNotWrittenInOneDataSetPerFileMode) {
  const std::string dir = freshFolder("onefile");
  SampleModel model({1, 2});
  AFS sfs(false);
  sfs.createArrays(model.demes);
  EXPECT_TRUE(sfs.printAllPopAFS(dir, "e", 1, false, 1, true, 1, false, 0, 0.0));
  EXPECT_TRUE(sfs.printAllPairwiseAFS(dir, "e", 1, false, 1, true, 1, false, 0, 0.0));
  EXPECT_TRUE(filesIn(dir).empty());
}

TEST_F(SfsWriters, AFileThatCannotBeOpenedIsReportedToTheCaller) {
  const std::string dir = freshFolder("unopened") + "/no/such/folder";
  SampleModel model({1, 2});
  AFS sfs(false);
  sfs.createArrays(model.demes);
  multiSFS multi(model.demes, false);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(sfs.printAllPopAFS(dir, "x", 1, true, 1, false, 0, false, 0, 0.0));
  EXPECT_FALSE(sfs.printAllPairwiseAFS(dir, "x", 1, true, 1, false, 0, false, 0, 0.0));
  EXPECT_FALSE(sfs.printAllPopAFS4dadi(dir, "x", 0, true, 1, false, false));
  EXPECT_FALSE(multi.printSFS(dir, "x", 1, true, 1, false, 0, false, 0, 0.0, false));
  EXPECT_FALSE(AFS::printNumMonoAndPolymSites(dir, "x", 1, 1, 0, false, model.demes));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Unable to open output file \"" + dir + "/x_DAFpop0.obs\""), std::string::npos)
      << err;
}

}  // namespace
