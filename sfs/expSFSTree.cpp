// Expected spectra from a finished gene tree: the whole-tree road (pooled
// spectra, and the two-tree path) and the ascertained road, which adds only the
// branches polymorphic in the ascertainment panel while the total tree length
// still grows by the whole tree.
#include <iostream>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/expSFSCells.h"
#include "sfs/expSFSUpdate.h"

using namespace sfscells;

namespace {

// Post-order: the node's counts are formed after its children's.
void formCounts(TNode& node) {
  if (node.desc1 && node.desc2)
    sumChildCounts(node);
  else
    setTipCounts(node);
}

// Length of the node's branch (0 for the top node of a recursion).
double branchLength(const TNode& node, bool isTop) {
  return isTop || !node.ancestor ? 0.0 : node.ancestor->time - node.time;
}

void addTotal(AFS* s, double length) {
  if (s) s->totTreeLength += length;
}

void pooledWholeTree(TNode& node, bool isTop, TDemeCollection& demes) {
  if (node.desc1 && node.desc2) {
    pooledWholeTree(*node.desc1, false, demes);
    pooledWholeTree(*node.desc2, false, demes);
  }
  formCounts(node);
  if (isTop) return;
  const double length = branchLength(node, false);
  if (AFS* s = wantedDAF(demes)) {
    s->totTreeLength += length;
    addPooledCell(*s, &node, length, false);
  }
  if (AFS* s = wantedMAF(demes)) {
    s->totTreeLength += length;
    addPooledCell(*s, &node, length, true);
  }
}

void multiWholeTree(TNode& node, bool isTop, TDemeCollection& demes) {
  if (node.desc1 && node.desc2) {
    multiWholeTree(*node.desc1, false, demes);
    multiWholeTree(*node.desc2, false, demes);
  }
  formCounts(node);
  if (isTop) return;
  const double length = branchLength(node, false);
  if (wantedMultiDAF(demes)) updateMultiDSFS(&node, length, demes);
  if (wantedMultiMAF(demes)) updateMultiMSFS(&node, length, demes);
}

void jointWholeTree(TNode& node, bool isTop, TDemeCollection& demes) {
  if (node.desc1 && node.desc2) {
    jointWholeTree(*node.desc1, false, demes);
    jointWholeTree(*node.desc2, false, demes);
  }
  formCounts(node);
  if (isTop) return;
  const double length = branchLength(node, false);
  if (wantedDAF(demes)) updateJointDSFS(&node, length, demes);
  if (wantedMAF(demes)) updateJointMSFS(&node, length, demes);
}

// Counts of every node and every branch length into the totals of the wanted
// spectra of one shape.
void countsAndTotals(TNode& node, bool isTop, TDemeCollection& demes, bool multi) {
  if (node.desc1 && node.desc2) {
    countsAndTotals(*node.desc1, false, demes, multi);
    countsAndTotals(*node.desc2, false, demes, multi);
  }
  formCounts(node);
  if (isTop) return;
  const double length = branchLength(node, false);
  if (multi) {
    addTotal(wantedMultiDAF(demes), length);
    addTotal(wantedMultiMAF(demes), length);
  } else {
    addTotal(wantedDAF(demes), length);
    addTotal(wantedMAF(demes), length);
  }
}

// Children on the panel tree first, then the node's own branch unless it is the top.
template <class AddBranch>
void ascertainedBranches(TNode& node, bool isTop, AddBranch add) {
  if (node.desc1 && node.desc1->ascertainmentScore != 0) ascertainedBranches(*node.desc1, false, add);
  if (node.desc2 && node.desc2->ascertainmentScore != 0) ascertainedBranches(*node.desc2, false, add);
  if (!isTop) add(node, branchLength(node, false));
}

}  // namespace

void TTree::updateExpAFSForDNASNPs(TNode* top, TDemeCollection& demes) {
  if (!top) return;
  if (TSimSettings::computePooledSFS)
    top->updatePooledExpSFS(demes);
  else if (TSimSettings::isMultiSFS)
    top->updateExpSFS(demes);
  else
    top->updateExpAFSfromNodeForDNASNPs(demes);
}

void TNode::updatePooledExpSFS(TDemeCollection& demes) { pooledWholeTree(*this, true, demes); }
void TNode::updateExpSFS(TDemeCollection& demes) { multiWholeTree(*this, true, demes); }
void TNode::updateExpAFSfromNodeForDNASNPs(TDemeCollection& demes) {
  jointWholeTree(*this, true, demes);
}

void TNode::calcCurrentPopTreeSizesAndDescNodeCounts(TDemeCollection& demes) {
  countsAndTotals(*this, true, demes, false);
}
void TNode::calcCurrentTotTreeSizeAndDescNodeCountsmultiSFS(TDemeCollection& demes) {
  countsAndTotals(*this, true, demes, true);
}

void TNode::updateExpAFSfromNodeAscForDNASNPsNew(bool isTopNode, TDemeCollection& demes) {
  AFS* daf = wantedDAF(demes);
  AFS* maf = wantedMAF(demes);
  const int n = demes.tree.sampleSize;
  ascertainedBranches(*this, isTopNode, [&](TNode& x, double length) {
    if (demes.ascertainedTreeLength == 0.0) return;
    if (daf) addJointCells(*daf, &x, length, false, true);
    if (maf) addJointMinorCells(*maf, &x, length, n, true);
  });
}

void TNode::updatePooledExpSFSAsc(bool isTopNode, TDemeCollection& demes) {
  AFS* daf = wantedDAF(demes);
  AFS* maf = wantedMAF(demes);
  ascertainedBranches(*this, isTopNode, [&](TNode& x, double length) {
    if (daf) addPooledCell(*daf, &x, length, false);
    if (maf) addPooledCell(*maf, &x, length, true);
  });
}

void TNode::updateExpSFSAscNew(bool isTopNode, TDemeCollection& demes) {
  multiSFS* daf = wantedMultiDAF(demes);
  multiSFS* maf = wantedMultiMAF(demes);
  const int n = demes.tree.sampleSize;
  ascertainedBranches(*this, isTopNode, [&](TNode& x, double length) {
    if (demes.ascertainedTreeLength == 0.0) {
      std::cerr << "Error in updating exp SFS. Ascertained tree is NULL" << std::endl;
      return;
    }
    if (daf) multiCell(*daf, coordinate(demes.sfsCoord, demes), &x, false) += length;
    if (maf) addMultiMinorCells(*maf, coordinate(demes.sfsCoord, demes), &x, length, n);
  });
}

void TDemeCollection::updateExpAFSAscForDNASNPs() {
  TNode* top = tree.root;
  if (!top) return;
  if (TSimSettings::isMultiSFS)
    top->calcCurrentTotTreeSizeAndDescNodeCountsmultiSFS(*this);
  else
    top->calcCurrentPopTreeSizesAndDescNodeCounts(*this);
  top->resetBranchAscertainmentScores();
  TNode* panelTop = tree.flagSNPAscertainedBranchesIndirectAccessToNodes(*this);
  ascertainedTreeLength = 0.0;
  panelTop->computeAscertainedTreelength(*this);
  if (TSimSettings::computePooledSFS)
    panelTop->updatePooledExpSFSAsc(true, *this);
  else if (TSimSettings::isMultiSFS)
    panelTop->updateExpSFSAscNew(true, *this);
  else
    panelTop->updateExpAFSfromNodeAscForDNASNPsNew(true, *this);
}
