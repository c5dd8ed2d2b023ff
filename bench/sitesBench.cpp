// Times the placement and storage of simulated sites directly on the library:
// independent non-recombining chromosomes of a genetic-data model, each with
// its tree, the mutations of every block and the storage of its states (in
// genotype blocks, or in temporary files past the in-memory limit). Prints
// chromosomes and sites per second and peak memory.
//
// usage: sitesBench model.par numChromosomes limit [seed]
//   limit: the in-memory limit of sites per chromosome (-k; 0 = none)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "driver/runDemes.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

double peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

bool setUp(TSimSettings& s, const char* modelFile) {
  std::ifstream is(modelFile);
  if (!is) {
    std::cerr << "sitesBench: cannot open the model file \"" << modelFile << "\"\n";
    return false;
  }
  consoleOutput = false;
  if (s.readInputFile(is, true, 0, false) != 1 || !setUpRunDemes(s)) return false;
  setUpFreqCoalescent(s);
  TDemeCollection& c = s.demeCollection;
  for (int d = 0; d < c.numDemes; ++d)
    c.demes[d].initRelSizeCT = c.demes[d].demeSize / TDemeCollection::CTTimeUnit;
  c.numSites = s.totalNumLoci[0];
  c.numBlocks = s.numBlocks[0];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: sitesBench model.par numChromosomes limit [seed]\n";
    return 2;
  }
  const int numChrom = std::atoi(argv[2]);
  TSimSettings::numPolSitesToKeepInMemory = std::atoi(argv[3]);
  const long seed = argc > 4 ? std::atol(argv[4]) : 1;
  if (numChrom < 1 || TSimSettings::numPolSitesToKeepInMemory < 0) return 2;
  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("sitesBench_" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  std::snprintf(TSimSettings::workingDirectory, sizeof TSimSettings::workingDirectory, "%s/",
                work.c_str());
  GlobalRandom::initializeLookUpTable();
  GlobalRandom rng;
  rng.InitializeGenerator(seed);
  int status = 0;
  {
    TSimSettings s;
    if (!setUp(s, argv[1])) return 1;
    TDemeCollection& c = s.demeCollection;
    c.randomGenerator = &rng;
    MY_TArrayAsVector<TPolymSiteInfo>* records = new MY_TArrayAsVector<TPolymSiteInfo>[numChrom];
    c.ReserveLoci(numChrom);
    long long sites = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < numChrom && status == 0; ++i) {
      c.curChrom = i;
      c.curPolSitesInfo = &records[i];
      c.tree.resetNodePolymSites();
      if (i > 0) c.reset(s.demeSizes, s.growthRates);
      if (c.buildTreeNoRecContinousTime() != 1 || c.sprinkleMutationsNoRec(s, 0, i) < 0 ||
          !c.storeChromosomeStates())
        status = 1;
      sites += records[i].numElems;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("chromosomes %d seconds %.3f rate %.1f per second, %.3g sites per second\n",
                numChrom, elapsed.count(), numChrom / elapsed.count(), sites / elapsed.count());
    std::printf("sites %lld spilled %s peak memory %.1f MB\n", sites,
                c.anySitesSpilled() ? "yes" : "no", peakMegabytes());
    c.flushLoci();
    c.removeTempFiles();
    delete[] records;
  }
  std::error_code ec;
  std::filesystem::remove_all(work, ec);
  return status;
}
