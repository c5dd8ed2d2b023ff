#pragma once
// What the run loop keeps for the whole process: the master settings, the main
// generator, the simulation counter, the observed spectra and the streams of
// the run summary files. The destructor closes and frees every stream and the
// batch generators, so that every way out of the run loop, error exits
// included, keeps the rows already written.
#include <fstream>
#include <string>

#include "support/outputFile.h"

#include "driver/runOptions.h"
#include "driver/staleOutputs.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

class TObsAFS;

class TRunProcess {
 public:
  const RunOptions& options;
  TSimSettings master;
  GlobalRandom mainRandom;  // random source of every run outside the batches
  long long seed = 0;
  int simulationCounter = 0;  // process-wide, never reset between runs
  TObsAFS* observed = nullptr;         // owned; read on the first frequency-data run
  TOutputFile* lhoodFile = nullptr;  // owned; opened by the observed-spectrum reader
  TOutputFile* paramFile = nullptr;  // owned
  TOutputFile* bestLhoodsFile = nullptr;  // owned; created by the first completed estimation
  bool expSpectraFilesStarted = false;  // the expected-spectrum files have their header
  int numFailedRuns = 0;                // runs whose simulations failed
  int numStoppedEstimations = 0;        // estimations (-M) that stopped
  bool simSpectraFilesStarted = false;  // the spectrum files of simulated data exist
  int numFailedDataSets = 0;            // simulated data sets not written
  bool outputLost = false;              // a summary table could not be written
  std::string unmadeSpectraWarning;     // the last warning that spectra cannot be made
  TStaleOutputs stale;                  // what the removal of earlier outputs needs
  bool outputsBegun = false;            // the earlier outputs are removed, the list started

  explicit TRunProcess(const RunOptions& runOptions) : options(runOptions) {}
  TRunProcess(const TRunProcess&) = delete;
  TRunProcess& operator=(const TRunProcess&) = delete;
  ~TRunProcess() { releaseAll(); }

  // Flushes, closes and frees the summary streams, the tree files, the
  // "MRCAs.txt" stream, the model echo, the observed spectra, the shared
  // arrays and the batch generators. Safe to call twice.
  void releaseAll();
};
