#include "driver/runLoop.h"

#include <exception>
#include <iostream>

#include "driver/masterSettings.h"
#include "driver/oneRun.h"
#include "driver/runProcess.h"
#include "driver/runSeeding.h"
#include "driver/shutdown.h"
#include "model/simSettings.h"
#include "support/TException.h"

namespace {

bool estimationAvailable(const RunOptions& run) {
  if (!run.maximizeLikelihood) return true;
  std::cerr << "\nParameter estimation (-M) is not available yet in this version of brimvane"
            << std::endl;
  return false;
}

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

}  // namespace

int runSimulations(RunOptions& run) {
  TRunProcess process(run);
  if (!prepareMasterSettings(process.master, run) || !estimationAvailable(run)) return 1;

  process.seed = chooseSeed(run);
  seedGenerators(process.seed, TSimSettings::numBatches, process.mainRandom);
  process.simulationCounter = 0;

  const int numRuns = process.master.numValueRows;
  for (int runIndex = 0; runIndex < numRuns; ++runIndex) {
    const RunResult result = guardedRun(process, runIndex);
    if (result == RunResult::STOP) return 1;
    if (result == RunResult::SIMULATIONS_FAILED) ++process.numFailedRuns;
  }
  finishProcess(process, run.startTime);
  int status = 0;
  if (process.numFailedRuns > 0) {
    std::cerr << "\n" << process.numFailedRuns << " of " << numRuns
              << " runs failed (a genealogy could not be completed): their likelihoods are nan"
              << std::endl;
    status = 1;
  }
  if (process.numFailedDataSets > 0) {
    std::cerr << "\n" << process.numFailedDataSets
              << " simulated data sets could not be simulated or written (see the messages "
                 "above): their likelihoods are nan"
              << std::endl;
    status = 1;
  }
  if (process.outputLost) {
    std::cerr << "\nSome outputs could not be written (see the messages above)" << std::endl;
    status = 1;
  }
  return status;
}
