#pragma once
// One run of the process: the model of one parameter value row, then its
// expected spectra simulated in batches with its row of the likelihood table
// (frequency data), or its simulated data sets (genetic data).
#include <string>

class TRunProcess;

enum class RunResult {
  DONE,               // the run's row is written
  SIMULATIONS_FAILED, // a genealogy failed: the row holds "nan" likelihoods, later runs go on
  DATA_SETS_FAILED,   // genetic data: some data sets or outputs could not be written (reported)
  STOP,               // the process must end with status 1 (message written)
  ESTIMATION_STOPPED  // an estimation (-M) stopped or lost a file: later runs go on
};

class TSimSettings;

RunResult performRun(TRunProcess& process, int runIndex);

// The first lines of a run that simulates: how many genealogies it builds,
// and the seed in the model echo.
void announceGenealogies(const TRunProcess& process, const TSimSettings& settings);

// The -M branch of a run whose model is set up: one parameter estimation.
RunResult performEstimationRun(TRunProcess& process, TSimSettings& settings, int runIndex);

// The stream of "MRCAs.txt" in the working folder (global tmrcas), made by
// the first frequency-data run; the file itself only once something is
// written into it (four-gamete statistics).
void deferMrcaTimes(const std::string& workingFolder);
