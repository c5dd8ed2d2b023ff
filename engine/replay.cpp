// Tree of the next marker of a recombining chromosome: the previous tree's
// history is run again in time order, merged with the recombination points
// placed on that tree and with new events of the lineages the points cut.
// Only cut lineages draw waiting times; the new history is recorded as it goes.
#include <cmath>
#include <iostream>
#include <utility>

#include "engine/coalWaiting.h"
#include "engine/recPool.h"
#include "engine/replayLoop.h"
#include "engine/smcPools.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

// The next event of the cut lineages: a flag rather than a sentinel time.
struct NewEvent {
  bool exists = false;
  bool isMigration = false;
  int deme = -1;
  double time = 0.0;
  double totalMigration = 0.0;
};

// Draws the next new event after t: the migration race first, then one
// exponential per deme holding cut lineages that can coalesce.
NewEvent drawNewEvent(TDemeCollection& c, double t, bool migrating, CutRule rule) {
  NewEvent next;
  GlobalRandom& rng = *c.randomGenerator;
  double waiting = NO_EVENT;
  if (migrating) {
    for (int k = 0; k < c.cutDemes.count(); ++k) {
      const TDeme& d = c.demes[c.cutDemes[k]];
      next.totalMigration += d.numRecLineages * d.emigrationRate;
    }
    if (next.totalMigration > 0.0) {
      const double w = -rng.takeLogUniform() / next.totalMigration;
      if (w < NO_EVENT) {
        waiting = w;
        next.exists = next.isMigration = true;
      }
    }
  }
  for (int k = 0; k < c.cutDemes.count(); ++k) {
    const TDeme& d = c.demes[c.cutDemes[k]];
    const int o = d.numRecLineages, m = d.VNL.count();
    double pairs;
    if (rule == CutRule::plain) {
      if (o == 0 || (m == 0 && o < 2)) continue;
      pairs = (o - 1) * o * 0.5 + static_cast<double>(o) * m;
    } else {
      // Discarded copies count only under SMC', through their points.
      pairs = smc::pairCount(d, rule == CutRule::smc2);
      if (!(pairs > 0.0)) continue;
    }
    const double w = coalescenceWaitingTime(d, 1.0 / pairs, -rng.takeLogUniform());
    if (w < waiting) {
      waiting = w;
      next.exists = true;
      next.isMigration = false;
      next.deme = d.demeId;
    }
  }
  next.time = t + waiting;
  return next;
}

// Source of a new migration: the first deme holding cut lineages whose
// running share of the total exceeds a uniform times the total.
int migrationSource(TDemeCollection& c, double total) {
  const double x = c.randomGenerator->takeUniform() * total;
  double sum = 0.0;
  for (int k = 0; k < c.cutDemes.count(); ++k) {
    const TDeme& d = c.demes[c.cutDemes[k]];
    sum += d.numRecLineages * d.emigrationRate;
    if (sum > x) return d.demeId;
  }
  return -1;
}

// Index of the last coalescence of a history (-1 when none): after it only
// historical events are left, so no record moves its survivor any more.
int lastCoalescence(const MY_TArrayAsVector<TTinyEvent>& history) {
  for (int k = history.numElems - 1; k >= 0; --k)
    if (history[k].type == 0) return k;
  return -1;
}

// Growth can carry a deme holding cut lineages to an infinite size, where
// they would wander without ever coalescing.
bool cutDemeSizesFinite(const TDemeCollection& c) {
  for (int k = 0; k < c.cutDemes.count(); ++k)
    if (!std::isfinite(c.demes[c.cutDemes[k]].relSizeCT)) return false;
  return true;
}

// Room for k more reports, growing geometrically.
void reserveReports(MY_TArrayAsVector<TRecPosInfo>& list, int k) {
  const int needed = list.numElems + k;
  if (needed <= list.capacity) return;
  int size = 2 * list.capacity;
  if (size < needed + list.growStep) size = needed + list.growStep;
  list.Resize(size);
}

int newCoalescence(TDemeCollection& c, int deme, double t, CutRule rule) {
  TDeme& d = c.demes[deme];
  if (rule == CutRule::strictSMC) return d.implementCoalEventRecCTUnderStrictSMC(c, t);
  if (rule == CutRule::smc2) return d.implementCoalEventRecCTSMC2(c, t);
  return d.implementCoalEventRecCT(c, t);
}

}  // namespace

CutRule plainReplayRule() { return TSimSettings::pureSMC ? CutRule::strictSMC : CutRule::plain; }

bool TDemeCollection::replayBuildTreeWithRecs(const TSimSettings& settings, int locus) {
  return replayTreeWithRecs(settings.demeSizes, settings.growthRates, locus);
}

bool TDemeCollection::replayTreeWithRecs(const MY_TArrayAsVector<long>& sizes,
                                         const MY_TArrayAsVector<double>& rates, int locus) {
  const ReplayVariant plain{"TDemeCollection::replayBuildTreeWithRecs: ", plainReplayRule(), false};
  return replayWithVariant(sizes, rates, locus, plain);
}

bool TDemeCollection::replayWithVariant(const MY_TArrayAsVector<long>& sizes,
                                        const MY_TArrayAsVector<double>& rates, int locus,
                                        const ReplayVariant& variant) {
  const char* prefix = variant.prefix;
  const CutRule rule = variant.rule;
  if (tree.numRecs == 0 || tree.recLocations == nullptr) {
    std::cerr << prefix << "No recombination on  tree " << locus + 1 << "/" << numSites
              << std::endl;
    return true;  // the tree stays as it is
  }
  if (curEvents == nullptr) {
    std::cerr << prefix << "no recorded history to replay for tree " << locus + 1 << std::endl;
    tree.root = nullptr;
    return false;
  }
  isRecombining = true;
  reset(sizes, rates);
  std::swap(curEvents, prevEvents);
  if (curEvents == nullptr)
    curEvents = new MY_TArrayAsVector<TTinyEvent>(1000, 5000);
  else
    curEvents->numElems = curEvents->reserved = 0;
  resetTreeStart();
  cutDemes.reset(numDemes);

  MY_TArrayAsVector<TTinyEvent>& history = *prevEvents;
  const int numRecords = history.numElems;
  const int lastCoal = lastCoalescence(history);
  const MY_TArrayAsVector<TRecLocation>& points = *tree.recLocations;
  const int numPoints = tree.numRecs < points.numElems ? tree.numRecs : points.numElems;
  bool migrating = computeMigrProbaPerActiveDeme(*this);
  double t = 0.0;
  int r = 0, p = 0;
  bool failed = false;

  while (!failed && numLineages > 1 && (r < numRecords || p < numPoints || numRecLineages > 0)) {
    NewEvent next;
    if (numRecLineages > 0) next = drawNewEvent(*this, t, migrating, rule);
    const bool haveRecord = r < numRecords, havePoint = p < numPoints;
    if (!next.exists && !haveRecord && !havePoint) {
      failed = true;  // nothing can happen any more
    } else if (next.exists && (!haveRecord || next.time < history[r].time) &&
               (!havePoint || next.time < points[p].time)) {
      t = next.time;
      if (anyGrowth) adjustDemeSizesCT(t);
      if (!next.isMigration) {
        failed = newCoalescence(*this, next.deme, t, rule) != 1;
      } else {
        const int source = migrationSource(*this, next.totalMigration);
        if (source >= 0) demes[source].implementMigrEventRecCT(*this, t);
      }
    } else if (havePoint && (!haveRecord || points[p].time <= history[r].time)) {
      t = points[p].time;
      if (anyGrowth) adjustDemeSizesCT(t);
      TRecLocation& point = (*tree.recLocations)[p++];
      TRecBranch* entry = point.bottomNode;
      if (!entry || entry->index < 0 || entry->index >= recBranchesSize ||
          recBranches[entry->index] != entry) {
        failed = true;
      } else if (entry->node && !entry->node->recombined &&
                 (!entry->node->discarded || rule == CutRule::smc2)) {
        const int slot = rule == CutRule::smc2 ? implementRecombEventSMC2(entry->node, t, point)
                                               : implementRecombEvent(entry->node, t, point);
        if (slot < 0) {
          failed = true;
          if (slot == -1) {
#pragma omp critical
            std::cerr << prefix << "posRecNodeInVNLR = " << slot << std::endl;
          }
        }
      }
    } else {
      TTinyEvent& record = history.elems[r];
      t = record.time;
      if (anyGrowth) adjustDemeSizesCT(t);
      if (record.type == 1) {
        failed = !replayMigrEventCT(record);
      } else if (record.type == 0) {
        failed = replayCoalEventCT(record, r == lastCoal) < 0;
      } else if (record.type == 2) {
        failed = !replayHistEventCT(record);
        migrating = computeMigrProbaPerActiveDeme(*this);
      } else {
#pragma omp critical
        std::cerr << prefix << "Unhandled tiny Event type " << record.type << std::endl;
        failed = true;
      }
      // Strict SMC on a second tree: no record moves the last history lineage any more.
      if (++r == numRecords && !failed && variant.secondTree && rule == CutRule::strictSMC &&
          numLineages > 1)
        transferRemainingNormalLineageToRecombinantPool();
    }
    if (!failed && anyGrowth && !cutDemeSizesFinite(*this)) failed = true;
  }

  if (failed || numLineages != 1 || tree.root == nullptr) {
    tree.root = nullptr;  // a tree that did not converge is never used
#pragma omp critical
    std::cerr << prefix << "Coalescent process did not converge: " << numLineages
              << " lineages remaining" << std::endl;
    return false;
  }
  if (variant.secondTree && isFreqDataType) return true;  // no history is kept for spectra
  for (; r < numRecords; ++r)
    if (history[r].type == 2) curEvents->Add(history[r]);
  if (consoleOutput) {
#pragma omp critical
    std::cout << "MRCA time on tree at locus " << locus << ": "
              << static_cast<long>(tree.root->time * CTTimeUnit) << "\t(" << tree.numRecs
              << " recs)" << "\n";
  }
  reserveReports(recPosInfo, tree.numRecs);
  TRecPosInfo report;
  report.chromosome = curChrom;
  report.locus = locus;
  for (int k = 0; k < tree.numRecs; ++k) recPosInfo.Add(report);
  totNumRecs += tree.numRecs;
  return true;
}
