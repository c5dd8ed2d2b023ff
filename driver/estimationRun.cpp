// A run of frequency data with estimation (-M): the run's model, set up from
// the first parameter values, goes to the Brent searches, which read the
// observed spectra and write their tables inside the output folder.
#include <iostream>

#include "driver/oneRun.h"
#include "driver/runProcess.h"
#include "driver/shutdown.h"
#include "model/simSettings.h"
#include "support/globals.h"

RunResult performEstimationRun(TRunProcess& p, TSimSettings& s, int runIndex) {
  const RunOptions& run = p.options;
  deferMrcaTimes(p.stale.workingFolder);
  if (runIndex == 0)
    std::cout << "\nEstimating model parameters using " << TSimSettings::numBatches
              << " batches and " << TSimSettings::numThreads
              << (TSimSettings::numThreads < 2 ? " thread" : " threads") << "\n";
  const double done =
      s.performBrenMinimization(runIndex, run.numSims, run.maxNumSims, run.minLoops,
                                run.maxLoops, p.observed, p.lhoodFile, run.stopCriterion,
                                p.bestLhoodsFile);
  cleanStaticArrays();
  return done == 1.0 ? RunResult::DONE : RunResult::ESTIMATION_STOPPED;
}
