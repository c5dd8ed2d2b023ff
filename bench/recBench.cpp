// Times recombining chromosomes on the library: the recorded first tree and,
// per marker, points placed by length and the replay of the tree history.
// One deme of 10000 genes; prints replays, points and markers per second and
// the mean TMRCA at the last marker (theory 2N (1 - 1/n)).
//
// usage: recBench sampleSize markers chromosomes rN [seed]
//   rN: recombination rate per interval times the deme size.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/deme.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

constexpr long demeSize = 10000;

template <class T>
void one(MY_TArrayAsVector<T>& list, T value) {
  list.numElems = 0;
  list.Add(value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: recBench sampleSize markers chromosomes rN [seed]\n");
    return 1;
  }
  const int n = std::atoi(argv[1]), markers = std::atoi(argv[2]), chromosomes = std::atoi(argv[3]);
  const double r = std::atof(argv[4]) / demeSize;
  const long seed = argc > 5 ? std::atol(argv[5]) : 1;
  if (n < 2 || markers < 1 || chromosomes < 1 || r < 0) {
    std::fprintf(stderr, "recBench: invalid arguments\n");
    return 1;
  }
  consoleOutput = false;
  MY_TArrayAsVector<TMigrationMatrix> matrices(1, 10);
  TMigrationMatrix m;
  m.size = 1;
  m.allocate_matrix();
  m.elems[0][0] = 0.0;
  matrices.Add(m);
  MY_TArrayAsVector<long> sizes(1, 10);
  MY_TArrayAsVector<double> rates(1, 10), zeros(1, 10);
  MY_TArrayAsVector<int> samples(1, 10);
  one(sizes, demeSize);
  one(rates, 0.0);
  one(zeros, 0.0);
  one(samples, n);
  MY_TSArrayAsVector<THistoricalEvent> events(1, 10);

  TDemeCollection c;
  c.create_demes(&matrices);
  c.initialize_deme_size(sizes);
  c.initialize_growth_rates(rates);
  c.initialize_events(events);
  c.initialize_samp_size(samples);
  c.initialize_sample_ages(zeros);
  c.initialize_inbreeding_coefficients(zeros);
  c.create_lineagesNoRec(samples, markers);
  TDemeCollection::calcInvNChoose2(n);
  TDemeCollection::iniNumLineages = c.count_all_lineages();
  c.demes[0].initRelSizeCT = demeSize / TDemeCollection::CTTimeUnit;
  GlobalRandom rng;
  rng.InitializeGenerator(seed);
  c.randomGenerator = &rng;
  c.isRecombining = true;

  long replays = 0, points = 0;
  double tmrca = 0.0;
  const auto start = std::chrono::steady_clock::now();
  for (int chrom = 0; chrom < chromosomes; ++chrom) {
    if (chrom > 0) c.reset(sizes, rates);
    if (c.buildFirstTreeForRecCT(chrom) != 1) return 1;
    for (int locus = 1; locus < markers; ++locus) {
      const double length = c.tree.root->calcTreeSizeC();
      const int k = static_cast<int>(rng.PoissonDistributionValue(r * length * TDemeCollection::CTTimeUnit));
      c.tree.locateRecombinationsOnTreeC(k, length, &c);
      if (k == 0) continue;
      if (!c.replayTreeWithRecs(sizes, rates, locus)) return 1;
      ++replays;
      points += c.tree.numRecs;
    }
    tmrca += c.tree.root->time * TDemeCollection::CTTimeUnit;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d genes, %d markers, %d chromosomes, rN %.3g: %.3f s\n", n, markers, chromosomes,
              r * demeSize, seconds);
  std::printf("%.0f replays/s, %.0f points/s, %.0f markers/s\n", replays / seconds,
              points / seconds, double(markers) * chromosomes / seconds);
  std::printf("mean TMRCA at the last marker %.1f generations (theory %.1f)\n",
              tmrca / chromosomes, 2.0 * demeSize * (1 - 1.0 / n));
  TDemeCollection::releaseInvNChoose2();
  return 0;
}
