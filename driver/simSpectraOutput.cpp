// Observed spectra of a simulated data set and of the bootstrap resamples of
// its sites: computed, written to the spectrum files, and scored against the
// data set's own spectra (the highest likelihood each can reach). A data set
// whose spectra cannot be made still gets its rows, of nan, so that row k of
// every spectrum file is that of data set k.
#include <cmath>
#include <iomanip>
#include <iostream>
#include <memory>

#include "driver/dataSetOutput.h"
#include "driver/geneticOutputs.h"
#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "support/globals.h"
#include "support/public.h"

namespace {

// Whether the data sets of the run get spectra (the run start says why not).
bool spectraWanted(const TSimSettings& s) {
  return (TSimSettings::compMAF || TSimSettings::compDAF) && unmadeSpectraReason(s).empty();
}

// The data set's spectra turned into their own expectations (made at b = 0).
struct TOwnExpectations {
  std::unique_ptr<AFS> maf, daf;
  std::unique_ptr<multiSFS> multiMAF, multiDAF;
};

AFS* observedAFS(TDemeCollection& c, bool minor) {
  if (TSimSettings::computePooledSFS) return minor ? c.obsPooledMAF : c.obsPooledDAF;
  return minor ? c.obsMAF : c.obsDAF;
}

TOwnExpectations ownExpectations(TDemeCollection& c) {
  TOwnExpectations e;
  if (TSimSettings::isMultiSFS) {
    if (TSimSettings::compMAF && c.obsMultiMAF)
      e.multiMAF = std::make_unique<multiSFS>(*c.obsMultiMAF);
    if (TSimSettings::compDAF && c.obsMultiDAF)
      e.multiDAF = std::make_unique<multiSFS>(*c.obsMultiDAF);
    for (multiSFS* m : {e.multiMAF.get(), e.multiDAF.get()})
      if (m) m->setExpJointAFStoObs();
    return e;
  }
  if (TSimSettings::compMAF && observedAFS(c, true))
    e.maf = std::make_unique<AFS>(*observedAFS(c, true));
  if (TSimSettings::compDAF && observedAFS(c, false))
    e.daf = std::make_unique<AFS>(*observedAFS(c, false));
  for (AFS* a : {e.maf.get(), e.daf.get()})
    if (a) a->setExpJointAFStoObs();
  return e;
}

// How one replicate's spectrum files are written.
struct TSpectrumFiles {
  std::string folder;
  std::string prefix;
  int header = 0;
  int numDataSets = 0;
  int oneDataSetPerFile = 0;
  bool append = false;
  bool dadi = false;
};

// `counted`: the spectra hold the data set's counts, not the nan of an unmade one.
bool writeFlavour(TDemeCollection& c, bool minor, const TSpectrumFiles& f, bool& siteCounts,
                  bool counted) {
  const int multi = c.numMultiAllelicSites;
  if (TSimSettings::isMultiSFS) {
    const multiSFS* m = minor ? c.obsMultiMAF : c.obsMultiDAF;
    return !m || m->printSFS(f.folder, f.prefix, f.header, true, f.numDataSets, false,
                             f.oneDataSetPerFile, f.append, multi, 0.0, f.dadi);
  }
  AFS* a = observedAFS(c, minor);
  if (!a) return true;
  if (TSimSettings::computePooledSFS)
    return a->printAllPopAFS(f.folder, pooledSpectrumPrefix(f.prefix), f.header, true, f.numDataSets,
                             false, f.oneDataSetPerFile, f.append, multi, 0.0);
  bool ok = true;
  if (!siteCounts)  // one line per data set, whatever the flavours
    ok = AFS::printNumMonoAndPolymSites(f.folder, f.prefix, f.header, f.numDataSets,
                                        f.oneDataSetPerFile, f.append, c, counted);
  siteCounts = true;
  ok = a->printAllPopAFS(f.folder, f.prefix, f.header, true, f.numDataSets, false,
                         f.oneDataSetPerFile, f.append, multi, 0.0) && ok;
  ok = a->printAllPairwiseAFS(f.folder, f.prefix, f.header, true, f.numDataSets, false,
                              f.oneDataSetPerFile, f.append, multi, 0.0) && ok;
  if (f.dadi) {
    ok = a->printAllPopAFS4dadi(f.folder, f.prefix, 0, true, f.numDataSets, false, f.append) && ok;
    ok = a->printAllPairwiseAFS4dadi(f.folder, f.prefix, 0, true, f.numDataSets, false,
                                     f.append) && ok;
  }
  return ok;
}

bool writeReplicate(TDemeCollection& c, const TSpectrumFiles& f, bool counted) {
  bool siteCounts = false;
  bool ok = true;
  if (TSimSettings::compMAF) ok = writeFlavour(c, true, f, siteCounts, counted) && ok;
  if (TSimSettings::compDAF) ok = writeFlavour(c, false, f, siteCounts, counted) && ok;
  return ok;
}

// Where and how replicate b of the data set is written.
TSpectrumFiles replicateFiles(const TSimSettings& s, int simCounter, int b,
                              const TGeneticRunOutputs& out) {
  TSpectrumFiles f;
  f.prefix = s.genericName.c_str();
  f.numDataSets = out.numDataSets();
  f.dadi = out.dadi;
  if (out.folderPerSFS) {
    f.folder = spectrumFolder(s, simCounter * (out.numBoot + 1) + b + 1);
    makeDir(f.folder.c_str());
    f.header = f.oneDataSetPerFile = 1;
  } else {
    f.folder = s.genericName.c_str();
    f.header = out.runHeaderWritten ? 0 : 1;
    f.append = *out.processSpectraStarted;
  }
  return f;
}

// Stores (and at b = 0 echoes) the likelihood of the replicate's spectra
// under the data set's own.
void scoreReplicate(TDemeCollection& c, TOwnExpectations& e, int entry, bool echo,
                    TGeneticRunOutputs& out) {
  const bool multi = TSimSettings::isMultiSFS;
  std::cout << std::fixed << std::setprecision(5);
  if (TSimSettings::compMAF && (e.maf || e.multiMAF)) {
    const double l = multi ? e.multiMAF->computeLhood(*c.obsMultiMAF)
                           : e.maf->computeTotLogLHood(*observedAFS(c, true));
    out.mafLhoods[entry] = l;
    if (echo) std::cout << (multi ? "\tObs MSFS Lhood = " : "\tObs MAF Lhood = ") << l << "\n";
  }
  if (TSimSettings::compDAF && (e.daf || e.multiDAF)) {
    const double l = multi ? e.multiDAF->computeLhood(*c.obsMultiDAF)
                           : e.daf->computeTotLogLHood(*observedAFS(c, false));
    out.dafLhoods[entry] = l;
    if (echo) std::cout << (multi ? "\tObs DSFS Lhood = " : "\tObs DAF Lhood = ") << l
                        << (multi ? "\n" : "\t\n");
  }
}

// Every replicate of the data set: counted from its allele counts when
// `made`, else marked nan; false when a spectrum file could not be written.
bool writeReplicates(TSimSettings& s, int simIndex, int simCounter, TGeneticRunOutputs& out,
                     bool made) {
  TDemeCollection& c = s.demeCollection;
  TOwnExpectations own;
  bool ok = true;
  for (int b = 0; b <= out.numBoot; ++b) {
    if (made && b > 0) c.updateBootPolymPosVector();
    const bool counted = made && c.computeObsMAFSandDAFS(b);
    if (!counted) c.markObservedSpectraUnmade();
    ok = writeReplicate(c, replicateFiles(s, simCounter, b, out), counted) && ok;
    out.runHeaderWritten = *out.processSpectraStarted = true;
    if (!counted) continue;
    if (b == 0) own = ownExpectations(c);
    if (consoleOutput) {
      if (b > 0) std::cout << "\tBootstrap " << b << "\n";
      if (b == 0) std::cout << "\nObs " << simIndex + 1;
    }
    scoreReplicate(c, own, simIndex * (out.numBoot + 1) + b, consoleOutput && b == 0, out);
  }
  if (!ok)
    std::cerr << "\nSome spectrum files of simulation " << simIndex + 1
              << " could not be written" << std::endl;
  return ok;
}

}  // namespace

std::string pooledSpectrumPrefix(const std::string& prefix) { return prefix + "_pooled"; }

std::string spectrumFolder(const TSimSettings& s, int number) {
  return std::string(s.genericName.c_str()) + "/" + s.genericName.c_str() + "_" +
         std::to_string(number);
}

bool writeSimulatedSpectra(TSimSettings& s, int simIndex, int simCounter,
                           TGeneticRunOutputs& out) {
  if (!spectraWanted(s)) return true;
  TDemeCollection& c = s.demeCollection;
  c.createPolymPosVector(nullptr);
  if (out.numBoot < 0) {  // no spectrum is written
    if (consoleOutput) std::cout << "\n";
    out.spectraComputed = true;
    return true;
  }
  // Once per data set, from memory or the temporary files alike.
  const bool made = c.siteAlleles.count(c, dataSetStates(c));
  if (!made)
    std::cerr << "\nThe spectra of simulation " << simIndex + 1 << " of run " << out.runIndex + 1
              << " cannot be made (see the message above): its rows in the spectrum files are "
                 "nan"
              << std::endl;
  const bool written = writeReplicates(s, simIndex, simCounter, out, made);
  if (made) {
    if (consoleOutput) std::cout << "\n";
    out.spectraComputed = true;
  }
  return made && written;
}

bool writeUnmadeSpectra(TSimSettings& s, int simIndex, int simCounter, TGeneticRunOutputs& out) {
  if (!spectraWanted(s)) return true;
  return writeReplicates(s, simIndex, simCounter, out, false);
}

bool TSimSettings::writeDataToOutputFiles(int simIndex, int simCounter, TGeneticRunOutputs& out) {
  TDemeCollection& c = demeCollection;
  const TGeneStates states = dataSetStates(c);
  // A data set that is not written keeps its rows in the spectrum files, of nan.
  if (SNPascertainment && ascertainedDeme >= 0 && ascertainedDeme < c.numDemes &&
      !c.demes[ascertainedDeme].flagSitesMeetingAscertainmentCondition(c, states)) {
    std::cerr << "\nUnable to read the simulated states of simulation " << simIndex + 1
              << ": the data set is not written" << std::endl;
    writeUnmadeSpectra(*this, simIndex, simCounter, out);
    return false;
  }
  if (OUTPUT_QUENDREL && !writeProjectFile(*this, simIndex, out, states)) {
    writeUnmadeSpectra(*this, simIndex, simCounter, out);
    return false;
  }
  return writeSimulatedSpectra(*this, simIndex, simCounter, out);
}
