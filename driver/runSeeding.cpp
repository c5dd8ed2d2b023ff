#include "driver/runSeeding.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cerrno>
#include <cstring>
#include <filesystem>
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

namespace {

// A 64-bit bijective mixer (the finaliser of splitmix64): nearby inputs give
// unrelated outputs.
std::uint64_t splitMix64(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

}  // namespace

long batchGeneratorSeed(long long seed, int batch) {
  const std::uint64_t mixed =
      splitMix64(splitMix64(static_cast<std::uint64_t>(seed)) + static_cast<std::uint64_t>(batch));
  // The generator starts from |RANDOM_SEED_BASE - |seed|| modulo RANDOM_MODULUS:
  // the seeds from RANDOM_SEED_BASE on reach each of its starting states once.
  return RANDOM_SEED_BASE + static_cast<long>(mixed % static_cast<std::uint64_t>(RANDOM_MODULUS));
}

void seedBatchGenerators(long long seed, int numBatches) {
  if (!ranGenArray) ranGenArray = new GlobalRandom[MAX_NUM_BATCHES];
  for (int i = 0; i < numBatches && i < MAX_NUM_BATCHES; ++i)
    ranGenArray[i].InitializeGenerator(batchGeneratorSeed(seed, i));
}

void seedGenerators(long long seed, int numBatches, GlobalRandom& mainRandom) {
  seedBatchGenerators(seed, numBatches);
  std::cout << "\nRandom generator seed : " << seed << "\n";
  mainRandom.InitializeGenerator(static_cast<long>(seed));
}

bool writeSeedFile(long long seed, const std::string& folder) {
  const std::string name =
      (std::filesystem::path(folder.empty() ? std::string(".") : folder) / "seed.txt")
          .lexically_normal()
          .string();
  TOutputFile seedFile(name);
  const int openError = seedFile.is_open() ? 0 : errno;
  seedFile << "Random generator seed :" << seed << "\n";
  seedFile.close();
  if (seedFile) return true;
  std::cerr << "\nUnable to write the seed file \"" << name << "\""
            << (openError != 0 ? std::string(": ") + std::strerror(openError) : std::string())
            << std::endl;
  return false;
}
