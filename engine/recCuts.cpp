// Recombination points acting on the lineage lists during a replay: the cut
// of a lineage with its discarded copy, a lineage of the recorded history
// moved into the recombinant pool, and the move of a cut lineage between pools.
#include <iostream>

#include "engine/recPool.h"
#include "engine/smcPools.h"
#include "support/UniqueRandom.h"

using namespace recpool;

int TDemeCollection::implementRecombEvent(TNode* node, const double& /*time*/,
                                          TRecLocation& location) {
  const bool listed = node->deme >= 0 && node->deme < numDemes && node->posInVNL >= 0 &&
                      node->posInVNL <= demes[node->deme].VNL.top &&
                      demes[node->deme].VNL.items[node->posInVNL] == node;
  if (node->posInVNLR < 0 || !listed) {
    std::cerr << "TDemeCollection::implementRecombEvent: error: recNode->posInVNLR =="
              << node->posInVNLR << std::endl;
    return -1;
  }
  TNode* copy = tree.newNodes.take();
  if (!copy) {
    std::cerr << "TDemeCollection::implementRecombEvent: no memory left for discarded copies ("
              << tree.newNodes.count << " made)" << std::endl;
    return -2;
  }
  // The copy carries on the old history above the point in the lineage's place.
  copy->time = node->time;
  copy->ancestor = node->ancestor;
  copy->desc1 = copy->desc2 = nullptr;
  copy->posInVNL = node->posInVNL;
  copy->posInVNLR = -1;
  copy->deme = node->deme;
  copy->posInTree = node->posInTree;
  copy->recBranchIndex = node->recBranchIndex;
  copy->discarded = true;
  copy->recombined = false;
  location.bottomNode->node = copy;
  TDeme& deme = demes[node->deme];
  deme.VNL.items[node->posInVNL] = copy;

  node->recombined = true;
  node->ancestor = nullptr;
  node->posInVNL = -1;
  smc::remove(deme, node);
  poolAdd(*this, deme, node);
  return node->posInVNLR;
}

int TDemeCollection::transferLineageToRecombinantPool(TNode* node) {
  if (node == nullptr) {
    std::cerr << "transferLineageTorecombinantPool(TNode * curNode): unhandled recombination event"
              << std::endl;
    return -1;
  }
  TDeme& deme = demes[node->deme];
  node->recombined = true;
  smc::remove(deme, node);
  poolAdd(*this, deme, node);
  removeVNL(deme, node->posInVNL);
  return node->posInVNLR;
}

int TDeme::migrateRec(TDeme& sink, TDemeCollection* collection) {
  if (&sink == this || numRecLineages <= 0) return -1;
  TDemeCollection& c = *collection;
  const int slot =
      numRecLineages >= 2 ? static_cast<int>(c.randomGenerator->takeUniform() * numRecLineages) : 0;
  TNode* node = poolRemoveAt(c, *this, slot);
  const int former = node->posInVNLR;
  removeVNLR(*this, former);
  --numLineages;
  if (holdsNothing(*this)) removeDemeFromActiveList(collection);

  if (sink.VNL.top < 0 && sink.recombinantPool.top < 0) activate(c, sink);
  ++sink.numLineages;
  node->deme = sink.demeId;
  poolAdd(c, sink, node);
  appendVNLR(sink, node);
  return former;
}
