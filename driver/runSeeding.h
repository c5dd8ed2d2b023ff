#pragma once
// The seed of the process and the seeding of the random generators.
#include "driver/runOptions.h"

class GlobalRandom;

// The number of batch generators in ranGenArray, hence the largest batch count.
constexpr int MAX_NUM_BATCHES = 100;

// The -r value (already non-negative), or (seconds XOR microseconds XOR process
// id) modulo 1000000 from the clock.
long long chooseSeed(const RunOptions& run);

// Creates the batch generators of ranGenArray, builds the shared logarithm
// table, seeds batch generator i (below numBatches) with seed + 1000 + i and the
// main generator with the seed; writes "seed.txt" and the seed line.
void seedGenerators(long long seed, int numBatches, GlobalRandom& mainRandom);

// Creates the batch generators of ranGenArray at first use and seeds batch
// generator i (below numBatches) with seed + 1000 + i.
void seedBatchGenerators(long long seed, int numBatches);
