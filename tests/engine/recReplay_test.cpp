// Marginal trees of a recombining chromosome against coalescent theory (fixed
// seeds, tolerances of five standard errors), the choice of the pair that
// coalesces among cut lineages, the placing of points, and replays that
// cannot finish or need many copies.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "engine/siteCreation.h"
#include "tests/engine/recModel.h"
#include "tests/engine/replayCases.h"

// With o cut lineages and m lineages of the recorded history, every pair
// holding a cut lineage is equally likely: 1 / (C(o,2) + o m).
TEST(CutLineages, EveryPairWithACutLineageEquallyLikely) {
  expectUniformCutPairs({{1, 1}, {1, 3}, {2, 0}, {2, 1}, {3, 2}, {4, 0}, {2, 4}}, 83,
                        [](RecModel& model) {
                          return model.demes.demes[0].implementCoalEventRecCT(model.demes, 0.001);
                        });
}

// Points lie on their branches, in increasing time; none empties the lists.
TEST(RecPoints, PointsLieOnTheirBranches) {
  RecModel model(ModelDesc{{1000}, {8}}, 89);
  model.firstTreeOrFail();
  TDemeCollection& c = model.demes;
  const double length = c.tree.root->calcTreeSizeC();
  ASSERT_EQ(c.tree.locateRecombinationsOnTreeC(200, length, &c), 200);
  double last = 0.0;
  for (int k = 0; k < c.tree.numRecs; ++k) {
    const TRecLocation& point = (*c.tree.recLocations)[k];
    const TNode* below = point.bottomNode->node;
    EXPECT_GE(point.time, last);
    last = point.time;
    EXPECT_EQ(below->time, point.bottomTime);
    ASSERT_NE(below->ancestor, nullptr);
    EXPECT_GE(point.time, below->time);
    EXPECT_LE(point.time, below->ancestor->time);
  }
  EXPECT_EQ(c.tree.locateRecombinationsOnTreeC(0, length, &c), 0);
  EXPECT_EQ(c.tree.numRecs, 0);
  EXPECT_EQ(c.tree.recLocations->numElems, 0);
  EXPECT_EQ(c.tree.recPositions->numElems, 0);
}

// The walk of a changed tree (post-order list, length, zeroed counts) gives
// what the recursive walks give, to the bit: two models of one seed replay 40
// markers in step, one placing its points through the list and one through
// the tree, and keep the same trees, points and branch table.
class RecPointsWalk : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(RecPointsWalk, ListAndRecursionAgree) {
  const ModelDesc& desc = GetParam().desc;
  RecModel listed(desc, 97), recursive(desc, 97);
  listed.firstTreeOrFail();
  recursive.firstTreeOrFail();
  for (int locus = 1; locus <= 40; ++locus) {
    TDemeCollection& a = listed.demes;
    TDemeCollection& b = recursive.demes;
    for (int i = 0; i < a.tree.nodes.count; ++i) a.tree.nodes.items[i].numMutations = 7;
    a.treeChanged();
    const std::vector<TNode*>* list = sites::postOrder(a);
    ASSERT_NE(list, nullptr);
    const double length = sites::treeLength(a);
    ASSERT_EQ(length, b.tree.root->calcTreeSizeC());
    for (const TNode* node : *list) EXPECT_EQ(node->numMutations, 0);
    EXPECT_EQ(list->back(), a.tree.root);
    EXPECT_EQ(static_cast<int>(list->size()), 2 * a.tree.sampleSize - 1);
    const int n = 1 + locus % 3;
    ASSERT_EQ(a.tree.locateRecombinationsOnTreeC(n, length, &a, list),
              b.tree.locateRecombinationsOnTreeC(n, length, &b));
    for (int k = 0; k < a.tree.numRecs; ++k) {
      const TRecLocation& p = (*a.tree.recLocations)[k];
      const TRecLocation& q = (*b.tree.recLocations)[k];
      EXPECT_EQ(p.time, q.time);
      EXPECT_EQ(p.bottomNode->index, q.bottomNode->index);
    }
    for (int k = 0; k < a.recBranchesSize; ++k) {
      EXPECT_EQ(a.recBranches[k]->time, b.recBranches[k]->time);
      EXPECT_EQ(a.recBranches[k]->index, b.recBranches[k]->index);
    }
    ASSERT_TRUE(a.replayTreeWithRecs(listed.sizes, listed.rates, locus));
    ASSERT_TRUE(b.replayTreeWithRecs(recursive.sizes, recursive.rates, locus));
    ASSERT_TRUE(snapshot(a.tree) == snapshot(b.tree)) << "locus " << locus;
  }
}

INSTANTIATE_TEST_SUITE_P(Models, RecPointsWalk, ::testing::ValuesIn(replayCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The tree at the last of 30 markers of one deme of N genes with rN = 2 per
// interval is a Kingman tree: E[TMRCA] = 2N (1 - 1/n), E[length] = 2N a_n,
// and the points per interval have mean r 2N a_n.
TEST(RecMarginals, LastMarkerTreeIsAKingmanTree) {
  const double N = 1000, r = 2.0 / N;
  const int markers = 30, chromosomes = 10000;
  for (int n : {2, 5}) {
    RecModel model(ModelDesc{{1000}, {n}}, 97);
    MeanSE tmrca, length, points;
    for (int chrom = 0; chrom < chromosomes; ++chrom) {
      model.firstTreeOrFail();
      double drawn = 0;
      for (int locus = 1; locus < markers; ++locus) {
        ASSERT_TRUE(model.nextMarker(r, locus));
        drawn += model.demes.tree.numRecs;
      }
      if (chrom < 20) {
        EXPECT_TRUE(isValidTree(model.demes.tree));
      }
      tmrca.add(model.tmrcaGenerations());
      length.add(model.totalLength());
      points.add(drawn / (markers - 1));
    }
    const double a = harmonic(n - 1);
    EXPECT_NEAR(tmrca.mean(), 2 * N * (1 - 1.0 / n), 5 * tmrca.se()) << n << " genes";
    EXPECT_NEAR(length.mean(), 2 * N * a, 5 * length.se()) << n << " genes";
    EXPECT_NEAR(points.mean(), r * 2 * N * a, 5 * points.se()) << n << " genes";
    const std::string key = "n" + std::to_string(n);
    RecordProperty(key + "_tmrca", describe(tmrca, 2 * N * (1 - 1.0 / n)));
    RecordProperty(key + "_length", describe(length, 2 * N * a));
    RecordProperty(key + "_points", describe(points, r * 2 * N * a));
  }
}

// Two genes, one point: the tree stays the same with probability 1/(3 + rho),
// rho = 2rN (the cut lineage rejoins its own old branch).
TEST(RecMarginals, OnePointLeavesTwoGeneTreeWithProbability) {
  const double N = 1000, rho = 1.0, r = rho / (2 * N);
  RecModel model(ModelDesc{{1000}, {2}}, 101);
  int onePoint = 0, unchanged = 0;
  for (int chrom = 0; chrom < 40000; ++chrom) {
    model.firstTreeOrFail();
    for (int locus = 1; locus < 29; ++locus) ASSERT_TRUE(model.nextMarker(r, locus));
    const double before = model.demes.tree.root->time;
    ASSERT_TRUE(model.nextMarker(r, 29));
    if (model.demes.tree.numRecs != 1) continue;
    ++onePoint;
    unchanged += model.demes.tree.root->time == before;
  }
  const double p = 1.0 / (3 + rho);
  RecordProperty("unchanged", std::to_string(unchanged / double(onePoint)) + " of " +
                                  std::to_string(onePoint) + " (" + std::to_string(p) + ")");
  EXPECT_NEAR(unchanged / double(onePoint), p, 5 * std::sqrt(p * (1 - p) / onePoint));
}

namespace {

// Mean TMRCA at each of `markers` markers over many chromosomes.
std::vector<MeanSE> tmrcaPerMarker(RecModel& model, double r, int markers, int chromosomes) {
  std::vector<MeanSE> perMarker(markers);
  for (int chrom = 0; chrom < chromosomes; ++chrom) {
    model.firstTreeOrFail();
    perMarker[0].add(model.tmrcaGenerations());
    for (int locus = 1; locus < markers; ++locus) {
      if (!model.nextMarker(r, locus)) {
        ADD_FAILURE() << "replay failed at locus " << locus;
        return perMarker;
      }
      perMarker[locus].add(model.tmrcaGenerations());
    }
  }
  return perMarker;
}

}  // namespace

// Island model of two demes, one gene in each: E[T] = 2N + 1/(2m) at every marker.
TEST(RecMarginals, IslandModelAtEveryMarker) {
  const double N = 1000, m = 0.0005;
  RecModel model(ModelDesc{{1000, 1000}, {1, 1}, {}, m}, 103);
  const std::vector<MeanSE> t = tmrcaPerMarker(model, 1.0 / N, 30, 4000);
  for (size_t k = 0; k < t.size(); ++k)
    EXPECT_NEAR(t[k].mean(), 2 * N + 1 / (2 * m), 5 * t[k].se()) << "marker " << k;
  RecordProperty("first", describe(t.front(), 2 * N + 1 / (2 * m)));
  RecordProperty("last", describe(t.back(), 2 * N + 1 / (2 * m)));
}

// Two genes in a deme of 10000 growing forwards at 0.001: about 2015
// generations at every marker.
TEST(RecMarginals, GrowthAtEveryMarker) {
  RecModel model(ModelDesc{{10000}, {2}, {-0.001}}, 107);
  const std::vector<MeanSE> t = tmrcaPerMarker(model, 1e-4, 30, 4000);
  for (size_t k = 0; k < t.size(); ++k)
    EXPECT_NEAR(t[k].mean(), growingPairMeanTmrca(), 5 * t[k].se()) << "marker " << k;
  RecordProperty("first", describe(t.front(), growingPairMeanTmrca()));
  RecordProperty("last", describe(t.back(), growingPairMeanTmrca()));
}

namespace {

double secondsOf(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// A cut lineage that needs a coalescence in a deme of size 0 ends the replay
// at once with a failure and no root.
TEST(RecReplayErrors, SizeZeroDemeFailsAtOnce) {
  RecModel model(ModelDesc{{1000}, {2}}, 109);
  model.firstTreeOrFail();
  TDemeCollection& c = model.demes;
  c.demes[0].initRelSizeCT = 0.0;
  c.tree.locateRecombinationsOnTreeC(5, c.tree.root->calcTreeSizeC(), &c);
  bool ok = true;
  testing::internal::CaptureStderr();
  const double seconds = secondsOf([&] { ok = c.replayTreeWithRecs(model.sizes, model.rates, 1); });
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ok);
  EXPECT_LT(seconds, 1.0);
  EXPECT_EQ(c.tree.root, nullptr);
  EXPECT_NE(err.find("deme size of population 0 is zero !"), std::string::npos) << err;
  EXPECT_NE(err.find("Coalescent process did not converge: 2 lineages remaining (the "
                     "coalescence drawn for a cut lineage at generation "),
            std::string::npos)
      << err;
}

// Cut lineages left in demes that can no longer exchange migrants end the
// replay with a failure; replays where the cut lineage rejoined in time succeed.
TEST(RecReplayErrors, StrandedCutLineagesFailAtOnce) {
  const double m = 0.01;
  RecModel model(ModelDesc{{1000, 1000}, {1, 1}, {}, m}, 113);
  TMigrationMatrix& matrix = model.matrices[0];
  int failures = 0;
  for (int chrom = 0; chrom < 50; ++chrom) {
    matrix.elems[0][1] = matrix.elems[1][0] = m * TDemeCollection::CTTimeUnit;
    model.firstTreeOrFail();
    matrix.elems[0][1] = matrix.elems[1][0] = 0.0;  // cut lineages can no longer move
    TDemeCollection& c = model.demes;
    c.tree.locateRecombinationsOnTreeC(3, c.tree.root->calcTreeSizeC(), &c);
    bool ok = true;
    testing::internal::CaptureStderr();
    const double seconds =
        secondsOf([&] { ok = c.replayTreeWithRecs(model.sizes, model.rates, 1); });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_LT(seconds, 1.0);
    if (ok) {
      EXPECT_TRUE(isValidTree(c.tree));
      continue;
    }
    ++failures;
    EXPECT_EQ(c.tree.root, nullptr);
    EXPECT_NE(err.find("Coalescent process did not converge: 2 lineages remaining in demes 0 "
                       "and 1, which migration can no longer bring together in a deme of "
                       "non-zero size\n"),
              std::string::npos)
        << err;
  }
  RecordProperty("failures", failures);
  EXPECT_GE(failures, 5);
}

// Cut lineages that drift apart faster than they meet (demes of 1e9 genes
// growing into the past by 1e-6 per generation and exchanging 10% migrants,
// after a first tree in demes of 1000): the replay ends at the step limit with
// the reason, in about a second at most (mostly the memory of a million
// records), where it used to migrate until the sizes overflowed.
TEST(RecReplayErrors, DriftingCutLineagesStopAtTheStepLimit) {
  RecModel model(ModelDesc{{1000, 1000}, {2, 2}, {1e-6, 1e-6}, 0.1}, 131);
  TDemeCollection& c = model.demes;
  model.firstTreeOrFail();
  for (int d = 0; d < 2; ++d) c.demes[d].initRelSizeCT = 1e9 / TDemeCollection::CTTimeUnit;
  c.tree.locateRecombinationsOnTreeC(3, c.tree.root->calcTreeSizeC(), &c);
  bool ok = true;
  testing::internal::CaptureStderr();
  const double seconds = secondsOf([&] { ok = c.replayTreeWithRecs(model.sizes, model.rates, 1); });
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ok);
  EXPECT_LT(seconds, 5.0);  // room for a loaded machine
  EXPECT_EQ(c.tree.root, nullptr);
  EXPECT_NE(err.find("TDemeCollection::replayBuildTreeWithRecs: Coalescent process did not "
                     "converge: "),
            std::string::npos)
      << err;
  EXPECT_NE(err.find(" lineages remaining after 1000000 steps, the most one genealogy may take: "
                     "its lineages migrate far more often than they meet\n"),
            std::string::npos)
      << err;
}

// More than 1000 cuts in one replay: the store of copies grows and the
// replay succeeds; the next markers reuse it.
TEST(RecReplayErrors, ManyCutsInOneReplaySucceed) {
  RecModel model(ModelDesc{{1000}, {1000}}, 127);
  model.firstTreeOrFail();
  TDemeCollection& c = model.demes;
  for (int locus = 1; locus <= 3; ++locus) {
    c.tree.locateRecombinationsOnTreeC(10000, c.tree.root->calcTreeSizeC(), &c);
    ASSERT_TRUE(c.replayTreeWithRecs(model.sizes, model.rates, locus));
    EXPECT_GT(c.tree.newNodes.count, 1000);
    EXPECT_TRUE(isValidTree(c.tree));
  }
  EXPECT_EQ(c.totNumRecs, 30000);
  EXPECT_EQ(c.recPosInfo.numElems, 30000);
  EXPECT_EQ(c.recPosInfo[29999].locus, 3);
}

// Two demes exchanging few migrants and merging long after most MRCAs: the
// tree at the last of 30 markers has the TMRCA and length of a first tree
// (the plain coalescent), so lineages left after the old MRCA migrate too.
TEST(RecMarginals, StructuredLastMarkerMatchesFirstTree) {
  ModelDesc desc{{1000, 1000}, {2, 2}, {}, 0.0001};
  desc.events = {makeEvent(20000, 1, 0, 1.0)};
  const int chromosomes = 6000;
  RecModel model(desc, 131);
  MeanSE firstT, lastT, firstL, lastL;
  for (int chrom = 0; chrom < chromosomes; ++chrom) {
    model.firstTreeOrFail();
    firstT.add(model.tmrcaGenerations());
    firstL.add(model.totalLength());
    for (int locus = 1; locus < 30; ++locus) ASSERT_TRUE(model.nextMarker(4.0 / 1000, locus));
    lastT.add(model.tmrcaGenerations());
    lastL.add(model.totalLength());
  }
  RecordProperty("tmrca", describe(lastT, firstT.mean()));
  RecordProperty("length", describe(lastL, firstL.mean()));
  const double seT = std::hypot(firstT.se(), lastT.se()), seL = std::hypot(firstL.se(), lastL.se());
  EXPECT_NEAR(lastT.mean(), firstT.mean(), 5 * seT);
  EXPECT_NEAR(lastL.mean(), firstL.mean(), 5 * seL);
}

// A long chromosome of many trees, about 1.4 points per interval: the mean
// length and TMRCA of the marker trees, over windows of markers, are those of
// the coalescent from the first window to the last (one chromosome adds one
// window mean, so the standard errors take the markers' correlation in).
struct ManyTreesCase {
  const char* name;
  ModelDesc desc;
  TreeMeans theory;
  friend void PrintTo(const ManyTreesCase& c, std::ostream* os) { *os << c.name; }
};

class TreesAlongAChromosome : public testing::TestWithParam<ManyTreesCase> {};

TEST_P(TreesAlongAChromosome, LengthAndTMRCAFlatPerMarker) {
  const int windows = 10, perWindow = 20, chromosomes = 8000;
  const TreeMeans theory = GetParam().theory;
  const double r = 1.4 / theory.length;
  RecModel model(GetParam().desc, 139);
  std::vector<MeanSE> length(windows), tmrca(windows);
  for (int chrom = 0; chrom < chromosomes; ++chrom) {
    model.firstTreeOrFail();
    for (int w = 0; w < windows; ++w) {
      double sumL = 0, sumT = 0;
      for (int k = 0; k < perWindow; ++k) {
        const int locus = w * perWindow + k;
        if (locus > 0) {
          ASSERT_TRUE(model.nextMarker(r, locus)) << "locus " << locus;
        }
        sumL += model.totalLength();
        sumT += model.tmrcaGenerations();
      }
      length[w].add(sumL / perWindow);
      tmrca[w].add(sumT / perWindow);
    }
  }
  for (int w = 0; w < windows; ++w) {
    EXPECT_NEAR(length[w].mean(), theory.length, 5 * length[w].se()) << "window " << w;
    EXPECT_NEAR(tmrca[w].mean(), theory.tmrca, 5 * tmrca[w].se()) << "window " << w;
  }
  RecordProperty("length_first", describe(length.front(), theory.length));
  RecordProperty("length_last", describe(length.back(), theory.length));
}

INSTANTIATE_TEST_SUITE_P(
    Models, TreesAlongAChromosome,
    testing::Values(ManyTreesCase{"OneDeme", ModelDesc{{1000}, {8}}, kingmanTreeMeans(8, 1000)},
                    ManyTreesCase{"TwoDemesMigrating", ModelDesc{{1000, 1000}, {4, 4}, {}, 5e-4},
                                  islandTreeMeans(4, 4, 1000, 5e-4)}),
    [](const testing::TestParamInfo<ManyTreesCase>& info) { return std::string(info.param.name); });

// A cut migrant leaves by the off-diagonal rates only: a diagonal entry never
// keeps it at home, the column after the diagonal is reached, and every
// move is recorded with the lineage's slot.
TEST(CutLineages, MigrantUsesOffDiagonalRates) {
  RecModel model(ModelDesc{{1000, 1000, 1000}, {0, 3, 0}}, 137);
  TMigrationMatrix& matrix = model.matrices[0];
  matrix.elems[1][1] = 5e3;
  matrix.elems[1][2] = 1e3;
  for (int k = 0; k < 200; ++k) {
    cutFirstTips(model, 0);
    TDemeCollection& c = model.demes;
    computeMigrProbaPerActiveDeme(c);
    c.transferLineageToRecombinantPool(c.demes[1].VNL[0]);
    if (c.curEvents) c.curEvents->numElems = 0;
    ASSERT_EQ(c.demes[1].implementMigrEventRecCT(c, 0.001), 2);
    EXPECT_EQ(c.demes[2].numRecLineages, 1);
    EXPECT_EQ(c.demes[1].numRecLineages, 0);
    ASSERT_NE(c.curEvents, nullptr);
    ASSERT_EQ(c.curEvents->numElems, 1);
    const TTinyEvent& e = (*c.curEvents)[0];
    EXPECT_EQ(e.type, 1);
    EXPECT_GE(e.pick1, 0);
    EXPECT_EQ(e.deme, 1);
    EXPECT_EQ(e.sinkDeme, 2);
  }
}

// A history that does not fit the lineage lists ends the replay with a
// failure and no root, before any list is read out of range.
TEST(RecReplayErrors, RecordsThatDoNotFitFailTheReplay) {
  struct Case {
    const char* name;
    void (*spoil)(TTinyEvent&);
    const char* message;
  } cases[] = {
      {"slot out of range", [](TTinyEvent& e) { e.pick1 = 99; }, "did not converge"},
      {"deme out of range", [](TTinyEvent& e) { e.deme = 7; }, "did not converge"},
      {"unknown type", [](TTinyEvent& e) { e.type = 4; }, "Unhandled tiny Event type 4"},
  };
  for (const Case& k : cases) {
    RecModel model(ModelDesc{{1000}, {4}}, 139);
    model.firstTreeOrFail();
    k.spoil((*model.demes.curEvents)[0]);
    placePointAboveRoot(model.demes);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.demes.replayTreeWithRecs(model.sizes, model.rates, 1)) << k.name;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(k.message), std::string::npos) << k.name << ": " << err;
    EXPECT_EQ(model.demes.tree.root, nullptr) << k.name;
  }
}
