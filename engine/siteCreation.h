#pragma once
// Shared steps of the mutation models: the caches of the current tree and the
// appending of one site's states to the tips. Only the tips keep rows of
// states (they are the sampled genes); an internal node's state matters only
// while a site is placed and lives in the layout's work vector.
#include "engine/deme.h"

namespace sites {

// The layout of the current tree, built when the tree changed.
TTreeLayout& layout(TDemeCollection& c);
// TTree::treeLength of the current tree, measured when the tree changed.
double treeLength(TDemeCollection& c);
// The current tree in post-order, or null when it has a node of one child.
const std::vector<TNode*>* postOrder(TDemeCollection& c);
// Descendant counts of the current tree, redone when the tree changed.
void ensureDescCounts(TDemeCollection& c);

// Appends state s to the site list of every tip; false when a list is
// missing or cannot grow (the data set fails).
bool appendToTips(TDemeCollection& c, short s);
// Appends the work state of every tip of the layout to its site list (the
// state checked with storable for that locus); false when the data set failed.
bool appendNodeStates(TDemeCollection& c, long locus);
// Sets the last state of every tip below node to s.
void setBelow(TDemeCollection& c, TNode* node, short s);
// The last state of a tip (the one just appended).
inline short& lastState(TNode* tip) {
  return tip->polymSites->elems[tip->polymSites->numElems - 1];
}
// A wide state in the 16-bit range; otherwise the data set fails with a
// message naming the chromosome and the locus.
bool storable(TDemeCollection& c, long long s, long locus, short& out);

// Wide states and counts stay within +-kWideLimit, so that adding two of
// them never overflows; anything that far out fails storage anyway.
constexpr long long kWideLimit = 4000000000000000000LL;
inline long long clampWide(double x) {
  if (!(x > -4.0e18)) return -kWideLimit;
  if (x > 4.0e18) return kWideLimit;
  return static_cast<long long>(x);
}
inline long long saturatingAdd(long long a, long long b) {
  const long long sum = a + b;
  return sum > kWideLimit ? kWideLimit : (sum < -kWideLimit ? -kWideLimit : sum);
}

// A Poisson count of branch i of the layout, drawn as
// GlobalRandom::PoissonDistributionValue draws it, with the branch's limit
// computed once per tree.
// The layout with Poisson means for mutation rate `rate` on every branch.
const TTreeLayout& layoutWithRate(TDemeCollection& c, double rate);
long long branchPoisson(TDemeCollection& c, const TTreeLayout& l, int i);

// One locus at position p of a model whose allele is carried down the tree:
// each branch draws its Poisson count of mutations and the child's state is
// moveState(parent's state, count). Returns the mutations placed, -1 when the
// data set failed.
template <class MoveState>
long long placeInheritedLocus(TDemeCollection& c, long p, DataType type, double rate,
                              MoveState moveState) {
  const TTreeLayout& l = layoutWithRate(c, rate);
  if (l.size() == 0 || !c.beginSite(p, type, 0)) return -1;
  std::vector<long long>& state = c.mutWork.layout.state;
  state[0] = 0;
  l.order[0]->numMutations = 0;
  long long total = 0;
  for (int i = 1; i < l.size(); ++i) {
    const long long count = branchPoisson(c, l, i);
    l.order[i]->numMutations = count;
    state[i] = moveState(state[l.parent[i]], count);
    total = saturatingAdd(total, count);
  }
  return appendNodeStates(c, p) ? total : -1;
}

}  // namespace sites
