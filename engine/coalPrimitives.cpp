// Steps of the continuous-time coalescent on one deme: coalescence of two
// lineages, migration of one lineage, activation of an ancient sample and the
// inbreeding step. Shared by every tree builder; with `record` set they append
// the event to the collection's history for the replay of recombining trees.
//
// Lineage lists keep their position rules: a lineage is added at the end, a
// removed lineage's slot takes the list's last entry, and in a coalescence the
// new node takes the first lineage's slot. TNode::posInVNL follows every move.
#include <iostream>

#include "engine/coalStep.h"
#include "engine/deme.h"
#include "engine/migrStep.h"
#include "support/UniqueRandom.h"

void TDemeCollection::recordTinyEvent(int type, double time, int pick1, int pick2, int deme,
                                      int sinkDeme, int histEventIndex) {
  TTinyEvent e;
  e.type = type;
  e.time = time;
  e.pick1 = pick1;
  e.pick2 = pick2;
  e.deme = deme;
  e.sinkDeme = sinkDeme;
  e.histEventIndex = histEventIndex;
  appendRecord(e);
}

void TDemeCollection::appendRecord(const TTinyEvent& record) {
  if (curEvents == nullptr) curEvents = new MY_TArrayAsVector<TTinyEvent>(1000, 5000);
  MY_TArrayAsVector<TTinyEvent>& h = *curEvents;
  if (h.numElems >= h.capacity) h.reserveRoom(h.numElems + 1LL, 2LL * h.capacity + h.growStep);
  h.Add(record);
}

bool TDeme::implementCoalEventCT(TDemeCollection& collection, const double& t, bool record) {
  return coalstep::coalesce(*this, collection, t, record) != nullptr;
}

bool TDeme::implementCoalEventCTOfTwoGenesForInbreeding(TDemeCollection& collection,
                                                        const double& t, int pos1, int pos2,
                                                        bool record) {
  if (numLineages <= 1) return false;
  if (coalstep::sizeIsZero(*this)) return false;
  coalstep::joinLineages(*this, collection, t, pos1, pos2);
  if (record) collection.recordTinyEvent(0, t, pos1, pos2, demeId, -1, -1);
  if (emigrationRate > 0.0) collection.totMigrationRate -= emigrationRate;
  return true;
}

// True when the node is listed in this deme's current lineages.
static bool isListed(const TDeme& deme, const TNode* node) {
  const int p = node->posInVNL;
  return p >= 0 && p <= deme.VNL.top && deme.VNL.items[p] == node;
}

int TDeme::inbredIndividuals() const {
  if (inbreedingCoef <= 0.0) return -1;
  const int m = sampledNodes.count();
  if (m % 2 != 0) {
    std::cerr << "Impossible to simulate inbreeding with odd number of genes in sample" << demeId
              << std::endl;
    return -1;
  }
  return m / 2;
}

bool TDeme::coalesceInbredPair(TDemeCollection& collection, const double& t, int ind,
                               bool record) {
  TNode* a = sampledNodes.items[2 * ind];
  TNode* b = sampledNodes.items[2 * ind + 1];
  if (!isListed(*this, a) || !isListed(*this, b)) return false;
  return implementCoalEventCTOfTwoGenesForInbreeding(collection, t, a->posInVNL, b->posInVNL,
                                                     record);
}

void TDeme::implementInbreeding(TDemeCollection& collection, const double& t, bool record) {
  const int individuals = inbredIndividuals();
  if (individuals < 0) return;
  for (int k = 0; k <= VNL.top; ++k) VNL.items[k]->posInVNL = k;
  GlobalRandom& rng = *collection.randomGenerator;
  for (int ind = 0; ind < individuals; ++ind)
    if (rng.takeUniform() <= inbreedingCoef) coalesceInbredPair(collection, t, ind, record);
}

int TDeme::migrateNoRec(TDeme& sink, TDemeCollection* collection) {
  return migrstep::moveLineage(*this, sink, *collection);
}

int TDeme::implementMigrEventCT(TDemeCollection& collection, const double& t, bool record) {
  return migrstep::migrate(*this, collection, t, record);
}

void TDeme::reactivateLineages(const double& t, TDemeCollection* collection) {
  const int m = sampledNodes.count();
  for (int k = 0; k < m; ++k) {
    TNode* tip = sampledNodes.items[k];
    tip->posInVNL = VNL.top + 1;
    tip->desc1 = nullptr;
    tip->desc2 = nullptr;
    if (tip->sampleDeme != tip->deme) {
      tip->posInVNL = -1;
      std::cerr << "Nodes from deme " << tip->sampleDeme
                << " have been moved before they were sampled... which is forbidden." << std::endl;
      break;
    }
    VNL.Add(tip);
    ++numLineages;
    if (collection->isRecombining && tip->sampleTime == t) {
      tip->posInVNLR = VNLR.top + 1;
      VNLR.Add(tip);
    }
  }
  collection->numInactiveLineages -= sampleSize;
}
