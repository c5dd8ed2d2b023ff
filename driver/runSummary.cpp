#include "driver/runSummary.h"

#include <iomanip>
#include <iostream>
#include <string>

#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/globals.h"

double secondsSince(const timeval& start) {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<double>(now.tv_sec - start.tv_sec) +
         static_cast<double>(now.tv_usec - start.tv_usec) * 1e-6;
}

void writeParameterPart(std::ostream& os, TSimSettings& s, const RunOptions& run, int runIndex) {
  if (!run.useTemplate) return;
  if (run.defFileGiven)
    s.writeParametersFromDef(os, runIndex);
  else if (run.priorFileGiven)
    s.parameters.writeParameters(-1, os, false, false);
}

void writeLikelihoods(std::ostream& os, TSimSettings& s, const TObsAFS* observed) {
  TDemeCollection& demes = s.demeCollection;
  if (TSimSettings::isMultiSFS) {
    for (multiSFS* e : {demes.expMultiMAF, demes.expMultiDAF}) {
      if (!e) continue;
      e->mustSetRelativeValues = true;
      e->setSFSRelativeValuesAndComputeMinSFS(observed);
    }
    demes.computeLHoodsFromMultiSFS(os, false, observed);
    return;
  }
  for (AFS* e : {demes.expMAF, demes.expDAF}) {
    if (!e) continue;
    e->mustSetRelativeValues = true;
    e->setAFSRelativeValuesAndComputeMinSFS();
  }
  demes.computeLHoodsFromAFS(os, false, observed);
}

void writeFailedLikelihoods(std::ostream& os, const TObsAFS* observed) {
  if (!observed) return;
  const bool multi = TSimSettings::isMultiSFS;
  const bool maf = multi ? !observed->obsMultiMAF.empty() : !observed->obsMAF.empty();
  const bool daf = multi ? !observed->obsMultiDAF.empty() : !observed->obsDAF.empty();
  const int columns = observed->numObs * ((maf ? 1 : 0) + (daf ? 1 : 0));
  for (int k = 0; k < columns; ++k) os << "\tnan";
}

bool writeExpectedSpectra(TSimSettings& s, bool firstWrite) {
  TDemeCollection& demes = s.demeCollection;
  const std::string name = s.genericName.c_str();
  const int header = firstWrite ? 1 : 0;
  const bool append = !firstWrite;
  const int numDataSets = 1;  // one expected spectrum per run
  const int multiAllelic = demes.numMultiAllelicSites;
  bool written = true;
  if (TSimSettings::isMultiSFS) {
    for (multiSFS* e : {demes.expMultiMAF, demes.expMultiDAF})
      if (e)
        written &= e->printSFS(name, name, header, false, numDataSets, true, 0, append,
                               multiAllelic, 0.0, false);
    return written;
  }
  // Branches enter the 1-D tables only when a single deme has a sample (or all
  // samples are pooled into one); otherwise the tables hold zeros, which must
  // not be written as an expected spectrum.
  const bool filled = TSimSettings::computePooledSFS || TDemeCollection::numValidDemes == 1;
  for (AFS* e : {demes.expMAF, demes.expDAF}) {
    if (!e) continue;
    if (filled)
      written &= e->printAllPopAFS(name, name, header, false, numDataSets, true, 0, append,
                                   multiAllelic, 0.0);
    written &= e->printAllPairwiseAFS(name, name, header, false, numDataSets, true, 0, append,
                                      multiAllelic, 0.0);
  }
  return written;
}

void writeIterationLines(int runNumber, int numRuns, double seconds) {
  std::cout << "\nIteration " << runNumber << "/" << numRuns << " done in " << std::fixed
            << std::setprecision(3) << seconds << " secs\n"
            << std::endl;
  if (QdlSimulConditions.is_open())
    QdlSimulConditions << "\n"
                       << "\n\ndone in " << std::fixed << std::setprecision(3) << seconds
                       << " secs\n"
                       << std::endl;
}
