// The deme collection between trees: reset, event times, deme sizes under
// growth, emigration rates, the table of inverse pair counts and the lists of
// genotype blocks.
#include <cmath>
#include <iostream>
#include <new>

#include "engine/deme.h"
#include "engine/migrStep.h"
#include "model/simSettings.h"

void TDemeCollection::reset(const MY_TArrayAsVector<long>& sizes, const MY_TArrayAsVector<double>& rates) {
  if (sizes.numElems == numDemes)
    for (int i = 0; i < numDemes; ++i) demes[i].demeSize = static_cast<double>(sizes[i]);
  // Batches reset concurrently: the shared initIsGrowthRate is left to the set-up.
  anyGrowth = false;
  if (rates.numElems == numDemes) applyGrowthRates(rates);
  tree.numCoalNodes = 0;
  numLineages = iniNumLineages;
  if (TSimSettings::doF4GT) isRecombining = true;
  if (isRecombining) {
    tree.numRecBranches = tree.nodeOffset = 0;
    numRecLineages = 0;
    tree.resetNodesStatus();
    tree.newNodes.count = 0;
  }
  for (int i = 0; i < numDemes; ++i) demes[i].reset(isRecombining);
  curMigMatrix = 0;
  migrationOn = true;
}

bool TDemeCollection::rescaleEventsCT() {
  // The same expression as the time of an ancient sample's tips.
  for (int i = 0; i < events.numElems; ++i)
    events.elems[i].timeCT = static_cast<double>(events.elems[i].time) * (1.0 / CTTimeUnit);
  return true;
}

void TDemeCollection::calcInvNChoose2(const int& n) {
  releaseInvNChoose2();
  const int size = 3 * (n > 0 ? n : 0) + 1;
  invNChoose2 = new double[size];
  for (int k = 0; k < size; ++k)
    invNChoose2[k] = k < 2 ? 0.0 : 2.0 / (static_cast<double>(k) * static_cast<double>(k - 1));
}

void TDemeCollection::releaseInvNChoose2() {
  delete[] invNChoose2;
  invNChoose2 = nullptr;
}

long long generationsOf(double t) {
  const double g = t * TDemeCollection::CTTimeUnit;
  if (!(g > -9.0e18)) return -9000000000000000000LL;
  if (g > 9.0e18) return 9000000000000000000LL;
  return static_cast<long long>(g);
}

int TDemeCollection::adjustDemeSizesCT(const double& t) {
  for (int i = 0; i < numDemes; ++i) {
    TDeme& d = demes[i];
    if (d.growthRate != 0.0) {
      const double elapsed = t - d.lastSizeUpdateTime;
      if (elapsed != 0.0) d.relSizeCT *= std::exp(elapsed * d.growthRateCT);  // exp(0) = 1
      if (d.relSizeCT <= 0.0) {
        d.relSizeCT = 1.0 / CTTimeUnit;
        std::cerr << "TDemeCollection::adjustDemeSizesCT: Sample size set to 1 in deme " << i
                  << " at time " << generationsOf(t) << " as it was shrinking to zero!\n"
                  << "Check your par file...!!!\n";
      }
    }
    d.lastSizeUpdateTime = t;
  }
  return 1;
}

bool TDemeCollection::checkIfGrowthRate() {
  anyGrowth = false;
  for (int i = 0; i < numDemes; ++i)
    if (demes[i].isGrowing) anyGrowth = true;
  return anyGrowth;
}

// ------------------------------------------------------------------ migration

double TDemeCollection::offDiagonalRowSum(int deme) const {
  if (!migMatrices || curMigMatrix < 0 || curMigMatrix >= migMatrices->numElems) return 0.0;
  const TMigrationMatrix& m = (*migMatrices)[curMigMatrix];
  if (!m.elems || deme < 0 || deme >= m.size) return 0.0;
  double sum = 0.0;
  for (int j = 0; j < m.size; ++j)
    if (j != deme) sum += m.elems[deme][j];
  return sum;
}

int TDemeCollection::findMigrationSink(int source, double x) const {
  return migrstep::findSink(*this, source, x);
}

namespace {

// Sets the emigration rate of the listed demes (all demes when allDemes);
// true when some rate is positive.
bool setEmigrationRates(TDemeCollection& c, bool allDemes) {
  bool any = false;
  const int n = allDemes ? c.numDemes : c.numActiveDemes;
  for (int k = 0; k < n; ++k) {
    TDeme& d = c.demes[allDemes ? k : c.activeDemes[k]];
    d.emigrationRate = c.offDiagonalRowSum(d.demeId);
    if (d.emigrationRate > 0.0) any = true;
  }
  return any;
}

}  // namespace

double listedMigrationTotal(const TDemeCollection& c) {
  double total = 0.0;
  for (int k = 0; k < c.numActiveDemes; ++k) {
    const TDeme& d = c.demes[c.activeDemes[k]];
    total += d.numLineages * d.emigrationRate;
  }
  return total;
}

bool computeMigrProbaPerActiveDeme(TDemeCollection& c) {
  if (!c.migrationOn) return false;
  return setEmigrationRates(c, false);
}

bool computeMigrProbaForAllDemes(TDemeCollection& c) {
  if (!c.migrationOn) return false;
  return setEmigrationRates(c, true);
}

bool computeMigrProbaPerActiveDemeForFreqData(TDemeCollection& c) {
  if (!c.migrationOn) return false;
  const bool any = setEmigrationRates(c, false);
  c.totMigrationRate = listedMigrationTotal(c);
  return any;
}

bool setInitMigrProbaPerActiveDeme(TDemeCollection& c) {
  if (!c.migrationOn) return false;
  for (int k = 0; k < c.numActiveDemes; ++k) {
    TDeme& d = c.demes[c.activeDemes[k]];
    d.emigrationRate = d.initEmigrationRate;
  }
  c.totMigrationRate = listedMigrationTotal(c);
  return c.anyMigration;
}

bool updateMigrProbaToOtherDemes(TDeme& deme, TDemeCollection& c) {
  if (!c.migrationOn) return false;
  deme.emigrationRate = c.offDiagonalRowSum(deme.demeId);
  return deme.emigrationRate > 0.0;
}

// ------------------------------------------------------------------ genotype blocks

void TDemeCollection::ReserveLoci(int numChrom) {
  resetSiteStorage(numChrom);
  for (int i = 0; i < numDemes; ++i) {
    MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = demes[i].loci;
    if (demes[i].sampleSize <= 0) continue;
    try {
      loci.Reallocate(numChrom);
    } catch (const std::bad_alloc&) {
      loci.deleteArray();  // left empty
    }
  }
}

void TDemeCollection::flushLoci() {
  for (int i = 0; i < numDemes; ++i) demes[i].loci.FlushFast();
}

void TDemeCollection::releaseLoci(int first, int last) {
  for (int i = 0; i < numDemes; ++i) {
    MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = demes[i].loci;
    if (!loci.ownsElems) continue;
    const int end = last < loci.numElems ? last : loci.numElems;
    for (int c = first < 0 ? 0 : first; c < end; ++c) {
      delete loci.elems[c];
      loci.elems[c] = nullptr;
    }
  }
}
