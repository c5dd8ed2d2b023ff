#pragma once
// The coalescence of two lineages of a deme: the pair drawn, the lineages
// joined into the tree's next internal node. Inline, because it is the step
// of every coalescence of the tree builders; TDeme::implementCoalEventCT and
// the expected-spectrum coalescent both make it.
#include <iostream>

#include "engine/deme.h"
#include "support/UniqueRandom.h"

namespace coalstep {

// The next internal node of the tree, not yet counted.
inline TNode* nextInternalNode(TTree& tree) {
  return &tree.nodes.items[tree.sampleSize + tree.numCoalNodes - tree.nodeOffset];
}

// Joins the lineages at slots i and j of the deme into the next internal node
// of the tree at time t; the deme holds at least two lineages.
inline TNode* joinLineages(TDeme& deme, TDemeCollection& collection, const double& t, int i,
                           int j) {
  TTree& tree = collection.tree;
  TNode* node = nextInternalNode(tree);
  ++tree.numCoalNodes;
  TNode* first = deme.VNL.items[i];
  TNode* second = deme.VNL.items[j];
  node->posInVNL = i;
  deme.VNL.coalesce(i, j, node);
  if (j <= deme.VNL.top) deme.VNL.items[j]->posInVNL = j;  // the lineage moved into j
  --deme.numLineages;

  node->deme = deme.demeId;
  node->desc1 = first;
  node->desc2 = second;
  node->ancestor = nullptr;
  node->time = t;
  first->ancestor = node;
  second->ancestor = node;
  first->posInVNL = -1;
  second->posInVNL = -1;
  if (--collection.numLineages == 1) tree.root = node;
  return node;
}

// A deme of size 0 cannot coalesce; says so on the error stream.
inline bool sizeIsZero(const TDeme& deme) {
  if (deme.relSizeCT != 0.0) return false;
  std::cerr << "TDeme::implementCoalEventCT() : deme size of population " << deme.demeId
            << " is zero !" << std::endl;
  return true;
}

// Two distinct slots among n > 2 lineages, each drawn uniformly; false when
// 1000 redraws of the second still hit the first (one more uniform is taken).
inline bool drawPair(GlobalRandom& rng, int n, int& i, int& j) {
  i = static_cast<int>(rng.takeUniform() * n);
  j = static_cast<int>(rng.takeUniform() * n);
  for (int redraws = 0; j == i; ++redraws) {
    if (redraws == 1000) {
      rng.takeUniform();
      return false;
    }
    j = static_cast<int>(rng.takeUniform() * n);
  }
  return true;
}

// A coalescence in the deme at time t: the new node, or null when none was
// made (fewer than two lineages, a deme of size 0, no distinct pair drawn).
// With record set, the event is appended to the collection's history.
inline TNode* coalesce(TDeme& deme, TDemeCollection& collection, const double& t, bool record) {
  const int n = deme.numLineages;
  if (n <= 1) return nullptr;
  if (sizeIsZero(deme)) return nullptr;
  int i = 0, j = 1;
  if (n > 2 && !drawPair(*collection.randomGenerator, n, i, j)) return nullptr;
  TNode* node = joinLineages(deme, collection, t, i, j);
  if (record) collection.recordTinyEvent(0, t, i, j, deme.demeId, -1, -1);
  return node;
}

}  // namespace coalstep
