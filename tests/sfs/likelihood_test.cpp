// Relative values, composite likelihoods and likelihood columns: the worked
// examples exactly, the floors, the highest attainable likelihood, and the
// cases that must give no NaN, no double rescale and no division by zero.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "support/globals.h"
#include "tests/engine/freqModel.h"

namespace {

// Process-wide likelihood settings, restored after each test.
class LikelihoodTest : public testing::Test {
 protected:
  double mutRate = AFS::mutRate, minEntry = AFS::minValidSFSEntry;
  bool mono = AFS::includeMonoSites, folded = AFS::foldedSFS, console = consoleOutput;
  bool reference = TSimSettings::isReferenceParameters;
  MY_TArrayAsVector<int>* list = multiSFS::validSFSEntries;
  void SetUp() override {
    consoleOutput = false;
    multiSFS::validSFSEntries = nullptr;
  }
  void TearDown() override {
    AFS::mutRate = mutRate;
    AFS::minValidSFSEntry = minEntry;
    AFS::includeMonoSites = mono;
    AFS::foldedSFS = folded;
    consoleOutput = console;
    TSimSettings::isReferenceParameters = reference;
    multiSFS::validSFSEntries = list;
  }
};

// A spectrum of the shape of a model with these samples, filled with values.
struct Shape {
  FreqModel model;
  explicit Shape(std::vector<int> samples)
      : model(sampledDemes(samples), 1) {}
  AFS spectrum(const std::vector<std::vector<double>>& tables) {
    AFS s(false);
    s.createArrays(model.demes);
    size_t k = 0;
    for (auto& row : s.jointAFS)
      for (sfsTable& t : row) t.cells = tables[k++];
    return s;
  }
  multiSFS multi(const std::vector<double>& entries) {
    multiSFS s(model.demes, false);
    s.multiJointSFS = entries;
    return s;
  }
};

// Expected proportions that are already relative (no tree length).
template <class S>
S relative(S s) {
  s.mustSetRelativeValues = false;
  return s;
}

}  // namespace

TEST_F(LikelihoodTest, OneDemeExampleScoredOncePrepared) {
  Shape shape({2});
  AFS expected = relative(shape.spectrum({{0.5, 0.3, 0.2}}));
  const AFS observed = shape.spectrum({{10, 6, 4}});
  const double exact = 6 * std::log10(0.6) + 4 * std::log10(0.4) + 20 * std::log10(0.5);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(expected.computeTotLogLHood(observed), exact, 1e-12) << k;
  EXPECT_DOUBLE_EQ(expected.spectrum(0)[1], 0.6);
  // New relative values are prepared anew.
  expected.spectrum(0)[0] = 0.5;
  expected.spectrum(0)[1] = 0.3;
  expected.spectrum(0)[2] = 0.2;
  expected.totTreeLength = 1.0L;
  expected.mustSetRelativeValues = true;
  ASSERT_TRUE(expected.setAFSRelativeValuesAndComputeMinSFS());
  AFS::mutRate = 0.0;  // f = 1: no site mutates, P0 = 1
  const double lhood = expected.computeTotLogLHood(observed);
  EXPECT_TRUE(std::isfinite(lhood));
  EXPECT_NEAR(lhood, 6 * std::log10(0.6) + 4 * std::log10(0.4) + 10 * -10.0, 1e-9);
}

TEST_F(LikelihoodTest, LumpingAndFloors) {
  Shape one({2});
  AFS expected = relative(one.spectrum({{0.5, 0.3, 0.2}}));
  const AFS lumped = one.spectrum({{10, 0.5, 0.5}});
  // Each lumped addition is truncated: the lumped count stays 0.
  EXPECT_NEAR(expected.computeTotLogLHood(lumped), expected.computePopLogLHood(lumped, 0, false),
              1e-12);
  EXPECT_NEAR(expected.computePopLogLHood(lumped, 0, false),
              10 * std::log10(0.5) + 1 * std::log10(0.5), 1e-12);

  Shape two({1, 1});
  AFS created = two.spectrum({{0, 0}, {0.5, 0.5, 0, 0}, {0, 0}});
  AFS copy(false);
  copy = created;  // a copy has no minima: floor 1e-10
  copy.mustSetRelativeValues = false;
  const AFS observed = two.spectrum({{0, 0}, {0, 0, 3, 0}, {0, 0}});
  EXPECT_NEAR(copy.computeTotLogLHood(observed), -30.0, 1e-9);
  created.mustSetRelativeValues = false;  // with minima: min(0.01 x min, 1e-8)
  EXPECT_NEAR(created.computeTotLogLHood(observed), -24.0, 1e-9);
}

// The observed spectrum scored against itself is at least its likelihood
// under any expected spectrum, with and without the monomorphic class.
TEST_F(LikelihoodTest, HighestAttainableLikelihood) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(0.01, 1.0);
  for (bool mono : {true, false}) {
    AFS::includeMonoSites = mono;
    Shape shape({3, 2});
    const AFS observed = shape.spectrum({{0, 0, 0, 0}, {40, 5, 3, 6, 2, 1, 2, 0, 4, 3, 1, 2}, {0, 0, 0}});
    AFS best(false);
    best = observed;
    best.setExpJointAFStoObs();
    const double top = best.computeTotLogLHood(observed);
    for (int r = 0; r < 50; ++r) {
      std::vector<double> cells(12);
      double sum = 0.0;
      for (double& v : cells) sum += v = u(gen);
      for (double& v : cells) v /= sum;
      AFS expected = relative(shape.spectrum({{0, 0, 0, 0}, cells, {0, 0, 0}}));
      EXPECT_LE(expected.computeTotLogLHood(observed), top + 1e-9) << mono;
    }

    const std::vector<double> counts = {50, 6, 3, 9, 2, 0, 4, 1, 3, 5, 1, 2};
    const multiSFS multiObserved = shape.multi(counts);
    multiSFS multiBest(multiObserved);
    multiBest.setExpJointAFStoObs();
    double c = 0.0, exact = 0.0;
    for (size_t k = 1; k < counts.size(); ++k) c += counts[k];
    for (size_t k = 1; k < counts.size(); ++k)
      if (counts[k] > 0) exact += counts[k] * std::log10(counts[k] / c);
    if (mono) exact += 50 * std::log10(50 / (c + 50)) + c * std::log10(c / (c + 50));
    EXPECT_NEAR(multiBest.computeLhood(multiObserved), exact, 1e-9) << mono;
  }
}

// The monomorphic term uses the total of the data set scored, not the total of
// the last file read.
TEST_F(LikelihoodTest, MultiDimensionalTerms) {
  Shape shape({2});
  multiSFS expected = relative(shape.multi({0, 0.6, 0.4}));
  expected.totTreeLength = 1.0L;
  expected.numSims = 1;
  AFS::mutRate = -std::log(0.9) / TDemeCollection::CTTimeUnit;
  multiSFS::totNumObsSites = 12345;
  const multiSFS observed = shape.multi({90, 6, 4});
  EXPECT_NEAR(expected.computeLhood(observed),
              6 * std::log10(0.6) + 4 * std::log10(0.4) + 90 * std::log10(0.9) + 10 * std::log10(0.1),
              1e-9);

  // Sites of unlisted entries whose expected probability is 0 are floored.
  MY_TArrayAsVector<int> listed(1, 1);
  listed.Add(1);
  multiSFS::validSFSEntries = &listed;
  multiSFS lumped = relative(shape.multi({0, 1.0, 0.0}));
  lumped.minSFSValue = 1.0;
  ASSERT_TRUE(lumped.setSFSRelativeValuesAndComputeMinSFS(nullptr));
  EXPECT_EQ(lumped.invalidSFSProb, 0.0);
  const multiSFS withInvalid = shape.multi({0, 6, 4});
  EXPECT_NEAR(lumped.computeLhood(withInvalid), 4 * std::log10(1e-8), 1e-9);
}

// Relative values: 1/T with per-table minima; under SNP ascertainment each
// deme's spectrum by its own sum and a joint table by its row deme's factor.
TEST_F(LikelihoodTest, RelativeValues) {
  SpectrumSwitches saved;
  Shape shape({1, 1});
  for (bool asc : {false, true}) {
    TSimSettings::SNPascertainment = asc;
    AFS s = shape.spectrum({{1, 3}, {2, 0, 6, 2}, {0, 5}});
    s.totTreeLength = 10.0L;
    ASSERT_TRUE(s.setAFSRelativeValuesAndComputeMinSFS());
    const std::vector<double> d0 = asc ? std::vector<double>{0.25, 0.75} : std::vector<double>{0.1, 0.3};
    const std::vector<double> d1 = asc ? std::vector<double>{0, 1} : std::vector<double>{0, 0.5};
    const double jointFactor = asc ? 0.2 : 0.1;
    for (int k = 0; k < 2; ++k) {
      EXPECT_DOUBLE_EQ(s.spectrum(0)[k], d0[k]);
      EXPECT_DOUBLE_EQ(s.spectrum(1)[k], d1[k]);
    }
    EXPECT_DOUBLE_EQ(s(1, 0).cells[2], 6 * jointFactor);
    EXPECT_DOUBLE_EQ(s.minSFS[1][0], 2 * jointFactor);
    EXPECT_DOUBLE_EQ(s.minSFS[0][0], d0[0]);
    // A second request without new sums changes nothing.
    EXPECT_TRUE(s.setAFSRelativeValuesAndComputeMinSFS());
    EXPECT_DOUBLE_EQ(s.spectrum(0)[1], d0[1]);
  }
}

// No genealogy: no relative values, no likelihood, nothing divided by zero.
TEST_F(LikelihoodTest, NoTreeLengthGivesNoLikelihood) {
  Shape shape({2});
  FreqModel& model = shape.model;
  model.demes.expDAF->spectrum(0)[1] = 0.0;
  EXPECT_FALSE(model.demes.expDAF->setAFSRelativeValuesAndComputeMinSFS());
  multiSFS multi(model.demes, false);
  EXPECT_FALSE(multi.setSFSRelativeValuesAndComputeMinSFS(nullptr));
  for (double v : multi.multiJointSFS) EXPECT_EQ(v, 0.0);

  TObsAFS observed;
  observed.numObs = 1;
  observed.obsDAF.push_back(shape.spectrum({{10, 6, 4}}));
  std::ostringstream os;
  const double lhood = model.demes.computeLHoodsFromAFS(os, false, &observed);
  EXPECT_TRUE(std::isinf(lhood) && lhood < 0);
  EXPECT_EQ(os.str(), "\t-inf");
}

// Three data sets against one expected spectrum: one preparation, three equal
// columns, the last value returned; MAF columns come before DAF columns.
TEST_F(LikelihoodTest, LikelihoodColumns) {
  SpectrumSwitches saved;
  Shape shape({2});
  TDemeCollection& c = shape.model.demes;
  *c.expDAF = relative(shape.spectrum({{0.5, 0.3, 0.2}}));
  c.expDAF->totTreeLength = 1.0L;
  c.expDAF->numSims = 1;
  AFS::mutRate = 0.0;
  c.expMAF = new AFS(true);
  *c.expMAF = *c.expDAF;
  TObsAFS observed;
  observed.numObs = 3;
  for (int k = 0; k < 3; ++k) {
    observed.obsDAF.push_back(shape.spectrum({{0, 6, 4}}));
    observed.obsMAF.push_back(shape.spectrum({{0, 6.0 + k, 4}}));
  }
  std::ostringstream header;
  EXPECT_EQ(c.computeLHoodsFromAFS(header, true, &observed), 0.0);
  EXPECT_EQ(header.str(), "\tMAFLHood_1\tMAFLHood_2\tMAFLHood_3\tDAFLHood_1\tDAFLHood_2\tDAFLHood_3");
  std::ostringstream values;
  const double last = c.computeLHoodsFromAFS(values, false, &observed);
  const double daf = 6 * std::log10(0.6) + 4 * std::log10(0.4);
  EXPECT_NEAR(last, daf, 1e-12);
  std::ostringstream expected;
  expected << std::fixed << std::setprecision(5);
  for (int k = 0; k < 3; ++k)
    expected << "\t" << (6.0 + k) * std::log10(0.6) + 4 * std::log10(0.4);
  for (int k = 0; k < 3; ++k) expected << "\t" << daf;
  EXPECT_EQ(values.str(), expected.str());

  TSimSettings::compMAF = TSimSettings::compDAF = true;
  std::ostringstream single;
  c.writeLhoodToFile(single, true, 0.0);
  c.writeLhoodToFile(single, false, -12.3456789);
  EXPECT_EQ(single.str(), "\tMAFLHood\tDAFLHood\t-12.34568");
}

TEST_F(LikelihoodTest, ObservedTotalsAndRescaleFactors) {
  const long long sites = AFS::totObsNumSites;
  AFS::totObsNumSites = 77;
  AFS made(true);
  AFS copied(made);
  EXPECT_EQ(AFS::totObsNumSites, 77);
  AFS::totObsNumSites = sites;

  Shape one({4});
  AFS s = relative(one.spectrum({{0.9, 0.05, 0.03, 0.01, 0.01}}));
  s.totTreeLength = 3.0L;
  s.numSims = 2;
  EXPECT_EQ(s.computeRescaleFactorFromAFS(s), 1.0);

  multiSFS m = relative(one.multi({0, 0.5, 0.3, 0.1, 0.1}));
  m.totTreeLength = 4.0L;
  m.numSims = 2;
  AFS::mutRate = 1e-8;
  const multiSFS observed = one.multi({100, 10, 5, 3, 2});
  EXPECT_NEAR(m.computeRescaleFactorFromMultiSFS(observed), 20 / (2.0 * 1e-8 * 120 * 1e6), 1e-9);
}

// Without the monomorphic class (-0) its term is absent, and the listed entry
// 0 of a multi-dimensional spectrum never enters the polymorphic sum.
TEST_F(LikelihoodTest, WithoutMonomorphicClass) {
  AFS::includeMonoSites = false;
  Shape shape({2});
  const double poly = 6 * std::log10(0.6) + 4 * std::log10(0.4);
  AFS expected = relative(shape.spectrum({{0.5, 0.3, 0.2}}));
  EXPECT_NEAR(expected.computeTotLogLHood(shape.spectrum({{10, 6, 4}})), poly, 1e-12);

  MY_TArrayAsVector<int> listed(2, 1);
  for (int idx : {0, 1, 2}) listed.Add(idx);
  multiSFS::validSFSEntries = &listed;
  multiSFS multi = relative(shape.multi({0.5, 0.3, 0.2}));
  EXPECT_NEAR(multi.computeLhood(shape.multi({90, 6, 4})), poly, 1e-12);
  EXPECT_EQ(multi.multiJointSFS[0], 0.0);
}
