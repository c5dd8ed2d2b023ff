// Times one parameter estimation (-M) of a template model directly on the
// libraries, set up the way the run loop sets up its first run (derived-allele
// spectrum, starting values drawn from the priors), and counts its likelihood
// evaluations. Prints evaluations, seconds and evaluations per second.
// The observed spectra are read from the current folder, as the program does.
//
// usage: estimationBench model.tpl model.est numSims maxLoops threads batches [seed]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "driver/masterSettings.h"
#include "driver/runDemes.h"
#include "driver/runOptions.h"
#include "driver/runSeeding.h"
#include "estimation/brentMinimization.h"
#include "model/simSettings.h"
#include "sfs/obsSFS.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

bool readArgument(const char* text, const char* what, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  if (end != text && *end == '\0' && value >= low && value <= high) return true;
  std::cerr << "estimationBench: " << what << " \"" << text << "\" must be an integer from "
            << low << " to " << high << "\n";
  return false;
}

// The first run of the process: its model drawn from the priors and set up.
bool setUpFirstRun(TSimSettings& master, TSimSettings& s, const RunOptions& run,
                   GlobalRandom& mainRandom) {
  if (!prepareMasterSettings(master, run)) return false;
  s.copyEssentialStuff(master);
  s.demeCollection.randomGenerator = &mainRandom;
  if (!s.readInputFiles(true, true, run.templateFileName, run.templateFileName, 0)) return false;
  if (!setUpRunDemes(s) || !createRunSpectra(s)) return false;
  setUpFreqCoalescent(s);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::cerr << "usage: estimationBench model.tpl model.est numSims maxLoops threads batches "
                 "[seed]\n";
    return 2;
  }
  long sims = 0, loops = 0, threads = 0, batches = 0, seed = 1;
  if (!readArgument(argv[3], "numSims", 1, 1000000000, sims) ||
      !readArgument(argv[4], "maxLoops", 1, 1000, loops) ||
      !readArgument(argv[5], "threads", 0, 1024, threads) ||
      !readArgument(argv[6], "batches", 1, MAX_NUM_BATCHES, batches) ||
      (argc > 7 && !readArgument(argv[7], "seed", 0, 1000000000, seed)))
    return 2;
  consoleOutput = false;
  TSimSettings::compDAF = true;
  TSimSettings::numThreads = static_cast<int>(threads);
  TSimSettings::numBatches = static_cast<int>(batches);
  RunOptions run;
  run.useTemplate = true;
  run.templateFileName = argv[1];
  run.modelFileName = argv[1];
  run.priorFileName = argv[2];
  run.priorFileGiven = true;
  run.numEstimations = 1;
  run.maximizeLikelihood = true;
  run.numSims = run.maxNumSims = static_cast<int>(sims);
  run.maxLoops = static_cast<int>(loops);
  run.minLoops = run.maxLoops < 10 ? run.maxLoops : 10;

  GlobalRandom mainRandom;
  seedGenerators(seed, TSimSettings::numBatches, mainRandom);
  TSimSettings master, s;
  if (!setUpFirstRun(master, s, run, mainRandom)) return 1;
  TBrentMinimization brent;
  TObsAFS* observed = nullptr;
  TOutputFile* lhoodFile = nullptr;
  TOutputFile* bestLhoodsFile = nullptr;
  const auto start = std::chrono::steady_clock::now();
  const double done = estimateParameters(s, brent, 0, run.numSims, run.maxNumSims, run.minLoops,
                                         run.maxLoops, observed, lhoodFile, bestLhoodsFile);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  delete observed;
  delete lhoodFile;
  delete bestLhoodsFile;
  if (done != 1.0) {
    std::cerr << "estimationBench: the estimation did not complete\n";
    return 1;
  }
  std::printf("evaluations %ld seconds %.3f rate %.2f per second\n", brent.numEvaluations,
              elapsed.count(), brent.numEvaluations / elapsed.count());
  return 0;
}
