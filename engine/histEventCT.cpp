// Application of one historical event during a tree build: activation of an
// ancient sample, moves of lineages from the source to the sink, and the new
// size, growth rate and migration matrix of the sink.
#include <iostream>

#include "engine/deme.h"
#include "support/UniqueRandom.h"

namespace {

// The activation's own record comes before those of its inbreeding
// coalescences, so that a replay creates the tips before it joins them.
void activateSample(TDemeCollection& c, TDeme& deme, double t, int index, bool record) {
  if (deme.posInActiveList < 0) {
    deme.addDemeToActiveList(&c);
    if (c.migrationOn) updateMigrProbaToOtherDemes(deme, c);
  }
  deme.reactivateLineages(t, &c);
  if (record) c.recordTinyEvent(2, t, -1, -1, -1, -1, index);
  if (deme.inbreedingCoef > 0.0) deme.implementInbreeding(c, t, record);
}

// Every lineage of the source joins the sink, in list order.
void moveAllLineages(TDemeCollection& c, TDeme& source, TDeme& sink) {
  source.removeDemeFromActiveList(&c);
  if (sink.numLineages == 0) {
    sink.addDemeToActiveList(&c);
    if (c.migrationOn) updateMigrProbaToOtherDemes(sink, c);
  }
  for (int k = 0; k <= source.VNL.top; ++k) {
    TNode* node = source.VNL.items[k];
    node->deme = sink.demeId;
    node->posInVNL = sink.VNL.top + 1;
    sink.VNL.Add(node);
    source.VNL.items[k] = nullptr;
  }
  sink.numLineages += source.numLineages;
  source.numLineages = 0;
  source.VNL.top = -1;
}

// Each lineage of the source moves with probability `fraction`: one uniform per
// lineage decides how many move, then that many random lineages move.
void moveSomeLineages(TDemeCollection& c, TDeme& source, TDeme& sink, double fraction, double t,
                      bool record) {
  GlobalRandom& rng = *c.randomGenerator;
  int k = 0;
  for (int i = 0; i <= source.VNL.top; ++i)
    if (rng.takeUniform() < fraction) ++k;
  for (int i = 0; i < k; ++i) {
    const int p = source.migrateNoRec(sink, &c);
    if (record) c.recordTinyEvent(1, t, p, -1, source.demeId, sink.demeId, -1);
  }
}

// The sink's new growth rate; a deme that starts growing does so from time t.
void setSinkGrowth(TDemeCollection& c, TDeme& sink, double rate, double t) {
  if (rate != 0.0 && !sink.isGrowing) sink.lastSizeUpdateTime = t;
  sink.set_growth_rate(rate);
  if (rate != 0.0)
    c.anyGrowth = true;
  else if (c.anyGrowth)
    c.checkIfGrowthRate();
}

}  // namespace

int TDemeCollection::implementEventCT(const int& index, double t, bool record) {
  const THistoricalEvent& e = events.elems[index];
  TDeme& source = demes[e.source];
  TDeme& sink = demes[e.sink];
  if (e.activateLineages) {
    activateSample(*this, source, t, index, record);
    return 1;
  }
  if (e.source != e.sink && source.numLineages > 0) {
    if (e.migrants <= 0.0 || sink.demeSize == 0.0) {
      if (sink.posInActiveList < 0)
        std::cerr << "Migration to an inactive deme (" << e.sink << ")" << std::endl;
    } else if (e.migrants >= 1.0) {
      moveAllLineages(*this, source, sink);
    } else {
      moveSomeLineages(*this, source, sink, e.migrants, t, record);
    }
  }
  applyEventChanges(e, t);
  if (record) recordTinyEvent(2, t, -1, -1, -1, -1, index);
  return 1;
}

void TDemeCollection::applyEventChanges(const THistoricalEvent& e, double t) {
  TDeme& sink = demes[e.sink];
  sink.relSizeCT *= e.newSize;
  if (!e.keepGrowthRate) setSinkGrowth(*this, sink, e.newGrowthRate, t);
  if (!e.keepMigMatrix) curMigMatrix = e.newMigMatrix;
  if (e.noMigration) migrationOn = false;
}
