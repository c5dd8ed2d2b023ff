#pragma once
// A recombining chromosome on a small model: the recorded first tree, points
// drawn between markers and the replay, with snapshots of trees for
// comparisons. Console progress is silenced while a model lives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/globals.h"
#include "tests/engine/coalModel.h"

class RecModel : public CoalModel {
 public:
  RecModel(const ModelDesc& desc, long seed) : CoalModel(desc, seed), console_(consoleOutput) {
    consoleOutput = false;
    demes.isRecombining = true;
  }
  ~RecModel() { consoleOutput = console_; }

  // The recorded first tree of the next chromosome; 1 when it has a root.
  int firstTree() {
    if (treesBuilt++ > 0) demes.reset(sizes, rates);
    return demes.buildFirstTreeForRecCT(0);
  }
  // A first tree that succeeded (a few attempts).
  void firstTreeOrFail() {
    for (int k = 0; k < 50; ++k)
      if (firstTree() == 1) return;
    FAIL() << "no first tree";
  }
  // Points for the interval before marker locus at r per generation, then the
  // replay when there are any. False when the replay failed.
  bool nextMarker(double r, int locus) {
    const double length = demes.tree.root->calcTreeSizeC();
    const int n = static_cast<int>(
        rng.PoissonDistributionValue(r * length * TDemeCollection::CTTimeUnit));
    demes.tree.locateRecombinationsOnTreeC(n, length, &demes);
    return n == 0 || demes.replayTreeWithRecs(sizes, rates, locus);
  }
  double totalLength() const { return root().calcTreeSizeC() * TDemeCollection::CTTimeUnit; }

 private:
  bool console_;
};

// Times and links of every node of a tree, links as store indices.
struct NodeShot {
  double time;
  int desc1, desc2, ancestor, deme;
  bool operator==(const NodeShot& o) const {
    return time == o.time && desc1 == o.desc1 && desc2 == o.desc2 && ancestor == o.ancestor &&
           deme == o.deme;
  }
};

inline std::vector<NodeShot> snapshot(const TTree& tree) {
  const TNode* base = tree.nodes.items;
  auto index = [&](const TNode* n) {
    if (!n) return -1;
    if (n < base || n >= base + tree.nodes.count) return -2;
    return static_cast<int>(n - base);
  };
  std::vector<NodeShot> shot;
  for (int i = 0; i < tree.nodes.count; ++i) {
    const TNode& n = base[i];
    shot.push_back({n.time, index(n.desc1), index(n.desc2), index(n.ancestor), n.deme});
  }
  return shot;
}

inline std::vector<TTinyEvent> historyOf(const TDemeCollection& c) {
  std::vector<TTinyEvent> h;
  for (int i = 0; c.curEvents && i < c.curEvents->numElems; ++i) h.push_back((*c.curEvents)[i]);
  return h;
}

inline bool sameRecord(const TTinyEvent& a, const TTinyEvent& b) {
  return a.type == b.type && a.time == b.time && a.pick1 == b.pick1 && a.pick2 == b.pick2 &&
         a.deme == b.deme && a.sinkDeme == b.sinkDeme && a.histEventIndex == b.histEventIndex;
}

// A single point above the root: the replay runs the whole history and cuts nothing.
inline void placePointAboveRoot(TDemeCollection& c) {
  TTree& tree = c.tree;
  tree.locateRecombinationsOnTreeC(0, 0.0, &c);
  if (c.recBranches == nullptr) c.createRecBranchArray();
  if (tree.recLocations == nullptr) tree.recLocations = new MY_TArrayAsVector<TRecLocation>(2, 100);
  TRecBranch* entry = c.recBranches[tree.root->posInTree];
  entry->node = tree.root;
  entry->index = tree.root->posInTree;
  TRecLocation point;
  point.time = 2 * tree.root->time + 1.0;
  point.bottomTime = tree.root->time;
  point.bottomNode = entry;
  tree.recLocations->Add(point);
  tree.numRecs = 1;
}

// A finished tree: one root, every other node of the store below its parent.
inline bool isValidTree(const TTree& tree) {
  const int n = tree.sampleSize;
  if (!tree.root || tree.root->ancestor) return false;
  for (int k = 0; k < 2 * n - 1; ++k) {
    const TNode& node = tree.nodes.items[k];
    if (&node == tree.root) continue;
    const TNode* up = node.ancestor;
    if (!up || up->time < node.time || (up->desc1 != &node && up->desc2 != &node)) return false;
  }
  return true;
}

// One deme of o + m tips after a reset, the first o of them cut: moved into
// the pool with their branch-table entries in place.
inline void cutFirstTips(RecModel& model, int o) {
  TDemeCollection& c = model.demes;
  c.reset(model.sizes, model.rates);
  c.resetTreeStart();
  c.cutDemes.reset(c.numDemes);
  if (c.recBranches == nullptr) c.createRecBranchArray();
  for (int i = 0; i < c.tree.sampleSize; ++i) {
    TNode* tip = &c.tree.nodes.items[i];
    c.recBranches[i]->node = tip;
    tip->recBranchIndex = i;
  }
  for (int i = 0; i < o; ++i) c.transferLineageToRecombinantPool(&c.tree.nodes.items[i]);
}

// Replays the current tree's history through a single point above the root:
// it must succeed silently, take no random number, and rebuild `tree`.
inline void expectSilentReplayRebuilds(RecModel& model, const std::vector<NodeShot>& tree,
                                       const std::string& label) {
  placePointAboveRoot(model.demes);
  const int uniforms = model.rng.nextUniform, logs = model.rng.nextLogUniform;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(model.demes.replayTreeWithRecs(model.sizes, model.rates, 1)) << label;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << label;
  EXPECT_EQ(model.rng.nextUniform, uniforms) << label;
  EXPECT_EQ(model.rng.nextLogUniform, logs) << label;
  EXPECT_TRUE(snapshot(model.demes.tree) == tree) << label;
}

// With o cut lineages and m other lineages in one deme, `coalesce` (one new
// coalescence among them) must give every pair holding a cut lineage the
// same probability 1 / (C(o,2) + o m), over a table of (o, m).
template <class Coalesce>
void expectUniformCutPairs(const std::vector<std::pair<int, int>>& cases, unsigned seed,
                           Coalesce coalesce) {
  const int trials = 20000;
  for (const auto& [o, m] : cases) {
    RecModel model(ModelDesc{{1000}, {o + m}}, seed);
    std::map<std::pair<int, int>, int> counts;
    for (int k = 0; k < trials; ++k) {
      cutFirstTips(model, o);
      ASSERT_EQ(coalesce(model), 1);
      const TNode& node = model.demes.tree.nodes.items[o + m];
      const int a = node.desc1->posInTree, b = node.desc2->posInTree;
      ++counts[{std::min(a, b), std::max(a, b)}];
    }
    const int pairs = o * (o - 1) / 2 + o * m;
    const double p = 1.0 / pairs;
    EXPECT_EQ(static_cast<int>(counts.size()), pairs) << o << " cut, " << m << " others";
    for (const auto& [pair, count] : counts) {
      EXPECT_LT(pair.first, o) << "a pair without a cut lineage";
      EXPECT_NEAR(count / double(trials), p, 5 * std::sqrt(p * (1 - p) / trials))
          << o << " cut, " << m << " others, pair " << pair.first << "-" << pair.second;
    }
  }
}

// "measured +- se (theory)" for the test report.
inline std::string describe(const MeanSE& x, double theory) {
  return std::to_string(x.mean()) + " +- " + std::to_string(x.se()) + " (" +
         std::to_string(theory) + ")";
}
