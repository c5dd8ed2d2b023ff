// Times the batched expected-spectrum simulations of one frequency-data model
// directly on the library, set up the way a run does it (derived-allele
// spectrum, one value row). Prints genealogies per second, peak memory and the
// mean tree length, for comparison with other tools.
//
// usage: freqBench model.par numSims threads batches [seed]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "driver/runDemes.h"
#include "driver/runSeeding.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

bool setUp(TSimSettings& s, const char* modelFile) {
  std::ifstream is(modelFile);
  if (!is) {
    std::cerr << "freqBench: cannot open the model file \"" << modelFile << "\"\n";
    return false;
  }
  consoleOutput = false;
  if (s.readInputFile(is, true, 0, false) != 1) return false;
  if (!setUpRunDemes(s) || !createRunSpectra(s)) return false;
  setUpFreqCoalescent(s);
  return true;
}

double peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// Mean tree length in generations and, for a single sampled deme, its
// relative expected spectrum.
void printSpectra(const AFS& daf, int numSims) {
  std::printf("mean tree length %.1f generations\n",
              static_cast<double>(daf.totTreeLength) / numSims * TDemeCollection::CTTimeUnit);
  if (TDemeCollection::numValidDemes != 1) return;
  const int d = TDemeCollection::validDemes[0];
  std::printf("relative DAF of deme %d:", d);
  for (int k = 1; k < daf.sampleSizes[d]; ++k)
    std::printf(" %.5f", static_cast<double>(daf.spectrum(d)[k] / daf.totTreeLength));
  std::printf("\n");
}

// The integer argument, or false with a message when it is not an integer in [low, high].
bool readArgument(const char* text, const char* what, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  if (end != text && *end == '\0' && value >= low && value <= high) return true;
  std::cerr << "freqBench: " << what << " \"" << text << "\" must be an integer from " << low
            << " to " << high << "\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: freqBench model.par numSims threads batches [seed]\n";
    return 2;
  }
  long sims = 0, threads = 0, batches = 0, seed = 1;
  if (!readArgument(argv[2], "numSims", 1, 1000000000, sims) ||
      !readArgument(argv[3], "threads", 0, 1024, threads) ||
      !readArgument(argv[4], "batches", 1, MAX_NUM_BATCHES, batches) ||
      (argc > 5 && !readArgument(argv[5], "seed", 0, 1000000000, seed)))
    return 2;
  const int numSims = static_cast<int>(sims);
  TSimSettings::numThreads = static_cast<int>(threads);
  TSimSettings::numBatches = static_cast<int>(batches);
  TSimSettings::compDAF = true;
  seedBatchGenerators(seed, TSimSettings::numBatches);

  TSimSettings s;
  if (!setUp(s, argv[1])) return 1;
  const double setUpMB = peakMegabytes();
  int counter = 0;
  const auto start = std::chrono::steady_clock::now();
  const int ok = s.generateSFSPerSimulation(numSims, counter);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (!ok) {
    std::cerr << "freqBench: a genealogy of \"" << argv[1] << "\" could not be completed\n";
    return 1;
  }
  std::printf("genealogies %d seconds %.3f rate %.0f per second\n", numSims, elapsed.count(),
              numSims / elapsed.count());
  std::printf("peak memory %.1f MB (after set-up %.1f MB)\n", peakMegabytes(), setUpMB);
  printSpectra(*s.demeCollection.expDAF, numSims);
  return 0;
}
