#pragma once
// A small demographic model set up on a deme collection the way the run
// driver does it, for tests of the tree builders; a running mean and the
// coalescent formulas the tests compare with.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "engine/deme.h"
#include "model/histEvent.h"
#include "model/migrmat.h"
#include "support/UniqueRandom.h"

struct ModelDesc {
  std::vector<long> sizes;          // gene copies per deme
  std::vector<int> samples;         // sampled genes per deme
  std::vector<double> growth;       // per generation; empty = none
  std::vector<double> ages;         // generations; empty = all 0
  std::vector<double> inbreeding;   // empty = all 0
  double migration = 0.0;           // island rate per lineage and generation
  std::vector<THistoricalEvent> events;
  // Migration matrices (rates per generation, row = deme left) in place of
  // the single island matrix; events name them by index.
  std::vector<std::vector<std::vector<double>>> matrices;

  ModelDesc(std::vector<long> sizes_, std::vector<int> samples_,
            std::vector<double> growth_ = {}, double migration_ = 0.0)
      : sizes(std::move(sizes_)), samples(std::move(samples_)), growth(std::move(growth_)),
        migration(migration_) {}
};

// Demes of 1000 genes each with these samples, without anything else.
inline ModelDesc sampledDemes(const std::vector<int>& samples) {
  return ModelDesc(std::vector<long>(samples.size(), 1000), samples);
}

inline THistoricalEvent makeEvent(long time, int source, int sink, double migrants,
                                  double newSize = 1.0, double newGrowth = 0.0,
                                  bool keepGrowth = true) {
  THistoricalEvent e;
  e.time = time;
  e.source = source;
  e.sink = sink;
  e.migrants = migrants;
  e.newSize = newSize;
  e.newGrowthRate = newGrowth;
  e.keepGrowthRate = keepGrowth;
  e.newMigMatrix = 0;
  e.keepMigMatrix = true;
  return e;
}

// An event that only puts migration matrix m in force.
inline THistoricalEvent makeMatrixEvent(long time, int m) {
  THistoricalEvent e = makeEvent(time, 0, 0, 0.0);
  e.newMigMatrix = m;
  e.keepMigMatrix = false;
  return e;
}

inline THistoricalEvent makeActivation(long time, int deme) {
  THistoricalEvent e = makeEvent(time, deme, deme, 0.0);
  e.activateLineages = true;
  return e;
}

template <class T, class U>
void fillList(MY_TArrayAsVector<T>& list, const std::vector<U>& values) {
  list.numElems = 0;
  for (const U& v : values) list.Add(static_cast<T>(v));
}

// A collection set up for one model, with its own generator.
class CoalModel {
 public:
  MY_TArrayAsVector<TMigrationMatrix> matrices{1, 10};
  MY_TArrayAsVector<long> sizes{10, 10};
  MY_TArrayAsVector<double> rates{10, 10};
  TDemeCollection demes;
  GlobalRandom rng;
  int treesBuilt = 0;

  CoalModel(const ModelDesc& desc, long seed) {
    const int n = static_cast<int>(desc.sizes.size());
    if (desc.matrices.empty()) {
      std::vector<std::vector<double>> island(n, std::vector<double>(n, desc.migration));
      for (int i = 0; i < n; ++i) island[i][i] = 0.0;
      addMatrix(island);
    }
    for (const auto& rates : desc.matrices) addMatrix(rates);
    fillList(sizes, desc.sizes);
    fillList(rates, desc.growth.empty() ? std::vector<double>(n, 0.0) : desc.growth);
    MY_TArrayAsVector<int> samples(10, 10);
    fillList(samples, desc.samples);
    MY_TArrayAsVector<double> ages(10, 10), coefs(10, 10);
    fillList(ages, desc.ages.empty() ? std::vector<double>(n, 0.0) : desc.ages);
    fillList(coefs, desc.inbreeding.empty() ? std::vector<double>(n, 0.0) : desc.inbreeding);
    MY_TSArrayAsVector<THistoricalEvent> events(10, 10);
    for (const THistoricalEvent& e : desc.events) events.Add(e);

    demes.create_demes(&matrices);
    demes.initialize_deme_size(sizes);
    demes.initialize_growth_rates(rates);
    demes.initialize_events(events);
    demes.initialize_samp_size(samples);
    demes.initialize_sample_ages(ages);
    demes.initialize_inbreeding_coefficients(coefs);
    demes.create_lineagesNoRec(samples, 1);
    int total = 0;
    for (int s : desc.samples) total += s;
    TDemeCollection::calcInvNChoose2(total);
    TDemeCollection::iniNumLineages = demes.count_all_lineages();
    for (int d = 0; d < n; ++d)
      demes.demes[d].initRelSizeCT = demes.demes[d].demeSize / TDemeCollection::CTTimeUnit;
    rng.InitializeGenerator(seed);
    demes.randomGenerator = &rng;
  }

  // Appends a matrix of per-generation rates.
  void addMatrix(const std::vector<std::vector<double>>& rates) {
    const int n = static_cast<int>(rates.size());
    TMigrationMatrix m;
    m.size = n;
    m.allocate_matrix();
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) m.elems[i][j] = rates[i][j] * TDemeCollection::CTTimeUnit;
    matrices.Add(m);
  }

  // Builds the next tree; 1 when it has a root.
  int build() {
    if (treesBuilt++ > 0) demes.reset(sizes, rates);
    return demes.buildTreeNoRecContinousTime();
  }
  const TNode& root() const { return *demes.tree.root; }
  double tmrcaGenerations() const { return root().time * TDemeCollection::CTTimeUnit; }
  double lengthGenerations() const { return root().calcTreeSizeC() * TDemeCollection::CTTimeUnit; }
};

// Running mean and standard error of a sample.
class MeanSE {
 public:
  void add(double x) {
    ++n_;
    sum_ += x;
    sumSq_ += x * x;
  }
  double mean() const { return sum_ / n_; }
  double se() const {
    const double m = mean();
    return std::sqrt((sumSq_ / n_ - m * m) / (n_ - 1));
  }
  long count() const { return n_; }

 private:
  long n_ = 0;
  double sum_ = 0.0;
  double sumSq_ = 0.0;
};

// TMRCA (generations) over the next `trees` trees; a tree without a root fails
// the test and ends the series.
inline MeanSE tmrcaOfTrees(CoalModel& model, int trees) {
  MeanSE tmrca;
  for (int r = 0; r < trees; ++r) {
    if (model.build() != 1) {
      ADD_FAILURE() << "tree " << r << " has no root";
      break;
    }
    tmrca.add(model.tmrcaGenerations());
  }
  return tmrca;
}

// The harmonic number H_m.
inline double harmonic(int m) {
  double h = 0.0;
  for (int i = 1; i <= m; ++i) h += 1.0 / i;
  return h;
}

// Expected total branch length and TMRCA (generations) of a tree.
struct TreeMeans {
  double length;
  double tmrca;
};

// One deme of N genes, n sampled: 2N a_n and 2N (1 - 1/n).
inline TreeMeans kingmanTreeMeans(int n, double N) {
  return {2 * N * harmonic(n - 1), 2 * N * (1 - 1.0 / n)};
}

// Two demes of N genes with n0 and n1 sampled genes, every lineage migrating
// at rate m per generation (m > 0). With k lineages, i of them in deme 0, the
// means from that state depend on the states of k - 1 lineages (known) and on
// their neighbours i - 1 and i + 1 of the same k: one tridiagonal system per k.
inline TreeMeans islandTreeMeans(int n0, int n1, double N, double m) {
  const int n = n0 + n1;
  std::vector<double> lengthBelow(2, 0.0), tmrcaBelow(2, 0.0);  // k = 1
  for (int k = 2; k <= n; ++k) {
    std::vector<double> lower(k + 1), upper(k + 1), rhsL(k + 1), rhsT(k + 1);
    for (int i = 0; i <= k; ++i) {
      const int j = k - i;
      const double c0 = i * (i - 1) / (2 * N), c1 = j * (j - 1) / (2 * N);
      const double total = c0 + c1 + k * m;
      lower[i] = -i * m / total;  // to i - 1: a lineage of deme 0 leaves
      upper[i] = -j * m / total;  // to i + 1
      rhsL[i] = k / total;
      rhsT[i] = 1 / total;
      if (i >= 2) {  // a coalescence in deme 0
        rhsL[i] += c0 / total * lengthBelow[i - 1];
        rhsT[i] += c0 / total * tmrcaBelow[i - 1];
      }
      if (j >= 2) {  // in deme 1
        rhsL[i] += c1 / total * lengthBelow[i];
        rhsT[i] += c1 / total * tmrcaBelow[i];
      }
    }
    // Thomas algorithm on the unit diagonal.
    std::vector<double> diag(k + 1, 1.0);
    for (int i = 1; i <= k; ++i) {
      const double f = lower[i] / diag[i - 1];
      diag[i] -= f * upper[i - 1];
      rhsL[i] -= f * rhsL[i - 1];
      rhsT[i] -= f * rhsT[i - 1];
    }
    lengthBelow.assign(k + 1, 0.0);
    tmrcaBelow.assign(k + 1, 0.0);
    for (int i = k; i >= 0; --i) {
      const bool last = i == k;
      lengthBelow[i] = (rhsL[i] - (last ? 0.0 : upper[i] * lengthBelow[i + 1])) / diag[i];
      tmrcaBelow[i] = (rhsT[i] - (last ? 0.0 : upper[i] * tmrcaBelow[i + 1])) / diag[i];
    }
  }
  return {lengthBelow[n0], tmrcaBelow[n0]};
}

// Exponential integral E1(x) for small x, by its series.
inline double expIntegralE1(double x) {
  double sum = 0.0, term = 1.0;
  for (int k = 1; k < 60; ++k) {
    term *= -x / k;
    sum += term / k;
  }
  return -0.5772156649015329 - std::log(x) - sum;
}

// Mean TMRCA of two genes in a deme of 10000 genes growing forwards at 0.001
// per generation: 1000 e^0.1 E1(0.1), about 2015 generations.
inline double growingPairMeanTmrca() { return 1000 * std::exp(0.1) * expIntegralE1(0.1); }
