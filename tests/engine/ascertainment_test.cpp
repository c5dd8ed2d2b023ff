// The SNP ascertainment panel on gene trees: marking, lengths and the branch
// of an ascertained SNP, checked against the tree's own ancestry.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "tests/engine/freqModel.h"

namespace {

bool isBelow(const TNode* node, const TNode* top) {
  for (; node; node = node->ancestor)
    if (node == top) return true;
  return false;
}

// Panel tips below the node, counted from the tips upwards.
int panelTipsBelow(const TNode* node, const std::vector<const TNode*>& panel) {
  int count = 0;
  for (const TNode* tip : panel) count += isBelow(tip, node);
  return count;
}

}  // namespace

TEST(Ascertainment, PanelTreeMatchesAncestry) {
  SpectrumSwitches saved;
  TSimSettings::ascertainedDeme = 1;
  // The panel lies in deme 1, whose lineages join deme 0 after one generation.
  ModelDesc desc = makeDesc({1000, 1000}, {3, 5});
  desc.events = {makeEvent(1, 1, 0, 1.0)};
  FreqModel model(desc, 23);
  TDemeCollection& c = model.demes;
  for (int size : {0, 1, 3, 5}) {
    TSimSettings::ascertainedSize = size;
    for (int r = 0; r < 20; ++r) {
      ASSERT_EQ(model.buildFreq(), 1);
      TTree& tree = c.tree;
      std::vector<const TNode*> panel;
      for (int i = 0; i < size; ++i) panel.push_back(c.demes[1].sampledNodes[i]);

      tree.root->resetBranchAscertainmentScores();
      TNode* top = tree.flagSNPAscertainedBranchesNoShuffling(c);
      std::vector<int> scores;
      for (int k = 0; k < tree.nodes.count; ++k) scores.push_back(tree.nodes.items[k].ascertainmentScore);
      tree.root->resetBranchAscertainmentScores();
      std::vector<int> order(5);
      std::iota(order.begin(), order.end(), 0);
      tree.flagSNPAscertainedBranchesIndirectAccessToNodes(c, order);
      for (int k = 0; k < tree.nodes.count; ++k)
        ASSERT_EQ(tree.nodes.items[k].ascertainmentScore, scores[k]) << k;

      c.ascertainedTreeLength = 0.0;
      top->computeAscertainedTreelength(c);
      c.wholeTreeLength = 0.0;
      tree.root->computeWholeTreelength(c);
      EXPECT_NEAR(c.wholeTreeLength, tree.root->calcTreeSizeC(), 1e-15);
      if (size == 0) {
        EXPECT_EQ(top, tree.root);
        EXPECT_EQ(c.ascertainedTreeLength, 0.0);
        continue;
      }
      if (size == 1) {
        EXPECT_EQ(top, panel[0]->ancestor);
      }
      double expectedLength = 0.0;
      for (int k = 0; k < tree.nodes.count; ++k) {
        const TNode& node = tree.nodes.items[k];
        const bool onPanel = &node != top && isBelow(&node, top) && panelTipsBelow(&node, panel) > 0;
        EXPECT_EQ(node.ascertainmentScore, onPanel ? panelTipsBelow(&node, panel) : 0) << k;
        if (onPanel) expectedLength += node.ancestor->time - node.time;
      }
      EXPECT_EQ(panelTipsBelow(top, panel), size);
      if (size > 1) {  // the panel's most recent common ancestor
        EXPECT_LT(panelTipsBelow(top->desc1, panel), size);
        EXPECT_LT(panelTipsBelow(top->desc2, panel), size);
      }
      EXPECT_NEAR(c.ascertainedTreeLength, expectedLength, 1e-15);

      for (int s = 0; s < 20; ++s) {
        const double target = model.rng.takeUniform() * c.ascertainedTreeLength;
        double cumulative = 0.0;
        TNode* mutation = nullptr;
        top->locateRootNodeForAscertainedSNP(target, cumulative, mutation, &c);
        ASSERT_NE(mutation, nullptr);
        EXPECT_GT(mutation->ascertainmentScore, 0);
        EXPECT_TRUE(isBelow(mutation, top) && mutation != top);
      }
    }
  }
}
