// SNP sites: one derived allele per site, on a branch chosen in proportion to
// its length among the branches whose share of the sample reaches the block's
// minimum frequency (derived state 1), among all branches when none does
// (state 2), or on the panel tree under SNP ascertainment (state 3).
#include <algorithm>

#include "engine/siteCreation.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

namespace {

// The tree's branch list for minFreq, with the running sums of its
// probabilities, rebuilt only when the tree or the threshold changed.
void ensureBranchList(TDemeCollection& c, double minFreq, bool withRoot) {
  TMutationWork& w = c.mutWork;
  TTree& t = c.tree;
  if (w.listStamp == w.treeStamp && w.listMinFreq == minFreq && w.listWithRoot == withRoot &&
      static_cast<int>(w.listPrefix.size()) == t.matchingNodes.numElems)
    return;
  sites::ensureDescCounts(c);
  if (withRoot)
    t.getListofMatchingNodesNoRec(minFreq);
  else
    t.getListofMatchingNodesRec(minFreq);
  w.listPrefix.resize(t.matchingNodes.numElems);
  double cumulative = 0.0;
  for (int i = 0; i < t.matchingNodes.numElems; ++i) {
    cumulative += t.matchingBranchLengths[i];
    w.listPrefix[i] = cumulative;
  }
  w.listStamp = w.treeStamp;
  w.listMinFreq = minFreq;
  w.listWithRoot = withRoot;
}

// The branch of a SNP: one uniform, always; the first branch whose running
// probability reaches it (binary search over the running sums), or none.
TNode* drawBranch(TDemeCollection& c, double minFreq, bool withRoot) {
  ensureBranchList(c, minFreq, withRoot);
  const double u = c.randomGenerator->takeUniform();
  const std::vector<double>& prefix = c.mutWork.listPrefix;
  const auto it = std::lower_bound(prefix.begin(), prefix.end(), u);
  if (it == prefix.end()) return nullptr;
  return c.tree.matchingNodes.elems[it - prefix.begin()];
}

// Sites at a locus: a Poisson number by the tree's length, one per locus
// when the rate is 0, and one at most without the infinite-site switch; 0
// with the data set failed when more than can be held.
long long snpSitesAtLocus(TDemeCollection& c, const TBlock& block, double length) {
  if (c.siteStorage.failed()) return 0;
  if (!(block.mutRate > 0)) return 1;
  const double drawn = c.randomGenerator->PoissonDistributionValue(
      block.mutRate * TDemeCollection::CTTimeUnit * length);
  if (drawn < 1) return 0;
  if (TSimSettings::useInfiniteSiteModel == 0) return 1;
  if (!c.countCanBeHeld(drawn, false, "SNP mutations", c.curBlock, "mutation", block.mutRate))
    return 0;
  return sites::clampWide(drawn);
}

// One SNP site at position p with its mutation node (none: monomorphic).
bool placeSNP(TDemeCollection& c, long p, TNode* node, short derived) {
  if (!c.beginSite(p, DataType::SNP, 0) || !sites::appendToTips(c, 0)) return false;
  if (node) sites::setBelow(c, node, derived);
  return true;
}

}  // namespace

long TDemeCollection::sprinkleSNPMutationsNoRec(const TBlock& block) {
  const double length = sites::treeLength(*this);
  const bool asc = TSimSettings::SNPascertainment;
  if (!asc) sites::ensureDescCounts(*this);
  short derived = 1;
  bool useMinFreq = true;
  long placed = 0;
  for (long p = block.firstLocus; p < block.firstLocus + block.numLoci; ++p) {
    const long long k = snpSitesAtLocus(*this, block, length);
    for (long long s = 0; s < k; ++s) {
      TNode* node = nullptr;
      if (asc) {
        const double target = randomGenerator->takeUniform() * ascertainedTreeLength;
        double cumulative = 0.0;
        if (tree.ascRoot) tree.ascRoot->locateRootNodeForAscertainedSNP(target, cumulative, node, this);
        derived = 3;
      } else if (useMinFreq) {
        node = drawBranch(*this, block.minFreq, true);
        if (!node) {
          node = drawBranch(*this, 0.0, true);
          derived = 2;
          useMinFreq = false;
        }
      } else {
        node = drawBranch(*this, 0.0, true);
      }
      if (!placeSNP(*this, p, node, derived)) return -1;
      ++placed;
    }
  }
  numMutations += placed;
  return placed;
}

long TDemeCollection::sprinkleSNPMutationsRec(long& locus, const TBlock& block, bool /*sameTree*/) {
  // The length and the counts are those of the current tree whatever the
  // caller says: they are refreshed whenever the tree changed.
  const long long k = snpSitesAtLocus(*this, block, sites::treeLength(*this));
  if (k < 1) return static_cast<long>(k);
  for (long long s = 0; s < k; ++s) {
    short derived = 1;
    TNode* node = drawBranch(*this, block.minFreq, false);
    if (!node) {
      node = drawBranch(*this, 0.0, false);
      derived = 2;
    }
    if (!placeSNP(*this, locus, node, derived)) return -1;
    ++numMutations;
  }
  return static_cast<long>(k);
}
