// Observed sites in cells no genealogy can give: which cells those are for
// derived- and minor-allele tables, and the warning of the reader that names
// the file and the cells, while the values read stay as they are.
#include "sfs/impossibleCells.h"

#include "sfsFileUtil.h"

namespace {

struct CellCase {
  const char* name;
  std::vector<int> sizes;     // genes along each axis of the table
  std::vector<double> cells;  // row-major
  int totalSample;
  bool minor;
  std::vector<std::vector<int>> impossible;  // cells reported, in order
  double total;
};

const CellCase kCellCases[] = {
    {"OneDimensionalDerivedLastEntry", {4}, {9, 4, 2, 1, 5487}, 4, false, {{4}}, 5487},
    {"OneDimensionalDerivedEmptyLastEntry", {4}, {9, 4, 2, 1, 0}, 4, false, {}, 0},
    {"JointDerivedAllDerivedCorner", {2, 1}, {7, 3, 2, 1, 0.5, 757}, 3, false, {{2, 1}}, 757},
    // With a third sampled deme a site can be fixed in the pair and
    // polymorphic in the third: the corner is possible.
    {"JointDerivedCornerOfAPairAmongThreeDemes", {2, 1}, {7, 3, 2, 1, 0.5, 757}, 5, false, {}, 0},
    {"MultiDimensionalDerivedLastEntry", {1, 1}, {0, 2, 3, 4}, 2, false, {{1, 1}}, 4},
    // 5 genes: a minor allele is carried by at most 2 of them.
    {"OneDimensionalMinorBeyondHalf", {5}, {9, 4, 2, 1.5, 0, 2}, 5, true, {{3}, {5}}, 3.5},
    // 4 genes: the tie (2 of 4) is a minor-allele count.
    {"OneDimensionalMinorTieKept", {4}, {9, 4, 2.5, 0, 0}, 4, true, {}, 0},
    // Rows 0..2 (deme i), columns 0..2 (deme j), 4 genes: cells of more than 2.
    {"JointMinorBeyondHalf",
     {2, 2},
     {5, 4, 3, 4, 2, 1, 3, 0.5, 0},
     4,
     true,
     {{1, 2}, {2, 1}},
     1.5},
    // Of a model of 10 sampled genes the pair's table can hold 4 minor alleles.
    {"JointMinorOfAPairAmongThreeDemes", {2, 2}, {5, 4, 3, 4, 2, 1, 3, 1, 1}, 10, true, {}, 0},
};

class ImpossibleCells : public testing::TestWithParam<CellCase> {};

TEST_P(ImpossibleCells, AreThoseNoGenealogyGives) {
  const CellCase& c = GetParam();
  const TImpossibleSites found = impossibleSites(c.sizes, c.cells.data(), c.totalSample, c.minor);
  EXPECT_EQ(found.cells, c.impossible);
  EXPECT_EQ(found.total, c.total);
  EXPECT_EQ(found.sites.size(), found.cells.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, ImpossibleCells, testing::ValuesIn(kCellCases),
                         [](const testing::TestParamInfo<CellCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(ImpossibleCellsWarning, NamesTheFileTheObservationAndTheFirstCells) {
  TImpossibleSites found;
  for (int k = 6; k <= 10; ++k) {
    found.cells.push_back({k});
    found.sites.push_back(k);
    found.total += k;
  }
  const std::vector<std::string> names = {"cell d0_6", "cell d0_7", "cell d0_8", "cell d0_9",
                                          "cell d0_10"};
  EXPECT_EQ(impossibleSitesWarning("m_MAFpop0.obs", 1, found, names, true, 10),
            "Warning: observed SFS file \"m_MAFpop0.obs\", observation 2: sites stand in cells "
            "that no genealogy can give: 6 sites in cell d0_6, 7 sites in cell d0_7, 8 sites in "
            "cell d0_8 and sites in 2 other cells (40 sites in all), where the minor allele "
            "would be carried by more than half of the 10 sampled genes. The model gives them "
            "probability 0, and the likelihood scores them against a floor. Write 0 there (a "
            "masked cell of a dadi or moments spectrum holds sites that are not to be scored).\n");
  EXPECT_EQ(impossibleSitesWarning("m_MAFpop0.obs", 0, TImpossibleSites{}, {}, true, 10), "");
}

// The readers warn once per file and observation, and keep the values.
struct ReaderCase {
  const char* name;
  std::vector<int> sampleSizes;
  const char* file;  // below the folder, prefix "m"
  const char* text;
  bool isMAF;
  bool multi;
  std::string expected;  // in the error stream ("": nothing there)
};

const ReaderCase kReaderCases[] = {
    {"JointDerivedCorner", {1, 2}, "m_jointDAFpop1_0.obs",
     "1 observations\n\td0_0\td0_1\nd1_0\t0\t3\nd1_1\t2\t1\nd1_2\t0.5\t757\n", false, false,
     "observation 1: sites stand in cells that no genealogy can give: 757 sites in cell "
     "(d1_2, d0_1), where every one of the 3 sampled genes carries the derived allele"},
    {"JointDerivedCornerMasked", {1, 2}, "m_jointDAFpop1_0.obs",
     "1 observations\n\td0_0\td0_1\nd1_0\t0\t3\nd1_1\t2\t1\nd1_2\t0.5\t0\n", false, false, ""},
    {"OneDimensionalDerivedLastEntry", {0, 3}, "m_DAFpop1.obs",
     "2 observations\nd1_0\td1_1\td1_2\td1_3\n0\t4\t2\t0\n0\t4\t2\t5487\n", false, false,
     "m_DAFpop1.obs\", observation 2: sites stand in cells that no genealogy can give: "
     "5487 sites in cell d1_3, where every one"},
    // 3 genes: a minor allele is carried by 1 of them at most.
    {"OneDimensionalMinorBeyondHalf", {3}, "m_MAFpop0.obs",
     "1 observations\nd0_0\td0_1\td0_2\td0_3\n0\t4\t2\t0.5\n", true, false,
     "2 sites in cell d0_2, 0.5 sites in cell d0_3, where the minor allele would be carried by "
     "more than half of the 3 sampled genes"},
    {"MultiDimensionalDerived", {1, 1}, "m_DSFS.obs",
     "1 observations\n2\t1\t1\n0\t2\t3\t4\n", false, true,
     "4 sites in entry 3 (counts 1 1), where every one of the 2 sampled genes"},
};

class ImpossibleCellsRead : public testing::TestWithParam<ReaderCase> {
 protected:
  void SetUp() override { resetSpectrumStatics(); }
  void TearDown() override { resetSpectrumStatics(); }
};

TEST_P(ImpossibleCellsRead, WarnsNamingTheFileAndTheCell) {
  const ReaderCase& c = GetParam();
  const std::string dir = freshFolder(std::string("impossible_") + c.name);
  writeText(dir + "/" + c.file, c.text);
  SampleModel model(c.sampleSizes);
  TObsAFS obs;
  testing::internal::CaptureStderr();
  bool read = true;
  for (int k = 0; k < 2; ++k)  // an estimation reads the files again
    read = read && (c.multi ? obs.readObsMultiSFS(dir + "/m", model.demes, c.isMAF)
                            : obs.readObsAFS(dir + "/m", model.demes, c.isMAF) == 1);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(read) << err;
  if (c.expected.empty()) {
    EXPECT_EQ(err, "");
    return;
  }
  const std::string warning = "Warning: observed SFS file \"" + dir + "/" + c.file;
  const size_t first = err.find(warning);
  ASSERT_NE(first, std::string::npos) << err;
  EXPECT_EQ(err.find(warning, first + 1), std::string::npos) << "warned twice:\n" << err;
  EXPECT_NE(err.find(c.expected), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Cases, ImpossibleCellsRead, testing::ValuesIn(kReaderCases),
                         [](const testing::TestParamInfo<ReaderCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
