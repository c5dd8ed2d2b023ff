#pragma once
// The current gene tree laid out once for placing sites: its nodes in
// pre-order (node, subtree of desc1, subtree of desc2), the branch above each
// and their running sum in that order, and the tips below each node as one
// range of the tips in pre-order. Every mutation model walks this layout
// instead of recursing through the tree, so a site costs one pass over the
// tips and a branch is found by binary search. The vectors keep their room
// from tree to tree: nothing is allocated per tree once they are large enough.
#include <utility>
#include <vector>

struct TNode;

class TTreeLayout {
 public:
  std::vector<TNode*> order;        // pre-order from the root
  std::vector<int> parent;          // index in order of the parent; -1 at the root
  std::vector<double> branch;       // parent's time - node's time; 0 at the root
  std::vector<double> cumulative;   // running sum of branch over order
  std::vector<int> firstTip;        // tips below order[i]: tips[firstTip[i] .. endTip[i])
  std::vector<int> endTip;
  std::vector<TNode*> tips;         // tips in pre-order
  std::vector<long long> state;     // work: state of every node at the site being placed
  std::vector<double> poissonMean;  // work: mean number of mutations per branch
  std::vector<double> poissonLimit; // work: exp(-mean) for means below 12

  // Lays out the tree below root (nothing for a null root).
  void build(TNode* root);
  int size() const { return static_cast<int>(order.size()); }
  // First node (pre-order, from index 1) whose running branch sum reaches h; -1 when none does.
  int nodeAtHeight(double h) const;
  // Means x CTTimeUnit x rate for every branch, with their Poisson limits.
  void setPoissonMeans(double rate);

 private:
  void walkFrom(TNode* root);  // order and parent
  void fillTables();           // the rest, from order and parent
  std::vector<std::pair<TNode*, int>> stack_;  // node and its parent's index
  std::vector<int> subtreeSize_;
};

// The current tree in post-order (desc1's subtree, desc2's, the node), found
// by one walk when the tree changes, which also zeroes the mutation counts of
// its nodes and sums its total branch length as TNode::calcTreeSizeC sums it.
// The length and the recombination points of the tree then read these
// instead of recursing through the tree. valid is false for a tree with a
// node of one child, which keeps the recursive walks (and whose counts the
// caller zeroes).
struct TPostOrder {
  std::vector<TNode*> nodes;
  double length = 0.0;
  bool valid = false;
  // Walks the tree below root (an empty list for a null root).
  void build(TNode* root);
};

// Caches of the site placement that belong to one tree: they are valid while
// their stamp equals the current tree's stamp, which every change of tree
// moves on.
struct TMutationWork {
  TTreeLayout layout;
  long long treeStamp = 0;       // moved on by every new tree
  long long layoutStamp = -1;    // tree of the layout
  long long lengthStamp = -1;    // tree of TTree::treeLength
  TPostOrder post;
  long long postStamp = -1;      // tree of post
  long long countsStamp = -1;    // tree of the descendant counts
  long long listStamp = -1;      // tree of the SNP branch list and its prefix sums
  double listMinFreq = -1.0;     // threshold of that list
  bool listWithRoot = false;     // the list includes the root (non-recombining kind)
  std::vector<double> listPrefix;  // running sums of the list's probabilities
  std::vector<long long> positions;  // work: DNA positions of a segment
  std::vector<double> heights;       // work: heights of the hits of one DNA site
  std::vector<int> hitNodes;         // work: layout index of each hit
  std::vector<unsigned char> hitKinds;  // work: kind of each hit
  std::vector<TNode*> below;        // work: nodes of a subtree being visited
  double poissonRate = -1.0;         // rate of layout.poissonMean
  long long poissonStamp = -1;
};
