#include "driver/runLoop.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "driver/masterSettings.h"
#include "driver/oneRun.h"
#include "driver/runProcess.h"
#include "driver/runSeeding.h"
#include "driver/shutdown.h"
#include "driver/staleOutputs.h"
#include "model/simSettings.h"
#include "support/TException.h"
#include "support/interruptCleanup.h"
#include "support/outputFolder.h"

namespace fs = std::filesystem;

namespace {

// One run; an exception that escapes it stops the process like any other error,
// the streams being closed on the way out.
RunResult guardedRun(TRunProcess& process, int runIndex) {
  try {
    return performRun(process, runIndex);
  } catch (const TException& e) {
    std::cerr << e << "\nRun " << runIndex + 1 << " stopped, quitting program" << std::endl;
  } catch (const std::exception& e) {
    std::cerr << "\nError: " << e.what() << "\nRun " << runIndex + 1
              << " stopped, quitting program" << std::endl;
  }
  return RunResult::STOP;
}

// The model file whose name names the output folder: the model file, or the one
// generated from the template.
std::string namingModelFile(const RunOptions& run) {
  my_string name = run.modelFileName;
  if (run.useTemplate) {
    name = run.templateFileName;
    name.remove_extension();
    name += ".par";
  }
  return name.c_str();
}

// Why -o may not name that file; empty when it may. The table would replace
// an input, the list of outputs, an output of the run, or a file in the
// output folder of another model, whose runs list and remove their own files.
std::string whyNotLikelihoodTable(const RunOptions& run, const TStaleOutputs& stale) {
  const fs::path table = absolutePath(run.lhoodFileName.c_str());
  const std::string name = table.filename().string(), generic = stale.genericName;
  if (namesAnInput(table.string(), stale)) return "would replace an input file of the run";
  if (name == kOutputRecordName) return "would replace the list of outputs of a folder";
  const bool inOwnFolder = !generic.empty() && table.parent_path() == fs::path(stale.folder);
  const bool ownName = name.rfind(generic + "_", 0) == 0 || name.rfind(generic + ".", 0) == 0;
  if (inOwnFolder && ownName && name != generic + ".lhoods")
    return "would replace an output of the run";
  if (table == fs::path(stale.workingFolder) / "seed.txt" ||
      (!run.paramFileName.is_null() && table == absolutePath(run.paramFileName.c_str())))
    return "would replace an output of the run";
  std::error_code ec;
  if (!inOwnFolder && fs::exists(table.parent_path() / kOutputRecordName, ec))
    return "lies in the output folder of another model, whose runs remove what they did not "
           "list";
  return "";
}

bool acceptLikelihoodTableName(const RunOptions& run, const TStaleOutputs& stale) {
  const std::string why = whyNotLikelihoodTable(run, stale);
  if (why.empty()) return true;
  std::cerr << "The likelihood table \"" << run.lhoodFileName << "\" (-o) " << why
            << ": choose another name. Exiting program." << std::endl;
  return false;
}

}  // namespace

int runSimulations(RunOptions& run) {
  TRunProcess process(run);
  if (!prepareMasterSettings(process.master, run)) return 1;

  // Nothing is written before the output folder is this process's alone; the
  // outputs of an earlier invocation go just before this one's first output,
  // once the inputs of its first run are accepted (see oneRun.cpp).
  process.stale = prepareStaleOutputs(run, namingModelFile(run));
  if (!acceptLikelihoodTableName(run, process.stale) || !claimStaleOutputs(process.stale))
    return 1;
  installInterruptCleanup();  // before any other thread: signals leave no temporary folder
  process.seed = chooseSeed(run);
  seedGenerators(process.seed, TSimSettings::numBatches, process.mainRandom);
  process.simulationCounter = 0;
  TSimSettings::holdModelEcho = true;

  const int numRuns = process.master.numValueRows;
  for (int runIndex = 0; runIndex < numRuns; ++runIndex) {
    const RunResult result = guardedRun(process, runIndex);
    if (result == RunResult::STOP) return 1;
    if (result == RunResult::SIMULATIONS_FAILED) ++process.numFailedRuns;
    if (result == RunResult::ESTIMATION_STOPPED) ++process.numStoppedEstimations;
  }
  finishProcess(process, run.startTime);
  int status = 0;
  if (process.numStoppedEstimations > 0) {
    std::cerr << "\n" << process.numStoppedEstimations << " of " << numRuns
              << " estimations did not complete" << std::endl;
    status = 1;
  }
  if (process.numFailedRuns > 0) {
    std::cerr << "\n" << process.numFailedRuns << " of " << numRuns
              << " runs failed (a genealogy could not be completed): their likelihoods are nan"
              << std::endl;
    status = 1;
  }
  if (process.numFailedDataSets > 0) {
    // Only spectra asked for (-d, -m) give these data sets a likelihood.
    const bool withLikelihoods = TSimSettings::compMAF || TSimSettings::compDAF;
    std::cerr << "\n" << process.numFailedDataSets
              << " simulated data sets could not be simulated or written (see the messages "
                 "above)"
              << (withLikelihoods ? ": their likelihoods and spectrum rows are nan" : "")
              << std::endl;
    status = 1;
  }
  if (process.outputLost) {
    std::cerr << "\nSome outputs could not be written (see the messages above)" << std::endl;
    status = 1;
  }
  return status;
}
