// Branches of gene trees into expected spectra: the cells of a small tree for
// every shape and flavour on the three roads, and the ascertained spectrum of a
// panel against theory (fixed seed, five standard errors).
#include <gtest/gtest.h>

#include <vector>

#include "tests/engine/freqModel.h"

namespace {

constexpr double t1 = 0.001, t2 = 0.002, t3 = 0.005;

// Links node `parent` of the store to its two children at time t.
void join(TTree& tree, int parent, int a, int b, double t) {
  TNode* nodes = tree.nodes.items;
  nodes[parent].desc1 = &nodes[a];
  nodes[parent].desc2 = &nodes[b];
  nodes[parent].time = t;
  nodes[parent].ancestor = nullptr;
  nodes[a].ancestor = nodes[b].ancestor = &nodes[parent];
  tree.root = &nodes[parent];
}

// ((a1, a2), (b1, b2)): a's in deme 0 joined at t1, b's in deme 1 at t2, root at t3.
void balancedTree(TTree& tree) {
  join(tree, 4, 0, 1, t1);
  join(tree, 5, 2, 3, t2);
  join(tree, 6, 4, 5, t3);
}

// Adds the tree node by node, as the coalescent does.
void addIncrementally(TDemeCollection& c) {
  for (int k = 4; k <= 6; ++k) c.tree.nodes.items[k].updateExpSFSFromAncestor(c);
}

}  // namespace

TEST(ExpectedSFS, JointCellsOfABalancedTree) {
  for (bool wholeTree : {false, true}) {
    FreqModel model(makeDesc({1000, 1000}, {2, 2}), 1, {true, true});
    TDemeCollection& c = model.demes;
    balancedTree(c.tree);
    if (wholeTree)
      c.tree.root->updateExpAFSfromNodeForDNASNPs(c);
    else
      addIncrementally(c);
    const sfsTable& d = (*c.expDAF)(1, 0);
    const sfsTable& m = (*c.expMAF)(1, 0);
    std::vector<double> daf(9, 0.0), maf(9, 0.0);
    daf[0 * 3 + 1] = 2 * t1;
    daf[1 * 3 + 0] = 2 * t2;
    daf[0 * 3 + 2] = t3 - t1;
    daf[2 * 3 + 0] = t3 - t2;
    maf[0 * 3 + 1] = 2 * t1;
    maf[1 * 3 + 0] = 2 * t2;
    maf[0 * 3 + 2] = maf[2 * 3 + 0] = (t3 - t1) / 2 + (t3 - t2) / 2;
    for (int k = 0; k < 9; ++k) {
      EXPECT_NEAR(d.cells[k], daf[k], 1e-15) << wholeTree << " cell " << k;
      EXPECT_NEAR(m.cells[k], maf[k], 1e-15) << wholeTree << " cell " << k;
    }
    for (const AFS* s : {c.expDAF, c.expMAF}) {
      EXPECT_NEAR(static_cast<double>(s->totTreeLength), t1 + t2 + 2 * t3, 1e-15);
      EXPECT_EQ(s->spectrum(0)[1], 0.0);  // two valid demes: no 1-D spectra
    }
    EXPECT_EQ(c.tree.root->numDescSFS, 4);
    EXPECT_EQ(c.tree.root->numDescPerPop[0], 2);
    EXPECT_EQ(c.tree.root->numDescPerPop[1], 2);
  }
}

// Sample sizes (2, 2): strides (3, 1), so counts (c0, c1) address entry 3 c0 + c1.
TEST(ExpectedSFS, MultiDimensionalCellsOfABalancedTree) {
  for (bool wholeTree : {false, true}) {
    FreqModel model(makeDesc({1000, 1000}, {2, 2}), 1, {true, true, true});
    TDemeCollection& c = model.demes;
    balancedTree(c.tree);
    if (wholeTree)
      c.tree.root->updateExpSFS(c);
    else
      addIncrementally(c);
    std::vector<double> daf(9, 0.0), maf(9, 0.0);
    daf[3] = 2 * t1;
    daf[1] = 2 * t2;
    daf[6] = t3 - t1;
    daf[2] = t3 - t2;
    maf[3] = 2 * t1;
    maf[1] = 2 * t2;
    maf[6] = maf[2] = (t3 - t1) / 2 + (t3 - t2) / 2;
    for (int k = 0; k < 9; ++k) {
      EXPECT_NEAR(c.expMultiDAF->multiJointSFS[k], daf[k], 1e-15) << wholeTree << " " << k;
      EXPECT_NEAR(c.expMultiMAF->multiJointSFS[k], maf[k], 1e-15) << wholeTree << " " << k;
    }
    EXPECT_NEAR(static_cast<double>(c.expMultiMAF->totTreeLength), t1 + t2 + 2 * t3, 1e-15);
  }
}

// (((t0, t1), t2), t3) pooled with n = 4: the branch above 3 tips is entry 3
// derived and entry 1 minor; the branch above 2 tips is its own complement.
TEST(ExpectedSFS, PooledCells) {
  FreqModel model(makeDesc({1000, 1000}, {2, 2}), 1, {true, true, false, true});
  TDemeCollection& c = model.demes;
  join(c.tree, 4, 0, 1, t1);
  join(c.tree, 5, 4, 2, t2);
  join(c.tree, 6, 5, 3, t3);
  c.tree.updateExpAFSForDNASNPs(c.tree.root, c);
  const double tips = 2 * t1 + t2 + t3;
  const std::vector<double> daf = {0, tips, t2 - t1, t3 - t2, 0};
  const std::vector<double> maf = {0, tips + t3 - t2, t2 - t1, 0, 0};
  for (int k = 0; k <= 4; ++k) {
    EXPECT_NEAR(c.expDAF->spectrum(0)[k], daf[k], 1e-15) << k;
    EXPECT_NEAR(c.expMAF->spectrum(0)[k], maf[k], 1e-15) << k;
  }
  EXPECT_NEAR(static_cast<double>(c.expMAF->totTreeLength), t1 + t2 + 2 * t3, 1e-15);
}

// With one deme sampled only its 1-D spectrum is filled, and every branch of
// every genealogy enters it once.
TEST(ExpectedSFS, OneValidDemeFillsItsOwnSpectrum) {
  ModelDesc desc = makeDesc({1000, 1000}, {5, 0});
  desc.migration = 0.001;
  FreqModel model(desc, 2);
  double length = 0.0;
  for (int r = 0; r < 50; ++r) {
    ASSERT_EQ(model.buildFreq(), 1);
    length += model.demes.tree.root->calcTreeSizeC();
  }
  const AFS& s = *model.demes.expDAF;
  EXPECT_NEAR(s.jointAFS[0][0].total(), length, 1e-12);
  EXPECT_EQ(s.jointAFS[1][0].total(), 0.0);
  EXPECT_EQ(s.jointAFS[1][1].total(), 0.0);
}

// Panel of deme 0's two genes: only the branches of a1 and a2 are added, in
// every deme's 1-D spectrum and in the joint table; the total takes the whole tree.
TEST(ExpectedSFS, AscertainedRoadAddsOnlyThePanelTree) {
  FreqModel model(makeDesc({1000, 1000}, {2, 2}), 1, {true, true});
  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedDeme = 0;
  TSimSettings::ascertainedSize = 2;
  TDemeCollection& c = model.demes;
  balancedTree(c.tree);
  c.updateExpAFSAscForDNASNPs();
  EXPECT_NEAR(c.ascertainedTreeLength, 2 * t1, 1e-15);
  for (const AFS* s : {c.expDAF, c.expMAF}) {
    EXPECT_NEAR(static_cast<double>(s->totTreeLength), t1 + t2 + 2 * t3, 1e-15);
    EXPECT_NEAR(s->spectrum(0)[1], 2 * t1, 1e-15);
    EXPECT_NEAR(s->spectrum(1)[0], 2 * t1, 1e-15);
    EXPECT_NEAR((*s)(1, 0).cells[0 * 3 + 1], 2 * t1, 1e-15);
    double all = 0.0;
    for (const auto& row : s->jointAFS)
      for (const sfsTable& t : row) all += t.total();
    EXPECT_NEAR(all, 3 * 2 * t1, 1e-15);
  }
}

// Panel of k = 4 genes within a sample of 10 of one deme: the ascertained
// panel spectrum is proportional to 1/j, j = 1 .. k - 1.
TEST(ExpectedSFS, AscertainedPanelSpectrumIsOneOverJ) {
  ModelDesc desc = makeDesc({1000, 1000}, {4, 6});
  desc.events = {makeEvent(0, 1, 0, 1.0)};
  FreqModel model(desc, 3);
  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedDeme = 0;
  TSimSettings::ascertainedSize = 4;
  AFS& s = *model.demes.expDAF;
  std::vector<MeanSE> cells(4);
  MeanSE total;
  std::vector<double> before(5, 0.0);
  for (int r = 0; r < 20000; ++r) {
    ASSERT_EQ(model.buildFreq(), 1);
    model.demes.updateExpAFSAscForDNASNPs();
    double treeTotal = 0.0;
    for (int j = 1; j < 4; ++j) {
      cells[j].add(s.spectrum(0)[j] - before[j]);
      treeTotal += s.spectrum(0)[j] - before[j];
      before[j] = s.spectrum(0)[j];
    }
    total.add(treeTotal);
  }
  EXPECT_EQ(s.spectrum(0)[0], 0.0);
  EXPECT_EQ(s.spectrum(0)[4], 0.0);
  ASSERT_TRUE(s.setAFSRelativeValuesAndComputeMinSFS());
  const double h = 1 + 1.0 / 2 + 1.0 / 3;
  for (int j = 1; j < 4; ++j) {
    const double theory = (1.0 / j) / h;
    EXPECT_NEAR(s.spectrum(0)[j], theory,
                5 * (cells[j].se() + theory * total.se()) / total.mean())
        << j;
  }
}
