#pragma once
// GlobalRandom: the program's only source of randomness. A subtractive
// generator (modulus 1e9, 55 state entries) serving two buffers of 1000
// pre-computed values: uniforms in [0, 1) and natural logarithms of
// uniforms (for exponential waiting times). Also Poisson counts and fair
// coin flips. One generator is used by one thread at a time.
//
// Taking a value (what every point of use does, see takeUniform):
//   if (r.nextUniform >= RANDOM_BUFFER_SIZE) r.updateRanNums();
//   double u = r.uniformBuffer[r.nextUniform++];
// A buffer is refilled exactly when it is found used up, never ahead.
#include <cstdint>

#include "support/icsilog.h"

constexpr long RANDOM_MODULUS = 1000000000L;
constexpr long RANDOM_SEED_BASE = 161803398L;
constexpr int RANDOM_BUFFER_SIZE = 1000;
// log2 of the number of entries of the shared logarithm table.
constexpr unsigned LOG_TABLE_PRECISION = 23;

class GlobalRandom {
public:
  double uniformBuffer[RANDOM_BUFFER_SIZE];     // draw x 1e-9
  double logUniformBuffer[RANDOM_BUFFER_SIZE];  // ln(draw / 1e9), fast single-precision path
  int nextUniform;      // next unread entry; RANDOM_BUFFER_SIZE = used up
  int nextLogUniform;
  int replaceIndex;     // state entry (1 .. 55) replaced by the last draw
  int subtractIndex;    // state entry subtracted by the last draw (31 ahead)
  long stateTable[56];  // entries 1 .. 55, each in [0, RANDOM_MODULUS)
  long seed;            // last seed given; -1 before seeding
  double poissonScale;     // cached sqrt(2 mean)
  double poissonLogMean;   // cached ln(mean)
  double poissonConst;     // exp(-mean) below 12, else mean ln(mean) - lnGamma(mean + 1)
  double poissonLastMean;  // mean of the cached values; -1 initially

  // 2^23 single-precision values log2(1 + i / 2^23), built by
  // initializeLookUpTable and alive until the process ends. The draws do not
  // read it: they compute the entry they need (logTableEntry), bit for bit the
  // same, so a process does not pay 32 MiB and 2^23 logarithms at start-up.
  static float* LOOKUP_TABLE2;
  // Entry m of the table (m below 2^23), computed as the fill computes it.
  static float logTableEntry(std::uint32_t mantissa);

  GlobalRandom();
  ~GlobalRandom();

  // Seeds, discards one draw, fills both buffers. Any seed is accepted; a
  // seed and its negation give the same stream.
  void InitializeGenerator(long newSeed);
  void updateRanNums();     // refills uniformBuffer; nextUniform = 0
  void updateLogRanNums();  // refills logUniformBuffer; nextLogUniform = 0
  static void initializeLookUpTable();  // allocates (once) and fills LOOKUP_TABLE2

  // Poisson count (a whole number held in a double); 0 for a mean that is
  // 0 or less (one uniform taken), NaN or infinite (nothing taken).
  double PoissonDistributionValue(double mean);
  // Poisson count conditioned on being at least 1 (the count of an interval
  // known to hold some event); 1 for a mean that is 0 or less or not finite.
  double ZeroTruncatedPoissonValue(double mean);
  // A fair coin from one direct draw (not from a buffer).
  bool YesOrNo();

  // The next buffered uniform / log-uniform, refilling when used up.
  double takeUniform() {
    if (nextUniform >= RANDOM_BUFFER_SIZE) updateRanNums();
    return uniformBuffer[nextUniform++];
  }
  double takeLogUniform() {
    if (nextLogUniform >= RANDOM_BUFFER_SIZE) updateLogRanNums();
    return logUniformBuffer[nextLogUniform++];
  }

private:
  long drawUniformPath();
  long drawLogPath();
  void advanceIndexes();
};

// Natural logarithm of the gamma function of x > 0 (six-term Lanczos).
double gammln(double x);
