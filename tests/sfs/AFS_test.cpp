// Spectrum containers: shapes, cell addresses, size bound, folds, copies and
// merges.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sfs/AFS.h"
#include "tests/engine/coalModel.h"

namespace {

// A collection with the given sample sizes (deme size 1000 each).
struct Sample {
  explicit Sample(const std::vector<int>& sizes)
      : model(sampledDemes(sizes), 1) {}
  TDemeCollection& demes() { return model.demes; }
  CoalModel model;
};

// Declares the demes with a sample as the valid demes for the cell address.
class ValidDemes {
 public:
  explicit ValidDemes(const std::vector<int>& sizes) {
    for (int d = 0; d < static_cast<int>(sizes.size()); ++d)
      if (sizes[d] > 0) valid_.push_back(d);
    TDemeCollection::validDemes = valid_.data();
    TDemeCollection::numValidDemes = static_cast<int>(valid_.size());
    TDemeCollection::lastNumValidDemesIndex = TDemeCollection::numValidDemes - 1;
  }
  ~ValidDemes() {
    TDemeCollection::validDemes = nullptr;
    TDemeCollection::numValidDemes = 0;
    TDemeCollection::lastNumValidDemesIndex = 0;
  }

 private:
  std::vector<int> valid_;
};

void fillRamp(sfsTable& t) {
  for (size_t k = 0; k < t.cells.size(); ++k) t.cells[k] = 1.0 + k;
}

}  // namespace

TEST(MultiSFS, MixedRadixIndexWithDemeZeroMostSignificant) {
  struct Case {
    std::vector<int> sizes, counts, strides;
    int entries, index;
  } cases[] = {
      {{2, 3}, {1, 2}, {4, 1}, 12, 6},
      {{2, 3}, {2, 3}, {4, 1}, 12, 11},
      {{2, 0, 3}, {1, 7, 2}, {4, 4, 1}, 12, 6},  // a deme without sample counts for nothing
  };
  for (const Case& c : cases) {
    Sample s(c.sizes);
    ValidDemes valid(c.sizes);
    multiSFS sfs(s.demes(), false);
    ASSERT_TRUE(sfs.isCreated);
    EXPECT_EQ(sfs.totSFSEntries, c.entries);
    EXPECT_STREQ(sfs.multiInfix, "_DSFS");
    ASSERT_NE(s.demes().sfsCoord, nullptr);
    EXPECT_EQ(s.demes().sfsCoord->strides, c.strides);

    TSFSCoord coord;
    coord = *s.demes().sfsCoord;
    coord.counts = c.counts;
    coord = TSFSCoord(coord);  // addressed through an assigned coordinate
    sfs.SFS(coord) += 2.5;
    EXPECT_EQ(sfs.multiJointSFS[c.index], 2.5);
    if (c.sizes[1] > 0) {
      sfs.incSFSHalf(coord);
      EXPECT_EQ(sfs.multiJointSFS[c.index], 3.0);
    }
  }
}

TEST(MultiSFS, AtMostOneMillionEntries) {
  Sample largest({999, 999});
  multiSFS ok(largest.demes(), true);
  EXPECT_TRUE(ok.isCreated);
  EXPECT_EQ(ok.totSFSEntries, 1000000);
  EXPECT_STREQ(ok.multiInfix, "_MSFS");

  Sample tooLarge({1000, 999});
  testing::internal::CaptureStderr();
  multiSFS refused(tooLarge.demes(), false);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "multiSFS::createSFSdadiLike(): Unable to create multiJointSFS as totSFSEntries "
            "(1001000) is out of bounds [1;1e6]\n");
  EXPECT_TRUE(refused.creationFailed);
  EXPECT_FALSE(refused.isCreated);
  EXPECT_TRUE(refused.multiJointSFS.empty());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(refused.createSFSdadiLike(tooLarge.demes()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(AFS, TablesOfEveryDemeAndPair) {
  Sample s({3, 0, 2});
  AFS daf(false);
  EXPECT_STREQ(daf.popInfix, "_DAFpop");
  EXPECT_STREQ(daf.jointInfix, "_jointDAFpop");
  daf.createArrays(s.demes());
  EXPECT_EQ(daf.numDemes, 3);
  EXPECT_EQ(daf.numSampledDemes, 2);
  EXPECT_EQ(daf.totSampleSize, 5);
  EXPECT_EQ(daf.jointAFS[1][1].numCols, 1);  // no sample: one entry
  EXPECT_EQ(daf.jointAFS[1][0].numRows, 1);
  EXPECT_EQ(daf.jointAFS[1][0].numCols, 4);
  EXPECT_EQ(daf.jointAFS[2][1].numCols, 1);
  EXPECT_EQ(&daf(0, 2), &daf.jointAFS[2][0]);  // either order, larger deme index in rows
  EXPECT_EQ(daf(0, 2).numRows, 3);
  EXPECT_EQ(daf.minSFS[2][0], SFS_EMPTY_MIN);

  AFS pooled(true);
  EXPECT_STREQ(pooled.popInfix, "_MAFpop");
  pooled.createPooledArray(s.demes());
  EXPECT_EQ(pooled.numDemes, 1);
  EXPECT_EQ(pooled.sampleSizes, std::vector<int>{5});
  EXPECT_EQ(pooled.jointAFS[0][0].numCols, 6);

  daf.spectrum(0)[1] = 3.0;
  daf.totTreeLength = 7.0L;
  daf.minSFS[0][0] = 0.5;
  daf.numSims = 4;
  daf.resetArrays();
  EXPECT_EQ(daf.spectrum(0)[1], 0.0);
  EXPECT_EQ(daf.totTreeLength, 0.0L);
  EXPECT_EQ(daf.minSFS[0][0], SFS_EMPTY_MIN);
  EXPECT_EQ(daf.numSims, 4);
}

TEST(AFS, OneDimensionalFold) {
  struct Case {
    int n;
    std::vector<double> folded;
  } cases[] = {
      {5, {1 + 6, 2 + 5, 3 + 4, 0, 0, 0}},
      {4, {1 + 5, 2 + 4, 3, 0, 0}},
  };
  for (const Case& c : cases) {
    Sample s({c.n});
    AFS sfs(false);
    sfs.createArrays(s.demes());
    fillRamp(sfs.jointAFS[0][0]);
    sfs.fold1POPAFS();
    EXPECT_EQ(sfs.jointAFS[0][0].cells, c.folded) << "n = " << c.n;
  }
}

// Joint tables (row = count in deme 1 of n1 genes, column = deme 0 of n0).
TEST(AFS, JointFoldKeepsTheTotal) {
  struct Case {
    int n1, n0;
    std::vector<double> folded;  // row after row
  } cases[] = {
      // cells 1..9: (0,0)+=(2,2); (0,1)+=(2,1); (1,0)+=(1,2); (0,2),(2,0) their mean; (1,1) kept
      {2, 2, {1 + 9, 2 + 8, 5, 4 + 6, 5, 0, 5, 0, 0}},
      // cells 1..6: (0,0)+=(2,1); (0,1)+=(2,0); (1,0)+=(1,1)
      {2, 1, {1 + 6, 2 + 5, 3 + 4, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Sample s({c.n0, c.n1});
    AFS sfs(false);
    sfs.createArrays(s.demes());
    sfsTable& table = sfs.jointAFS[1][0];
    fillRamp(table);
    const double total = table.total();
    sfs.fold2POPAFS();
    EXPECT_EQ(table.cells, c.folded) << c.n1 << "x" << c.n0;
    EXPECT_DOUBLE_EQ(table.total(), total);
  }
}

TEST(AFS, CopiesAreDeepAndMergesAddEntriesAndTotals) {
  Sample s({2, 1});
  AFS source(true);
  source.createArrays(s.demes());
  source.spectrum(0)[2] = 1.5;
  source.jointAFS[1][0][1][2] = 2.0;
  source.totTreeLength = 3.0L;
  source.numSims = 10;

  AFS target(false);
  target += source;  // no tables yet: becomes a copy
  EXPECT_TRUE(target.isMAF);
  EXPECT_STREQ(target.popInfix, "_MAFpop");
  EXPECT_FALSE(target.hasMinima());
  EXPECT_EQ(target.numSims, 10);
  EXPECT_EQ(target.totTreeLength, 3.0L);
  source.spectrum(0)[2] = 100.0;
  EXPECT_EQ(target.spectrum(0)[2], 1.5);

  target.numSims = 1;
  target += source;
  EXPECT_EQ(target.spectrum(0)[2], 101.5);
  EXPECT_EQ(target.jointAFS[1][0][1][2], 4.0);
  EXPECT_EQ(target.totTreeLength, 6.0L);
  EXPECT_EQ(target.numSims, 1);

  AFS noTables(true);
  noTables.totTreeLength = 1.0L;
  target += noTables;
  EXPECT_EQ(target.totTreeLength, 7.0L);

  // Copies (made inside batches) leave the observed totals alone.
  AFS::totObsNumSites = 7;
  AFS copy(source);
  multiSFS multi(false);
  multiSFS multiCopy(multi);
  EXPECT_EQ(AFS::totObsNumSites, 7);
  AFS::totObsNumSites = 0;
}

TEST(MultiSFS, CopiesMergesAndSnapshots) {
  Sample s({2, 1});
  TDemeCollection& c = s.demes();
  c.expMultiDAF = new multiSFS(c, false);
  c.expMultiDAF->multiJointSFS[3] = 2.0;
  c.expMultiDAF->totTreeLength = 5.0L;
  c.expDAF = new AFS(false);
  c.expDAF->createArrays(c);
  c.expDAF->spectrum(1)[1] = 1.0;

  TExpectedSFS snapshot(c);
  EXPECT_EQ(snapshot.expMAF, nullptr);
  EXPECT_EQ(snapshot.expMultiMAF, nullptr);
  ASSERT_NE(snapshot.expMultiDAF, nullptr);
  ASSERT_NE(snapshot.expDAF, nullptr);
  c.expMultiDAF->multiJointSFS[3] = 0.0;
  c.expDAF->spectrum(1)[1] = 0.0;
  EXPECT_EQ(snapshot.expMultiDAF->multiJointSFS[3], 2.0);
  EXPECT_EQ(snapshot.expMultiDAF->totTreeLength, 5.0L);
  EXPECT_EQ(snapshot.expDAF->spectrum(1)[1], 1.0);

  multiSFS run(false);
  run += *snapshot.expMultiDAF;  // no entries yet: takes the source
  EXPECT_EQ(run.totSFSEntries, 6);
  run += *snapshot.expMultiDAF;
  EXPECT_EQ(run.multiJointSFS[3], 4.0);
  EXPECT_EQ(run.totTreeLength, 10.0L);
  run.resetSFS();
  EXPECT_EQ(run.multiJointSFS[3], 0.0);
  EXPECT_EQ(run.minSFSValue, SFS_EMPTY_MIN);
}

TEST(SFSIndex, EnumeratesCountsOfSampledDemesInOrder) {
  const std::vector<int> sizes{1, 0, 2};
  std::vector<int> counts(3, 0);
  sfsIndexMap index;
  int next = 0;
  addSFSIndex(sizes, 0, counts, index, next);
  EXPECT_EQ(next, 6);
  ASSERT_EQ(index.size(), 6u);
  EXPECT_EQ(index.at({0, 0, 0}), 0);
  EXPECT_EQ(index.at({0, 0, 2}), 2);
  EXPECT_EQ(index.at({1, 0, 2}), 5);
}
