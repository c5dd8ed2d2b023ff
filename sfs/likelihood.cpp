// Composite log10 likelihood of observed spectra under expected ones, the
// expectation of an observed spectrum under itself (highest attainable
// likelihood) and the factors that match a model to the observed number of
// polymorphic sites. A count of 0 adds nothing, whatever its probability, and a
// probability of 0 met by observed sites is floored, so no term is NaN.
#include <algorithm>
#include <cmath>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"

namespace {

constexpr double MONO_FLOOR = 1e-10;  // probability floor of the monomorphic term

// count x log10(p), 0 for a count of 0, floor in place of a p that is not positive.
inline double countLog10(double count, double p, double floor) {
  if (count == 0.0) return 0.0;
  return count * std::log10(p > 0.0 ? p : floor);
}

// Monomorphic class: o0 monomorphic sites out of total, probability p0.
double monomorphicTerm(double o0, double total, double p0) {
  return countLog10(o0, p0, MONO_FLOOR) + countLog10(total - o0, 1.0 - p0, MONO_FLOOR);
}

}  // namespace

long double AFS::probNoMutation() const {
  const long double sims = numSims > 0 ? numSims : 1;
  return std::exp(-(totTreeLength / sims) *
                  (static_cast<long double>(mutRate) * TDemeCollection::CTTimeUnit));
}

double AFS::computePopLogLHood(const AFS& observed, int deme, bool withPolymorphicTerm) const {
  if (deme < 0 || deme >= numDemes || observed.numDemes != numDemes ||
      observed.jointAFS[deme][deme].numCols != jointAFS[deme][deme].numCols)
    return 0.0;
  const int n = sampleSizes[deme];
  const double* o = observed.spectrum(deme);
  const double* e = spectrum(deme);
  double total = 0.0;
  for (int k = 0; k <= n; ++k) total += o[k];
  double lhood = 0.0;
  if (withPolymorphicTerm) {
    double lumped = 0.0;  // whole sites, held in a double: any observed total fits
    double lumpedProb = 0.0;
    for (int k = 0; k <= n; ++k) {
      if (o[k] >= minValidSFSEntry) {
        if (k > 0) lhood += e[k] > 0.0 ? countLog10(o[k], e[k], 0.0) : o[k] * -10.0;
      } else {
        lumped = std::trunc(lumped + o[k]);
        lumpedProb += e[k] != 0.0 ? e[k] : 1e-10;
      }
    }
    if (lumpedProb != 0.0) lhood += countLog10(lumped, lumpedProb, 1e-10);
  }
  if (includeMonoSites && o[0] > 0.0) {
    const double p0 = totTreeLength != 0.0L
                          ? static_cast<double>((1.0L - probNoMutation()) * e[0] + probNoMutation())
                          : e[0];
    lhood += monomorphicTerm(o[0], total, p0);
  }
  return lhood;
}

double AFS::computePopPairLogLHood(const AFS& observed, int deme1, int deme2,
                                   bool withPolymorphicTerm) const {
  const int i = std::max(deme1, deme2);
  const int j = std::min(deme1, deme2);
  if (j < 0 || i >= numDemes || i == j || observed.numDemes != numDemes ||
      observed.jointAFS[i][j].cells.size() != jointAFS[i][j].cells.size())
    return 0.0;
  const sfsTable& o = observed.jointAFS[i][j];
  const sfsTable& e = jointAFS[i][j];
  const double z = hasMinima() ? std::min(0.01 * minSFS[i][j], 1e-8) : 1e-10;
  const double total = o.total();
  double lhood = 0.0;
  if (withPolymorphicTerm) {
    double lumped = 0.0;  // whole sites, held in a double: any observed total fits
    double lumpedProb = 0.0;
    for (size_t c = 0; c < o.cells.size(); ++c) {
      const double oc = o.cells[c];
      const double ec = e.cells[c];
      if (oc >= minValidSFSEntry) {
        if (c != 0) lhood += countLog10(oc, ec > 0.0 ? ec : z, z);
      } else {
        lumped = std::trunc(lumped + oc);
        lumpedProb += ec != 0.0 ? ec : z;
      }
    }
    if (lumpedProb != 0.0) lhood += countLog10(lumped, lumpedProb, z);
  }
  if (includeMonoSites && o.cells[0] > 0.0) {
    const double e0 = e.cells[0];
    const double p0 = totTreeLength != 0.0L
                          ? static_cast<double>((1.0L - probNoMutation()) * e0 + probNoMutation())
                          : e0;
    lhood += monomorphicTerm(o.cells[0], total, p0);
  }
  return lhood;
}

double AFS::computeTotLogLHood(const AFS& observed) {
  prepareForScoring();
  double lhood = 0.0;
  if (numSampledDemes == 1) {
    for (int i = 0; i < numDemes; ++i)
      if (sampleSizes[i] > 0) lhood += computePopLogLHood(observed, i, true);
    return lhood;
  }
  for (int i = 0; i < numDemes; ++i)
    for (int j = 0; j < i; ++j)
      if (sampleSizes[i] > 0 && sampleSizes[j] > 0)
        lhood += computePopPairLogLHood(observed, i, j, true);
  return lhood;
}

namespace {

// Observed counts become proportions; without the monomorphic class its cell
// is left out and set to 0.
void toOwnExpectation(sfsTable& t) {
  const double sum = t.total();
  if (AFS::includeMonoSites) {
    if (sum != 0.0)
      for (double& v : t.cells) v /= sum;
    return;
  }
  const double s = sum - t.cells[0];
  if (s != 0.0)
    for (double& v : t.cells) v /= s;
  t.cells[0] = 0.0;
}

}  // namespace

void AFS::setExpJointAFStoObs() {
  if (!hasTables()) return;
  if (numSampledDemes == 1) {
    for (int i = 0; i < numDemes; ++i)
      if (sampleSizes[i] > 0) toOwnExpectation(jointAFS[i][i]);
  } else {
    for (int i = 0; i < numDemes; ++i)
      for (int j = 0; j < i; ++j) toOwnExpectation(jointAFS[i][j]);
  }
  mustSetRelativeValues = false;
  preparedForScoring = false;
}

double AFS::computeRescaleFactorFromAFS(const AFS& /*observed*/) const {
  double weighted = 0.0;
  double weights = 0.0;
  for (int i = 1; i < numDemes; ++i)
    for (int j = 0; j < i; ++j) {
      if (sampleSizes[i] <= 0 || sampleSizes[j] <= 0) continue;
      const double p = 1.0 - jointAFS[i][j].cells[0];
      const double sims = numSims > 0 ? numSims : 1;
      const double denominator = static_cast<double>(totObsNumSites) * mutRate * (1.0 / sims) *
                                 static_cast<double>(totTreeLength * TDemeCollection::CTTimeUnit) *
                                 p;
      const double r = denominator != 0.0 ? totObsNumPolymSites / denominator : 0.0;
      weighted += r * p;
      weights += p;
    }
  return weights != 0.0 ? weighted / weights : 1.0;
}

// ------------------------------------------------------------ multi-dimensional

double multiSFS::computeLhood(const multiSFS& observed) {
  if (!includeMonoSites && !TSimSettings::isReferenceParameters) rescaleSFSIfNoMonomorphicSites();
  const std::vector<double>& e = multiJointSFS;
  const std::vector<double>& o = observed.multiJointSFS;
  const int n = static_cast<int>(std::min(e.size(), o.size()));
  if (n == 0) return 0.0;
  const double z = zeroFloor();
  double total = 0.0;
  for (double v : o) total += v;
  double lhood = 0.0;
  if (const MY_TArrayAsVector<int>* list = validSFSEntries) {
    double listedSites = 0.0;
    for (int p = 0; p < list->numElems; ++p) {
      const int idx = (*list)[p];
      if (idx < 0 || idx >= n) continue;
      listedSites += o[idx];
      if (idx != 0) lhood += countLog10(o[idx], e[idx], z);
    }
    // Sites of this data set outside the listed entries form the lumped class.
    const double invalidSites = total - listedSites;
    if (invalidSites > 0.0) lhood += countLog10(invalidSites, invalidSFSProb, z);
  } else {
    for (int i = 1; i < n; ++i)
      if (o[i] >= minValidSFSEntry) lhood += countLog10(o[i], e[i], z);
  }
  if (includeMonoSites && o[0] > 0.0) {
    const double p0 = totTreeLength != 0.0L ? static_cast<double>(probNoMutation()) : e[0];
    lhood += monomorphicTerm(o[0], total, p0);
  }
  return lhood;
}

void multiSFS::setExpJointAFStoObs() {
  std::vector<double>& e = multiJointSFS;
  const int n = static_cast<int>(e.size());
  if (n < 2) return;
  double c = 0.0;
  for (int k = 1; k < n; ++k) c += e[k];
  invalidSFSProb = 0.0;
  if (c != 0.0) {
    double lumped = 0.0;
    for (int k = 1; k < n; ++k)
      if (e[k] < minValidSFSEntry) lumped += e[k];
    invalidSFSProb = lumped / c;
    for (int k = 1; k < n; ++k) e[k] /= c;
  }
  if (!includeMonoSites)
    e[0] = 0.0;
  else if (c + e[0] != 0.0)
    e[0] = e[0] / (c + e[0]);
  mustSetRelativeValues = false;
}

double multiSFS::computeRescaleFactorFromMultiSFS(const multiSFS& observed) const {
  double sites = 0.0;
  for (double v : observed.multiJointSFS) sites += v;
  const long double sims = numSims > 0 ? numSims : 1;
  const double d = static_cast<double>((totTreeLength / sims) *
                                       (static_cast<long double>(mutRate) * sites) *
                                       TDemeCollection::CTTimeUnit);
  if (totTreeLength == 0.0L || d == 0.0 || observed.multiJointSFS.empty()) return 1.0;
  return (sites - observed.multiJointSFS[0]) / d;
}
