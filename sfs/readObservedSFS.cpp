// The observed spectra of a run and the opening of its likelihood file with
// its header line.
#include <fstream>
#include <iostream>

#include "model/simSettings.h"
#include "sfs/obsSFS.h"
#include "support/outputFile.h"

namespace {

// The readers of one flavour, chosen from the run's switches.
bool readFlavour(TObsAFS& obs, const std::string& prefix, TDemeCollection& demes, bool isMAF,
                 TSimSettings* settings) {
  if (TSimSettings::computePooledSFS) return obs.readPooledObsAFS(prefix, demes, isMAF);
  if (TSimSettings::isMultiSFS) return obs.readObsMultiSFS(prefix, demes, isMAF, settings);
  return obs.readObsAFS(prefix, demes, isMAF) == 1;
}

}  // namespace

bool TSimSettings::readObservedSFS(bool inSubFolder, const bool& readObs, TObsAFS*& obs,
                                   TOutputFile*& lhoodFile, const bool& estHeader,
                                   const bool& defHeader, const my_string& lhoodFileName) {
  return readObservedSpectra(inSubFolder, readObs, obs) &&
         openLikelihoodTable(inSubFolder, readObs, obs, lhoodFile, estHeader, defHeader,
                             lhoodFileName);
}

bool TSimSettings::readObservedSpectra(bool inSubFolder, const bool& readObs, TObsAFS*& obs) {
  if (readObs) {
    if (!obs) obs = new TObsAFS;
    obs->beginRead();
    const std::string prefix = std::string(inSubFolder ? "../" : "") + genericName.c_str();
    if (compMAF && !readFlavour(*obs, prefix, demeCollection, true, this)) return false;
    if (compDAF && !readFlavour(*obs, prefix, demeCollection, false, this)) return false;
  } else {
    buildValidDemes(demeCollection);
    if (obs) obs->selectDefaultMultiObs();  // the lists stay with the observed data
  }
  return true;
}

bool TSimSettings::openLikelihoodTable(bool inSubFolder, const bool& readObs, TObsAFS* obs,
                                       TOutputFile*& lhoodFile, const bool& estHeader,
                                       const bool& defHeader, const my_string& lhoodFileName) {
  if (!lhoodFile) {
    auto* file = new TOutputFile(lhoodFileName.c_str());
    if (!*file) {
      std::cerr << "\nError! Unable to open likelihood file \"" << lhoodFileName << "\"\n";
      delete file;
      return false;
    }
    lhoodFile = file;
  }
  if (!readObs) return true;
  std::ostream& os = *lhoodFile;
  // With a definition file the rows hold its value rows (with -F every parameter
  // of the prior file, complex ones recomputed), so the header names those columns.
  if (defHeader) {
    for (int k = 0; k < paramNames->numElems; ++k) os << (k > 0 ? "\t" : "") << (*paramNames)[k];
  } else if (estHeader) {
    parameters.writeParameters(inSubFolder ? 0 : -1, os, true, inSubFolder);
  }
  if (isMultiSFS)
    demeCollection.computeLHoodsFromMultiSFS(os, true, obs);
  else
    demeCollection.computeLHoodsFromAFS(os, true, obs);
  os << "\n";
  os.flush();
  return true;
}
