// Newick text of small hand-built trees.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/deme.h"
#include "engine/genealgy.h"

namespace {

// ((tip0, tip1) at 12.5 generations, tip2 of the second deme) at 42.75 generations.
struct ThreeTips {
  TNode n[5];
  ThreeTips() {
    for (int k = 0; k < 5; ++k) n[k].posInTree = k;
    n[0].sampleDeme = n[1].sampleDeme = 0;
    n[2].sampleDeme = 1;
    join(n[3], n[0], n[1], 12.5);
    join(n[4], n[3], n[2], 42.75);
  }
  static void join(TNode& parent, TNode& a, TNode& b, double generations) {
    parent.time = generations / TDemeCollection::CTTimeUnit;
    parent.desc1 = &a;
    parent.desc2 = &b;
    a.ancestor = b.ancestor = &parent;
  }
  std::string text(tree_output_type kind, double rate = 0.0) const {
    std::ostringstream os;
    n[4].print_tree_structure(os, kind, rate);
    return os.str();
  }
};

TEST(Newick, BranchLengthsInGenerationsAndMutations) {
  ThreeTips t;
  EXPECT_EQ(t.text(tree_output_type::NumGen),
            "((1.1:12.50000, 2.1:12.50000):30.25000, 3.2:42.75000);\n");
  t.n[0].numMutations = 3;
  t.n[3].numMutations = 1;
  t.n[2].numMutations = 12;
  EXPECT_EQ(t.text(tree_output_type::NumMut), "((1.1:3, 2.1:0):1, 3.2:12);\n");
  EXPECT_EQ(t.text(tree_output_type::MutRate, 2.0),
            "((1.1:25.00000, 2.1:25.00000):60.50000, 3.2:85.50000);\n");
  t.n[0].ascertainmentScore = t.n[3].ascertainmentScore = 1;
  EXPECT_EQ(t.text(tree_output_type::AscNumGen), "((1.1:12.50000, 2.1:0):30.25000, 3.2:0);\n");
}

TEST(Newick, ChildOrderZeroLengthsAndSingleTips) {
  ThreeTips t;
  std::swap(t.n[4].desc1, t.n[4].desc2);
  t.n[1].time = t.n[3].time;  // a branch of length 0
  EXPECT_EQ(t.text(tree_output_type::NumGen),
            "(3.2:42.75000, (1.1:12.50000, 2.1:0.00000):30.25000);\n");
  TNode tip;
  tip.posInTree = 0;
  tip.sampleDeme = 0;
  std::ostringstream os;
  tip.print_tree_structure(os, tree_output_type::NumGen, 0.0);
  EXPECT_EQ(os.str(), "1.1;\n");
}

TEST(Newick, LongBranchesKeepFiveDecimals) {
  ThreeTips t;
  t.n[4].time = (12.5 + 1234.5) / TDemeCollection::CTTimeUnit;
  const std::string text = t.text(tree_output_type::NumGen);
  EXPECT_NE(text.find("):1234.50000, 3.2:1247.00000);\n"), std::string::npos) << text;
}

}  // namespace
