// Observed spectra of simulated data sets written by hand: site classes, the
// cells each class enters, the monomorphic class, the -s limit, bootstraps
// and the ascertainment panel.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sfs/AFS.h"
#include "tests/sfs/handDataSet.h"

namespace {

void ask(bool maf, bool daf, bool multi = false, bool pooled = false) {
  TSimSettings::compMAF = maf;
  TSimSettings::compDAF = daf;
  TSimSettings::isMultiSFS = multi;
  TSimSettings::computePooledSFS = pooled;
  TSimSettings::SNPascertainment = false;
  TSimSettings::maxNumSNPs = 0;
}

std::vector<double> cells(const double* v, int n) { return std::vector<double>(v, v + n + 1); }

bool compute(HandDataSet& h) {
  h.s.demeCollection.createPolymPosVector(nullptr);
  return h.s.demeCollection.computeObsMAFSandDAFS(0);
}

// Alleles 0 and 1 each on half of all genes: half counts in the 1-D and joint
// MAF spectra, a whole count at N / 2 in the pooled one.
TEST(SimulatedSFS, SitesAtHalfSplitBetweenTwoCells) {
  HandDataSet h(handModel({2, 2}, 1, {"SNP 10 0 1e-8 0"}));
  h.site(0, 0, DataType::SNP, {0, 0, 1, 1});
  h.store();
  ask(true, true);
  ASSERT_TRUE(compute(h));
  const TDemeCollection& c = h.s.demeCollection;
  EXPECT_EQ(cells(c.obsMAF->spectrum(0), 2), (std::vector<double>{9.5, 0, 0.5}));
  EXPECT_EQ(cells(c.obsMAF->spectrum(1), 2), (std::vector<double>{9.5, 0, 0.5}));
  const sfsTable& joint = (*c.obsMAF)(1, 0);
  EXPECT_EQ(joint[0][2], 0.5);
  EXPECT_EQ(joint[2][0], 0.5);
  EXPECT_EQ(joint[0][0], 9.0);
  EXPECT_EQ(cells(c.obsDAF->spectrum(0), 2), (std::vector<double>{10, 0, 0}));
  EXPECT_EQ(cells(c.obsDAF->spectrum(1), 2), (std::vector<double>{9, 0, 1}));
  EXPECT_EQ((*c.obsDAF)(1, 0)[2][0], 1.0);

  ask(true, false, false, true);
  ASSERT_TRUE(compute(h));
  EXPECT_EQ(cells(c.obsPooledMAF->spectrum(0), 4), (std::vector<double>{9, 0, 1, 0, 0}));
}

// A stored site without variation counts as used: MAF cell 0 in the 1-D
// spectrum, cell N in the pooled one, no DAF cell; a multi-allelic site
// counts as used and enters no cell.
TEST(SimulatedSFS, MonomorphicAndMultiAllelicSites) {
  HandDataSet h(handModel({4}, 1, {"SNP 10 0 1e-8 0"}));
  h.site(0, 0, DataType::SNP, {1, 1, 1, 1});
  h.site(0, 1, DataType::SNP, {0, 0, 0, 0});
  h.site(0, 2, DataType::SNP, {0, 1, 2, 2});
  h.site(0, 3, DataType::SNP, {0, 1, 1, 1});
  h.store();
  ask(true, true);
  ASSERT_TRUE(compute(h));
  const TDemeCollection& c = h.s.demeCollection;
  EXPECT_EQ(c.numMultiAllelicSites, 1);
  EXPECT_EQ(c.numFixedDerivedSites, 1);
  EXPECT_EQ(c.numAncestralOnlySites, 1);
  EXPECT_EQ(cells(c.obsMAF->spectrum(0), 4), (std::vector<double>{6 + 2, 1, 0, 0, 0}));
  EXPECT_EQ(cells(c.obsDAF->spectrum(0), 4), (std::vector<double>{6, 0, 0, 1, 0}));
  ask(true, false, false, true);
  ASSERT_TRUE(compute(h));
  EXPECT_EQ(cells(c.obsPooledMAF->spectrum(0), 4), (std::vector<double>{6, 1, 0, 0, 2}));
}

TEST(SimulatedSFS, SnpLimitAndNoSite) {
  HandDataSet h(handModel({2}, 2, {"SNP 10 0 1e-8 0"}));
  for (long p = 0; p < 3; ++p) h.site(0, p, DataType::SNP, {1, 0});
  h.store();
  ask(false, true);
  TSimSettings::maxNumSNPs = 2;
  ASSERT_TRUE(compute(h));
  EXPECT_EQ(cells(h.s.demeCollection.obsDAF->spectrum(0), 2), (std::vector<double>{18, 2, 0}));

  HandDataSet none(handModel({2}, 2, {"SNP 10 0 1e-8 0"}));
  none.store();
  ask(false, true);
  ASSERT_TRUE(compute(none));
  EXPECT_EQ(none.s.demeCollection.numUsedPolymSites, 0);
  EXPECT_EQ(cells(none.s.demeCollection.obsDAF->spectrum(0), 2), (std::vector<double>{20, 0, 0}));
}

TEST(SimulatedSFS, NonSnpStateStopsTheCount) {
  HandDataSet h(handModel({2}, 1, {"SNP 10 0 1e-8 0"}));
  h.site(0, 0, DataType::SNP, {1, 0});
  h.site(0, 1, DataType::SNP, {0, 7});
  h.store();
  ask(false, true);
  StreamCapture err(std::cerr);
  EXPECT_FALSE(compute(h));
  EXPECT_EQ(err.text(), "non-SNP data in individual no. 2 in population 0, locus no. 2 (data = <7>)\n");
}

// A data set of two demes with every derived count, in random order; every
// site is polymorphic.
void fillTwoDemes(HandDataSet& h, int numSites, GlobalRandom& r) {
  for (int k = 0; k < numSites;) {
    std::vector<short> s(5);
    int derived = 0;
    for (short& v : s) derived += v = r.takeUniform() < 0.4 ? 1 : 0;
    if (derived == 0 || derived == 5) continue;
    h.site(0, k++, DataType::SNP, s);
  }
  h.store();
}

// Biallelic sites: the minor-allele spectra are the folds of the derived ones,
// and the multi-dimensional cells add up to the joint table.
TEST(SimulatedSFS, MinorSpectraFoldDerivedOnesAndMultiMatchesJoint) {
  HandDataSet h(handModel({3, 2}, 1, {"SNP 400 0 1e-8 0"}));
  GlobalRandom r;
  r.InitializeGenerator(11);
  fillTwoDemes(h, 300, r);
  const TDemeCollection& c = h.s.demeCollection;
  ask(true, true, false, true);
  ASSERT_TRUE(compute(h));
  const double* d = c.obsPooledDAF->spectrum(0);
  const double* m = c.obsPooledMAF->spectrum(0);
  for (int k = 1; k <= 2; ++k) EXPECT_EQ(m[k], d[k] + d[5 - k]) << k;
  EXPECT_EQ(m[0], d[0] + d[5]);
  EXPECT_EQ(m[3] + m[4] + m[5], 0.0);
  EXPECT_EQ(d[0], 100.0);

  ask(false, true);
  ASSERT_TRUE(compute(h));
  const sfsTable joint = (*c.obsDAF)(1, 0);
  ask(false, true, true);
  ASSERT_TRUE(compute(h));
  const std::vector<double>& multi = c.obsMultiDAF->multiJointSFS;
  for (int i = 0; i <= 2; ++i)
    for (int j = 0; j <= 3; ++j)
      EXPECT_EQ(multi[j * 3 + i], joint[i][j]) << i << " " << j;  // deme 0 most significant
}

// Bootstrap replicates keep the number of sites and, over many replicates,
// the original spectrum on average (each cell within 5 standard errors).
TEST(SimulatedSFS, BootstrapsKeepTheTotalAndTheMean) {
  HandDataSet h(handModel({3, 2}, 1, {"SNP 400 0 1e-8 0"}));
  GlobalRandom r;
  r.InitializeGenerator(5);
  fillTwoDemes(h, 200, r);
  TDemeCollection& c = h.s.demeCollection;
  ask(false, true, false, true);
  ASSERT_TRUE(compute(h));
  const std::vector<double> original = cells(c.obsPooledDAF->spectrum(0), 5);
  const int numBoot = 2000;
  std::vector<double> sum(6, 0.0);
  for (int b = 1; b <= numBoot; ++b) {
    c.updateBootPolymPosVector();
    ASSERT_EQ(c.numUsedPolymSites, 200);
    ASSERT_TRUE(c.computeObsMAFSandDAFS(b));
    const std::vector<double> v = cells(c.obsPooledDAF->spectrum(0), 5);
    double total = 0;
    for (int k = 0; k <= 5; ++k) total += v[k], sum[k] += v[k];
    ASSERT_EQ(total, 400.0);
  }
  for (int k = 1; k < 5; ++k) {
    const double p = original[k] / 200.0;
    const double se = std::sqrt(200.0 * p * (1 - p) / numBoot);
    EXPECT_NEAR(sum[k] / numBoot, original[k], 5 * se + 1e-12) << k;
  }
}

// Under ascertainment a bootstrap replicate resamples the panel's sites:
// each replicate holds as many sites as the data set (entry 0 is the same),
// and over the replicates both panel sites are drawn.
TEST(SimulatedSFS, AscertainedBootstrapResamplesThePanelSites) {
  HandDataSet h(handModel({4}, 2, {"SNP 50 0 1e-8 0"}));
  h.site(0, 0, DataType::SNP, {1, 0, 0, 0});  // panel: genes 0 and 1
  h.site(0, 1, DataType::SNP, {0, 0, 1, 0});
  h.site(1, 0, DataType::SNP, {0, 1, 1, 0});
  h.site(1, 1, DataType::SNP, {0, 0, 1, 1});
  h.store();
  ask(false, true);
  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedDeme = 0;
  TSimSettings::ascertainedSize = 2;
  TDemeCollection& c = h.s.demeCollection;
  ASSERT_TRUE(c.demes[0].flagSitesMeetingAscertainmentCondition(c));
  ASSERT_EQ(c.ascertainedSites.numElems, 2);  // global sites 0 and 2
  ASSERT_TRUE(compute(h));
  EXPECT_EQ(cells(c.obsDAF->spectrum(0), 4), (std::vector<double>{98, 1, 1, 0, 0}));
  int drawn[2] = {0, 0};
  for (int b = 1; b <= 20; ++b) {
    c.updateBootPolymPosVector();
    ASSERT_EQ(c.numUsedPolymSites, 2);
    ASSERT_TRUE(c.computeObsMAFSandDAFS(b));
    std::vector<double> expected(5, 0.0);
    expected[0] = 98;
    for (int i = 0; i < c.numUsedPolymSites; ++i) {
      const std::pair<int, int> site = c.usedPolymSitePos[i];
      const int global = 2 * site.first + site.second;
      ASSERT_TRUE(global == 0 || global == 2) << global;
      ++drawn[global / 2];
      expected[global == 0 ? 1 : 2] += 1;
    }
    EXPECT_EQ(cells(c.obsDAF->spectrum(0), 4), expected) << b;
  }
  EXPECT_GT(drawn[0], 0);
  EXPECT_GT(drawn[1], 0);
}

}  // namespace
