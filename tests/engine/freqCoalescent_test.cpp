// The coalescent for expected spectra against coalescent theory (fixed seeds,
// tolerances of five standard errors), its running total of migration rates,
// the deterministic finish of the last deme and the genealogies that fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/engine/freqModel.h"

namespace {

double listedTotal(const TDemeCollection& c) {
  double total = 0.0;
  for (int k = 0; k < c.numActiveDemes; ++k) {
    const TDeme& d = c.demes[c.activeDemes[k]];
    total += d.numLineages * d.emigrationRate;
  }
  return total;
}

double cellSum(const AFS& s) {
  double sum = 0.0;
  for (const auto& row : s.jointAFS)
    for (const sfsTable& t : row) sum += t.total();
  return sum;
}

}  // namespace

// One deme of constant size: no waiting time is drawn; the node made with k
// lineages present is at s x sum_{j=n..k} 2 / (j (j - 1)).
TEST(FreqCoalescent, LastDemeFinishesAtMeanTimes) {
  const int n = 6;
  FreqModel model(makeDesc({1000}, {n}), 3);
  const int logsBefore = model.rng.nextLogUniform;
  ASSERT_EQ(model.buildFreq(), 1);
  EXPECT_EQ(model.rng.nextLogUniform, logsBefore);
  const double s = 1000 / TDemeCollection::CTTimeUnit;
  double t = 0.0;
  for (int k = n; k >= 2; --k) {
    t += s * 2.0 / (k * (k - 1));
    EXPECT_DOUBLE_EQ(model.demes.tree.nodes.items[n + (n - k)].time, t) << k;
  }
  EXPECT_NEAR(static_cast<double>(model.demes.expDAF->totTreeLength),
              model.demes.tree.root->calcTreeSizeC(), 1e-15);
}

// E[L_i] = 2N / i generations, relative values (1/i) / H_{n-1}; the minor-allele
// spectrum of the same trees is the fold of the derived one.
TEST(FreqCoalescent, OneDemeSpectrumIsOneOverI) {
  const int n = 8;
  const double N = 1000;
  FreqModel model(makeDesc({1000}, {n}), 5, {true, true});
  AFS& daf = *model.demes.expDAF;
  AFS& maf = *model.demes.expMAF;
  std::vector<MeanSE> cells(n);
  MeanSE total;
  std::vector<double> before(n + 1, 0.0);
  const int trees = 20000;
  for (int r = 0; r < trees; ++r) {
    ASSERT_EQ(model.buildFreq(), 1);
    ASSERT_EQ(model.demes.tree.root->numDescSFS, n);
    double treeTotal = 0.0;
    for (int i = 1; i < n; ++i) {
      const double now = daf.spectrum(0)[i];
      cells[i].add((now - before[i]) * TDemeCollection::CTTimeUnit);
      treeTotal += now - before[i];
      before[i] = now;
    }
    total.add(treeTotal * TDemeCollection::CTTimeUnit);
  }
  for (int i = 1; i < n; ++i) EXPECT_NEAR(cells[i].mean(), 2 * N / i, 5 * cells[i].se() + 1e-9) << i;
  EXPECT_DOUBLE_EQ(daf.spectrum(0)[0], 0.0);
  EXPECT_DOUBLE_EQ(daf.spectrum(0)[n], 0.0);

  for (int i = 0; i < n / 2; ++i)
    EXPECT_NEAR(maf.spectrum(0)[i], daf.spectrum(0)[i] + daf.spectrum(0)[n - i],
                1e-12 * maf.spectrum(0)[i])
        << i;
  EXPECT_NEAR(maf.spectrum(0)[n / 2], daf.spectrum(0)[n / 2], 1e-12 * maf.spectrum(0)[n / 2]);
  for (int i = n / 2 + 1; i <= n; ++i) EXPECT_EQ(maf.spectrum(0)[i], 0.0);
  EXPECT_EQ(maf.totTreeLength, daf.totTreeLength);

  daf.numSims = trees;
  ASSERT_TRUE(daf.setAFSRelativeValuesAndComputeMinSFS());
  for (int i = 1; i < n; ++i) {
    const double theory = (1.0 / i) / harmonic(n - 1);
    const double tol = 5 * (cells[i].se() + theory * total.se()) / total.mean();
    EXPECT_NEAR(daf.spectrum(0)[i], theory, tol) << i;
  }
}

// Two symmetric demes with migration: the joint spectrum is symmetric, and the
// joint minor-allele tables are the folds of the derived ones.
TEST(FreqCoalescent, SymmetricDemesGiveSymmetricJointSpectrum) {
  ModelDesc desc = makeDesc({1000, 1000}, {3, 3});
  desc.migration = 0.001;
  FreqModel model(desc, 7, {true, true});
  const sfsTable& joint = (*model.demes.expDAF)(1, 0);
  std::vector<double> before(joint.cells.size(), 0.0);
  std::vector<MeanSE> asymmetry(joint.cells.size());
  for (int r = 0; r < 10000; ++r) {
    ASSERT_EQ(model.buildFreq(), 1);
    for (int k = 0; k <= 3; ++k)
      for (int l = 0; l < k; ++l) {
        const double kl = joint.cells[k * 4 + l], lk = joint.cells[l * 4 + k];
        asymmetry[k * 4 + l].add((kl - before[k * 4 + l]) - (lk - before[l * 4 + k]));
        before[k * 4 + l] = kl;
        before[l * 4 + k] = lk;
      }
  }
  for (int k = 0; k <= 3; ++k)
    for (int l = 0; l < k; ++l)
      EXPECT_NEAR(asymmetry[k * 4 + l].mean(), 0.0, 5 * asymmetry[k * 4 + l].se()) << k << l;

  AFS folded(false);
  folded = *model.demes.expDAF;
  folded.fold2POPAFS();
  const sfsTable& minor = (*model.demes.expMAF)(1, 0);
  for (size_t c = 0; c < minor.cells.size(); ++c)
    EXPECT_NEAR(minor.cells[c], folded(1, 0).cells[c], 1e-12 * (1 + minor.cells[c])) << c;
}

// Two genes in a deme of 10000 growing at g = -0.001 per generation: the exact
// mean is about 2015 generations, drawn (not finished at mean times).
TEST(FreqCoalescent, GrowthUsesExactWaitingTime) {
  FreqModel model(makeDesc({10000}, {2}, {-0.001}), 11);
  MeanSE tmrca;
  for (int r = 0; r < 20000; ++r) {
    ASSERT_EQ(model.buildFreq(), 1);
    tmrca.add(model.tmrcaGenerations());
  }
  const double exact = growingPairMeanTmrca();
  EXPECT_GT(tmrca.se(), 0.0);
  EXPECT_NEAR(tmrca.mean(), exact, 5 * tmrca.se());
}

// Every branch enters the spectra exactly once, in every shape, through
// migration, growth, an ancient inbred sample and a merge; the running total
// equals the listed sum at the end of every genealogy.
TEST(FreqCoalescent, EveryBranchEntersOnce) {
  ModelDesc desc = makeDesc({1000, 2000}, {3, 4}, {0.00005, 0.0});
  desc.ages = {0, 200};
  desc.inbreeding = {0, 1.0};
  desc.migration = 0.0005;
  desc.events = {makeActivation(200, 1), makeEvent(3000, 1, 0, 1.0)};
  for (bool multi : {false, true}) {
    FreqModel model(desc, 13, {true, true, multi});
    AFS* daf = multi ? static_cast<AFS*>(model.demes.expMultiDAF) : model.demes.expDAF;
    AFS* maf = multi ? static_cast<AFS*>(model.demes.expMultiMAF) : model.demes.expMAF;
    auto cells = [&](const AFS* s) {
      if (!multi) return cellSum(*s);
      double sum = 0.0;
      for (double v : static_cast<const multiSFS*>(s)->multiJointSFS) sum += v;
      return sum;
    };
    double lengthSum = 0.0;
    for (int r = 0; r < 300; ++r) {
      ASSERT_EQ(model.buildFreq(), 1);
      const TTree& tree = model.demes.tree;
      ASSERT_EQ(tree.root->numDescSFS, 7);
      int atActivation = 0;
      for (int k = 7; k < 13; ++k)
        atActivation += std::fabs(tree.nodes.items[k].time - 200 / TDemeCollection::CTTimeUnit) < 1e-15;
      EXPECT_EQ(atActivation, 2);
      EXPECT_NEAR(model.demes.totMigrationRate, listedTotal(model.demes), 1e-9);
      lengthSum += tree.root->calcTreeSizeC();
    }
    for (const AFS* s : {daf, maf}) {
      EXPECT_NEAR(static_cast<double>(s->totTreeLength), lengthSum, 1e-9 * lengthSum) << multi;
      EXPECT_NEAR(cells(s), lengthSum, 1e-9 * lengthSum) << multi;
    }
  }
}

// The spectra filled on the way equal those of the whole-tree road on the same
// genealogy, cell by cell, for one deme, for pairs and triples of demes, and
// for more demes than the tables looked up once per genealogy can hold.
TEST(FreqCoalescent, SpectraOnTheWayMatchTheWholeTree) {
  auto flat = [](const TDemeCollection& c) {
    std::vector<double> v;
    for (const AFS* s : {c.expDAF, c.expMAF}) {
      v.push_back(static_cast<double>(s->totTreeLength));
      for (const auto& row : s->jointAFS)
        for (const sfsTable& t : row) v.insert(v.end(), t.cells.begin(), t.cells.end());
    }
    return v;
  };
  for (int numDemes : {1, 2, 3, 10}) {
    ModelDesc desc = makeDesc(std::vector<long>(numDemes, 1000), std::vector<int>(numDemes, 3));
    desc.migration = numDemes > 1 ? 0.001 : 0.0;
    FreqModel model(desc, 5 + numDemes, {true, true, false});
    TDemeCollection& c = model.demes;
    for (int r = 0; r < 20; ++r) {
      c.expDAF->resetArrays();
      c.expMAF->resetArrays();
      ASSERT_EQ(model.buildFreq(), 1) << numDemes;
      const std::vector<double> onTheWay = flat(c);
      c.expDAF->resetArrays();
      c.expMAF->resetArrays();
      c.tree.updateExpAFSForDNASNPs(c.tree.root, c);
      const std::vector<double> whole = flat(c);
      ASSERT_EQ(onTheWay.size(), whole.size());
      for (size_t k = 0; k < whole.size(); ++k)
        EXPECT_NEAR(onTheWay[k], whole[k], 1e-12 * (1.0 + std::fabs(whole[k])))
            << numDemes << " demes, entry " << k;
    }
  }
}

// A partial move into a deme without lineages gives that deme the rate of its
// row (not one left from before); each step keeps the running total.
TEST(FreqCoalescent, RunningTotalFollowsEveryStep) {
  ModelDesc desc = makeDesc({1000, 1000, 1000}, {8, 0, 0});
  desc.migration = 0.001;
  desc.events = {makeEvent(10, 0, 1, 0.5)};
  FreqModel model(desc, 17);
  TDemeCollection& c = model.demes;
  c.startTreeNoRec();
  c.demes[1].emigrationRate = 99.0;  // stale
  c.totMigrationRate = listedTotal(c);
  const double t = 10 / TDemeCollection::CTTimeUnit;
  c.implementEventCTForFreqData(0, t);
  ASSERT_GT(c.demes[1].numLineages, 0);
  EXPECT_DOUBLE_EQ(c.demes[1].emigrationRate, c.offDiagonalRowSum(1));
  EXPECT_NEAR(c.totMigrationRate, listedTotal(c), 1e-9);
  for (int step = 0; step < 6; ++step) {
    if (step % 2 == 0)
      c.demes[0].implementMigrEventCTForFreqData(c, t, false);
    else
      c.demes[c.activeDemes[0]].implementCoalEventCTForFreqData(c, t, false);
    EXPECT_NEAR(c.totMigrationRate, listedTotal(c), 1e-9) << step;
  }

  // A new matrix recomputes the rate of every listed deme and the total.
  TMigrationMatrix second;
  second.size = 3;
  second.allocate_matrix();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) second.elems[i][j] = i == j ? 0.0 : 100.0 * (i + 1);
  model.matrices.Add(second);
  THistoricalEvent change = makeEvent(20, 2, 2, 0.0);
  change.keepMigMatrix = false;
  change.newMigMatrix = 1;
  c.events.Add(change);
  c.implementEventCTForFreqData(1, 20 / TDemeCollection::CTTimeUnit);
  EXPECT_EQ(c.curMigMatrix, 1);
  for (int k = 0; k < c.numActiveDemes; ++k) {
    const TDeme& d = c.demes[c.activeDemes[k]];
    EXPECT_DOUBLE_EQ(d.emigrationRate, 200.0 * (d.demeId + 1));
  }
  EXPECT_NEAR(c.totMigrationRate, listedTotal(c), 1e-9);
}

TEST(FreqCoalescent, GenealogiesThatCannotFinish) {
  struct Case {
    const char* name;
    ModelDesc desc;
    SpectrumShape shape;
    int result;  // 0: any negative value
    bool flagged;
    const char* message;
  } cases[] = {
      {"isolated demes", makeDesc({1000, 1000}, {3, 2}), {}, -1, true,
       "Simulations did not converge. MRCA not found! (5 lineages remaining in demes 0 and 1, "
       "which migration can no longer bring together in a deme of non-zero size)\n"},
      {"one gene", makeDesc({1000}, {1}), {}, 0, false,
       "Simulations did not converge. MRCA not found!\n"},
      {"size zero, spectra on the way", makeDesc({0}, {3}), {}, 0, true, "is zero !"},
      {"size zero, pooled", makeDesc({0}, {3}), {true, false, false, true}, 0, true, "is zero !"},
      // The message says why and the steps made are returned: -1000001 only at the limit.
      {"infinite sizes", makeDesc({1000, 1000}, {2, 1}, {0.5, 0.5}), {}, 0, true,
       "Simulations did not converge. MRCA not found! (the size of deme 1 is no longer finite "
       "at generation "},
      {"growing back in time", makeDesc({1000000}, {10}, {0.01}), {}, 0, true,
       " lineages remaining, none of which can coalesce or migrate any more: the demes that "
       "hold them grow too fast back in time)\n"},
      {"step limit", makeDesc({1000000000, 1000000000}, {1, 1}), {}, -1000001, true,
       "Simulations did not converge. MRCA not found! (2 lineages remaining after 1000000 "
       "steps, the most one genealogy may take: its lineages migrate far more often than they "
       "meet)\n"},
  };
  cases[4].desc.migration = 0.01;
  cases[6].desc.migration = 0.1;
  for (const Case& c : cases) {
    FreqModel model(c.desc, 19, c.shape);
    TDemeCollection::bad_coalescence = false;
    testing::internal::CaptureStderr();
    const int result = model.buildFreq();
    const std::string err = testing::internal::GetCapturedStderr();
    if (c.result != 0 || std::string(c.name) == "one gene")
      EXPECT_EQ(result, c.result) << c.name;
    else
      EXPECT_LT(result, 0) << c.name;
    EXPECT_EQ(TDemeCollection::bad_coalescence, c.flagged) << c.name;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
  }
  TDemeCollection::bad_coalescence = false;
}
