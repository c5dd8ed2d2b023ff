// Observed spectrum files: round trips through the writers, the file names of
// every flavour, and a table of malformed files with their messages.
#include <cstdlib>
#include <filesystem>

#include "sfsFileUtil.h"

namespace {

class ObsRead : public testing::Test {
 protected:
  void SetUp() override { resetSpectrumStatics(); }
  void TearDown() override { resetSpectrumStatics(); }
};

std::vector<double> cells(const sfsTable& t) { return t.cells; }

TEST_F(ObsRead, JointSpectraRoundTripThroughTheWriter) {
  const std::string dir = freshFolder("roundtrip_joint");
  SampleModel model({1, 0, 2});  // deme 1 has no sample
  AFS written(false);
  written.createArrays(model.demes);
  const std::vector<std::vector<double>> tables = {{4, 1, 2, 2.5, 0.5, 0}, {9, 0, 1, 3, 0, 7}};
  for (size_t k = 0; k < tables.size(); ++k) {
    fill(written.jointAFS[2][0], tables[k]);
    ASSERT_TRUE(written.printAllPairwiseAFS(dir, "t", k == 0, true, 2, false, 0, k > 0, 0, -1));
  }
  TObsAFS obs;
  testing::internal::CaptureStderr();
  ASSERT_EQ(obs.readObsAFS(dir + "/t", model.demes, false), 1)
      << testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(obs.numObs, 2);
  ASSERT_EQ(obs.obsDAF.size(), 2u);
  EXPECT_TRUE(obs.obsMAF.empty());
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(cells(obs.obsDAF[k](2, 0)), tables[k]);
    EXPECT_EQ(cells(obs.obsDAF[k].jointAFS[0][0]), std::vector<double>({0, 0}));
    EXPECT_FALSE(obs.obsDAF[k].isMAF);
  }
  // Totals of the last table read, whole sites kept at each addition.
  EXPECT_EQ(AFS::totObsNumSites, 20);
  EXPECT_EQ(AFS::totObsNumPolymSites, 11);
}

TEST_F(ObsRead, OneDimensionalMultiAndPooledSpectraRoundTrip) {
  const std::string dir = freshFolder("roundtrip_other");
  SampleModel one({3});
  AFS pop(false);
  pop.createArrays(one.demes);
  fill(pop.jointAFS[0][0], {50, 6.5, 3, 1});
  ASSERT_TRUE(pop.printAllPopAFS(dir, "p", 1, true, 1, false, 0, false, 0, 0));

  SampleModel two({1, 2});
  multiSFS multi(two.demes, true);
  multi.multiJointSFS = {100, 3, 2.5, 0.5, 1, 0};
  ASSERT_TRUE(multi.printSFS(dir, "p", 1, true, 1, false, 0, false, 0, 0, false));

  AFS pooled(false);
  pooled.createPooledArray(two.demes);
  fill(pooled.jointAFS[0][0], {20, 5, 2.5, 1});
  ASSERT_TRUE(pooled.printAllPopAFS(dir, "pool", 1, true, 1, false, 0, false, 0, 0));
  ASSERT_EQ(std::rename((dir + "/pool_DAFpop0.obs").c_str(), (dir + "/p_MAFpooled.obs").c_str()), 0);

  TObsAFS a, b, c;
  ASSERT_EQ(a.readObsAFS(dir + "/p", one.demes, false), 1);
  EXPECT_EQ(cells(a.obsDAF[0].jointAFS[0][0]), cells(pop.jointAFS[0][0]));

  resetSpectrumStatics();
  ASSERT_TRUE(b.readObsMultiSFS(dir + "/p", two.demes, true));
  ASSERT_EQ(b.obsMultiMAF.size(), 1u);
  EXPECT_EQ(b.obsMultiMAF[0].multiJointSFS, multi.multiJointSFS);
  EXPECT_TRUE(b.obsMultiMAF[0].isMAF);

  ASSERT_TRUE(c.readPooledObsAFS(dir + "/p", two.demes, true));
  ASSERT_EQ(c.obsMAF.size(), 1u);
  EXPECT_EQ(cells(c.obsMAF[0].jointAFS[0][0]), cells(pooled.jointAFS[0][0]));
  EXPECT_FALSE(c.obsMAF[0].isMAF);
}

TEST_F(ObsRead, CountComesFromTheOneDimensionalFileWhenPresent) {
  const std::string dir = freshFolder("countfile");
  SampleModel model({1, 1});
  writeText(dir + "/m_DAFpop0.obs", "2 observations\nd0_0\td0_1\n3\t1\n");
  writeText(dir + "/m_jointDAFpop1_0.obs",
            "2 observations\n\td0_0\td0_1\nd1_0\t1\t2\nd1_1\t3\t4\nd1_0\t5\t6\nd1_1\t7\t8\n");
  TObsAFS obs;
  ASSERT_EQ(obs.readObsAFS(dir + "/m", model.demes, false), 1);
  ASSERT_EQ(obs.numObs, 2);
  EXPECT_EQ(cells(obs.obsDAF[1](1, 0)), std::vector<double>({5, 6, 7, 8}));
}

TEST_F(ObsRead, FoldedModeReadsMinorAlleleFilesAndFoldsDerivedRequests) {
  const std::string dir = freshFolder("folded");
  AFS::foldedSFS = true;
  SampleModel model({3});
  writeText(dir + "/f_MAFpop0.obs", "1 observations\nd0_0\td0_1\td0_2\td0_3\n50\t6\t3\t1\n");
  TObsAFS obs;
  ASSERT_EQ(obs.readObsAFS(dir + "/f", model.demes, true), 1);
  ASSERT_EQ(obs.readObsAFS(dir + "/f", model.demes, false), 1);
  EXPECT_EQ(cells(obs.obsMAF[0].jointAFS[0][0]), std::vector<double>({50, 6, 3, 1}));
  EXPECT_EQ(cells(obs.obsDAF[0].jointAFS[0][0]), std::vector<double>({51, 9, 0, 0}));
}

TEST_F(ObsRead, AscertainedNamesCarryThePanelSize) {
  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedSize = 10;
  EXPECT_EQ(TObsAFS::jointFileName("test", false, 1, 0), "test_jointDAFpop1_0-asc10.obs");
  EXPECT_EQ(TObsAFS::popFileName("../test", true, 2), "../test_MAFpop2-asc10.obs");
  EXPECT_EQ(TObsAFS::pooledFileName("test", false), "test_DAFpooled-asc10.obs");
  EXPECT_EQ(TObsAFS::multiFileName("test", true), "test_MSFS-asc10.obs");
}

TEST_F(ObsRead, MultiDimensionalSummariesAreKeptPerObservation) {
  const std::string dir = freshFolder("summaries");
  SampleModel model({1, 2});
  writeText(dir + "/s_DSFS.obs",
            "2 observations\n2\t1\t2\n100\t0.5\t2\t0\t1\t3\n80\t4\t0\t0.25\t0\t1\n");
  TObsAFS obs;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(obs.readObsMultiSFS(dir + "/s", model.demes, false));
  // No word of several observations; only the sites of entry 5, fixed in the
  // sample, are named, once per observation.
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("more than one observed SFS"), std::string::npos) << err;
  EXPECT_NE(err.find("observation 1: sites stand in cells that no genealogy can give: 3 sites in "
                     "entry 5 (counts 1 2)"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("observation 2: sites stand in cells that no genealogy can give: 1 site in "
                     "entry 5 (counts 1 2)"),
            std::string::npos)
      << err;
  ASSERT_EQ(obs.multiDAFSummary.size(), 2u);
  EXPECT_EQ(obs.multiDAFSummary[0].validEntries, std::vector<int>({0, 2, 4, 5}));
  EXPECT_DOUBLE_EQ(obs.multiDAFSummary[0].totNumObsSites, 106.5);
  EXPECT_DOUBLE_EQ(obs.multiDAFSummary[0].totInvalidObsSites, 0.5);
  EXPECT_EQ(obs.multiDAFSummary[1].validEntries, std::vector<int>({0, 1, 5}));
  // The installed list is the first observation's, not the last read.
  ASSERT_NE(multiSFS::validSFSEntries, nullptr);
  EXPECT_EQ(multiSFS::validSFSEntries->numElems, 4);
  EXPECT_DOUBLE_EQ(multiSFS::totNumObsSites, 106.5);
  ASSERT_TRUE(obs.selectMultiObs(false, 1));
  EXPECT_EQ(multiSFS::validSFSEntries->numElems, 3);
  EXPECT_EQ((*multiSFS::validSFSEntries)[2], 5);
  EXPECT_DOUBLE_EQ(multiSFS::totInvalidObsSites, 0.25);
  EXPECT_FALSE(obs.selectMultiObs(false, 2));
  // Freed by someone else, the list comes back from the observed data.
  delete multiSFS::validSFSEntries;
  multiSFS::validSFSEntries = nullptr;
  obs.selectDefaultMultiObs();
  ASSERT_NE(multiSFS::validSFSEntries, nullptr);
  EXPECT_EQ(multiSFS::validSFSEntries->numElems, 4);

  AFS::minValidSFSEntry = 0.0;  // a zero entry never counts as valid
  TObsAFS again;
  ASSERT_TRUE(again.readObsMultiSFS(dir + "/s", model.demes, false));
  EXPECT_EQ(again.multiDAFSummary[0].validEntries, std::vector<int>({0, 1, 2, 4, 5}));
}

TEST_F(ObsRead, AReReadWithFewerObservationsResizesTheSpectra) {
  const std::string dir = freshFolder("reread");
  SampleModel model({2});
  writeText(dir + "/r_DAFpop0.obs", "3 obs\nlabels\n1 2 3\n4 5 6\n7 8 9\n");
  TObsAFS obs;
  ASSERT_EQ(obs.readObsAFS(dir + "/r", model.demes, false), 1);
  ASSERT_EQ(obs.obsDAF.size(), 3u);
  writeText(dir + "/r_DAFpop0.obs", "1 obs\nlabels\n4 4 4\n");
  obs.beginRead();
  ASSERT_EQ(obs.readObsAFS(dir + "/r", model.demes, false), 1);
  EXPECT_EQ(obs.numObs, 1);
  ASSERT_EQ(obs.obsDAF.size(), 1u);
  EXPECT_EQ(cells(obs.obsDAF[0].jointAFS[0][0]), std::vector<double>({4, 4, 4}));
}

TEST_F(ObsRead, BlankLinesMayEndAFile) {
  const std::string dir = freshFolder("blankEnd");
  SampleModel model({1, 1});
  writeText(dir + "/e_jointDAFpop1_0.obs", "1 obs\nl\nd1_0\t1\t2\nd1_1\t3\t4\n\n \t\r\n\n");
  TObsAFS obs;
  ASSERT_EQ(obs.readObsAFS(dir + "/e", model.demes, false), 1);
  EXPECT_EQ(cells(obs.obsDAF[0](1, 0)), std::vector<double>({1, 2, 3, 4}));
}

TEST_F(ObsRead, CarriageReturnsCountAsWhiteSpace) {
  const std::string dir = freshFolder("crlf");
  SampleModel model({1, 1});
  writeText(dir + "/w_jointDAFpop1_0.obs", "1 obs\r\n\td0_0\td0_1\r\nd1_0\t1\t2\r\nd1_1\t3\t4\r\n");
  TObsAFS obs;
  ASSERT_EQ(obs.readObsAFS(dir + "/w", model.demes, false), 1);
  EXPECT_EQ(cells(obs.obsDAF[0](1, 0)), std::vector<double>({1, 2, 3, 4}));
}

TEST_F(ObsRead, AMissingPooledFileIsNamedAndNoFileIsWritten) {
  const std::string dir = freshFolder("whereami");
  ASSERT_EQ(chdir(dir.c_str()), 0);
  SampleModel model({1, 2});
  TObsAFS obs;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(obs.readPooledObsAFS("gone", model.demes, false));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "\nObserved data file (\"gone_DAFpooled.obs\") does not seem to be present\n"
            "Unable to compute the likelihood \n");
  EXPECT_FALSE(std::filesystem::exists(dir + "/where.ami"));  // a refused run writes nothing
}

// ------------------------------------------------------------------ malformed files

enum class Layout { OneDim, Joint, Multi, Pooled };

struct Malformed {
  const char* name;
  Layout layout;
  std::vector<std::pair<std::string, std::string>> files;  // suffix after the prefix, text
  const char* message;                                        // expected on the error stream
};

bool readAs(TObsAFS& obs, Layout layout, const std::string& prefix, TDemeCollection& demes) {
  switch (layout) {
    case Layout::OneDim:
    case Layout::Joint:
      return obs.readObsAFS(prefix, demes, false) == 1;
    case Layout::Multi:
      return obs.readObsMultiSFS(prefix, demes, false);
    case Layout::Pooled:
      return obs.readPooledObsAFS(prefix, demes, false);
  }
  return false;
}

const std::string kHead2 = "2 observations\nd0_0\td0_1\td0_2\n";

const Malformed kMalformed[] = {
    {"count0", Layout::OneDim, {{"_DAFpop0.obs", "0 observations\nl\n1 2 3\n"}},
     "_DAFpop0.obs\", line 1: the number of observations (\"0\") must be an integer of at least 1"},
    {"countText", Layout::OneDim, {{"_DAFpop0.obs", "observations\nl\n1 2 3\n"}},
     "(\"observations\") must be an integer of at least 1"},
    {"countReal", Layout::Multi, {{"_DSFS.obs", "2.5 observations\n1\t2\n1 2 3\n"}},
     "(\"2.5\") must be an integer of at least 1"},
    {"emptyFile", Layout::Pooled, {{"_DAFpooled.obs", ""}},
     "(\"\") must be an integer of at least 1"},
    {"tooFew", Layout::OneDim, {{"_DAFpop0.obs", kHead2 + "1 2 3\n4 5\n"}},
     "_DAFpop0.obs\", observation 2, line 4: the spectrum of deme 0 (2 genes) must hold 3 "
     "values, found 2"},
    {"tooMany", Layout::OneDim, {{"_DAFpop0.obs", kHead2 + "1 2 3 4\n"}},
     "observation 1, line 3: the spectrum of deme 0 (2 genes) must hold 3 values, found 4"},
    {"negative", Layout::OneDim, {{"_DAFpop0.obs", kHead2 + "1 -2 3\n"}},
     "line 3: value \"-2\" of the spectrum of deme 0 (2 genes) is not a finite number of at "
     "least 0"},
    {"nan", Layout::Pooled, {{"_DAFpooled.obs", "1 obs\nl\n1 nan 3\n"}},
     "value \"nan\" of the pooled spectrum (2 genes) is not a finite number"},
    {"infinite", Layout::OneDim, {{"_DAFpop0.obs", "1 obs\nl\n1 inf 3\n"}},
     "value \"inf\" of the spectrum"},
    {"text", Layout::OneDim, {{"_DAFpop0.obs", "1 obs\nl\n1 2 x3\n"}}, "value \"x3\""},
    {"missingObservation", Layout::OneDim, {{"_DAFpop0.obs", kHead2 + "1 2 3\n"}},
     "observation 2, line 3: the file ends before this observation"},
    {"noHeader", Layout::OneDim, {{"_DAFpop0.obs", "1 obs\n"}},
     "observation 1, line 1: the file ends inside its 2 header lines"},
    {"jointNoLabel", Layout::Joint,
     {{"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\n3 4 5\n"}},
     "_jointDAFpop1_0.obs\", observation 1, line 4: row 1 of the joint table of demes 1 and 0 "
     "does not begin with its label (such as d1_1)"},
    {"jointRepeatedHeader", Layout::Joint,
     {{"_jointDAFpop1_0.obs", "2 obs\nl\nd1_0 1 2\nd1_1 3 4\n2 obs\nl\nd1_0 1 2\nd1_1 3 4\n"}},
     "observation 2, line 5: row 0 of the joint table of demes 1 and 0 does not begin with its "
     "label"},
    {"jointShortRow", Layout::Joint, {{"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\nd1_1 3\n"}},
     "line 4: row 1 of the joint table of demes 1 and 0 must hold 2 values, found 1"},
    {"jointMissingRow", Layout::Joint, {{"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\n"}},
     "the file ends before row 1 of the joint table"},
    {"dataFileMissing", Layout::Joint, {{"_DAFpop0.obs", "1 obs\nl\n1 2\n"}},
     "Error! Unable to open file \""},
    {"dataFileCountDiffers", Layout::Joint,
     {{"_DAFpop0.obs", "2 obs\nl\n1 2\n1 2\n"},
      {"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\nd1_1 3 4\n"}},
     "_jointDAFpop1_0.obs\" announces 1 observations, but 2 were announced by"},
    {"multiDimensions", Layout::Multi, {{"_DSFS.obs", "1 obs\n2\t2\t2\n1 2 3 4 5 6\n"}},
     "_DSFS.obs\", observation 1, line 2: the number of demes and sample sizes (\"2\t2\t2\") "
     "differ from those of the model (2 1 2)"},
    {"multiDemes", Layout::Multi, {{"_DSFS.obs", "1 obs\n1\t1\n1 2 3 4 5 6\n"}},
     "differ from those of the model (2 1 2)"},
    {"multiTooFew", Layout::Multi, {{"_DSFS.obs", "2 obs\n2 1 2\n1 2 3 4 5 6\n1 2 3\n"}},
     "observation 2, line 4: the file ends after 3 of the 6 entries of this observation"},
    {"multiTooMany", Layout::Multi, {{"_DSFS.obs", "1 obs\n2 1 2\n1 2 3 4 5 6 7\n"}},
     "line 3: the observation holds more than the 6 entries of the model"},
    {"multiNegative", Layout::Multi, {{"_DSFS.obs", "1 obs\n2 1 2\n1 2\n3 -4 5 6\n"}},
     "line 4: entry 3 (\"-4\") is not a finite number of at least 0"},
    {"multiMissing", Layout::Multi, {}, "Error! Unable to open multiSFS file \""},
    // Data made for a larger sample, or more data than announced, are refused.
    {"jointExtraRow", Layout::Joint,
     {{"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\nd1_1 3 4\nd1_2 5 6\n"}},
     "_jointDAFpop1_0.obs\", observation 1, line 5: row \"d1_2\" lies beyond the 2 rows (d1_0 "
     "to d1_1) of deme 1, which has 1 sampled genes in the model"},
    {"jointExtraRowBeforeNextObservation", Layout::Joint,
     {{"_jointDAFpop1_0.obs", "2 obs\nl\nd1_0 1 2\nd1_1 3 4\nd1_2 5 6\nd1_0 1 2\nd1_1 3 4\n"}},
     "observation 1, line 5: row \"d1_2\" lies beyond the 2 rows"},
    {"jointExtraTable", Layout::Joint,
     {{"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\nd1_1 3 4\nx 1 2\n"}},
     "observation 1, line 5: the file holds more than the 1 observation(s) announced on its "
     "first line (the joint table of demes 1 and 0 has 2 rows, for the 1 genes of deme 1): the "
     "line \"x 1 2\" follows the last one"},
    {"oneDimExtraLine", Layout::OneDim, {{"_DAFpop0.obs", kHead2 + "1 2 3\n4 5 6\n\n7 8 9\n"}},
     "_DAFpop0.obs\", observation 2, line 6: the file holds more than the 2 observation(s) "
     "announced on its first line (the spectrum of deme 0 has 3 entries, for 2 genes): the line "
     "\"7 8 9\" follows the last one"},
    {"pooledExtraLine", Layout::Pooled, {{"_DAFpooled.obs", "1 obs\nl\n1 2 3\n4 5 6\n"}},
     "line 4: the file holds more than the 1 observation(s) announced on its first line (the "
     "pooled spectrum has 3 entries, for 2 genes)"},
    {"multiExtraEntries", Layout::Multi, {{"_DSFS.obs", "1 obs\n2 1 2\n1 2 3 4 5 6\n7\n"}},
     "line 4: the file holds more than the 1 observation(s) announced on its first line (the "
     "model has 6 entries per observation)"},
    // An absurd count takes no memory beyond the observations the file holds.
    {"absurdCount", Layout::OneDim, {{"_DAFpop0.obs", "2000000000 obs\nl\n1 2 3\n"}},
     "_DAFpop0.obs\", observation 2, line 3: the file ends before this observation"},
    {"absurdCountMulti", Layout::Multi, {{"_DSFS.obs", "2000000000 obs\n2 1 2\n1 2 3 4 5 6\n"}},
     "_DSFS.obs\", observation 2, line 3: the file ends after 0 of the 6 entries"},
    {"absurdCountJoint", Layout::Joint,
     {{"_jointDAFpop1_0.obs", "2147483647 obs\nl\nd1_0 1 2\nd1_1 3 4\n"}},
     "observation 2, line 4: the file ends before row 0 of the joint table"},
    // Counts that a double no longer holds exactly (from 2^53 on), alone or added up.
    {"oneDim1e30", Layout::OneDim, {{"_DAFpop0.obs", kHead2 + "1 2 3\n4 1e30 6\n"}},
     "_DAFpop0.obs\", observation 2, line 4: value \"1e30\" of the spectrum of deme 0 (2 genes) "
     "reaches 2^53 (9007199254740992), beyond which counts are not held exactly"},
    {"oneDim2To63", Layout::OneDim, {{"_DAFpop0.obs", kHead2 + "9223372036854775808 2 3\n"}},
     "observation 1, line 3: value \"9223372036854775808\" of the spectrum of deme 0 (2 genes) "
     "reaches 2^53"},
    {"oneDim2To53", Layout::OneDim, {{"_DAFpop0.obs", "1 obs\nl\n1 9007199254740992 0\n"}},
     "value \"9007199254740992\" of the spectrum of deme 0 (2 genes) reaches 2^53"},
    {"oneDimTotal", Layout::OneDim,
     {{"_DAFpop0.obs", "1 obs\nl\n4503599627370496 4503599627370495 1\n"}},
     "observation 1, line 3: the running total of the spectrum of deme 0 (2 genes) reaches 2^53 "
     "(9007199254740992) at value \"1\", beyond which counts are not held exactly"},
    {"pooled1e30", Layout::Pooled, {{"_DAFpooled.obs", "1 obs\nl\n1e30 2 3\n"}},
     "value \"1e30\" of the pooled spectrum (2 genes) reaches 2^53"},
    {"joint1e30", Layout::Joint, {{"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\nd1_1 1e30 4\n"}},
     "_jointDAFpop1_0.obs\", observation 1, line 4: value \"1e30\" of row 1 of the joint table "
     "of demes 1 and 0 reaches 2^53 (9007199254740992), beyond which counts are not held "
     "exactly"},
    {"joint2To63", Layout::Joint,
     {{"_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 9223372036854775808 2\nd1_1 3 4\n"}},
     "line 3: value \"9223372036854775808\" of row 0 of the joint table of demes 1 and 0 "
     "reaches 2^53"},
    {"jointTotal", Layout::Joint,
     {{"_jointDAFpop1_0.obs",
       "1 obs\nl\nd1_0 3333333333333333 3333333333333333\nd1_1 3333333333333333 4\n"}},
     "observation 1, line 4: the running total of the joint table of demes 1 and 0 reaches 2^53 "
     "(9007199254740992) at value \"3333333333333333\" of row 1, beyond which counts are not "
     "held exactly"},
    {"multi1e30", Layout::Multi, {{"_DSFS.obs", "1 obs\n2 1 2\n1 2\n3 1e30 5 6\n"}},
     "_DSFS.obs\", observation 1, line 4: entry 3 (\"1e30\") reaches 2^53 (9007199254740992), "
     "beyond which counts are not held exactly"},
    {"multi2To63", Layout::Multi, {{"_DSFS.obs", "1 obs\n2 1 2\n9223372036854775808 2 3 4 5 6\n"}},
     "line 3: entry 0 (\"9223372036854775808\") reaches 2^53"},
    {"multiTotal", Layout::Multi,
     {{"_DSFS.obs", "1 obs\n2 1 2\n1 2 3\n4503599627370496 4503599627370480 10\n"}},
     "observation 1, line 4: the running total of this observation reaches 2^53 "
     "(9007199254740992) at entry 5 (\"10\"), beyond which counts are not held exactly"},
};

class MalformedFile : public ObsRead, public testing::WithParamInterface<Malformed> {};

TEST_P(MalformedFile, StopsTheReadWithAMessageNamingFileAndObservation) {
  const Malformed& c = GetParam();
  const std::string dir = freshFolder(std::string("bad_") + c.name);
  for (const auto& f : c.files) writeText(dir + "/b" + f.first, f.second);
  // 1-D: one deme of 2 genes; joint and pooled: two demes of 1 gene; multi: 1 and 2 genes.
  const std::vector<int> sizes = c.layout == Layout::OneDim  ? std::vector<int>{2}
                                 : c.layout == Layout::Multi ? std::vector<int>{1, 2}
                                                             : std::vector<int>{1, 1};
  SampleModel model(sizes);
  TObsAFS obs;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(readAs(obs, c.layout, dir + "/b", model.demes));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(c.message), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Table, MalformedFile, testing::ValuesIn(kMalformed),
                         [](const testing::TestParamInfo<Malformed>& p) { return p.param.name; });

TEST_F(ObsRead, MinorAndDerivedFilesMustHoldTheSameNumberOfObservations) {
  const std::string dir = freshFolder("agree");
  SampleModel model({2});
  writeText(dir + "/g_MAFpop0.obs", "2 obs\nl\n1 2 3\n4 5 6\n");
  writeText(dir + "/g_DAFpop0.obs", "1 obs\nl\n1 2 3\n");
  TObsAFS obs;
  obs.beginRead();
  ASSERT_EQ(obs.readObsAFS(dir + "/g", model.demes, true), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(obs.readObsAFS(dir + "/g", model.demes, false), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("g_DAFpop0.obs\" holds 1 observations but \"" + dir +
                     "/g_MAFpop0.obs\" holds 2"),
            std::string::npos)
      << err;
}

TEST_F(ObsRead, ObservedSpectraAreCheckedAgainstALaterModel) {
  const std::string dir = freshFolder("later");
  SampleModel model({1, 1});
  writeText(dir + "/k_jointDAFpop1_0.obs", "1 obs\nl\nd1_0 1 2\nd1_1 3 4\n");
  TObsAFS obs;
  ASSERT_EQ(obs.readObsAFS(dir + "/k", model.demes, false), 1);
  EXPECT_TRUE(obs.matchesModel(model.demes));
  SampleModel other({1, 2});
  testing::internal::CaptureStderr();
  EXPECT_FALSE(obs.matchesModel(other.demes));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("2 deme(s) of 1 1 genes"),
            std::string::npos);
}

}  // namespace
