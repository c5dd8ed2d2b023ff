#include <gtest/gtest.h>

#include <cmath>

#include "engine/deme.h"
#include "engine/genealgy.h"
#include "support/UniqueRandom.h"

namespace {

class NumPopGuard {
 public:
  explicit NumPopGuard(int n) : saved_(TNode::numPop) { TNode::numPop = n; }
  ~NumPopGuard() { TNode::numPop = saved_; }

 private:
  int saved_;
};

// Links parent above the two children at time t.
void join(TNode& parent, TNode& a, TNode& b, double t) {
  parent.desc1 = &a;
  parent.desc2 = &b;
  parent.time = t;
  a.ancestor = b.ancestor = &parent;
}

TEST(TreeStore, AllocatesTwoNMinusOneDefaultNodesOnce) {
  NumPopGuard pops(3);
  TTree tree;
  tree.allocate_tree(4);
  ASSERT_EQ(tree.nodes.count, 7);
  EXPECT_EQ(tree.sampleSize, 4);
  for (int i = 0; i < 7; ++i) {
    const TNode& node = tree.nodes.items[i];
    EXPECT_EQ(node.posInTree, i);
    EXPECT_EQ(node.deme, -1);
    ASSERT_NE(node.numDescPerPop, nullptr);
    for (int d = 0; d < 3; ++d) EXPECT_EQ(node.numDescPerPop[d], 0);
  }
  tree.allocate_tree(10);  // a store exists: nothing changes
  EXPECT_EQ(tree.nodes.count, 7);
  EXPECT_EQ(tree.sampleSize, 4);
  tree.deleteNodes();
  EXPECT_EQ(tree.nodes.capacity, 0);
  EXPECT_EQ(tree.root, nullptr);
  tree.allocate_tree(10);
  EXPECT_EQ(tree.nodes.count, 19);
}

TEST(TreeMeasures, LengthAndDescendantCounts) {
  TTree tree;
  tree.allocate_tree(3);
  TNode* n = tree.nodes.items;
  join(n[3], n[0], n[1], 1.0);
  join(n[4], n[3], n[2], 3.0);
  tree.root = &n[4];
  EXPECT_DOUBLE_EQ(n[3].calcTreeSizeC(), 2.0 + 2.0);  // its children plus its own branch
  EXPECT_DOUBLE_EQ(n[4].calcTreeSizeC(), 1 + 1 + 2 + 3);
  EXPECT_EQ(n[4].countDescNew(), 3);
  EXPECT_EQ(n[4].numLeftDesc, 2);
  EXPECT_EQ(n[4].numRightDesc, 1);
  EXPECT_EQ(n[3].numDesc, 2);
  EXPECT_EQ(n[2].numDesc, 1);

  n[3].desc2 = &n[3];  // a node that is its own child
  testing::internal::CaptureStderr();
  EXPECT_DOUBLE_EQ(n[4].calcTreeSizeC(), -1.0 + 3.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "TNode::calcTreeSizeC(): descendent node is equal to parental node\n");
}

TEST(LineageList, GrowsToTwiceItsCapacityPlusOne) {
  TNode nodes[8];
  for (int start : {0, 1, 3}) {
    TNodeArray list(start);
    for (int i = 0; i < start; ++i) list.Add(&nodes[i]);
    list.Add(&nodes[7]);
    EXPECT_EQ(list.capacity, 2 * start + 1);
    EXPECT_EQ(list.count(), start + 1);
    EXPECT_EQ(list[start], &nodes[7]);
  }
}

TEST(LineageList, CopiesOwnTheirTables) {
  TNode nodes[3];
  TNodeArray a;
  for (TNode& n : nodes) a.Add(&n);
  TNodeArray b(a);
  EXPECT_NE(b.items, a.items);
  EXPECT_EQ(b.top, 2);
  TNodeArray big(10);
  big = a;  // a larger table is kept
  EXPECT_EQ(big.capacity, 10);
  EXPECT_EQ(big[2], &nodes[2]);
  a.clear();
  EXPECT_EQ(b[1], &nodes[1]);
}

// Lists are written as node indices; -1 past the top.
struct ListCase {
  const char* what;
  int size;
  int op;  // 0 remove at i; 1 coalesce i and j into the parent (index 9)
  int i, j;
  std::vector<int> expected;
};

TEST(LineageList, PositionRulesOfRemovalAndCoalescence) {
  const ListCase cases[] = {
      {"remove the first", 4, 0, 0, 0, {3, 1, 2}},
      {"remove a middle one", 4, 0, 1, 0, {0, 3, 2}},
      {"remove the last", 4, 0, 3, 0, {0, 1, 2}},
      {"remove the only one", 1, 0, 0, 0, {}},
      {"coalesce first two", 4, 1, 0, 1, {9, 3, 2}},
      {"coalesce with the last", 4, 1, 1, 3, {0, 9, 2}},
      {"second before first", 4, 1, 2, 0, {3, 1, 9}},
      {"first is the last slot", 4, 1, 3, 1, {0, 9, 2}},
      {"the only pair", 2, 1, 1, 0, {9}},
  };
  TNode nodes[10];
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.what);
    TNodeArray list;
    for (int k = 0; k < c.size; ++k) list.Add(&nodes[k]);
    if (c.op == 0) {
      EXPECT_EQ(list.removeAt(c.i), &nodes[c.i]);
    } else {
      list.coalesce(c.i, c.j, &nodes[9]);
    }
    ASSERT_EQ(list.count(), static_cast<int>(c.expected.size()));
    for (size_t k = 0; k < c.expected.size(); ++k) EXPECT_EQ(list[k], &nodes[c.expected[k]]);
    EXPECT_EQ(list.items[list.count()], nullptr);  // the freed slot is cleared
  }
}

TEST(TreeCopy, CopiesCountersAndRecombinationPointsNotTheStore) {
  TTree source;
  source.allocate_tree(3);
  source.numLoci = 12;
  source.numCoalNodes = 2;
  source.root = &source.nodes.items[4];
  source.recLocations = new MY_TArrayAsVector<TRecLocation>(10, 100);
  for (int i = 0; i < 3; ++i) {
    TRecLocation r;
    r.time = 0.1 * (i + 1);
    source.recLocations->Add(r);
  }
  source.numRecs = 3;
  TTree copy;
  copy = source;
  EXPECT_EQ(copy.sampleSize, 3);
  EXPECT_EQ(copy.numLoci, 12);
  EXPECT_EQ(copy.numCoalNodes, 2);
  EXPECT_EQ(copy.root, source.root);
  EXPECT_EQ(copy.nodes.capacity, 0);
  ASSERT_NE(copy.recLocations, nullptr);
  EXPECT_NE(copy.recLocations, source.recLocations);
  EXPECT_EQ(copy.recLocations->capacity, 4);
  EXPECT_EQ(copy.numRecs, 3);
  for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ((*copy.recLocations)[i].time, 0.1 * (i + 1));

  TTree noPoints;
  copy = noPoints;
  EXPECT_EQ(copy.recLocations, nullptr);
  EXPECT_EQ(copy.numRecs, 0);
}

class SnpBranch : public testing::Test {
 protected:
  void SetUp() override {
    rng.InitializeGenerator(12345);
    collection.randomGenerator = &rng;
    tree.allocate_tree(3);
    TNode* n = tree.nodes.items;
    const double gen = 1.0 / TDemeCollection::CTTimeUnit;
    join(n[3], n[0], n[1], 1 * gen);  // branch lengths: tips 0, 1: 1; node 3: 2; tip 2: 3
    join(n[4], n[3], n[2], 3 * gen);
    tree.root = &n[4];
    tree.root->countDescNew();
  }
  GlobalRandom rng;
  TDemeCollection collection;
  TTree tree;
};

TEST_F(SnpBranch, BranchesAreChosenInProportionToTheirLength) {
  const int draws = 14000;
  int hits[5] = {};
  for (int k = 0; k < draws; ++k) {
    TNode* chosen = tree.getRootNodeForMutation(0.0, &collection);
    ASSERT_NE(chosen, nullptr);
    ++hits[chosen->posInTree];
  }
  const double expected[5] = {1 / 7.0, 1 / 7.0, 3 / 7.0, 2 / 7.0, 0.0};
  for (int i = 0; i < 5; ++i) {
    const double se = std::sqrt(expected[i] * (1 - expected[i]) / draws);
    EXPECT_NEAR(hits[i] / double(draws), expected[i], 5 * se + 1e-12) << "node " << i;
  }
}

TEST_F(SnpBranch, ThresholdsSelectBranchesAndAlwaysTakeOneUniform) {
  tree.matchingNodes.FlushFast();
  EXPECT_EQ(tree.getRootNodeForMutation(0.6, &collection), &tree.nodes.items[3]);
  EXPECT_EQ(tree.matchingNodes.numElems, 2);  // node 3 and the root (length 0)

  tree.matchingNodes.FlushFast();
  const int before = rng.nextUniform;
  EXPECT_EQ(tree.getRootNodeForMutation(1.5, &collection), nullptr);
  EXPECT_EQ(rng.nextUniform, before + 1);

  tree.matchingNodes.FlushFast();  // the recombining variant leaves out the root
  EXPECT_EQ(tree.getRootNodeForMutation(0.9, 0L, &collection), nullptr);
  EXPECT_EQ(tree.matchingNodes.numElems, 0);
}

}  // namespace
