// The sequentially Markov variants of the replay (strict SMC and SMC', their
// switches set by the tests): the replay invariant, the choice of the pair
// that coalesces, the rejoining of a cut lineage's own branch, and marginal
// trees against coalescent theory (fixed seeds, five standard errors).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "engine/replayLoop.h"
#include "engine/smcPools.h"
#include "model/simSettings.h"
#include "tests/engine/recModel.h"
#include "tests/engine/replayCases.h"

namespace {

// Sets the two switches for the life of a test and clears them afterwards.
class SmcSwitches {
 public:
  SmcSwitches(bool strict, bool smc2) {
    TSimSettings::pureSMC = strict;
    TSimSettings::SMC2 = smc2;
  }
  ~SmcSwitches() { TSimSettings::pureSMC = TSimSettings::SMC2 = false; }
};

// How the trees of the next markers are made.
enum class Road { strictReplay, strictSecondTree, smc2SecondTree };

const char* roadName(Road road) {
  switch (road) {
    case Road::strictReplay:
      return "StrictSMCReplay";
    case Road::strictSecondTree:
      return "StrictSMCSecondTree";
    default:
      return "SMC2SecondTree";
  }
}

SmcSwitches switchesFor(Road road) {
  return SmcSwitches(road != Road::smc2SecondTree, road == Road::smc2SecondTree);
}

// A model with the settings the second-tree road reads its sizes from.
class SmcModel : public RecModel {
 public:
  SmcModel(const ModelDesc& desc, long seed, Road road) : RecModel(desc, seed), road_(road) {
    settings.demeSizes = sizes;
    settings.growthRates = rates;
  }
  // Tree of the next marker from n points on the current tree.
  bool replayWith(int n, int locus) {
    if (road_ == Road::strictReplay) {
      demes.tree.locateRecombinationsOnTreeC(n, demes.tree.root->calcTreeSizeC(), &demes);
      return n == 0 || demes.replayTreeWithRecs(sizes, rates, locus);
    }
    return demes.implementRecombinationsOnSecondTree(settings, n) == 1;
  }
  // Points for the interval before the next marker at r per generation, then its tree.
  bool nextTree(double r, int locus) {
    const double mean = r * demes.tree.root->calcTreeSizeC() * TDemeCollection::CTTimeUnit;
    return replayWith(static_cast<int>(rng.PoissonDistributionValue(mean)), locus);
  }
  TSimSettings settings;

 private:
  Road road_;
};

// The replay itself, without points placed for it (the invariant test places its own).
bool replayOnly(SmcModel& model, Road road) {
  TDemeCollection& c = model.demes;
  if (road == Road::strictReplay) return c.replayTreeWithRecs(model.sizes, model.rates, 1);
  if (road == Road::strictSecondTree)
    return c.replayBuildTreeWithRecsOn2ndTreeNew(model.settings, 1);
  return c.replayBuildTreeWithRecsOn2ndTreeSMC2(model.settings, 1);
}

const Road allRoads[] = {Road::strictReplay, Road::strictSecondTree, Road::smc2SecondTree};

class SmcInvariant : public testing::TestWithParam<std::tuple<ReplayCase, Road>> {};

}  // namespace

// With nothing cut, every variant rebuilds the recorded tree and history
// without a draw, twice in a row.
TEST_P(SmcInvariant, ReplayWithoutCutsRebuildsTheSameTree) {
  const auto& [replayCase, road] = GetParam();
  const SmcSwitches switches = switchesFor(road);
  SmcModel model(replayCase.desc, 173, road);
  for (int r = 0; r < 10; ++r) {
    model.firstTreeOrFail();
    const std::vector<NodeShot> tree = snapshot(model.demes.tree);
    const std::vector<TTinyEvent> history = historyOf(model.demes);
    for (int pass = 0; pass < 2; ++pass) {
      placePointAboveRoot(model.demes);
      const int uniforms = model.rng.nextUniform, logs = model.rng.nextLogUniform;
      testing::internal::CaptureStderr();
      ASSERT_TRUE(replayOnly(model, road));
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
      EXPECT_EQ(model.rng.nextUniform, uniforms);
      EXPECT_EQ(model.rng.nextLogUniform, logs);
      EXPECT_TRUE(snapshot(model.demes.tree) == tree) << replayCase.name << " tree " << r;
      const std::vector<TTinyEvent> again = historyOf(model.demes);
      ASSERT_EQ(again.size(), history.size());
      for (size_t k = 0; k < history.size(); ++k)
        EXPECT_TRUE(sameRecord(again[k], history[k])) << replayCase.name << " record " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Models, SmcInvariant,
                         testing::Combine(testing::ValuesIn(replayCases()),
                                          testing::ValuesIn(allRoads)),
                         [](const testing::TestParamInfo<std::tuple<ReplayCase, Road>>& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  roadName(std::get<1>(info.param));
                         });

// Strict SMC with o cut lineages and e lineages of the new tree that follow
// the history: every one of the C(o,2) + o e pairs equally likely (also the
// pairs of a later cut lineage with a history lineage).
TEST(StrictSMC, EveryPairEquallyLikely) {
  const SmcSwitches switches(true, false);
  expectUniformCutPairs({{2, 1}, {1, 1}, {1, 3}, {2, 0}, {3, 2}, {4, 0}, {3, 4}}, 179,
                        [](RecModel& model) {
                          return model.demes.demes[0].implementCoalEventRecCTUnderStrictSMC(
                              model.demes, 0.001);
                        });
}

// Two genes and one point on every first tree: under SMC' the cut lineage
// rejoins its own branch (the tree stays the same) with probability
// E[(1 - e^{-2(T-s)}) / 2] over T ~ Exp(1) and s uniform on (0, T), which is
// 1/2 - ln(3)/4; strict SMC never does.
TEST(SmcVariants, OwnBranchRejoinedOnlyUnderSMC2) {
  const std::pair<Road, double> cases[] = {{Road::strictSecondTree, 0.0},
                                           {Road::smc2SecondTree, 0.5 - std::log(3.0) / 4}};
  const int trials = 20000;
  for (const auto& [road, p] : cases) {
    const SmcSwitches switches = switchesFor(road);
    SmcModel model(ModelDesc{{1000}, {2}}, 181, road);
    int unchanged = 0;
    for (int k = 0; k < trials; ++k) {
      model.firstTreeOrFail();
      const double before = model.demes.tree.root->time;
      ASSERT_TRUE(model.replayWith(1, 1));
      unchanged += model.demes.tree.root->time == before;
    }
    const double share = unchanged / double(trials);
    RecordProperty(std::string(roadName(road)) + "_unchanged", std::to_string(share));
    EXPECT_NEAR(share, p, 5 * std::sqrt(p * (1 - p) / trials) + 1e-12) << roadName(road);
  }
}

// The tree at each of 30 markers of one deme of N genes with rN = 2 per
// interval keeps the laws of a Kingman tree under each variant:
// E[TMRCA] = 2N (1 - 1/n), E[length] = 2N a_n.
class SmcMarginals : public testing::TestWithParam<Road> {};

TEST_P(SmcMarginals, EveryMarkerTreeIsAKingmanTree) {
  const Road road = GetParam();
  const SmcSwitches switches = switchesFor(road);
  const double N = 1000, r = 2.0 / N;
  const int markers = 30, chromosomes = 10000;
  for (int n : {2, 5}) {
    SmcModel model(ModelDesc{{1000}, {n}}, 191, road);
    MeanSE tmrca, length, tmrcaLast, lengthLast;
    for (int chrom = 0; chrom < chromosomes; ++chrom) {
      model.firstTreeOrFail();
      for (int locus = 1; locus < markers; ++locus) {
        ASSERT_TRUE(model.nextTree(r, locus));
        tmrca.add(model.tmrcaGenerations());
        length.add(model.totalLength());
      }
      if (chrom < 20) {
        EXPECT_TRUE(isValidTree(model.demes.tree));
      }
      tmrcaLast.add(model.tmrcaGenerations());
      lengthLast.add(model.totalLength());
    }
    const double a = harmonic(n - 1), T = 2 * N * (1 - 1.0 / n), L = 2 * N * a;
    // Markers of one chromosome are correlated: the per-chromosome last tree
    // carries the standard error; the pooled mean is held to the same bound.
    EXPECT_NEAR(tmrcaLast.mean(), T, 5 * tmrcaLast.se()) << n << " genes";
    EXPECT_NEAR(lengthLast.mean(), L, 5 * lengthLast.se()) << n << " genes";
    EXPECT_NEAR(tmrca.mean(), T, 5 * tmrcaLast.se()) << n << " genes, all markers";
    EXPECT_NEAR(length.mean(), L, 5 * lengthLast.se()) << n << " genes, all markers";
    const std::string key = "n" + std::to_string(n);
    RecordProperty(key + "_tmrca_last", describe(tmrcaLast, T));
    RecordProperty(key + "_length_last", describe(lengthLast, L));
    RecordProperty(key + "_tmrca_all", describe(tmrca, T));
    RecordProperty(key + "_length_all", describe(length, L));
  }
}

INSTANTIATE_TEST_SUITE_P(Roads, SmcMarginals, testing::ValuesIn(allRoads),
                         [](const testing::TestParamInfo<Road>& info) {
                           return std::string(roadName(info.param));
                         });

namespace {

// A model with the batch emigration rates of the expected-spectrum road.
void useBatchRates(RecModel& model) {
  TDemeCollection& c = model.demes;
  c.rescaleEventsCT();
  c.eventsRescaled = true;
  c.anyMigration = false;
  for (int d = 0; d < c.numDemes; ++d) {
    c.demes[d].initEmigrationRate = c.offDiagonalRowSum(d);
    if (c.demes[d].initEmigrationRate > 0.0) c.anyMigration = true;
  }
}

class FastFirstTree : public testing::TestWithParam<ReplayCase> {};

}  // namespace

// The first tree of the expected-spectrum road records its whole history:
// replayed with nothing cut it gives back the same tree without a draw.
TEST_P(FastFirstTree, RecordsAHistoryThatReplays) {
  RecModel model(GetParam().desc, 193);
  useBatchRates(model);
  for (int r = 0; r < 10; ++r) {
    if (r > 0) model.demes.reset(model.sizes, model.rates);
    const int iterations = model.demes.buildRandomFirstTreeForRecCTFast();
    ASSERT_GT(iterations, 0) << GetParam().name;
    const std::vector<NodeShot> tree = snapshot(model.demes.tree);
    int coalescences = 0;
    for (const TTinyEvent& e : historyOf(model.demes)) coalescences += e.type == 0;
    EXPECT_EQ(coalescences, model.demes.tree.sampleSize - 1);
    expectSilentReplayRebuilds(model, tree,
                               std::string(GetParam().name) + " tree " + std::to_string(r));
  }
}

INSTANTIATE_TEST_SUITE_P(Models, FastFirstTree, testing::ValuesIn(replayCases()),
                         [](const testing::TestParamInfo<ReplayCase>& info) {
                           return std::string(info.param.name);
                         });

// One deme of constant size: the expected variant finishes with mean waiting
// times (root at 2N (1 - 1/n) exactly), the random one draws them.
TEST(FastFirstTree, ExpectedVariantFinishesWithMeanTimes) {
  RecModel model(ModelDesc{{1000}, {5}}, 197);
  useBatchRates(model);
  ASSERT_GT(model.demes.buildExpectedFirstTreeForRecCTFast(), 0);
  EXPECT_NEAR(model.tmrcaGenerations(), 2 * 1000 * (1 - 1.0 / 5), 1e-6);
  model.demes.reset(model.sizes, model.rates);
  ASSERT_GT(model.demes.buildRandomFirstTreeForRecCTFast(), 0);
  EXPECT_GT(std::fabs(model.tmrcaGenerations() - 1600.0), 1e-6);
}

// Island model of two demes, one gene in each, at each of 30 markers under
// every variant: E[T] = 2N + 1/(2m) (cut lineages and pooled copies migrate).
TEST_P(SmcMarginals, IslandModelAtEveryMarker) {
  const Road road = GetParam();
  const SmcSwitches switches = switchesFor(road);
  const double N = 1000, m = 0.0005, T = 2 * N + 1 / (2 * m);
  SmcModel model(ModelDesc{{1000, 1000}, {1, 1}, {}, m}, 199, road);
  MeanSE last, all;
  for (int chrom = 0; chrom < 4000; ++chrom) {
    model.firstTreeOrFail();
    for (int locus = 1; locus < 30; ++locus) {
      ASSERT_TRUE(model.nextTree(1.0 / N, locus));
      all.add(model.tmrcaGenerations());
    }
    last.add(model.tmrcaGenerations());
  }
  EXPECT_NEAR(last.mean(), T, 5 * last.se());
  EXPECT_NEAR(all.mean(), T, 5 * last.se());
  RecordProperty("island_last", describe(last, T));
}

namespace {

class SecondTreeErrors : public testing::TestWithParam<Road> {};

}  // namespace

// Cut lineages left in demes that can no longer exchange migrants: the
// second-tree replays end at once with a failure and their own message.
TEST_P(SecondTreeErrors, StrandedCutLineagesFailAtOnce) {
  const Road road = GetParam();
  const SmcSwitches switches = switchesFor(road);
  const double m = 0.01;
  SmcModel model(ModelDesc{{1000, 1000}, {1, 1}, {}, m}, 211, road);
  const std::string prefix = road == Road::smc2SecondTree
                                 ? "TDemeCollection::replayBuildTreeWithRecsOn2ndTreeSMC2: "
                                 : "TDemeCollection::replayBuildTreeWithRecsOn2ndTreeNew: ";
  TMigrationMatrix& matrix = model.matrices[0];
  int failures = 0;
  for (int chrom = 0; chrom < 50; ++chrom) {
    matrix.elems[0][1] = matrix.elems[1][0] = m * TDemeCollection::CTTimeUnit;
    model.firstTreeOrFail();
    matrix.elems[0][1] = matrix.elems[1][0] = 0.0;  // cut lineages can no longer move
    testing::internal::CaptureStderr();
    const bool ok = model.replayWith(3, 1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (ok) {
      EXPECT_TRUE(isValidTree(model.demes.tree));
      continue;
    }
    ++failures;
    EXPECT_EQ(model.demes.tree.root, nullptr);
    EXPECT_NE(err.find(prefix + "Coalescent process did not converge: 2 lineages remaining in "
                                "demes 0 and 1, which migration can no longer bring together "
                                "in a deme of non-zero size\n"),
              std::string::npos)
        << err;
  }
  EXPECT_GE(failures, 5);
}

INSTANTIATE_TEST_SUITE_P(Roads, SecondTreeErrors,
                         testing::Values(Road::strictSecondTree, Road::smc2SecondTree),
                         [](const testing::TestParamInfo<Road>& info) {
                           return std::string(roadName(info.param));
                         });

namespace {

struct CopyCase {
  int points;          // points on the pooled copy
  double sinceLatest;  // time since its latest point, in deme sizes
  double joins;        // 1 - exp(-since) (k - 1) / k
};

class Smc2CopyJoin : public testing::TestWithParam<CopyCase> {};

}  // namespace

// SMC': a cut lineage alone with a pooled copy of k points joins it with
// probability 1 - exp((latest point - t) / size) (k - 1) / k; otherwise the
// copy loses one point.
TEST_P(Smc2CopyJoin, JoinsWithTheWeightOfItsPoints) {
  const CopyCase& k = GetParam();
  const SmcSwitches switches(false, true);
  RecModel model(ModelDesc{{1000}, {2}}, 223);
  const int trials = 20000;
  int joined = 0;
  for (int trial = 0; trial < trials; ++trial) {
    cutFirstTips(model, 1);
    TDemeCollection& c = model.demes;
    TDeme& deme = c.demes[0];
    // Tip 1 gives way to a discarded copy in its slot of VNL.
    TNode* tip = &c.tree.nodes.items[1];
    TNode* copy = c.tree.newNodes.take();
    ASSERT_NE(copy, nullptr);
    copy->discarded = true;
    copy->recombined = false;
    copy->posInVNL = tip->posInVNL;
    copy->posInVNLR = -1;
    copy->posInSMC2Pool = -1;
    copy->deme = 0;
    copy->recBranchIndex = tip->recBranchIndex;
    deme.VNL.items[copy->posInVNL] = copy;
    smc::remove(deme, tip);
    copy->numRecsOnBranch = k.points;
    copy->lastRecTime = 0.001;
    smc::add2(deme, copy);
    const double t = copy->lastRecTime + k.sinceLatest * deme.relSizeCT;
    ASSERT_EQ(deme.implementCoalEventRecCTSMC2(c, t), 1);
    const TNode* cut = &c.tree.nodes.items[0];
    if (!cut->recombined) {
      ++joined;
      EXPECT_EQ(deme.VNL.items[cut->posInVNL], cut);
      EXPECT_EQ(deme.totRecsInSMC2Pool, 0.0);
    } else {
      EXPECT_EQ(copy->numRecsOnBranch, k.points - 1);
      EXPECT_EQ(deme.totRecsInSMC2Pool, k.points - 1);
    }
  }
  const double share = joined / double(trials);
  EXPECT_NEAR(share, k.joins, 5 * std::sqrt(k.joins * (1 - k.joins) / trials) + 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Copies, Smc2CopyJoin,
                         testing::Values(CopyCase{1, 0.0, 1.0}, CopyCase{2, 0.0, 0.5},
                                         CopyCase{4, 0.0, 0.25},
                                         CopyCase{2, 1.0, 1 - std::exp(-1.0) / 2}));

namespace {

// The pools of every deme agree with its lineage lists: the SMC pool holds
// exactly the lineages of VNL that are not discarded copies, the SMC' pool
// only copies listed in VNL, with the deme's total of their points.
bool poolsAgreeWithLists(const TDemeCollection& c) {
  for (int d = 0; d < c.numDemes; ++d) {
    const TDeme& deme = c.demes[d];
    std::multiset<const TNode*> listed, pooled;
    for (int k = 0; k <= deme.VNL.top; ++k)
      if (!deme.VNL.items[k]->discarded) listed.insert(deme.VNL.items[k]);
    for (int k = 0; deme.SMCPool && k <= deme.SMCPool->top; ++k) {
      pooled.insert(deme.SMCPool->items[k]);
      if (deme.SMCPool->items[k]->posInSMCPool != k) return false;
    }
    if (listed != pooled) return false;
    double points = 0.0;
    for (int k = 0; deme.SMC2Pool && k <= deme.SMC2Pool->top; ++k) {
      const TNode* copy = deme.SMC2Pool->items[k];
      points += copy->numRecsOnBranch;
      if (!copy->discarded || copy->posInSMC2Pool != k || copy->posInVNL < 0 ||
          copy->posInVNL > deme.VNL.top || deme.VNL.items[copy->posInVNL] != copy)
        return false;
    }
    if (points != deme.totRecsInSMC2Pool) return false;
  }
  return true;
}

}  // namespace

// After every replay with points, over models using every kind of event.
TEST_P(SmcInvariant, PoolsAgreeWithTheLineageLists) {
  const auto& [replayCase, road] = GetParam();
  const SmcSwitches switches = switchesFor(road);
  SmcModel model(replayCase.desc, 227, road);
  for (int chrom = 0; chrom < 40; ++chrom) {
    model.firstTreeOrFail();
    for (int locus = 1; locus < 10; ++locus) {
      const double mean =
          0.003 * model.demes.tree.root->calcTreeSizeC() * TDemeCollection::CTTimeUnit;
      const int n = static_cast<int>(model.rng.PoissonDistributionValue(mean));
      ASSERT_TRUE(model.replayWith(n, locus)) << replayCase.name;
      if (n > 0) {
        ASSERT_TRUE(poolsAgreeWithLists(model.demes))
            << replayCase.name << " chromosome " << chrom << " locus " << locus;
      }
    }
  }
}
