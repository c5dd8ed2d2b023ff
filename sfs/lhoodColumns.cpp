// Likelihood columns of the likelihood tables: every observed data set scored
// against the collection's expected spectra of its flavour.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <limits>
#include <vector>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/globals.h"

namespace {

constexpr double NO_LIKELIHOOD = -std::numeric_limits<double>::infinity();

// An expected spectrum without tree length comes from no genealogy at all.
template <class Spectrum>
bool holdsGenealogies(const Spectrum* expected) {
  return expected && expected->totTreeLength != 0.0L;
}

template <class Spectrum>
double score(Spectrum* expected, const Spectrum& observed);

template <>
double score<AFS>(AFS* expected, const AFS& observed) {
  return holdsGenealogies(expected) ? expected->computeTotLogLHood(observed) : NO_LIKELIHOOD;
}

template <>
double score<multiSFS>(multiSFS* expected, const multiSFS& observed) {
  return holdsGenealogies(expected) ? expected->computeLhood(observed) : NO_LIKELIHOOD;
}

template <class Spectrum>
void scoreAll(std::ostream* os, const std::vector<Spectrum>& observed, int numObs,
              Spectrum* expected, const char* label, double& last) {
  const int count = std::min(numObs, static_cast<int>(observed.size()));
  for (int k = 0; k < count; ++k) {
    last = score(expected, observed[k]);
    if (!os) continue;
    if (consoleOutput) std::cout << label << last << "\n";
    *os << "\t" << std::fixed << std::setprecision(5) << last;
  }
}

template <class Spectrum>
double lhoodColumns(std::ostream& os, bool header, const TObsAFS* observed,
                    const std::vector<Spectrum>& maf, const std::vector<Spectrum>& daf,
                    Spectrum* expMAF, Spectrum* expDAF) {
  if (!observed) return 0.0;
  if (header) {
    if (observed->numObs <= 0) return 0.0;
    if (!maf.empty())
      for (int k = 1; k <= observed->numObs; ++k) os << "\tMAFLHood_" << k;
    if (!daf.empty())
      for (int k = 1; k <= observed->numObs; ++k) os << "\tDAFLHood_" << k;
    return 0.0;
  }
  double last = 0.0;
  scoreAll(&os, maf, observed->numObs, expMAF, "New MAF logLHood: ", last);
  scoreAll(&os, daf, observed->numObs, expDAF, "New DAF logLHood: ", last);
  return last;
}

}  // namespace

double TDemeCollection::computeLHoodsFromAFS(std::ostream& os, bool header,
                                             const TObsAFS* observed) {
  if (!observed) return 0.0;
  return lhoodColumns(os, header, observed, observed->obsMAF, observed->obsDAF, expMAF, expDAF);
}

double TDemeCollection::computeLHoodsFromMultiSFS(std::ostream& os, bool header,
                                                  const TObsAFS* observed) {
  if (!observed) return 0.0;
  return lhoodColumns(os, header, observed, observed->obsMultiMAF, observed->obsMultiDAF,
                      expMultiMAF, expMultiDAF);
}

void TDemeCollection::writeLhoodToFile(std::ostream& os, bool header, double lhood) {
  if (header) {
    if (TSimSettings::compMAF) os << "\tMAFLHood";
    if (TSimSettings::compDAF) os << "\tDAFLHood";
    return;
  }
  os << "\t" << std::fixed << std::setprecision(5) << lhood;
}

double TDemeCollection::computeDAFLHoodsFromAFS4Brent(const TObsAFS* observed) {
  double last = 0.0;
  if (observed) scoreAll<AFS>(nullptr, observed->obsDAF, observed->numObs, expDAF, "", last);
  return last;
}

double TDemeCollection::computeMAFLHoodsFromAFS4Brent(const TObsAFS* observed) {
  double last = 0.0;
  if (observed) scoreAll<AFS>(nullptr, observed->obsMAF, observed->numObs, expMAF, "", last);
  return last;
}
