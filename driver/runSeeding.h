#pragma once
#include <string>
// The seed of the process and the seeding of the random generators.
#include "driver/runOptions.h"

class GlobalRandom;

// The number of batch generators in ranGenArray, hence the largest batch count.
constexpr int MAX_NUM_BATCHES = 100;

// The -r value (already non-negative), or (seconds XOR microseconds XOR process
// id) modulo 1000000 from the clock.
long long chooseSeed(const RunOptions& run);

// Creates the batch generators of ranGenArray, seeds batch generator i (below
// numBatches) with batchGeneratorSeed(seed, i) and the main generator with the
// seed; writes the seed line. (The draws compute the entries of
// the logarithm table they need, so no table is built here.)
void seedGenerators(long long seed, int numBatches, GlobalRandom& mainRandom);
// Writes "seed.txt" (the seed that repeats the run): only once the run's
// inputs are accepted, so that a refused run leaves the last good run's seed.
// In the working folder (an estimation accepts its inputs from inside the output folder).
// False, with a message, when it cannot be written (a read-only folder, a
// file of that name that no run made).
bool writeSeedFile(long long seed, const std::string& workingFolder);

// The seed of batch generator i: a well-mixed function of (seed, i) spread
// over all starting states of the generator, so that two seeds, however close,
// give batch streams unrelated to each other and to the main generator's.
long batchGeneratorSeed(long long seed, int batch);

// Creates the batch generators of ranGenArray at first use and seeds batch
// generator i (below numBatches) with batchGeneratorSeed(seed, i).
void seedBatchGenerators(long long seed, int numBatches);
