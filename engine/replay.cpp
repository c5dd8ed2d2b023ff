// Tree of the next marker of a recombining chromosome: the previous tree's
// history is run again in time order, merged with the recombination points
// placed on that tree and with new events of the lineages the points cut.
// Only cut lineages draw waiting times; the new history is recorded as it goes.
#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

#include "engine/coalWaiting.h"
#include "engine/lineageMeeting.h"
#include "engine/recPool.h"
#include "engine/replayLoop.h"
#include "engine/smcPools.h"
#include "engine/stepLimit.h"
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
// they would wander without ever coalescing: the first such deme, -1 when none.
int cutDemeOfInfiniteSize(const TDemeCollection& c) {
  for (int k = 0; k < c.cutDemes.count(); ++k)
    if (!std::isfinite(c.demes[c.cutDemes[k]].relSizeCT)) return c.cutDemes[k];
  return -1;
}

// Why a step of the replay failed, for the message of the unfinished tree
// (the step itself may have written a message of its own).
std::string failedStepReason(const char* step, double t) {
  std::ostringstream os;
  os << " (" << step << " at generation " << t * TDemeCollection::CTTimeUnit
     << " could not be made)";
  return os.str();
}

// Room for k more reports, growing geometrically; more than an int can count
// is an allocation that cannot be made.
void reserveReports(MY_TArrayAsVector<TRecPosInfo>& list, int k) {
  const long long needed = static_cast<long long>(list.numElems) + k;
  const long long doubled = 2LL * list.capacity;
  list.reserveRoom(needed, doubled > needed + list.growStep ? doubled : needed + list.growStep);
}

// The pending new event happens: a coalescence in its deme or a migration.
bool applyNewEvent(TDemeCollection& c, const NewEvent& next, CutRule rule) {
  if (!next.isMigration) {
    TDeme& d = c.demes[next.deme];
    if (rule == CutRule::strictSMC)
      return d.implementCoalEventRecCTUnderStrictSMC(c, next.time) == 1;
    if (rule == CutRule::smc2) return d.implementCoalEventRecCTSMC2(c, next.time) == 1;
    return d.implementCoalEventRecCT(c, next.time) == 1;
  }
  const int source = migrationSource(c, next.totalMigration);
  if (source >= 0) c.demes[source].implementMigrEventRecCT(c, next.time);
  return true;
}

// A recombination point cuts the lineage that follows its branch, unless
// that lineage is already cut or a discarded copy (under SMC' a copy counts it).
bool applyPoint(TDemeCollection& c, TRecLocation& point, CutRule rule, const char* prefix) {
  TRecBranch* entry = point.bottomNode;
  if (!entry || entry->index < 0 || entry->index >= c.recBranchesSize ||
      c.recBranches[entry->index] != entry)
    return false;
  TNode* lineage = entry->node;
  if (!lineage || lineage->recombined) return true;
  if (lineage->discarded && rule != CutRule::smc2) return true;
  const int slot = rule == CutRule::smc2 ? c.implementRecombEventSMC2(lineage, point.time, point)
                                         : c.implementRecombEvent(lineage, point.time, point);
  if (slot == -1) {
#pragma omp critical
    std::cerr << prefix << "posRecNodeInVNLR = " << slot << std::endl;
  }
  return slot >= 0;
}

// A record of the previous history; migrating follows historical events.
bool applyRecord(TDemeCollection& c, TTinyEvent& record, bool isLastCoalescence, bool& migrating,
                 const char* prefix) {
  switch (record.type) {
    case 0:
      return c.replayCoalEventCT(record, isLastCoalescence) >= 0;
    case 1:
      return c.replayMigrEventCT(record);
    case 2: {
      const bool ok = c.replayHistEventCT(record);
      migrating = computeMigrProbaPerActiveDeme(c);
      return ok;
    }
    default: {
#pragma omp critical
      std::cerr << prefix << "Unhandled tiny Event type " << record.type << std::endl;
      return false;
    }
  }
}

// The new tree's history starts empty; the one just recorded is replayed.
void swapHistories(TDemeCollection& c) {
  std::swap(c.curEvents, c.prevEvents);
  if (c.curEvents == nullptr)
    c.curEvents = new MY_TArrayAsVector<TTinyEvent>(1000, 5000);
  else
    c.curEvents->numElems = c.curEvents->reserved = 0;
}

// Reports of a converged replay: progress line and one record per point.
void reportTree(TDemeCollection& c, long locus) {
  if (consoleOutput) {
#pragma omp critical
    std::cout << "MRCA time on tree at locus " << locus << ": "
              << generationsOf(c.tree.root->time) << "\t("
              << c.tree.numRecs << " recs)" << "\n";
  }
  reserveReports(c.recPosInfo, c.tree.numRecs);
  TRecPosInfo report;
  report.chromosome = c.curChrom;
  report.locus = locus;
  for (int k = 0; k < c.tree.numRecs; ++k) c.recPosInfo.Add(report);
  c.totNumRecs += c.tree.numRecs;
}

}  // namespace

CutRule plainReplayRule() { return TSimSettings::pureSMC ? CutRule::strictSMC : CutRule::plain; }

bool TDemeCollection::replayBuildTreeWithRecs(const TSimSettings& settings, long locus) {
  return replayTreeWithRecs(settings.demeSizes, settings.growthRates, locus);
}

bool TDemeCollection::replayTreeWithRecs(const MY_TArrayAsVector<long>& sizes,
                                         const MY_TArrayAsVector<double>& rates, long locus) {
  const ReplayVariant plain{"TDemeCollection::replayBuildTreeWithRecs: ", plainReplayRule(), false};
  return replayWithVariant(sizes, rates, locus, plain);
}

bool TDemeCollection::replayWithVariant(const MY_TArrayAsVector<long>& sizes,
                                        const MY_TArrayAsVector<double>& rates, long locus,
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
  swapHistories(*this);
  resetTreeStart();
  cutDemes.reset(numDemes);

  MY_TArrayAsVector<TTinyEvent>& history = *prevEvents;
  MY_TArrayAsVector<TRecLocation>& points = *tree.recLocations;
  const int numRecords = history.numElems, lastCoal = lastCoalescence(history);
  const int numPoints = tree.numRecs < points.numElems ? tree.numRecs : points.numElems;
  bool migrating = computeMigrProbaPerActiveDeme(*this);
  double t = 0.0;
  int r = 0, p = 0;
  bool ok = true;
  std::string reason;  // the end of the message of a tree that does not converge
  int newEvents = 0;
  TTailSchedule tail;
  // Ties: a new event only when strictly first; a point before a record of its time.
  while (ok && numLineages > 1 && (r < numRecords || p < numPoints || numRecLineages > 0)) {
    NewEvent next;
    if (numRecLineages > 0) next = drawNewEvent(*this, t, migrating, rule);
    const bool haveRecord = r < numRecords, havePoint = p < numPoints;
    if (!next.exists && !haveRecord && !havePoint) {
      ok = false;  // nothing can happen any more
      reason = whyNothingCanHappen(*this, true);
    } else if (!haveRecord && !havePoint && tail.due() && lineagesCanNeverMeet(*this, true)) {
      ok = false;  // only new events are left, and they can never join the lineages
      reason = whereLineagesAreStuck(*this);
    } else if (next.exists && (!haveRecord || next.time < history[r].time) &&
               (!havePoint || next.time < points[p].time)) {
      if (++newEvents > MAX_COALESCENT_STEPS) {
        ok = false;
        reason = stepLimitReason();
        break;
      }
      t = next.time;
      if (anyGrowth) adjustDemeSizesCT(t);
      ok = applyNewEvent(*this, next, rule);
      if (!ok) reason = failedStepReason("the coalescence drawn for a cut lineage", t);
    } else if (havePoint && (!haveRecord || points[p].time <= history[r].time)) {
      t = points[p].time;
      if (anyGrowth) adjustDemeSizesCT(t);
      ok = applyPoint(*this, points[p++], rule, prefix);
      if (!ok) reason = failedStepReason("the cut at a recombination point", t);
    } else {
      t = history[r].time;
      if (anyGrowth) adjustDemeSizesCT(t);
      ok = applyRecord(*this, history[r], r == lastCoal, migrating, prefix);
      if (!ok) reason = failedStepReason("the replay of a recorded event", t);
      // Strict SMC on a second tree: no record moves the last history lineage any more.
      if (++r == numRecords && ok && variant.secondTree && rule == CutRule::strictSMC &&
          numLineages > 1)
        transferRemainingNormalLineageToRecombinantPool();
    }
    if (ok && anyGrowth) {
      const int infinite = cutDemeOfInfiniteSize(*this);
      if (infinite >= 0) {
        ok = false;
        reason = " (" + infiniteSizeReason(infinite, t) + ")";
      }
    }
  }
  if (ok && numLineages > 1) reason = " (the recorded history ends before they meet)";

  if (!ok || numLineages != 1 || tree.root == nullptr) {
    tree.root = nullptr;  // a tree that did not converge is never used
#pragma omp critical
    std::cerr << prefix << "Coalescent process did not converge: " << numLineages
              << " lineages remaining" << reason << std::endl;
    return false;
  }
  if (variant.secondTree && isFreqDataType) return true;  // no history is kept for spectra
  // Historical events beyond the new tree's MRCA stay in its history.
  for (; r < numRecords; ++r)
    if (history[r].type == 2) appendRecord(history[r]);
  reportTree(*this, locus);
  return true;
}
