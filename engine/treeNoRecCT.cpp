// Gene tree of a non-recombining chromosome, built backwards in continuous time
// with the structured coalescent: coalescences within demes, migrations along
// the rows of the matrix in force, exponential growth, historical events,
// ancient samples joining at their sampling time and inbreeding.
//
// Random numbers are taken in a fixed order per iteration: one exponential for
// the migration race (when migration is possible), one per listed deme holding
// at least two lineages, then the uniforms of the event applied.
#include <cmath>
#include <iostream>
#include <string>

#include "engine/coalWaiting.h"
#include "engine/deme.h"
#include "engine/lineageMeeting.h"
#include "engine/stepLimit.h"
#include "support/UniqueRandom.h"

namespace {

enum class NextEvent { none, coalescence, migration };

void reportNoMRCA(int numLineages, const std::string& where = "") {
  std::cerr << "Simulations did not converge. MRCA not found! (" << numLineages
            << " lineages remaining" << where << ")" << std::endl;
}

void reportStepLimit(int numLineages) {
#pragma omp critical
  std::cerr << "Simulations did not converge. MRCA not found! (" << numLineages
            << " lineages remaining" << stepLimitReason() << ")" << std::endl;
}

// A listed deme whose size is no longer a finite number stops the tree.
bool sizesAreFinite(const TDemeCollection& c, double t) {
  for (int k = 0; k < c.numActiveDemes; ++k) {
    const TDeme& deme = c.demes[c.activeDemes[k]];
    if (!std::isfinite(deme.relSizeCT)) {
      std::cerr << "Simulations did not converge. MRCA not found! (the size of deme "
                << deme.demeId << " is no longer finite at generation "
                << t * TDemeCollection::CTTimeUnit << ")" << std::endl;
      return false;
    }
  }
  return true;
}

}  // namespace

bool TDemeCollection::updateInbreedingSwitch() {
  isInbreeding = false;
  for (int d = 0; d < numDemes; ++d)
    if (demes[d].inbredAtStart()) isInbreeding = true;
  return isInbreeding;
}

void TDemeCollection::resetTreeStart() {
  curMigMatrix = 0;
  migrationOn = true;
  tree.root = nullptr;
  numActiveDemes = 0;
  numLineages = iniNumLineages;
  tree.numLoci = static_cast<int>(numSites);
  anyGrowth = initIsGrowthRate;
  if (!eventsRescaled) eventsRescaled = rescaleEventsCT();
  numInactiveLineages = 0;
  for (int d = 0; d < numDemes; ++d) {
    activeDemes[d] = -1;
    demes[d].posInActiveList = -1;
  }
  for (int d = 0; d < numDemes; ++d) {
    TDeme& deme = demes[d];
    deme.relSizeCT = deme.initRelSizeCT;
    deme.lastSizeUpdateTime = 0.0;
    if (deme.numLineages > 0 && deme.sampleAge == 0.0) {
      deme.addDemeToActiveList(this);
    } else if (deme.sampleAge > 0.0) {
      numInactiveLineages += deme.sampleSize;
      deme.numLineages = 0;
    }
  }
}

// Steps before the first iteration of a tree: the shared start, inbreeding of
// contemporary samples and emigration rates.
bool TDemeCollection::startTreeNoRec(bool record) {
  resetTreeStart();
  if (isInbreeding)
    for (int d = 0; d < numDemes; ++d)
      if (demes[d].inbredAtStart()) demes[d].implementInbreeding(*this, 0.0, record);
  return computeMigrProbaPerActiveDeme(*this);
}

int TDemeCollection::buildTreeNoRecContinousTime() { return buildTreeCT(false); }

int TDemeCollection::buildTreeCT(bool record) {
  bool migrating = startTreeNoRec(record);
  GlobalRandom& rng = *randomGenerator;
  const int numEvents = events.numElems;
  const double* pairFactor = invNChoose2;
  double t = 0.0;
  int nextEvent = 0;
  int coalDeme = -1;
  TTailSchedule tail;
  int steps = 0;

  for (;;) {
    if (numLineages <= 1) {
      if (tree.root != nullptr) {
        // The replay needs the events the tree did not reach: its cut
        // lineages may live beyond this tree's MRCA.
        if (record)
          for (int k = nextEvent; k < numEvents; ++k)
            recordTinyEvent(2, events.elems[k].timeCT, -1, -1, -1, -1, k);
        return 1;
      }
      if (record) {
#pragma omp critical
        std::cerr << "Simulations did not converge: no MRCA found!" << std::endl;
      } else {
        std::cerr << "Simulations did not converge. MRCA not found!" << std::endl;
      }
      return 0;
    }
    if (++steps > MAX_COALESCENT_STEPS) {
      reportStepLimit(numLineages);
      return 0;
    }
    // With no event left, lineages that can never meet would migrate for ever.
    if (nextEvent >= numEvents && tail.due() && lineagesCanNeverMeet(*this, false)) {
      reportNoMRCA(numLineages, whereLineagesAreStuck(*this));
      return 0;
    }
    double minTime = NO_EVENT;
    NextEvent kind = NextEvent::none;

    double totalMigration = 0.0;
    if (migrating && numActiveDemes > 0) {
      for (int k = 0; k < numActiveDemes; ++k) {
        const TDeme& deme = demes[activeDemes[k]];
        totalMigration += deme.numLineages * deme.emigrationRate;
      }
      if (totalMigration != 0.0) {
        const double w = -rng.takeLogUniform() / totalMigration;
        if (w < NO_EVENT) {
          minTime = w;
          kind = NextEvent::migration;
        }
      }
    }

    int listedLineages = 0;
    for (int k = 0; k < numActiveDemes; ++k) {
      const TDeme& deme = demes[activeDemes[k]];
      const int n = deme.numLineages;
      listedLineages += n;
      if (n < 2) continue;
      const double w = coalescenceWaitingTime(deme, pairFactor[n], -rng.takeLogUniform());
      if (w < minTime) {
        minTime = w;
        kind = NextEvent::coalescence;
        coalDeme = activeDemes[k];
      }
    }

    const double tNew = t + minTime;
    if (nextEvent < numEvents && tNew > events.elems[nextEvent].timeCT) {
      t = events.elems[nextEvent].timeCT;
      if (anyGrowth) adjustDemeSizesCT(t);
      do {
        implementEventCT(nextEvent, t, record);
        ++nextEvent;
      } while (nextEvent < numEvents && events.elems[nextEvent].timeCT == t);
      migrating = computeMigrProbaPerActiveDeme(*this);
      if (!sizesAreFinite(*this, t)) return 0;
      continue;
    }

    // Nothing can happen any more: no finite waiting time and no event left,
    // or a single listed lineage left to wander alone.
    if (kind == NextEvent::none || (listedLineages <= 1 && nextEvent >= numEvents)) {
      reportNoMRCA(numLineages, whyNothingCanHappen(*this, false));
      return 0;
    }

    t = tNew;
    if (anyGrowth) {
      adjustDemeSizesCT(t);
      if (!sizesAreFinite(*this, t)) return 0;
    }
    if (kind == NextEvent::coalescence) {
      TDeme& deme = demes[coalDeme];
      if (!deme.implementCoalEventCT(*this, t, record) && deme.relSizeCT == 0.0) return 0;
    } else {
      const double x = rng.takeUniform() * totalMigration;
      double sum = 0.0;
      for (int k = 0; k < numActiveDemes; ++k) {
        TDeme& deme = demes[activeDemes[k]];
        sum += deme.numLineages * deme.emigrationRate;
        if (sum > x) {
          deme.implementMigrEventCT(*this, t, record);
          break;
        }
      }
    }
  }
}
