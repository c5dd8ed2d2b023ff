// Mutation models on trees from the engine, against coalescent theory: one
// deme of N = 1000 genes, many chromosomes of one locus, theta = 2 N mu.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/siteModel.h"

namespace {

constexpr double kN = 1000.0;

double muFor(double theta) { return theta / (2.0 * kN); }

// Checks a mean against its expectation within five standard errors.
void expectMean(const MeanSE& m, double expected, const char* what) {
  std::printf("  %s: measured %.5f +- %.5f, theory %.5f\n", what, m.mean(), m.se(), expected);
  EXPECT_NEAR(m.mean(), expected, 5.0 * m.se() + 1e-12)
      << what << ": measured " << m.mean() << " +- " << m.se() << ", theory " << expected;
}

TEST(SNPModel, InfiniteSitesCountsAndFrequencies) {
  SiteSwitches keep;
  TSimSettings::useInfiniteSiteModel = 1;
  const int n = 5;
  const double theta = 2.0;
  const TBlock block = makeBlock(DataType::SNP, 1, muFor(theta));
  SiteRun run(sampledDemes({n}), 11, {block});
  MeanSE sites, sitesSq;
  std::vector<MeanSE> perClass(n);
  for (int r = 0; r < 100000; ++r) {
    ASSERT_TRUE(run.newTree());
    const long k = run.demes().sprinkleSNPMutationsNoRec(block);
    ASSERT_EQ(k, run.sitesInMemory());
    sites.add(k);
    sitesSq.add(static_cast<double>(k) * k);
    std::vector<int> counts(n, 0);
    for (int s = 0; s < k; ++s) {
      EXPECT_EQ(run.records[0][s].pos, 0);
      ++counts[run.derivedCount(s)];
    }
    for (int i = 1; i < n; ++i) perClass[i].add(counts[i]);
  }
  const double a = harmonic(n - 1), b = harmonic2(n);
  expectMean(sites, theta * a, "sites per locus");
  expectMean(sitesSq, theta * a + theta * theta * b + theta * a * theta * a, "squared sites");
  for (int i = 1; i < n; ++i) expectMean(perClass[i], theta / i, "sites of one derived class");
}

TEST(SNPModel, AtMostOneSiteWithoutInfiniteSites) {
  SiteSwitches keep;
  TSimSettings::useInfiniteSiteModel = 0;
  const double theta = 1.0;
  const TBlock block = makeBlock(DataType::SNP, 1, muFor(theta));
  SiteRun run(sampledDemes({2}), 12, {block});
  MeanSE hasSite;
  for (int r = 0; r < 100000; ++r) {
    ASSERT_TRUE(run.newTree());
    const long k = run.demes().sprinkleSNPMutationsNoRec(block);
    ASSERT_LE(k, 1);
    if (k == 1) {
      EXPECT_EQ(run.derivedCount(0), 1);  // a SNP on one of the two tips' branches
    }
    hasSite.add(k);
  }
  expectMean(hasSite, theta / (1.0 + theta), "P(a site)");
}

TEST(SNPModel, RateZeroGivesOneSNPPerLocusPlacedByLength) {
  SiteSwitches keep;
  for (int infinite : {0, 1}) {
    TSimSettings::useInfiniteSiteModel = infinite;
    const TBlock block = makeBlock(DataType::SNP, 1, 0.0);
    SiteRun run(sampledDemes({3}), 13, {block});
    MeanSE pairs;
    for (int r = 0; r < 100000; ++r) {
      ASSERT_TRUE(run.newTree());
      ASSERT_EQ(run.demes().sprinkleSNPMutationsNoRec(block), 1);
      EXPECT_EQ(run.state(0, 0) + run.state(1, 0) + run.state(2, 0), run.derivedCount(0));
      pairs.add(run.derivedCount(0) == 2);
    }
    expectMean(pairs, 1.0 - std::log(2.0), "P(derived count 2)");
  }
}

TEST(SNPModel, UnreachableMinimumFrequencyFallsBackToAnyBranchWithState2) {
  SiteSwitches keep;
  TBlock block = makeBlock(DataType::SNP, 20, 0.0);
  block.minFreq = 1.5;  // no branch holds more than the whole sample
  SiteRun run(sampledDemes({4}), 14, {block});
  ASSERT_TRUE(run.newTree());
  ASSERT_EQ(run.demes().sprinkleSNPMutationsNoRec(block), 20);
  for (int s = 0; s < 20; ++s) {
    EXPECT_EQ(run.records[0][s].pos, s);
    for (int g = 0; g < 4; ++g) EXPECT_TRUE(run.state(g, s) == 0 || run.state(g, s) == 2);
  }
}

// Mean differences per site of two genes under the finite-site model.
double dnaDifferences(double theta, double tr) {
  return 0.75 - 1.0 / (4.0 * (1.0 + 2.0 * theta * (1.0 - tr))) -
         1.0 / (2.0 * (1.0 + theta * (1.0 + tr)));
}

TEST(DNAModel, FiniteSitesDifferencesOfTwoGenes) {
  SiteSwitches keep;
  TSimSettings::useInfiniteSiteModel = 0;
  const double theta = 1.0;
  for (double tr : {0.33, 0.9}) {
    TBlock block = makeBlock(DataType::DNA, 1, muFor(theta));
    block.transitionRate = tr;
    SiteRun run(sampledDemes({2}), 15, {block});
    MeanSE differs;
    for (int r = 0; r < 100000; ++r) {
      ASSERT_TRUE(run.newTree());
      const long placed = run.demes().sprinkleDNAMutationsNoRec(block);
      ASSERT_GE(placed, 0);
      ASSERT_LE(run.sitesInMemory(), 1);  // all hits of the one locus form one site
      differs.add(run.sitesInMemory() == 1 && run.state(0, 0) != run.state(1, 0));
    }
    expectMean(differs, dnaDifferences(theta, tr), "differences per site");
  }
}

TEST(DNAModel, InfiniteSitesMakesEveryMutationASite) {
  SiteSwitches keep;
  TSimSettings::useInfiniteSiteModel = 1;
  const TBlock block = makeBlock(DataType::DNA, 1, muFor(3.0));
  SiteRun run(sampledDemes({3}), 16, {block});
  for (int r = 0; r < 200; ++r) {
    ASSERT_TRUE(run.newTree());
    const long placed = run.demes().sprinkleDNAMutationsNoRec(block);
    ASSERT_EQ(placed, run.sitesInMemory());
    for (int s = 0; s < placed; ++s) EXPECT_EQ(run.derivedCount(s) > 0, true);
  }
}

TEST(DNAModel, MutationCountsOnNodesBelongToTheCurrentTree) {
  SiteSwitches keep;
  const TBlock block = makeBlock(DataType::DNA, 50, muFor(0.5));
  SiteRun run(sampledDemes({4}), 17, {block});
  for (int r = 0; r < 50; ++r) {
    ASSERT_TRUE(run.newTree());
    const long placed = run.demes().sprinkleDNAMutationsNoRec(block);
    long onNodes = 0;
    for (int i = 0; i < run.demes().tree.nodes.count; ++i)
      onNodes += run.demes().tree.nodes.items[i].numMutations;
    EXPECT_EQ(onNodes, placed);
  }
}

TEST(DNAModel, AnImpossibleNumberOfMutationsFailsTheDataSet) {
  SiteSwitches keep;
  const TBlock block = makeBlock(DataType::DNA, 1000, 1e6);  // about 4e12 mutations
  SiteRun run(sampledDemes({4}), 18, {block});
  ASSERT_TRUE(run.newTree());
  testing::internal::CaptureStderr();
  EXPECT_EQ(run.demes().sprinkleDNAMutationsNoRec(block), -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("too many to hold"), std::string::npos) << err;
  EXPECT_TRUE(run.demes().siteStorage.failed());
  EXPECT_EQ(run.sitesInMemory(), 0);
}

struct MicrosatCase {
  double g;
  double expectedSquare;  // E[(x1 - x2)^2] / theta
};

class MicrosatModel : public testing::TestWithParam<MicrosatCase> {};

TEST_P(MicrosatModel, SquaredDifferenceOfTwoGenes) {
  SiteSwitches keep;
  const double theta = 1.0;
  TBlock block = makeBlock(DataType::MICROSAT, 1, muFor(theta));
  block.geometricParam = GetParam().g;
  SiteRun run(sampledDemes({2}), 19, {block});
  MeanSE square, equal;
  for (int r = 0; r < 100000; ++r) {
    ASSERT_TRUE(run.newTree());
    ASSERT_GE(run.demes().sprinkleMicrosatMutationsNoRec(block), 0);
    ASSERT_EQ(run.sitesInMemory(), 1);  // every locus is a site
    const double d = run.state(0, 0) - run.state(1, 0);
    square.add(d * d);
    equal.add(d == 0);
  }
  expectMean(square, theta * GetParam().expectedSquare, "E[(x1 - x2)^2]");
  if (GetParam().g <= 0) expectMean(equal, 1.0 / std::sqrt(1.0 + 2.0 * theta), "P(equal)");
}

INSTANTIATE_TEST_SUITE_P(Steps, MicrosatModel,
                         testing::Values(MicrosatCase{0.0, 1.0}, MicrosatCase{0.5, 6.0},
                                         MicrosatCase{1.5, 1.0}));

TEST(MicrosatRange, StatesStayInsideTheConstraint) {
  SiteSwitches keep;
  struct Range { int x, min, max; };
  for (Range range : {Range{4, -1, 2}, Range{5, -2, 2}, Range{2, 0, 1}}) {
    for (double g : {0.0, 0.3}) {
      TBlock block = makeBlock(DataType::MICROSAT, 20, muFor(20.0));
      block.rangeConstraint = range.x;
      block.geometricParam = g;
      SiteRun run(sampledDemes({6}), 20, {block});
      bool reachedMin = false, reachedMax = false;
      for (int r = 0; r < 20; ++r) {
        ASSERT_TRUE(run.newTree());
        ASSERT_GE(run.demes().sprinkleMicrosatMutationsNoRec(block), 0);
        EXPECT_EQ(run.demes().microsatMinAllele, range.min);
        EXPECT_EQ(run.demes().microsatMaxAllele, range.max);
        for (int s = 0; s < run.sitesInMemory(); ++s)
          for (int t = 0; t < 6; ++t) {
            ASSERT_GE(run.state(t, s), range.min);
            ASSERT_LE(run.state(t, s), range.max);
            reachedMin |= run.state(t, s) == range.min;
            reachedMax |= run.state(t, s) == range.max;
          }
      }
      EXPECT_TRUE(reachedMin && reachedMax);
    }
  }
}

TEST(MicrosatRange, HugeGeometricStepsFailStorageWithTheLocus) {
  SiteSwitches keep;
  TBlock block = makeBlock(DataType::MICROSAT, 3, muFor(50.0));
  block.geometricParam = 1.0 - 1e-12;  // steps of about 1e12 repeats
  SiteRun run(sampledDemes({4}), 21, {block});
  ASSERT_TRUE(run.newTree());
  testing::internal::CaptureStderr();
  EXPECT_EQ(run.demes().sprinkleMicrosatMutationsNoRec(block), -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("chromosome 1, locus 1: allele state"), std::string::npos) << err;
  EXPECT_NE(err.find("outside the range of stored states"), std::string::npos) << err;
}

TEST(StandardModel, TipStateOfTwoGenesIsGeometric) {
  SiteSwitches keep;
  const double mu = 0.5 / kN;  // mu N = 0.5
  const TBlock block = makeBlock(DataType::STANDARD, 1, mu);
  SiteRun run(sampledDemes({2}), 22, {block});
  const double q = mu * kN / (1.0 + mu * kN);
  MeanSE zero, one, mean;
  for (int r = 0; r < 100000; ++r) {
    ASSERT_TRUE(run.newTree());
    const long placed = run.demes().sprinkleStandardMutationsNoRec(block);
    ASSERT_EQ(placed, run.state(0, 0) + run.state(1, 0));  // each branch ends at a tip
    zero.add(run.state(0, 0) == 0);
    one.add(run.state(0, 0) == 1);
    mean.add(run.state(0, 0));
  }
  expectMean(zero, 1.0 - q, "P(state 0)");
  expectMean(one, (1.0 - q) * q, "P(state 1)");
  expectMean(mean, q / (1.0 - q), "mean state");
}

TEST(NoRecDriver, RFLPBlocksGetNoSitesAndPositionsFollowTheStructure) {
  SiteSwitches keep;
  const std::vector<TBlock> blocks = {makeBlock(DataType::RFLP, 3, 1e-3),
                                      makeBlock(DataType::MICROSAT, 2, 1e-4),
                                      makeBlock(DataType::STANDARD, 2, 1e-4)};
  SiteRun run(sampledDemes({3}), 23, blocks);
  ASSERT_TRUE(run.newTree());
  ASSERT_GE(run.demes().sprinkleMutationsNoRec(run.settings, 0, 0), 0);
  ASSERT_EQ(run.records[0].numElems, 4);
  const long positions[] = {3, 4, 5, 6};
  const int types[] = {0, 0, 4, 4};
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(run.records[0][s].pos, positions[s]);
    EXPECT_EQ(run.records[0][s].dataType, types[s]);
  }
}

TEST(SiteLists, GrowthStepsAreSaneAndGrowthIsGeometric) {
  SiteSwitches keep;
  SiteRun run(sampledDemes({3}), 24, {makeBlock(DataType::STANDARD, 1, 1e-4)});
  ASSERT_TRUE(run.newTree());
  TTree& tree = run.demes().tree;
  tree.resetStepPolymSites(0);
  EXPECT_EQ(tree.nodes.items[0].polymSites->growStep, 1);
  tree.resetStepPolymSites(200000000L);
  EXPECT_EQ(tree.nodes.items[0].polymSites->growStep, 65536);
  TSimSettings::numPolSitesToKeepInMemory = 0;  // no limit
  const TBlock block = makeBlock(DataType::STANDARD, 100000, 1e-6);
  ASSERT_GE(run.demes().sprinkleStandardMutationsNoRec(block), 0);
  const MY_TArrayAsVector<short>& list = *tree.nodes.items[0].polymSites;
  EXPECT_EQ(list.numElems, 100000);
  EXPECT_LE(list.capacity, 2 * list.numElems);
  TSimSettings::numPolSitesToKeepInMemory = 1000;  // a list never grows past the limit
  SiteRun limited(sampledDemes({3}), 24, {block});
  ASSERT_TRUE(limited.newTree());
  WorkFolder folder("growth");
  ASSERT_GE(limited.demes().sprinkleStandardMutationsNoRec(block), 0);
  EXPECT_EQ(limited.demes().tree.nodes.items[0].polymSites->capacity, 1000);
  limited.demes().removeTempFiles();
}

TEST(SiteCaches, TreeLengthAndCountsFollowTheCurrentTree) {
  SiteSwitches keep;
  TBlock block = makeBlock(DataType::SNP, 1, 0.0);  // a SNP at every locus
  block.minFreq = 0.5;
  SiteRun run(sampledDemes({6}), 25, {block});
  ASSERT_TRUE(run.newTree());
  long locus = 0;
  run.demes().sprinkleSNPMutationsRec(locus, block, false);
  ASSERT_TRUE(run.newTree());  // a new tree that the caller calls unchanged
  run.demes().sprinkleSNPMutationsRec(locus, block, true);
  EXPECT_GE(run.derivedCount(0), 3);  // the threshold is applied with this tree's counts
  const TNode& root = *run.demes().tree.root;
  EXPECT_EQ(run.demes().tree.treeLength, root.calcTreeSizeC());
  EXPECT_EQ(root.numDesc, 6);
  for (int i = 0; i < run.demes().tree.nodes.count; ++i) {
    const TNode& node = run.demes().tree.nodes.items[i];
    if (node.desc1) {
      EXPECT_EQ(node.numDesc, node.desc1->numDesc + node.desc2->numDesc);
    }
  }
}

TEST(DNAModel, PositionsBeyondThirtyTwoBitsAreKept) {
  SiteSwitches keep;
  const long first = 3000000000L;
  SiteRun run(sampledDemes({3}), 26, {makeBlock(DataType::DNA, 1, 1e-3)});
  ASSERT_TRUE(run.newTree());
  const double length = run.demes().tree.root->calcTreeSizeC();
  ASSERT_GT(run.demes().sprinkleDNAMutationsNoRec(first, first + 100, 1e-4, 0.33, length), 0);
  for (int s = 0; s < run.records[0].numElems; ++s) {
    EXPECT_GE(run.records[0][s].pos, first);
    EXPECT_LT(run.records[0][s].pos, first + 100);
  }
}

TEST(StandardModel, CountsBeyondTheStoredRangeFailWithTheLocus) {
  SiteSwitches keep;
  const TBlock block = makeBlock(DataType::STANDARD, 2, 100.0);  // about 1e5 mutations a branch
  SiteRun run(sampledDemes({3}), 27, {block});
  ASSERT_TRUE(run.newTree());
  testing::internal::CaptureStderr();
  EXPECT_EQ(run.demes().sprinkleStandardMutationsNoRec(block), -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("chromosome 1, locus 1: allele state"), std::string::npos) << err;
}

TEST(SNPModel, AscertainedSNPsArePolymorphicInThePanel) {
  SiteSwitches keep;
  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedDeme = 0;
  TSimSettings::ascertainedSize = 3;
  const TBlock block = makeBlock(DataType::SNP, 10, 0.0);  // a SNP at every locus
  SiteRun run(sampledDemes({8}), 28, {block});
  for (int r = 0; r < 300; ++r) {
    ASSERT_TRUE(run.newTree());
    run.acceptForAscertainment();
    ASSERT_EQ(run.demes().sprinkleSNPMutationsNoRec(block), 10);
    for (int s = 0; s < 10; ++s) {
      int inPanel = 0;
      for (int g = 0; g < 3; ++g) inPanel += run.state(g, s) == 3;
      EXPECT_TRUE(inPanel == 1 || inPanel == 2) << "site " << s << " of tree " << r;
      for (int g = 0; g < 8; ++g) EXPECT_TRUE(run.state(g, s) == 0 || run.state(g, s) == 3);
    }
  }
}

TEST(MicrosatRange, NoCoinIsDrawnAtABound) {
  // In the range 0 .. 1 every state is at a bound, so each single step moves
  // inward without a coin: the draws are those of a STANDARD block of the
  // same rate (a coin would change every later draw), and each state is the
  // parity of the STANDARD one.
  SiteSwitches keep;
  TBlock msat = makeBlock(DataType::MICROSAT, 400, muFor(2.0));
  msat.rangeConstraint = 2;
  const TBlock standard = makeBlock(DataType::STANDARD, 400, muFor(2.0));
  SiteRun a(sampledDemes({5}), 29, {msat});
  SiteRun b(sampledDemes({5}), 29, {standard});
  ASSERT_TRUE(a.newTree());
  ASSERT_TRUE(b.newTree());
  ASSERT_GE(a.demes().sprinkleMicrosatMutationsNoRec(msat), 0);
  ASSERT_GE(b.demes().sprinkleStandardMutationsNoRec(standard), 0);
  int changed = 0;
  for (int s = 0; s < 400; ++s)
    for (int g = 0; g < 5; ++g) {
      ASSERT_EQ(a.state(g, s), b.state(g, s) % 2) << "site " << s << " gene " << g;
      changed += a.state(g, s);
    }
  EXPECT_GT(changed, 100);
}

}  // namespace
