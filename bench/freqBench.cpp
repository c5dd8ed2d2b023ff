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
#include <memory>

#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

bool setUp(TSimSettings& s, const char* modelFile) {
  std::ifstream is(modelFile);
  if (!is) {
    std::cerr << "freqBench: cannot open " << modelFile << "\n";
    return false;
  }
  consoleOutput = false;
  if (s.readInputFile(is, true, 0, false) != 1) return false;
  TDemeCollection& c = s.demeCollection;
  c.create_demes(&s.migrationMatrices);
  c.initialize_deme_size(s.demeSizes);
  c.initialize_growth_rates(s.growthRates);
  c.initialize_events(s.historicalEvents);
  c.initialize_samp_size(s.sampleSizes);
  c.initialize_sample_ages(s.sampleAges);
  c.initialize_inbreeding_coefficients(s.inbreedingCoefs);
  TNode::numPop = s.numDemes;
  c.migrationOn = true;
  c.create_lineagesNoRec(s.sampleSizes, static_cast<int>(s.totalNumLoci[0]));
  c.expDAF = new AFS(false);
  c.expDAF->createArrays(c);
  TDemeCollection::calcInvNChoose2(s.totalSampleSize);
  TDemeCollection::iniNumLineages = c.count_all_lineages();
  TDemeCollection::isFreqDataType = true;
  buildValidDemes(c);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: freqBench model.par numSims threads batches [seed]\n";
    return 2;
  }
  const int numSims = std::atoi(argv[2]);
  TSimSettings::numThreads = std::atoi(argv[3]);
  TSimSettings::numBatches = std::atoi(argv[4]);
  const long seed = argc > 5 ? std::atol(argv[5]) : 1;
  TSimSettings::compDAF = true;
  auto generators = std::make_unique<GlobalRandom[]>(100);
  ranGenArray = generators.get();
  GlobalRandom::initializeLookUpTable();
  for (int i = 0; i < TSimSettings::numBatches; ++i) ranGenArray[i].InitializeGenerator(seed + 1000 + i);

  TSimSettings s;
  if (!setUp(s, argv[1])) return 1;
  const double setUpMB = peakMegabytes();
  int counter = 0;
  const auto start = std::chrono::steady_clock::now();
  const int ok = s.generateSFSPerSimulation(numSims, counter);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (!ok) return 1;
  std::printf("genealogies %d seconds %.3f rate %.0f per second\n", numSims, elapsed.count(),
              numSims / elapsed.count());
  std::printf("peak memory %.1f MB (after set-up %.1f MB)\n", peakMegabytes(), setUpMB);
  printSpectra(*s.demeCollection.expDAF, numSims);
  return 0;
}
