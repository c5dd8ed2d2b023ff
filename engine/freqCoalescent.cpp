// Genealogy for expected spectra (frequency data). The loop of the plain
// coalescent with a running total of the migration rates, the branches of each
// new node added into the spectra as it is made (unless the spectra are taken
// from the finished tree: SNP ascertainment, pooled spectra), a deterministic
// finish of a last deme of constant size, and a bound on the iterations.
#include <cmath>
#include <iostream>
#include <string>

#include "engine/coalStep.h"
#include "engine/deme.h"
#include "engine/lineageMeeting.h"
#include "engine/migrStep.h"
#include "engine/stepLimit.h"
#include "model/simSettings.h"
#include "sfs/expSFSUpdate.h"
#include "support/UniqueRandom.h"

namespace {

constexpr double NO_EVENT = 3.4028234663852886e38;  // no finite waiting time
constexpr int MAX_ITERATIONS = MAX_COALESCENT_STEPS;
constexpr int ITERATION_LIMIT_RESULT = -(MAX_ITERATIONS + 1);

enum class NextEvent { none, coalescence, migration };

// The spectra are filled node by node unless the caller adds the finished tree.
bool updatesSpectraOnTheWay() {
  return !TSimSettings::SNPascertainment && !TSimSettings::computePooledSFS;
}

// Sizes that overflowed under growth leave no finite coalescence time: the
// first listed deme whose size did, -1 when none.
int listedDemeOfInfiniteSize(const TDemeCollection& c) {
  for (int k = 0; k < c.numActiveDemes; ++k)
    if (!std::isfinite(c.demes[c.activeDemes[k]].relSizeCT)) return c.activeDemes[k];
  return -1;
}

void inbreed(TDeme& deme, TDemeCollection& c, double t, bool withSpectra, bool record) {
  if (withSpectra)
    deme.implementInbreedingAndUpdateSFS(c, t);
  else
    deme.implementInbreeding(c, t, record);
}

// What a genealogy does besides its draws: the spectra filled on the way, the
// history recorded for a replay, the last deme finished with mean waiting times.
struct BuildMode {
  bool withSpectra;
  bool record;
  bool meanFinish;
};

// One genealogy; the local state of the loop lives here.
class FreqTreeBuilder {
 public:
  FreqTreeBuilder(TDemeCollection& c, BuildMode mode)
      : c_(c), rng_(*c.randomGenerator), withSpectra_(mode.withSpectra), record_(mode.record),
        meanFinish_(mode.meanFinish) {}
  int run();
  int iterations() const { return iterations_; }

 private:
  TDemeCollection& c_;
  GlobalRandom& rng_;
  const bool withSpectra_;
  const bool record_;
  const bool meanFinish_;
  double t_ = 0.0;
  int nextEvent_ = 0;
  int numEvents_ = 0;
  bool migrating_ = false;
  int iterations_ = 0;
  TTailSchedule tail_;
  TIncrementalSFS spectra_;  // the tables the branches go into, when filled on the way

  void start();
  bool coalesce(TDeme& deme);
  bool finishLastDeme(TDeme& deme);
  // Waiting time of a coalescence in the deme, or NO_EVENT when it has none or
  // when it surely is not below best (the shortest time found so far).
  double coalescenceWaitingTime(const TDeme& deme, double best);
  static bool cannotBeat(double x, double gamma, double best);
  void applyEvents();
  void migrate();
  int giveUp(const std::string& reason);
  int strandedLineages();
  int refuseZeroSize();
};

void FreqTreeBuilder::start() {
  if (withSpectra_) spectra_.prepare(c_, true);
  c_.resetTreeStart();
  numEvents_ = c_.events.numElems;
  // Every deme starts from the batch rate of matrix 0, so nothing is carried
  // over from an earlier genealogy.
  for (int d = 0; d < c_.numDemes; ++d)
    c_.demes[d].emigrationRate = c_.demes[d].initEmigrationRate;
  if (TDemeCollection::isInbreeding)
    for (int d = 0; d < c_.numDemes; ++d)
      if (c_.demes[d].inbredAtStart()) inbreed(c_.demes[d], c_, 0.0, withSpectra_, record_);
  migrating_ = false;
  c_.totMigrationRate = 0.0;
  if (c_.migrationOn) {
    c_.totMigrationRate = listedMigrationTotal(c_);
    migrating_ = c_.anyMigration;
  }
}

// The mode's coalescence; false when it was refused because the deme has size
// 0. With the spectra it is TDeme::implementCoalEventCTForFreqDataAndUpdateSFS
// made inline, with the tables of the spectra looked up once per genealogy.
bool FreqTreeBuilder::coalesce(TDeme& deme) {
  if (!withSpectra_) {
    const bool done = deme.implementCoalEventCTForFreqData(c_, t_, record_);
    return done || deme.relSizeCT != 0.0;
  }
  TNode* node = coalstep::coalesce(deme, c_, t_, false);
  if (!node) return deme.relSizeCT != 0.0;
  c_.totMigrationRate -= deme.emigrationRate;
  spectra_.addChildren(*node, c_);
  return true;
}

// A single listed deme of constant size, no migrant and no event left: its
// lineages coalesce one after the other at the mean waiting times (the branch
// lengths enter the spectra linearly, so the means keep them unbiased).
bool FreqTreeBuilder::finishLastDeme(TDeme& deme) {
  while (deme.numLineages > 1) {
    t_ += TDemeCollection::invNChoose2[deme.numLineages] * deme.relSizeCT;
    if (!coalesce(deme)) return false;
  }
  return true;
}

// Exact waiting time under exponential growth: the size x units further back is
// s exp(gamma x), with s the size now, so w solves
// (1 - exp(-gamma w)) / (pairFactor s gamma) = E; without a solution the deme
// does not coalesce.
double FreqTreeBuilder::coalescenceWaitingTime(const TDeme& deme, double best) {
  const double e = -rng_.takeLogUniform();
  const double pairFactor = TDemeCollection::invNChoose2[deme.numLineages];
  if (!deme.isGrowing) return pairFactor * deme.relSizeCT * e;
  const double gamma = deme.growthRateCT;
  // Sizes are usually brought forward to t already, and exp(0) = 1.
  const double elapsed = t_ - deme.lastSizeUpdateTime;
  const double sizeNow =
      elapsed == 0.0 ? deme.relSizeCT : deme.relSizeCT * std::exp(elapsed * gamma);
  const double x = e * pairFactor * sizeNow * gamma;
  if (!(x < 1.0)) return NO_EVENT;
  if (cannotBeat(x, gamma, best)) return NO_EVENT;
  return -std::log1p(-x) / gamma;
}

// True when the exact waiting time -log1p(-x) / gamma is surely at least best,
// so that the deme cannot take the step and the log1p can be spared. Bounds:
// -log1p(-x) >= x, and log1p(y) >= y / (1 + y) for y = -x. The margin of 1e-12
// covers the few roundings of both sides, so a spared deme is one whose
// computed time would not have been below best either.
bool FreqTreeBuilder::cannotBeat(double x, double gamma, double best) {
  if (!(best > 1e-290 && best < NO_EVENT)) return false;
  const double bound = gamma > 0.0 ? x / gamma : (-x / (1.0 - x)) / -gamma;
  return bound * (1.0 - 1e-12) >= best;
}

void FreqTreeBuilder::applyEvents() {
  t_ = c_.events.elems[nextEvent_].timeCT;
  // Sizes are brought forward at every event time, so a growth rate set by an
  // event starts at the event.
  c_.adjustDemeSizesCT(t_);
  do {
    c_.implementEventCTForFreqData(nextEvent_, t_, record_);
    ++nextEvent_;
  } while (nextEvent_ < numEvents_ && c_.events.elems[nextEvent_].timeCT == t_);
  migrating_ = c_.migrationOn && c_.totMigrationRate > 0.0;
}

void FreqTreeBuilder::migrate() {
  const double x = rng_.takeUniform() * c_.totMigrationRate;
  double sum = 0.0;
  for (int k = 0; k < c_.numActiveDemes; ++k) {
    TDeme& deme = c_.demes[c_.activeDemes[k]];
    sum += deme.numLineages * deme.emigrationRate;
    if (sum > x) {
      // TDeme::implementMigrEventCTForFreqData made inline.
      const int dest = migrstep::migrate(deme, c_, t_, record_);
      if (dest >= 0 && dest != deme.demeId)
        c_.totMigrationRate += c_.demes[dest].emigrationRate - deme.emigrationRate;
      return;
    }
  }
}

// The genealogy stops for the reason given (the text inside the parentheses
// of the message); the steps made are reported and the parameters flagged.
int FreqTreeBuilder::giveUp(const std::string& reason) {
#pragma omp critical
  {
    std::cerr << "Simulations did not converge. MRCA not found! (" << reason << ")" << std::endl;
    TDemeCollection::bad_coalescence = true;
  }
  return -iterations_;
}

// Lineages that can never meet stop the genealogy at once.
int FreqTreeBuilder::strandedLineages() {
  return giveUp(std::to_string(c_.numLineages) + " lineages remaining" +
                whereLineagesAreStuck(c_));
}

// A coalescence needed in a deme of size 0 can never happen (the step has
// written its message): the genealogy stops and the parameters are flagged.
int FreqTreeBuilder::refuseZeroSize() {
#pragma omp critical
  TDemeCollection::bad_coalescence = true;
  return -iterations_;
}

int FreqTreeBuilder::run() {
  start();
  for (;;) {
    if (c_.numLineages <= 1) {
      if (c_.tree.root) {
        // A replay needs the events this tree did not reach.
        if (record_)
          for (int k = nextEvent_; k < numEvents_; ++k)
            c_.recordTinyEvent(2, c_.events.elems[k].timeCT, -1, -1, -1, -1, k);
        return 1;
      }
#pragma omp critical
      std::cerr << "Simulations did not converge. MRCA not found!" << std::endl;
      return -iterations_;
    }
    if (++iterations_ > MAX_ITERATIONS)
      return giveUp(std::to_string(c_.numLineages) + " lineages remaining" + stepLimitReason());
    // With no event left, lineages that can never meet would migrate for ever.
    if (nextEvent_ == numEvents_ && tail_.due() && lineagesCanNeverMeet(c_, false))
      return strandedLineages();

    const bool noMigrant = !migrating_ || c_.totMigrationRate <= 0.0;
    if (meanFinish_ && noMigrant && nextEvent_ == numEvents_ && c_.numActiveDemes == 1) {
      TDeme& last = c_.demes[c_.activeDemes[0]];
      if (!last.isGrowing) {
        if (!finishLastDeme(last)) return refuseZeroSize();
        continue;
      }
    }

    double minTime = NO_EVENT;
    bool migration = false;
    if (migrating_ && c_.totMigrationRate > 0.0) {
      const double w = -rng_.takeLogUniform() / c_.totMigrationRate;
      if (w < NO_EVENT) {
        minTime = w;
        migration = true;
      }
    }
    // The strict minimum, ties to the earlier candidate; chosen without
    // branches, since which deme wins cannot be foreseen.
    int coalDeme = -1;
    const TDeme* demes = c_.demes;
    const int* active = c_.activeDemes;
    const int numActive = c_.numActiveDemes;
    for (int k = 0; k < numActive; ++k) {
      const int d = active[k];
      const TDeme& deme = demes[d];
      if (deme.numLineages < 2) continue;
      const double w = coalescenceWaitingTime(deme, minTime);
      const bool shorter = w < minTime;
      minTime = shorter ? w : minTime;
      coalDeme = shorter ? d : coalDeme;
    }
    const NextEvent kind = coalDeme >= 0 ? NextEvent::coalescence
                           : migration   ? NextEvent::migration
                                         : NextEvent::none;

    if (nextEvent_ < numEvents_ && t_ + minTime > c_.events.elems[nextEvent_].timeCT) {
      applyEvents();
      continue;
    }
    // No finite waiting time and no event left: the lineages can never meet.
    if (kind == NextEvent::none)
      return giveUp(std::to_string(c_.numLineages) + " lineages remaining" +
                    whyNothingCanHappen(c_, false));

    t_ += minTime;
    if (c_.anyGrowth) {
      c_.adjustDemeSizesCT(t_);
      const int infinite = listedDemeOfInfiniteSize(c_);
      if (infinite >= 0) return giveUp(infiniteSizeReason(infinite, t_));
    }
    if (kind == NextEvent::migration)
      migrate();
    else if (!coalesce(c_.demes[coalDeme]))
      return refuseZeroSize();
  }
}

// A first tree of the four-gamete road, its history recorded for one replay.
int buildRecordedTree(TDemeCollection& c, bool meanFinish) {
  c.numRecLineages = 0;
  if (c.curEvents == nullptr)
    c.curEvents = new MY_TArrayAsVector<TTinyEvent>(1000, 5000);
  else
    c.curEvents->numElems = c.curEvents->reserved = 0;
  FreqTreeBuilder builder(c, BuildMode{false, true, meanFinish});
  const int result = builder.run();
  if (result == ITERATION_LIMIT_RESULT) return result;
  if (result != 1) return 0;
  return builder.iterations() > 0 ? builder.iterations() : 1;
}

}  // namespace

int TDemeCollection::buildTreeNoRecContinousTimeForFreqData() {
  FreqTreeBuilder builder(*this, BuildMode{updatesSpectraOnTheWay(), false, true});
  return builder.run();
}

int TDemeCollection::buildRandomFirstTreeForRecCTFast() { return buildRecordedTree(*this, false); }

int TDemeCollection::buildExpectedFirstTreeForRecCTFast() { return buildRecordedTree(*this, true); }

int TDemeCollection::implementEventCTForFreqData(const int& index, double t, bool record) {
  const THistoricalEvent& e = events.elems[index];
  if (e.activateLineages) {
    TDeme& deme = demes[e.source];
    if (deme.posInActiveList < 0) {
      deme.addDemeToActiveList(this);
      if (migrationOn) updateMigrProbaToOtherDemes(deme, *this);
    }
    deme.reactivateLineages(t, this);
    if (record) recordTinyEvent(2, t, -1, -1, -1, -1, index);
    if (deme.inbreedingCoef > 0.0)
      inbreed(deme, *this, t, updatesSpectraOnTheWay() && !record, record);
  } else {
    TDeme& sink = demes[e.sink];
    const bool sinkWasListed = sink.posInActiveList >= 0;
    const int matrixBefore = curMigMatrix;
    implementEventCT(index, t, record);
    if (migrationOn) {
      if (curMigMatrix != matrixBefore)
        computeMigrProbaPerActiveDeme(*this);
      else if (!sinkWasListed && sink.posInActiveList >= 0)
        // The sink became listed, through a move of all or of part of the lineages.
        updateMigrProbaToOtherDemes(sink, *this);
    }
  }
  totMigrationRate = listedMigrationTotal(*this);
  return 1;
}
