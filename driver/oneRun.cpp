#include "driver/oneRun.h"

#include <unistd.h>

#include <functional>
#include <iostream>
#include <string>

#include "driver/geneticRun.h"
#include "driver/runDemes.h"
#include "driver/runOutputNames.h"
#include "driver/runProcess.h"
#include "driver/runSeeding.h"
#include "driver/runSummary.h"
#include "driver/shutdown.h"
#include "model/modelReader.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/globals.h"
#include "support/outputFolder.h"

namespace {

// The model of the run, read directly or generated from the template. A draw
// that gave no row of values (rules that cannot be obeyed) has said why; the
// input files themselves were read, so they are not blamed.
bool readRunModel(TSimSettings& s, const RunOptions& run, int runIndex) {
  const bool drawFromPriors = run.priorFileGiven && !run.defFileGiven;
  const int rowsBefore = s.paramValueRows->numElems;
  if (s.readInputFiles(run.useTemplate, drawFromPriors, run.modelFileName, run.templateFileName,
                       runIndex))
    return true;
  const bool drawFailed = drawFromPriors && s.paramValueRows->numElems == rowsBefore;
  if (!drawFailed) std::cerr << "Unable to read input files. Exit program." << std::endl;
  return false;
}

// The demes and empty spectra of the run's model; false stops the process.
bool prepareDemes(TSimSettings& s) {
  if (!setUpRunDemes(s) || !checkAscertainmentOptions(s)) return false;
  checkAscertainableData(s);
  if (!createRunSpectra(s)) {
    std::cerr << "Exiting program!" << std::endl;
    return false;
  }
  return true;
}

// The observed spectra (read on the first run, checked against the model of
// every run), then, every input being accepted, the run's first outputs and
// the likelihood table with its header.
bool prepareObservedSpectra(TRunProcess& p, TSimSettings& s, int runIndex) {
  const RunOptions& run = p.options;
  const bool first = runIndex == 0;
  if (!s.readObservedSpectra(false, first, p.observed)) {
    std::cerr << "Unable to read observed SFS, quitting program" << std::endl;
    return false;
  }
  if (p.observed && !p.observed->matchesModel(s.demeCollection)) {
    std::cerr << "The observed SFS do not fit the model of run " << runIndex + 1 << " (\""
              << s.parFileName << "\"), quitting program" << std::endl;
    return false;
  }
  beginOutputs();
  deferMrcaTimes(p.stale.workingFolder);
  if (!s.openLikelihoodTable(false, first, p.observed, p.lhoodFile, run.priorFileGiven,
                             run.defFileGiven, run.lhoodFileName)) {
    std::cerr << "Unable to read observed SFS, quitting program" << std::endl;
    return false;
  }
  if (!p.lhoodFile || !*p.lhoodFile) {
    std::cerr << "\nUnable to write the likelihood table \"" << run.lhoodFileName
              << "\", quitting program" << std::endl;
    return false;
  }
  return true;
}

// Without -d or -m the genealogies are simulated for nothing: no spectrum is
// made and the likelihood table stays empty. The run still ends normally.
void warnNoSpectrumAsked(const RunOptions& run) {
  if (TSimSettings::compMAF || TSimSettings::compDAF) return;
  std::cerr << "Warning: no spectrum was asked for, so no expected spectrum and no likelihood "
               "are computed and the likelihood table \""
            << run.lhoodFileName
            << "\" holds none: -d asks for derived-allele spectra, -m for minor-allele spectra "
               "(and -M, the estimation, needs one of them)"
            << std::endl;
}

// The tree files are named from the working folder, while an estimation
// accepts its inputs from inside the output folder: the headers are written
// from the working folder, and the current folder is given back.
bool writeTreeHeaders(TSimSettings& s, const std::string& workingFolder) {
  char here[4096];
  if (!getcwd(here, sizeof here) || chdir(workingFolder.c_str()) != 0) return s.writePAUPHeader();
  const bool written = s.writePAUPHeader();
  if (chdir(here) != 0)
    std::cerr << "\nUnable to return to the folder \"" << here << "\"" << std::endl;
  return written;
}

// What a run writes before anything else, once its inputs are accepted: on the
// first run the removal of the earlier invocation's outputs and the start of
// the list of this one's, then the run's model echo and, for frequency data,
// the tree file header (genetic runs open their tree files themselves).
void startRunOutputs(TRunProcess& p, TSimSettings& s) {
  if (!p.outputsBegun) {
    p.outputsBegun = true;
    removeStaleOutputs(p.stale);
    if (!writeSeedFile(p.seed, p.stale.workingFolder)) p.outputLost = true;
  }
  if (!writeHeldModelEcho()) p.outputLost = true;
  if (s.dataType == DataType::FREQ && TSimSettings::outputTree &&
      !writeTreeHeaders(s, p.stale.workingFolder))
    p.outputLost = true;
}

// Arms startRunOutputs for the run: it runs at the run's acceptance of its
// inputs, or before its first output file, whichever comes first; never after
// the run.
class TRunOutputsStart {
 public:
  TRunOutputsStart(TRunProcess& p, TSimSettings& s) {
    armOutputRecord([&p, &s] { startRunOutputs(p, s); });
  }
  ~TRunOutputsStart() { armOutputRecord(nullptr); }
  TRunOutputsStart(const TRunOutputsStart&) = delete;
  TRunOutputsStart& operator=(const TRunOutputsStart&) = delete;
};

// What the process writes in its output folder, as its options and its
// first model tell: whether a path below the folder is one of its outputs.
std::function<bool(const std::string&)> namesWritten(const TRunProcess& p, const TSimSettings& s) {
  const RunOptions& run = p.options;
  TRunWrites w;
  w.genericName = p.stale.genericName;
  w.numRuns = p.master.numValueRows;
  w.frequencyData = s.dataType == DataType::FREQ;
  w.estimation = run.maximizeLikelihood;
  w.expectedSpectra = s.outputExpSFS;
  w.derived = TSimSettings::compDAF;
  w.minor = TSimSettings::compMAF;
  w.projectFiles = OUTPUT_QUENDREL;
  w.trees = TSimSettings::outputTree;
  w.numSims = run.numSims;
  w.spectrumFolders = run.folderPerSFS ? run.numSims * (run.numBoot + 1) : 0;
  return [w](const std::string& rel) { return runWritesName(w, rel); };
}

void announceRun(const TRunProcess& p, const TSimSettings& s, int runIndex) {
  announceGenealogies(p, s);
  if (runIndex == 0) {
    warnNoSpectrumAsked(p.options);
    std::cout << "\nComputing expected SFS using " << TSimSettings::numBatches
              << " batches and " << TSimSettings::numThreads << " threads.\n\n";
  }
}

// Every expected spectrum of the run counts numSims simulations.
void setSimulationCounts(TDemeCollection& demes, int numSims) {
  for (AFS* e : {static_cast<AFS*>(demes.expMAF), static_cast<AFS*>(demes.expDAF),
                 static_cast<AFS*>(demes.expMultiMAF), static_cast<AFS*>(demes.expMultiDAF)})
    if (e) e->numSims = numSims;
}

// The run's likelihood row (and expected-spectrum files), once the simulations are done.
void writeRunResults(TRunProcess& p, TSimSettings& s, int runIndex, bool simulated) {
  if (s.blocks && s.blocks[0].numElems > 0) AFS::mutRate = s.blocks[0][0].mutRate;
  setSimulationCounts(s.demeCollection, p.options.numSims);
  if (TSimSettings::compMAF || TSimSettings::compDAF) {
    std::ostream& os = *p.lhoodFile;
    writeParameterPart(os, s, p.options, runIndex);
    if (simulated)
      writeLikelihoods(os, s, p.observed);
    else
      writeFailedLikelihoods(os, p.observed);
    os << "\n";
    os.flush();
    if (!os) p.outputLost = true;  // named when the table is closed
  }
  if (simulated && s.outputExpSFS) {
    if (!writeExpectedSpectra(s, !p.expSpectraFilesStarted)) p.outputLost = true;
    p.expSpectraFilesStarted = true;
  }
}

}  // namespace

void deferMrcaTimes(const std::string& workingFolder) {
  if (tmrcas) return;
  tmrcas = new TOutputFile;
  tmrcas->defer((workingFolder.empty() ? std::string(".") : workingFolder) + "/MRCAs.txt");
}

void announceGenealogies(const TRunProcess& p, const TSimSettings& s) {
  std::cout << "\nbrimvane" << "2" << " is building "
            << static_cast<long long>(p.options.numSims) * s.numIndependentLoci
            << " genealogies ...\n";
  if (QdlSimulConditions.is_open())
    QdlSimulConditions << "\nRandom generator initialized with : " << p.seed << std::endl;
}

RunResult performRun(TRunProcess& p, int runIndex) {
  TSimSettings s;
  s.copyEssentialStuff(p.master);
  s.demeCollection.randomGenerator = &p.mainRandom;
  const TRunOutputsStart outputsStart(p, s);
  if (!readRunModel(s, p.options, runIndex) || !prepareDemes(s)) return RunResult::STOP;
  if (!p.outputsBegun && !acceptKeptOutputs(p.stale, namesWritten(p, s))) return RunResult::STOP;
  if (s.dataType != DataType::FREQ) return performGeneticRun(p, s, runIndex);
  setUpFreqCoalescent(s);
  if (p.options.maximizeLikelihood) return performEstimationRun(p, s, runIndex);
  if (!prepareObservedSpectra(p, s, runIndex)) return RunResult::STOP;
  announceRun(p, s, runIndex);
  resetRunCounters(s);

  const bool simulated = s.generateSFSPerSimulation(p.options.numSims, p.simulationCounter) != 0;
  writeRunResults(p, s, runIndex, simulated);
  if (TSimSettings::outputTree) s.writePAUPTreeFooter();

  const double seconds = secondsSince(p.options.startTime);
  cleanStaticArrays();
  writeIterationLines(runIndex + 1, p.master.numValueRows, seconds);
  if (simulated) return RunResult::DONE;
  std::cerr << "\nRun " << runIndex + 1 << " failed: a genealogy could not be completed; its "
            << "likelihoods are written as nan" << std::endl;
  return RunResult::SIMULATIONS_FAILED;
}
