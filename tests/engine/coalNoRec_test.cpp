// The coalescent without recombination against coalescent theory (fixed seeds,
// tolerances of five standard errors), its exact order of random draws, and
// trees that can never be completed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tests/engine/coalModel.h"

namespace {

// Structural invariants of a finished tree of n tips.
void expectValidTree(const TDemeCollection& c) {
  const TTree& tree = c.tree;
  const int n = tree.sampleSize;
  ASSERT_NE(tree.root, nullptr);
  EXPECT_EQ(tree.root, &tree.nodes.items[2 * n - 2]);
  EXPECT_EQ(tree.root->ancestor, nullptr);
  for (int k = 0; k < 2 * n - 2; ++k) {
    const TNode& node = tree.nodes.items[k];
    ASSERT_NE(node.ancestor, nullptr) << "node " << k;
    EXPECT_GE(node.ancestor->time, node.time);
    EXPECT_TRUE(node.ancestor->desc1 == &node || node.ancestor->desc2 == &node);
  }
  for (int k = n + 1; k < 2 * n - 1; ++k)
    EXPECT_GE(tree.nodes.items[k].time, tree.nodes.items[k - 1].time);
}

}  // namespace

TEST(CoalNoRec, OneDemeMatchesKingmanMeans) {
  const double N = 1000;
  const int n = 10;
  CoalModel model({{1000}, {n}}, 17);
  MeanSE tmrca, length;
  for (int r = 0; r < 20000; ++r) {
    ASSERT_EQ(model.build(), 1);
    if (r < 3) expectValidTree(model.demes);
    tmrca.add(model.tmrcaGenerations());
    length.add(model.lengthGenerations());
  }
  EXPECT_NEAR(tmrca.mean(), 2 * N * (1 - 1.0 / n), 5 * tmrca.se());
  EXPECT_NEAR(length.mean(), 2 * N * harmonic(n - 1), 5 * length.se());
}

// Five genes in one deme: one exponential per iteration and two uniforms per
// coalescence of more than two lineages (plus redraws of an equal pick).
TEST(CoalNoRec, FiveGenesTakeDrawsInOrder) {
  CoalModel model({{20000}, {5}}, 5);
  GlobalRandom replay = model.rng;
  const double s = 20000 / TDemeCollection::CTTimeUnit;
  ASSERT_EQ(model.build(), 1);

  double t = 0.0;
  int uniforms = 0;
  for (int k = 5; k >= 2; --k) {
    t += -replay.takeLogUniform() * s * 2.0 / (k * (k - 1));
    if (k == 2) continue;
    const int i = static_cast<int>(replay.takeUniform() * k);
    int j = static_cast<int>(replay.takeUniform() * k);
    uniforms += 2;
    while (j == i) {
      j = static_cast<int>(replay.takeUniform() * k);
      ++uniforms;
    }
  }
  const TTree& tree = model.demes.tree;
  EXPECT_EQ(tree.root, &tree.nodes.items[8]);
  EXPECT_DOUBLE_EQ(tree.root->time, t);
  EXPECT_EQ(model.rng.nextLogUniform, 4);
  EXPECT_EQ(model.rng.nextUniform, uniforms);
  expectValidTree(model.demes);
}

// Two genes in a deme of 10000 growing forwards at 0.001 per generation: the
// exact mean is 1000 e^0.1 E1(0.1), about 2015 generations.
TEST(CoalNoRec, GrowthUsesExactWaitingTime) {
  CoalModel model({{10000}, {2}, {-0.001}}, 23);
  const MeanSE tmrca = tmrcaOfTrees(model, 20000);
  const double exact = growingPairMeanTmrca();
  EXPECT_NEAR(exact, 2015.0, 1.0);
  EXPECT_NEAR(tmrca.mean(), exact, 5 * tmrca.se());
}

// A deme shrinking forwards (growing backwards) may never bring two lineages
// together: with total pressure 1 / (N g) = 0.2 the tree fails with
// probability e^-0.2, and each failure returns at once.
TEST(CoalNoRec, GrowthWithoutSolutionFailsTheTree) {
  CoalModel model({{10000}, {2}, {0.0005}}, 29);
  const int trees = 4000;
  int failures = 0;
  testing::internal::CaptureStderr();
  for (int r = 0; r < trees; ++r) failures += model.build() == 0;
  const std::string err = testing::internal::GetCapturedStderr();
  const double p = std::exp(-0.2);
  EXPECT_NEAR(failures / double(trees), p, 5 * std::sqrt(p * (1 - p) / trees));
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), failures);
}

// Growth given by an event at generation 1000 starts there: before it the
// size is constant, after it the size follows the growth from that time. A
// later event that changes nothing brings the size forward on the way.
TEST(CoalNoRec, GrowthStartsAtTheEventTime) {
  ModelDesc desc{{10000}, {2}};
  desc.events = {makeEvent(1000, 0, 0, 0.0, 1.0, -0.001, false), makeEvent(1500, 0, 0, 0.0)};
  CoalModel model(desc, 31);
  const MeanSE tmrca = tmrcaOfTrees(model, 20000);
  const double N = 10000, T = 1000;
  const double afterEvent = growingPairMeanTmrca();
  const double exact = N * (1 - std::exp(-T / N)) + std::exp(-T / N) * afterEvent;
  EXPECT_NEAR(tmrca.mean(), exact, 5 * tmrca.se());
}

// Island model of two demes of N genes with migration m per lineage:
// E[T within] = 2N, E[T between] = 2N + 1 / (2m).
TEST(CoalNoRec, IslandModelMeans) {
  const double N = 1000, m = 0.0005;
  struct Case {
    std::vector<int> samples;
    double expected;
  } cases[] = {{{2, 0}, 2 * N}, {{1, 1}, 2 * N + 1 / (2 * m)}};
  for (const Case& c : cases) {
    ModelDesc desc{{1000, 1000}, c.samples};
    desc.migration = m;
    CoalModel model(desc, 37);
    const MeanSE tmrca = tmrcaOfTrees(model, 20000);
    EXPECT_NEAR(tmrca.mean(), c.expected, 5 * tmrca.se()) << c.samples[0] << c.samples[1];
  }
}

// Two isolated demes joined at generation 500 into an ancestral deme of
// twice deme 0's size: E[T between] = T + N ancestral.
TEST(CoalNoRec, SplitByAnEvent) {
  ModelDesc desc{{1000, 4000}, {1, 1}};
  desc.events = {makeEvent(500, 1, 0, 1.0, 2.0)};
  CoalModel model(desc, 41);
  const MeanSE tmrca = tmrcaOfTrees(model, 20000);
  EXPECT_NEAR(tmrca.mean(), 500 + 2000, 5 * tmrca.se());
}

// Two genes sampled 300 generations ago in deme 1, merged then into deme 0
// with its one present-day gene: E[TMRCA] = 300 + 2N (1 - 1/3).
TEST(CoalNoRec, AncientSampleJoinsAtItsAge) {
  ModelDesc desc{{1000, 1000}, {1, 2}};
  desc.ages = {0, 300};
  desc.events = {makeActivation(300, 1), makeEvent(300, 1, 0, 1.0)};
  CoalModel model(desc, 43);
  MeanSE tmrca;
  for (int r = 0; r < 20000; ++r) {
    ASSERT_EQ(model.build(), 1);
    if (r == 0) {
      expectValidTree(model.demes);
      EXPECT_DOUBLE_EQ(model.demes.tree.nodes.items[1].time, 300 / TDemeCollection::CTTimeUnit);
    }
    tmrca.add(model.tmrcaGenerations());
  }
  EXPECT_NEAR(tmrca.mean(), 300 + 2 * 1000 * (1 - 1.0 / 3), 5 * tmrca.se());
}

// Inbreeding coefficient 1 on a present-day sample of 4 genes: both
// individuals coalesce at time 0, then 2 lineages remain (E[TMRCA] = N).
TEST(CoalNoRec, InbreedingOneOnFourContemporaryGenes) {
  ModelDesc desc{{1000}, {4}};
  desc.inbreeding = {1.0};
  CoalModel model(desc, 47);
  EXPECT_TRUE(TDemeCollection::isInbreeding);
  MeanSE tmrca;
  for (int r = 0; r < 20000; ++r) {
    ASSERT_EQ(model.build(), 1);
    const TNode* nodes = model.demes.tree.nodes.items;
    if (r < 3) {
      expectValidTree(model.demes);
      EXPECT_EQ(nodes[4].time, 0.0);
      EXPECT_EQ(nodes[5].time, 0.0);
      EXPECT_EQ(nodes[4].desc1, &nodes[0]);
      EXPECT_EQ(nodes[4].desc2, &nodes[1]);
      EXPECT_EQ(nodes[5].desc1, &nodes[2]);
      EXPECT_EQ(nodes[5].desc2, &nodes[3]);
    }
    tmrca.add(model.tmrcaGenerations());
  }
  EXPECT_NEAR(tmrca.mean(), 1000, 5 * tmrca.se());
}

// The same on an ancient sample: the pairs coalesce at the activation time.
TEST(CoalNoRec, InbreedingAtActivationAndOddSample) {
  ModelDesc desc{{1000, 1000}, {0, 4}};
  desc.ages = {0, 200};
  desc.inbreeding = {0, 1.0};
  desc.events = {makeActivation(200, 1)};
  CoalModel model(desc, 53);
  EXPECT_FALSE(TDemeCollection::isInbreeding);
  ASSERT_EQ(model.build(), 1);
  const TNode* nodes = model.demes.tree.nodes.items;
  EXPECT_DOUBLE_EQ(nodes[4].time, 200 / TDemeCollection::CTTimeUnit);
  EXPECT_DOUBLE_EQ(nodes[5].time, 200 / TDemeCollection::CTTimeUnit);
  EXPECT_GT(nodes[6].time, nodes[5].time);

  ModelDesc odd{{1000}, {3}};
  odd.inbreeding = {1.0};
  CoalModel oddModel(odd, 59);
  testing::internal::CaptureStderr();
  ASSERT_EQ(oddModel.build(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Impossible to simulate inbreeding with odd number of genes in sample0\n");
  EXPECT_GT(oddModel.demes.tree.nodes.items[3].time, 0.0);
}

// Models whose tree can never be completed end at once with one message.
TEST(CoalNoRec, TreesThatCannotFinishFailAtOnce) {
  struct Case {
    const char* name;
    ModelDesc desc;
    const char* message;
  } cases[] = {
      {"isolated demes", {{1000, 1000}, {1, 1}},
       "MRCA not found! (2 lineages remaining in demes 0 and 1, which migration can no longer "
       "bring together in a deme of non-zero size)"},
      {"size zero", {{0}, {2}}, "deme size of population 0 is zero !"},
      {"one gene", {{1000}, {1}}, "Simulations did not converge. MRCA not found!\n"},
      {"infinite sizes", {{1000, 1000}, {2, 1}, {0.5, 0.5}, 0.01},
       "is no longer finite"},
  };
  for (const Case& c : cases) {
    CoalModel model(c.desc, 61);
    testing::internal::CaptureStderr();
    EXPECT_EQ(model.build(), 0) << c.name;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
  }
}

// One event on 4 lineages of deme 0: the share of migrants decides how many
// lineages move (one uniform per lineage, then one per random pick), each
// move and the event itself are recorded, and an event that moves nothing
// into an unlisted deme says so.
TEST(CoalNoRec, HistoricalEventMovesLineages) {
  struct Case {
    THistoricalEvent event;
    const char* message;
  } cases[] = {
      {makeEvent(100, 0, 1, 0.5), ""},
      {makeEvent(100, 0, 1, 1.0), ""},
      {makeEvent(100, 0, 1, 0.0, 3.0), "Migration to an inactive deme (1)\n"},
      {makeEvent(100, 0, 0, 0.0, 3.0), ""},
  };
  for (const Case& c : cases) {
    ModelDesc desc{{1000, 1000}, {4, 0}};
    desc.events = {c.event};
    CoalModel model(desc, 67);
    TDemeCollection& demes = model.demes;
    demes.startTreeNoRec();
    GlobalRandom replay = model.rng;
    const int uniformsBefore = model.rng.nextUniform;
    testing::internal::CaptureStderr();
    EXPECT_EQ(demes.implementEventCT(0, 1e-4, true), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);

    int moved = 4, uniforms = 0;
    if (c.event.migrants < 1.0) {
      moved = 0;
      for (int k = 0; k < 4; ++k) moved += replay.takeUniform() < c.event.migrants;
      uniforms = 4 + std::min(moved, 3);  // the last lineage of a deme is taken without a draw
      if (c.event.migrants <= 0.0) moved = 0, uniforms = 0;
    }
    const int sinkLineages = c.event.sink == c.event.source ? 0 : moved;
    EXPECT_EQ(demes.demes[1].numLineages, sinkLineages);
    EXPECT_EQ(demes.demes[0].numLineages, 4 - sinkLineages);
    EXPECT_EQ(demes.demes[1].VNL.count(), sinkLineages);
    EXPECT_EQ(model.rng.nextUniform - uniformsBefore, uniforms);
    EXPECT_DOUBLE_EQ(demes.demes[c.event.sink].relSizeCT, 0.001 * c.event.newSize);
    const int partialMoves = c.event.migrants < 1.0 ? sinkLineages : 0;
    ASSERT_NE(demes.curEvents, nullptr);
    ASSERT_EQ(demes.curEvents->numElems, partialMoves + 1);
    for (int k = 0; k < partialMoves; ++k) EXPECT_EQ((*demes.curEvents)[k].type, 1);
    EXPECT_EQ((*demes.curEvents)[partialMoves].type, 2);
    EXPECT_EQ((*demes.curEvents)[partialMoves].histEventIndex, 0);
    for (int k = 0; k <= demes.demes[1].VNL.top; ++k) {
      EXPECT_EQ(demes.demes[1].VNL[k]->deme, 1);
      EXPECT_EQ(demes.demes[1].VNL[k]->posInVNL, k);
    }
  }
}
