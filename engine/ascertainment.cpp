// SNP ascertainment on gene trees: the panel tree joining the first
// ascertainedSize sampled genes of deme ascertainedDeme up to their most recent
// common ancestor is marked by ascertainment scores, measured, and used to
// place ascertained SNPs.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

namespace {

// Number of panel genes that exist: the panel is cut to the deme's sample, and
// an unknown deme gives no panel.
int panelSize(const TDemeCollection& demes) {
  const int d = TSimSettings::ascertainedDeme;
  if (d < 0 || d >= demes.numDemes) return 0;
  return std::min(TSimSettings::ascertainedSize, demes.demes[d].sampledNodes.count());
}

// Marks the panel tree whose tips are tipAt(0) .. tipAt(size - 1): every node on
// a tip's upward path gets +1, and the first node whose score reaches size is
// the panel ancestor, where the climb of the last tip stops. The ancestor and
// every node above it then have score 0. Returns the ancestor, or the root when
// none was found.
template <class TipAt>
TNode* markPanel(TTree& tree, int size, TipAt tipAt) {
  TNode* root = tree.root;
  if (size < 1) {
    if (root) root->ascertainmentScore = 0;
    return root;
  }
  TNode* found = nullptr;
  for (int i = 0; i < size && !found; ++i) {
    TNode* node = tipAt(i);
    node->ascertainmentScore += 1;
    while (node != root && node->ancestor) {
      node = node->ancestor;
      node->ascertainmentScore += 1;
      if (node->ascertainmentScore == size) {
        found = node;
        break;
      }
    }
  }
  if (!found) found = root;
  // Earlier tips climbed past the ancestor; only the panel tree keeps scores.
  for (TNode* node = found; node; node = node == root ? nullptr : node->ancestor)
    node->ascertainmentScore = 0;
  return found;
}

}  // namespace

void TNode::resetBranchAscertainmentScores() {
  ascertainmentScore = 0;
  if (desc1) desc1->resetBranchAscertainmentScores();
  if (desc2) desc2->resetBranchAscertainmentScores();
}

TNode* TTree::flagSNPAscertainedBranchesNoShuffling(TDemeCollection& demes) {
  const int size = panelSize(demes);
  const TNodeArray* tips = size > 0 ? &demes.demes[TSimSettings::ascertainedDeme].sampledNodes : nullptr;
  return markPanel(*this, size, [tips](int i) { return (*tips)[i]; });
}

TNode* TTree::flagSNPAscertainedBranchesIndirectAccessToNodes(TDemeCollection& demes) {
  return flagSNPAscertainedBranchesNoShuffling(demes);
}

void TTree::flagSNPAscertainedBranchesIndirectAccessToNodes(TDemeCollection& demes,
                                                            std::vector<int>& order) {
  const int size = std::min(panelSize(demes), static_cast<int>(order.size()));
  const TNodeArray* tips = size > 0 ? &demes.demes[TSimSettings::ascertainedDeme].sampledNodes : nullptr;
  markPanel(*this, size, [tips, &order](int i) { return (*tips)[order[i]]; });
}

TNode* TTree::flagSNPAscertainedBranches(TDemeCollection& demes, std::vector<int>& order) {
  for (size_t p = 1; p < order.size(); ++p) std::swap(order[p], order[std::rand() % (p + 1)]);
  const int size = std::min(panelSize(demes), static_cast<int>(order.size()));
  const TNodeArray* tips = size > 0 ? &demes.demes[TSimSettings::ascertainedDeme].sampledNodes : nullptr;
  return markPanel(*this, size, [tips, &order](int i) { return (*tips)[order[i]]; });
}

void TNode::computeWholeTreelength(TDemeCollection& demes) {
  for (TNode* child : {desc1, desc2}) {
    if (!child) continue;
    demes.wholeTreeLength += time - child->time;
    child->computeWholeTreelength(demes);
  }
}

void TNode::computeAscertainedTreelength(TDemeCollection& demes) {
  for (TNode* child : {desc1, desc2}) {
    if (!child || child->ascertainmentScore == 0) continue;
    child->computeAscertainedTreelength(demes);
    demes.ascertainedTreeLength += time - child->time;
  }
}

void TNode::locateRootNodeForAscertainedSNP(const double& target, double& cumulative,
                                            TNode*& mutationNode, TDemeCollection* demes) {
  if (!desc1 || !desc2) return;
  const bool secondFirst = demes->randomGenerator->YesOrNo();
  TNode* first = secondFirst ? desc2 : desc1;
  TNode* second = secondFirst ? desc1 : desc2;
  for (TNode* child : {first, second}) {
    if (child->ascertainmentScore == 0) continue;
    cumulative += time - child->time;
    if (cumulative >= target) {
      mutationNode = child;
      return;
    }
    TNode* before = mutationNode;
    child->locateRootNodeForAscertainedSNP(target, cumulative, mutationNode, demes);
    if (mutationNode != before) return;
  }
}
