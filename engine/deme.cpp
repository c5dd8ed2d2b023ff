// A deme: its copy, its tips, its reset between trees and the active list.
#include <cmath>
#include <iostream>

#include "engine/deme.h"
#include "engine/smcPools.h"

TDeme::TDeme() : loci(10, 100, 1) {}

TDeme::TDeme(const TDeme& other) : TDeme() { *this = other; }

TDeme::~TDeme() {
  delete SMCPool;
  delete SMC2Pool;
  delete inbredRemovedSlots;
  delete inbredNewNodeSlots;
  delete inbredPairs;
  // loci deletes its blocks while it owns them; the lineage lists free their tables.
}

TDeme& TDeme::operator=(const TDeme& other) {
  if (this == &other) return *this;
  growthRate = other.growthRate;
  demeSize = other.demeSize;
  sampleSize = other.sampleSize;
  numLineages = other.numLineages;
  demeId = other.demeId;
  isGrowing = other.isGrowing;
  sampleAge = other.sampleAge;
  inbreedingCoef = other.inbreedingCoef;
  growthRateCT = other.growthRateCT;
  emigrationRate = other.emigrationRate;
  initEmigrationRate = other.initEmigrationRate;
  relSizeCT = other.relSizeCT;
  initRelSizeCT = other.initRelSizeCT;
  lastSizeUpdateTime = other.lastSizeUpdateTime;
  numRecLineages = other.numRecLineages;
  VNLR = other.VNLR;
  recombinantPool = other.recombinantPool;
  return *this;
}

bool TDeme::copy_node_pointers(TTree& tree, int& nextNode) {
  const int n = sampleSize > 0 ? sampleSize : 0;
  if (sampledNodes.capacity < n) sampledNodes = TNodeArray(n);
  sampledNodes.clear();
  for (int i = 0; i < n; ++i) {
    if (!tree.nodes.items || nextNode < 0 || nextNode >= tree.nodes.count) {
      std::cerr << "\n Error in function copy_node_pointers: GeneTree does not contain any node"
                << std::endl;
      return false;
    }
    TNode* tip = &tree.nodes.items[nextNode++];
    tip->sampleDeme = tip->deme = demeId;
    sampledNodes.Add(tip);
  }
  if (sampleAge == 0.0) {
    VNL = sampledNodes;
    return true;
  }
  // An ancient sample enters at the whole generation of its age, the time of
  // its activation event, so no parent is ever younger than these tips.
  VNL.clear();
  const double t = std::trunc(sampleAge) * (1.0 / TDemeCollection::CTTimeUnit);
  for (int i = 0; i < n; ++i) sampledNodes[i]->sampleTime = sampledNodes[i]->time = t;
  return true;
}

void TDeme::reset(bool isRecombining) {
  const int n = sampledNodes.count();
  for (int i = 0; i < n; ++i) sampledNodes[i]->deme = sampledNodes[i]->sampleDeme;
  if (sampleAge == 0.0) {
    numLineages = sampleSize;
    VNL = sampledNodes;
    if (isRecombining) {
      for (int i = 0; i < n; ++i) {
        TNode* tip = sampledNodes[i];
        tip->posInVNL = tip->posInVNLR = i;
        tip->desc1 = tip->desc2 = nullptr;
      }
      VNLR = sampledNodes;
    }
  } else {
    numLineages = 0;
    VNL.clear();
    if (isRecombining) VNLR.clear();
  }
  if (isRecombining) recombinantPool.clear();
  numRecLineages = 0;
  if (isRecombining) smc::resetDeme(*this);
}

void TDeme::set_growth_rate(const double& g) {
  growthRate = g;
  growthRateCT = g * TDemeCollection::CTTimeUnit;
  isGrowing = g != 0.0;
}

void TDeme::addDemeToActiveList(TDemeCollection* collection) {
  if (posInActiveList != -1 || !collection->activeDemes) return;
  if (collection->numActiveDemes >= collection->numDemes) return;
  const int slot = collection->numActiveDemes++;
  collection->activeDemes[slot] = demeId;
  posInActiveList = slot;
}

void TDeme::removeDemeFromActiveList(TDemeCollection* collection) {
  if (posInActiveList == -1 || collection->numActiveDemes <= 0) return;
  const int last = collection->numActiveDemes - 1;
  const int lastDeme = collection->activeDemes[last];
  collection->activeDemes[posInActiveList] = lastDeme;
  collection->demes[lastDeme].posInActiveList = posInActiveList;
  collection->activeDemes[last] = -1;
  --collection->numActiveDemes;
  posInActiveList = -1;
}
