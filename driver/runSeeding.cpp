#include "driver/runSeeding.h"

#include <sys/time.h>
#include <unistd.h>

#include <fstream>
#include <iostream>

#include "support/UniqueRandom.h"
#include "support/globals.h"

long long chooseSeed(const RunOptions& run) {
  if (run.seedGiven) return run.seed < 0 ? -run.seed : run.seed;
  timeval now{};
  gettimeofday(&now, nullptr);
  const long long mixed = static_cast<long long>(now.tv_sec) ^
                          static_cast<long long>(now.tv_usec) ^ static_cast<long long>(getpid());
  const long long seed = mixed % 1000000;
  return seed < 0 ? -seed : seed;
}

void seedBatchGenerators(long long seed, int numBatches) {
  if (!ranGenArray) ranGenArray = new GlobalRandom[MAX_NUM_BATCHES];
  for (int i = 0; i < numBatches && i < MAX_NUM_BATCHES; ++i)
    ranGenArray[i].InitializeGenerator(static_cast<long>(seed + 1000 + i));
}

void seedGenerators(long long seed, int numBatches, GlobalRandom& mainRandom) {
  seedBatchGenerators(seed, numBatches);

  std::ofstream seedFile("seed.txt", std::ios::trunc);
  seedFile << "Random generator seed :" << seed << "\n";
  std::cout << "\nRandom generator seed : " << seed << "\n";
  mainRandom.InitializeGenerator(static_cast<long>(seed));
}
