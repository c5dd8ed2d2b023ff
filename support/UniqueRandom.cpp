#include "support/UniqueRandom.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>

#include <sys/mman.h>

float* GlobalRandom::LOOKUP_TABLE2 = nullptr;

namespace {

// The one owner of the logarithm table: it lives until the process ends,
// so no generator frees it while others still read it.
struct FreeDeleter {
  void operator()(float* p) const { std::free(p); }
};
struct LogTableOwner {
  std::unique_ptr<float[], FreeDeleter> table;
  ~LogTableOwner() { GlobalRandom::LOOKUP_TABLE2 = nullptr; }
};
LogTableOwner logTableOwner;

constexpr double UNIFORM_SCALE = 1e-9;
constexpr double LN_MODULUS = 20.72326583694641;  // ln 1e9
constexpr float LN2_SINGLE = 0.6931472f;

// ln(d / 1e9) in single precision: the exponent of d plus the base-2
// logarithm of its mantissa (entry m of the table), times ln 2. In three
// passes over a whole buffer, so that the float work around the logarithms
// runs on vectors: the exponents and table arguments, the logarithms, the
// values.
void logsOfDraws(const std::int32_t* draws, double* out, int n) {
  float args[RANDOM_BUFFER_SIZE];
  std::int32_t exponents[RANDOM_BUFFER_SIZE];
  for (int i = 0; i < n; ++i) {
    const float f = static_cast<float>(draws[i]);  // d < 2^31: as from the long
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    exponents[i] = static_cast<std::int32_t>((bits >> 23) & 0xFFu) - 127;
    // The table's argument for mantissa m: 1.0f with mantissa m.
    const std::uint32_t argBits = 0x3f800000u | (bits & 0x7FFFFFu);
    std::memcpy(&args[i], &argBits, sizeof argBits);
  }
  for (int i = 0; i < n; ++i) args[i] = std::log(args[i]);
  for (int i = 0; i < n; ++i) {
    const float entry = args[i] * 1.442695f;  // as logTableEntry
    const float log2Value = static_cast<float>(exponents[i]) + entry;
    const float lnValue = log2Value * LN2_SINGLE;
    out[i] = static_cast<double>(lnValue) - LN_MODULUS;
  }
}

// |RANDOM_SEED_BASE - |seed|| computed without overflow for any long.
long seedStart(long s) {
  unsigned long long magnitude = s < 0 ? 0ULL - static_cast<unsigned long long>(s)
                                       : static_cast<unsigned long long>(s);
  unsigned long long base = static_cast<unsigned long long>(RANDOM_SEED_BASE);
  unsigned long long diff = magnitude >= base ? magnitude - base : base - magnitude;
  return static_cast<long>(diff % static_cast<unsigned long long>(RANDOM_MODULUS));
}

// n successive draws of the generator into out, the same as n calls of
// drawUniformPath (LogPath false) or drawLogPath (LogPath true), done in runs
// over which neither state index wraps, so the loop carries no index checks.
template <bool LogPath, typename Out>
void drawSequence(GlobalRandom& g, Out* out, int n) {
  long* state = g.stateTable;
  int r = g.replaceIndex;
  int s = g.subtractIndex;
  int done = 0;
  while (done < n) {
    if (r == 55) r = 0;  // the next entry is 1
    if (s == 55) s = 0;
    int run = n - done;
    if (55 - r < run) run = 55 - r;
    if (55 - s < run) run = 55 - s;
    for (int k = 1; k <= run; ++k) {
      long d = state[r + k] - state[s + k];
      if (LogPath ? d <= 0 : d < 0) d += LogPath ? RANDOM_MODULUS - 1 : RANDOM_MODULUS;
      state[r + k] = d;
      out[done + k - 1] = static_cast<Out>(d);  // d < 1e9
    }
    r += run;
    s += run;
    done += run;
  }
  g.replaceIndex = r;
  g.subtractIndex = s;
}

}  // namespace

GlobalRandom::GlobalRandom()
    : nextUniform(RANDOM_BUFFER_SIZE), nextLogUniform(RANDOM_BUFFER_SIZE), replaceIndex(0),
      subtractIndex(0), seed(-1), poissonScale(0.0), poissonLogMean(0.0), poissonConst(0.0),
      poissonLastMean(-1.0) {
  // The buffers are left as they are: both read positions say "used up", so
  // nothing is read before seeding fills them, and the pages of the 100
  // generators a process creates are only touched for those it seeds.
  for (long& v : stateTable) v = 0;
}

GlobalRandom::~GlobalRandom() = default;

void GlobalRandom::initializeLookUpTable() {
  const std::size_t count = std::size_t(1) << LOG_TABLE_PRECISION;
  if (!LOOKUP_TABLE2) {
    // Aligned to 2 MiB and backed by huge pages where the system allows it:
    // the look-ups are random over 32 MiB, and small pages would make most of
    // them miss the address translation cache too.
    constexpr std::size_t hugePage = std::size_t(1) << 21;
    const std::size_t bytes = count * sizeof(float);
    float* table = static_cast<float*>(std::aligned_alloc(hugePage, bytes));
    if (table) {
#ifdef MADV_HUGEPAGE
      madvise(table, bytes, MADV_HUGEPAGE);
#endif
      logTableOwner.table.reset(table);
    } else {
      std::cerr << "Cannot allocate the logarithm table (" << count * sizeof(float)
                << " bytes). Cannot proceed with simulations." << std::endl;
      std::exit(1);
    }
    LOOKUP_TABLE2 = logTableOwner.table.get();
  }
  fill_icsi_log_table2(LOG_TABLE_PRECISION, LOOKUP_TABLE2);
}

// The table's fill adds the step 2^-23 to 1 exactly, so its entry m is taken
// of the float whose bit pattern is 1.0f with mantissa m; the same logf and the
// same product give the same bits. Computing the entry costs about what a
// look-up into 32 MiB costs, and spares every process building the table.
float GlobalRandom::logTableEntry(std::uint32_t mantissa) {
  const std::uint32_t bits = 0x3f800000u | (mantissa & 0x7FFFFFu);
  float x;
  std::memcpy(&x, &bits, sizeof x);
  return std::log(x) * 1.442695f;
}

void GlobalRandom::advanceIndexes() {
  replaceIndex = replaceIndex == 55 ? 1 : replaceIndex + 1;
  subtractIndex = subtractIndex == 55 ? 1 : subtractIndex + 1;
}

long GlobalRandom::drawUniformPath() {
  advanceIndexes();
  long d = stateTable[replaceIndex] - stateTable[subtractIndex];
  if (d < 0) d += RANDOM_MODULUS;
  stateTable[replaceIndex] = d;
  return d;
}

// A difference of 0 becomes 999999999, so the logarithm is never taken of 0
// on this path.
long GlobalRandom::drawLogPath() {
  advanceIndexes();
  long d = stateTable[replaceIndex] - stateTable[subtractIndex];
  if (d <= 0) d += RANDOM_MODULUS - 1;
  stateTable[replaceIndex] = d;
  return d;
}

void GlobalRandom::InitializeGenerator(long newSeed) {
  poissonLastMean = -1.0;
  long mj = seedStart(newSeed);
  stateTable[55] = mj;
  long mk = 1;
  for (int i = 1; i <= 54; ++i) {
    int k = (21 * i) % 55;
    stateTable[k] = mk;
    mk = mj - mk;
    if (mk < 0) mk += RANDOM_MODULUS;
    mj = stateTable[k];
  }
  for (int pass = 0; pass < 4; ++pass)
    for (int i = 1; i <= 55; ++i) {
      stateTable[i] -= stateTable[1 + (i + 30) % 55];
      if (stateTable[i] < 0) stateTable[i] += RANDOM_MODULUS;
    }
  replaceIndex = 0;
  subtractIndex = 31;
  drawUniformPath();  // discarded
  seed = newSeed;
  updateRanNums();
  updateLogRanNums();
}

void GlobalRandom::updateRanNums() {
  std::int32_t draws[RANDOM_BUFFER_SIZE];
  drawSequence<false>(*this, draws, RANDOM_BUFFER_SIZE);
  for (int i = 0; i < RANDOM_BUFFER_SIZE; ++i)
    uniformBuffer[i] = static_cast<double>(draws[i]) * UNIFORM_SCALE;
  nextUniform = 0;
}

void GlobalRandom::updateLogRanNums() {
  std::int32_t draws[RANDOM_BUFFER_SIZE];
  drawSequence<true>(*this, draws, RANDOM_BUFFER_SIZE);
  logsOfDraws(draws, logUniformBuffer, RANDOM_BUFFER_SIZE);
  nextLogUniform = 0;
}

bool GlobalRandom::YesOrNo() { return drawUniformPath() < 500000000L; }

double GlobalRandom::PoissonDistributionValue(double mean) {
  if (!std::isfinite(mean)) return 0.0;
  if (mean < 12.0) {
    if (mean != poissonLastMean) {
      poissonLastMean = mean;
      poissonConst = std::exp(-mean);
    }
    int k = -1;
    double t = 1.0;
    do {
      t *= takeUniform();
      ++k;
    } while (t > poissonConst);
    return k;
  }
  if (mean != poissonLastMean) {
    poissonLastMean = mean;
    poissonScale = std::sqrt(2.0 * mean);
    poissonLogMean = std::log(mean);
    poissonConst = mean * poissonLogMean - gammln(mean + 1.0);
  }
  for (;;) {
    double y, k;
    do {
      y = std::tan(3.141592654 * takeUniform());
      k = poissonScale * y + mean;
    } while (!(k >= 0.0));
    k = std::floor(k);
    double t = (y * y + 1.0) * (std::exp(k * poissonLogMean - gammln(k + 1.0) - poissonConst) * 0.9);
    if (takeUniform() <= t) return k;
  }
}

double GlobalRandom::ZeroTruncatedPoissonValue(double mean) {
  if (!(mean > 0.0) || !std::isfinite(mean)) return 1.0;
  if (mean >= 1.0) {
    // A zero has probability e^-mean < 0.37: redraw until the count is positive.
    for (;;) {
      const double k = PoissonDistributionValue(mean);
      if (k >= 1.0) return k;
    }
  }
  // Inversion from 1: P(k) = e^-mean mean^k / (k! (1 - e^-mean)); for a small
  // mean P(1) is near 1, so this is one uniform and a step or two.
  const double u = takeUniform();
  double term = mean * std::exp(-mean) / -std::expm1(-mean);
  double cumulative = term;
  double k = 1.0;
  while (u > cumulative && term > 0.0) {
    k += 1.0;
    term *= mean / k;
    cumulative += term;
  }
  return k;
}

double gammln(double x) {
  static const double cof[6] = {76.18009172947146,     -86.50532032941678,
                                24.01409824083091,     -1.231739572450155,
                                0.001208650973866179,  -5.395239384953e-06};
  double tmp = x + 5.5;
  tmp -= (x + 0.5) * std::log(tmp);
  double ser = 1.000000000190015;
  double y = x;
  for (double c : cof) ser += c / ++y;
  return std::log(2.5066282746310007 * ser / x) - tmp;
}
