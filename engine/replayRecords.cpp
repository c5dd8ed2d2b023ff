// The records of the previous tree's history replayed during a replay:
// coalescences (a new node, or a merge with a discarded copy), migrations and
// historical events. Lineages of the new tree that they touch are recorded
// again with their VNLR slots, the positions the next replay starts from.
#include <iostream>

#include "engine/recPool.h"
#include "engine/smcPools.h"
#include "support/UniqueRandom.h"

using namespace recpool;

namespace {

bool validDeme(const TDemeCollection& c, int d) { return d >= 0 && d < c.numDemes; }

bool validSlot(const TDeme& d, int slot) { return slot >= 0 && slot <= d.VNL.top; }

}  // namespace

bool TDemeCollection::giveNextRecBranch(TNode* lineage) {
  const int k = tree.sampleSize + tree.numRecBranches;
  if (k < 0 || k >= recBranchesSize) return false;
  ++tree.numRecBranches;
  recBranches[k]->node = lineage;
  lineage->recBranchIndex = k;
  return true;
}

int TDemeCollection::replayCoalEventCT(TTinyEvent& record, bool isLast) {
  if (!validDeme(*this, record.deme)) return -1;
  TDeme& deme = demes[record.deme];
  const int pick1 = record.pick1, pick2 = record.pick2;
  if (pick1 == pick2 || !validSlot(deme, pick1) || !validSlot(deme, pick2)) return -1;
  TNode* lineage1 = deme.VNL.items[pick1];
  TNode* lineage2 = deme.VNL.items[pick2];
  if (lineage1->posInVNL != pick1 || lineage2->posInVNL != pick2) {
    std::cerr << "replayCoalEventCT: Conflict between desc1 and desc2 positions in VNL! "
                 "(desc1->posInVNL!=pick1)"
              << std::endl;
    return -1;
  }
  if (lineage1->discarded || lineage2->discarded)
    return coalNormalDiscarded(lineage1, lineage2, record.deme, record.time, isLast) ? 0 : -1;
  const int slot1 = lineage1->posInVNLR, slot2 = lineage2->posInVNLR;
  if (slot1 == slot2 || slot1 < 0 || slot2 < 0 || slot1 > deme.VNLR.top || slot2 > deme.VNLR.top) {
    std::cerr << "replayCoalEventCT: Conflict between desc1 and desc2 positions in VNLR! "
                 "(desc1->posInVNLR==desc2->posInVNLR) at time "
              << record.time << std::endl;
    return -1;
  }
  TNode* node = nextInternalNode();
  if (!node) return -1;
  smc::replace(deme, lineage1, node);
  smc::remove(deme, lineage2);
  node->posInVNL = pick1;
  deme.VNL.coalesce(pick1, pick2, node);
  if (pick2 <= deme.VNL.top) deme.VNL.items[pick2]->posInVNL = pick2;
  node->posInVNLR = slot1;
  deme.VNLR.coalesce(slot1, slot2, node);
  if (slot2 <= deme.VNLR.top) deme.VNLR.items[slot2]->posInVNLR = slot2;
  --deme.numLineages;
  lineage1->posInVNL = lineage2->posInVNL = -1;
  lineage1->posInVNLR = lineage2->posInVNLR = -1;
  node->desc1 = lineage1;
  node->desc2 = lineage2;
  node->time = record.time;
  node->deme = record.deme;
  node->ancestor = nullptr;
  lineage1->ancestor = lineage2->ancestor = node;
  if (--numLineages == 1) tree.root = node;
  if (!giveNextRecBranch(node)) return -1;
  if (!isFreqDataType) recordTinyEvent(0, record.time, slot1, slot2, record.deme, -1, -1);
  // No record moves the survivor of the last coalescence: it goes with the cut lineages.
  if (isLast && numRecLineages > 0 && numLineages > 1) transferLineageToRecombinantPool(node);
  return 1;
}

bool TDemeCollection::coalNormalDiscarded(TNode* lineage1, TNode* lineage2, const int& d,
                                          const double& /*time*/, bool isLast) {
  TDeme& deme = demes[d];
  const int pick1 = lineage1->posInVNL, pick2 = lineage2->posInVNL;
  if (lineage1->discarded && lineage2->discarded) {
    // Both stretches of old history end here; the one that goes on starts afresh.
    smc::remove2(deme, lineage1);
    smc::remove2(deme, lineage2);
    lineage1->numRecsOnBranch = 0;
    if (isLast) {  // the old tree ends here: neither copy is needed any more
      removeVNL(deme, pick1 > pick2 ? pick1 : pick2);
      removeVNL(deme, pick1 > pick2 ? pick2 : pick1);
      return true;
    }
    removeVNL(deme, pick2);  // lineage1 keeps pick1 (or moves into pick2 when it was last)
    return giveNextRecBranch(lineage1);
  }
  // The lineage of the new tree carries on along the old branch.
  TNode* survivor = lineage1->discarded ? lineage2 : lineage1;
  TNode* copy = lineage1->discarded ? lineage1 : lineage2;
  smc::remove2(deme, copy);
  deme.VNL.coalesce(pick1, pick2, survivor);
  survivor->posInVNL = pick1;
  if (pick2 <= deme.VNL.top) deme.VNL.items[pick2]->posInVNL = pick2;
  copy->posInVNL = -1;
  if (!giveNextRecBranch(survivor)) return false;
  if (isLast && numRecLineages > 0) transferLineageToRecombinantPool(survivor);
  return true;
}

bool TDemeCollection::replayMigrEventCT(TTinyEvent& record) {
  if (!validDeme(*this, record.deme) || !validDeme(*this, record.sinkDeme) ||
      record.deme == record.sinkDeme)
    return false;
  TDeme& source = demes[record.deme];
  TDeme& sink = demes[record.sinkDeme];
  if (!validSlot(source, record.pick1)) return false;
  const bool sinkWasEmpty = holdsNothing(sink);
  TNode* node = removeVNL(source, record.pick1);
  node->deme = sink.demeId;
  appendVNL(sink, node);
  smc::move(source, sink, node);
  if (!node->discarded) {
    TTinyEvent copy = record;
    copy.pick1 = node->posInVNLR;
    appendRecord(copy);
    removeVNLR(source, copy.pick1);
    --source.numLineages;
    appendVNLR(sink, node);
    ++sink.numLineages;
  }
  if (holdsNothing(source)) source.removeDemeFromActiveList(this);
  if (sinkWasEmpty) activate(*this, sink);
  return true;
}

namespace {

// Every lineage, copy and cut lineage of the source joins the sink, in list order.
void moveWholeDeme(TDemeCollection& c, TDeme& source, TDeme& sink) {
  source.removeDemeFromActiveList(&c);
  if (holdsNothing(sink)) activate(c, sink);
  for (int k = 0; k <= source.VNL.top; ++k) {
    source.VNL.items[k]->deme = sink.demeId;
    appendVNL(sink, source.VNL.items[k]);
    smc::move(source, sink, source.VNL.items[k]);
  }
  for (int k = 0; k <= source.VNLR.top; ++k) {
    source.VNLR.items[k]->deme = sink.demeId;
    appendVNLR(sink, source.VNLR.items[k]);
  }
  for (int k = 0; k <= source.recombinantPool.top; ++k) {
    TNode* node = source.recombinantPool.items[k];
    node->deme = sink.demeId;
    poolAdd(c, sink, node);
  }
  c.numRecLineages -= source.numRecLineages;
  source.numRecLineages = 0;
  c.cutDemes.remove(source.demeId);
  source.recombinantPool.clear();
  sink.numLineages += source.numLineages;
  source.numLineages = 0;
  source.VNL.clear();
  source.VNLR.clear();
}

}  // namespace

bool TDemeCollection::replayHistEventCT(TTinyEvent& record) {
  const int index = record.histEventIndex;
  if (index < 0 || index >= events.numElems) return false;
  appendRecord(record);
  const THistoricalEvent& e = events.elems[index];
  TDeme& source = demes[e.source];
  TDeme& sink = demes[e.sink];
  if (e.activateLineages) {
    activate(*this, source);
    const int before = source.VNL.top;
    source.reactivateLineages(record.time, this);
    for (int k = before + 1; k <= source.VNL.top; ++k) smc::add(source, source.VNL.items[k]);
    return true;  // its inbreeding coalescences follow as records of their own
  }
  const bool holds = source.VNL.top >= 0 || source.recombinantPool.top >= 0;
  if (e.source != e.sink && holds && e.migrants > 0.0 && sink.demeSize != 0.0) {
    if (e.migrants >= 1.0) {
      moveWholeDeme(*this, source, sink);
    } else {
      // History lineages moved through their own records; each cut lineage
      // present gets one uniform.
      GlobalRandom& rng = *randomGenerator;
      const int present = source.numRecLineages;
      for (int k = 0; k < present; ++k)
        if (rng.takeUniform() < e.migrants)
          source.implementMigrEventToSinkRecCT(sink, *this, record.time);
    }
  }
  applyEventChanges(e, record.time);
  return true;
}
