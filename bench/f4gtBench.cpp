// Times the four-gamete test over all pairs of sites of one genotype block
// (random states) on one thread and on several: pairs per second, and the
// same counts whatever the threads.
//
// usage: f4gtBench sites genes threads
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/locus.h"
#include "model/simSettings.h"
#include "sfs/F4GT.h"
#include "support/UniqueRandom.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: f4gtBench sites genes threads\n");
    return 1;
  }
  const int n = std::atoi(argv[1]), genes = std::atoi(argv[2]), threads = std::atoi(argv[3]);
  GlobalRandom rng;
  rng.InitializeGenerator(5);
  TLocusAsShortIntArray block(genes, n);
  MY_TArrayAsVector<TPolymSiteInfo> sites(n, 10);
  for (int k = 0; k < n; ++k) {
    TPolymSiteInfo info;
    info.pos = 10L * k;
    sites.Add(info);
    for (int g = 0; g < genes; ++g) block.rows[g][k] = rng.takeUniform() < 0.2 ? 1 : 0;
  }
  MY_TArrayAsVector<double> classes(10, 10);
  for (double b : {100.0, 1000.0, 10000.0, 1e9}) classes.Add(b);
  std::vector<long long> failures(4), passes(4);
  TSimSettings::numBatches = 12;
  for (int t : {1, threads}) {
    TSimSettings::numThreads = t;
    const auto start = std::chrono::steady_clock::now();
    countF4GTFailures(block, 0, sites, classes, failures.data(), passes.data());
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long long fails = 0;
    for (long long f : failures) fails += f;
    std::printf("%d sites, %d genes, %d threads: %lld pairs in %.3f s (%.3g pairs/s), %lld fail\n",
                n, genes, t, numSitePairs(n), s, numSitePairs(n) / s, fails);
  }
  return 0;
}
