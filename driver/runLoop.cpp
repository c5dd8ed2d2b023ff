#include "driver/runLoop.h"

#include <iostream>

#include "driver/masterSettings.h"
#include "driver/oneRun.h"
#include "driver/runProcess.h"
#include "driver/runSeeding.h"
#include "driver/shutdown.h"
#include "model/simSettings.h"

namespace {

bool estimationAvailable(const RunOptions& run) {
  if (!run.maximizeLikelihood) return true;
  std::cerr << "\nParameter estimation (-M) is not available yet in this version of brimvane"
            << std::endl;
  return false;
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
    const RunResult result = performRun(process, runIndex);
    if (result == RunResult::STOP) return 1;
    if (result == RunResult::SIMULATIONS_FAILED) ++process.numFailedRuns;
  }
  finishProcess(process, run.startTime);
  if (process.numFailedRuns == 0) return 0;
  std::cerr << "\n" << process.numFailedRuns << " of " << numRuns
            << " runs failed (a genealogy could not be completed): their likelihoods are nan"
            << std::endl;
  return 1;
}
