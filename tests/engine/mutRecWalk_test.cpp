// Mutations along recombining chromosomes, on first trees and replays from
// the engine: recombination points per interval against r x E[tree length],
// the report of the points, and the sites of every block.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "engine/siteModel.h"

namespace {

constexpr double kN = 1000.0;

// A SiteRun whose chromosomes recombine.
class RecRun : public SiteRun {
 public:
  RecRun(const ModelDesc& desc, long seed, const std::vector<TBlock>& blocks, int numChrom = 1)
      : SiteRun(desc, seed, blocks, numChrom) {
    fillList(settings.demeSizes, desc.sizes);
    fillList(settings.growthRates, std::vector<double>(desc.sizes.size(), 0.0));
    TDemeCollection& d = demes();
    d.isRecombining = true;
    d.numBlocks = static_cast<int>(blocks.size());
    d.numSites = 0;
    for (const TBlock& b : blocks) d.numSites += b.numLoci;
  }

  // Chromosome c: first tree, every marker, storage; false on any failure.
  bool chromosome(int c) {
    TDemeCollection& d = demes();
    d.curChrom = c;
    records[c].numElems = 0;
    d.curPolSitesInfo = &records[c];
    d.tree.resetNodePolymSites();
    d.numTempFileFlushes = 0;
    d.reset(model.sizes, model.rates);
    if (d.buildFirstTreeForRecCT(c) != 1) return false;
    if (d.sprinkleMutationsRec(settings, 0) != 1) return false;
    return d.storeChromosomeStates();
  }
};

void expectMean(const MeanSE& m, double expected, const char* what) {
  std::printf("  %s: measured %.5f +- %.5f, theory %.5f\n", what, m.mean(), m.se(), expected);
  EXPECT_NEAR(m.mean(), expected, 5.0 * m.se()) << what;
}

struct WalkCase {
  const char* name;
  DataType type;
  double recRate;  // per locus interval and generation
};

class RecombiningWalk : public testing::TestWithParam<WalkCase> {};

// E[points on a chromosome of L loci] = (L - 1) r E[tree length] = (L - 1) r 2N a_n;
// every point is reported for a locus 1 .. L - 1 of its chromosome.
TEST_P(RecombiningWalk, PointsPerChromosomeAndTheirLoci) {
  SiteSwitches keep;
  const int n = 5, L = 12, numChrom = 10000;
  TBlock block = makeBlock(GetParam().type, L, 2e-5);
  block.recRate = GetParam().recRate;
  RecRun run(sampledDemes({n}), 61, {block}, numChrom);
  MeanSE points;
  for (int c = 0; c < numChrom; ++c) {
    const int before = run.demes().totNumRecs;
    ASSERT_TRUE(run.chromosome(c)) << "chromosome " << c;
    points.add(run.demes().totNumRecs - before);
  }
  const TDemeCollection& d = run.demes();
  ASSERT_EQ(d.recPosInfo.numElems, d.totNumRecs);
  for (int i = 0; i < d.recPosInfo.numElems; ++i) {
    ASSERT_GE(d.recPosInfo[i].locus, 1);
    ASSERT_LT(d.recPosInfo[i].locus, L) << "a point at or past the last locus";
  }
  expectMean(points, (L - 1) * GetParam().recRate * 2.0 * kN * harmonic(n - 1),
             "recombination points per chromosome");
}

INSTANTIATE_TEST_SUITE_P(
    Types, RecombiningWalk,
    testing::Values(WalkCase{"SNP", DataType::SNP, 2e-5}, WalkCase{"Microsat", DataType::MICROSAT, 2e-5},
                    WalkCase{"DNASkips", DataType::DNA, 2e-5},
                    WalkCase{"DNALocusByLocus", DataType::DNA, 1e-3}),
    [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

// Two genes on DNA blocks of L loci, with the infinite-site switch so that
// every site is one mutation and a difference between the genes: the points
// of a chromosome have mean (L - 1) r 2N and the differences L mu 2N, for any
// r, whether intervals hold far less than one point or many.
struct LawCase {
  const char* name;
  double recRate;
  int numChrom;
};

class DNAWalkLaw : public testing::TestWithParam<LawCase> {};

TEST_P(DNAWalkLaw, PointsAndPairwiseDifferencesOfTwoGenes) {
  SiteSwitches keep;
  TSimSettings::useInfiniteSiteModel = 1;
  const int L = 50;
  const double mu = 1e-4;
  TBlock block = makeBlock(DataType::DNA, L, mu);
  block.recRate = GetParam().recRate;
  const int numChrom = GetParam().numChrom;
  RecRun run(sampledDemes({2}), 81, {block}, numChrom);
  MeanSE points, differences;
  for (int c = 0; c < numChrom; ++c) {
    const long long before = run.demes().totNumRecs;
    ASSERT_TRUE(run.chromosome(c)) << "chromosome " << c;
    points.add(static_cast<double>(run.demes().totNumRecs - before));
    const TLocusAsShortIntArray* genes = run.demes().demes[0].loci[c];
    int k = 0;
    for (int s = 0; s < genes->numSites; ++s) k += genes->rows[0][s] != genes->rows[1][s];
    differences.add(k);
  }
  std::printf("  r = %g:\n", GetParam().recRate);
  expectMean(points, (L - 1) * GetParam().recRate * 2.0 * kN, "points per chromosome");
  expectMean(differences, L * mu * 2.0 * kN, "pairwise differences");
}

INSTANTIATE_TEST_SUITE_P(
    Rates, DNAWalkLaw,
    testing::Values(LawCase{"r2e_5", 2e-5, 20000}, LawCase{"r3e_4", 3e-4, 20000},
                    LawCase{"r1e_3", 1e-3, 20000}, LawCase{"r3e_3", 3e-3, 8000},
                    LawCase{"r1e_2", 1e-2, 3000}),
    [](const testing::TestParamInfo<LawCase>& info) { return std::string(info.param.name); });

// A DNA block of many trees, about 1.4 points per interval, with the
// infinite-site switch (every mutation a site): the sites of every window of
// loci have mean mu x loci x E[tree length], from the first window to the last.
// Windows are taken on the stored positions, which start at 0 (the project
// file lists them from 1).
struct WindowCase {
  const char* name;
  ModelDesc desc;
  double meanLength;  // generations
  friend void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }
};

class SitesAlongAChromosome : public testing::TestWithParam<WindowCase> {};

TEST_P(SitesAlongAChromosome, SitesPerWindowAreFlat) {
  SiteSwitches keep;
  TSimSettings::useInfiniteSiteModel = 1;
  const int windows = 10, perWindow = 20, L = windows * perWindow, numChrom = 10000;
  const double length = GetParam().meanLength, mu = 1.0 / length;  // a site per locus
  TBlock dna = makeBlock(DataType::DNA, L, mu);
  dna.recRate = 1.4 / length;
  RecRun run(GetParam().desc, 141, {dna}, numChrom);
  std::vector<MeanSE> sites(windows);
  for (int c = 0; c < numChrom; ++c) {
    ASSERT_TRUE(run.chromosome(c)) << "chromosome " << c;
    std::vector<int> count(windows, 0);
    for (int s = 0; s < run.records[c].numElems; ++s) ++count[run.records[c][s].pos / perWindow];
    for (int w = 0; w < windows; ++w) sites[w].add(count[w]);
  }
  const double expected = mu * perWindow * length;
  std::printf("  %s: first window %.3f +- %.3f, last %.3f +- %.3f, theory %.3f\n", GetParam().name,
              sites.front().mean(), sites.front().se(), sites.back().mean(), sites.back().se(),
              expected);
  for (int w = 0; w < windows; ++w)
    EXPECT_NEAR(sites[w].mean(), expected, 5 * sites[w].se()) << "window " << w;
}

INSTANTIATE_TEST_SUITE_P(
    Models, SitesAlongAChromosome,
    testing::Values(WindowCase{"OneDeme", sampledDemes({8}), kingmanTreeMeans(8, kN).length},
                    WindowCase{"TwoDemesMigrating", ModelDesc{{1000, 1000}, {4, 4}, {}, 5e-4},
                               islandTreeMeans(4, 4, kN, 5e-4).length}),
    [](const testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

TEST(RecombiningWalk, BlockBoundariesAreDrawnOnce) {
  // Two DNA blocks whose recombination stops at the block ends: points come
  // only from the rate between the blocks, once per chromosome.
  SiteSwitches keep;
  const int n = 4, numChrom = 10000;
  TBlock first = makeBlock(DataType::DNA, 5, 1e-5);
  TBlock second = makeBlock(DataType::DNA, 5, 1e-5);
  first.recRate = 1e-3;  // h >= 1: locus by locus inside the block
  second.recRate = 1e-3;
  RecRun run(sampledDemes({n}), 71, {first, second}, numChrom);
  run.settings.blocks[0][1].recRateToPrevious = 1e-3;
  run.demes().numBlocks = 2;
  MeanSE points;
  for (int c = 0; c < numChrom; ++c) {
    const int before = run.demes().totNumRecs;
    ASSERT_TRUE(run.chromosome(c));
    points.add(run.demes().totNumRecs - before);
  }
  for (int i = 0; i < run.demes().recPosInfo.numElems; ++i)
    ASSERT_LT(run.demes().recPosInfo[i].locus, 10);
  expectMean(points, 9 * 1e-3 * 2.0 * kN * harmonic(n - 1), "points over 9 intervals");
}

TEST(RecombiningWalk, AnRFLPFirstBlockStillLeavesSitesToTheLaterBlocks) {
  SiteSwitches keep;
  TBlock rflp = makeBlock(DataType::RFLP, 1, 1e-3);
  TBlock snp = makeBlock(DataType::SNP, 10, 0.0);  // one SNP per locus
  rflp.recRate = snp.recRate = snp.recRateToPrevious = 1e-4;
  RecRun run(sampledDemes({4}), 63, {rflp, snp}, 1);
  run.settings.blocks[0][1].recRateToPrevious = 1e-4;
  ASSERT_TRUE(run.chromosome(0));
  ASSERT_EQ(run.records[0].numElems, 10);
  for (int s = 0; s < 10; ++s) EXPECT_EQ(run.records[0][s].pos, s + 1);
}

TEST(RecombiningWalk, StatesDoNotDependOnTheInMemoryLimit) {
  SiteSwitches keep;
  WorkFolder folder("reclimit");
  TBlock dna = makeBlock(DataType::DNA, 200, 1e-4);
  dna.recRate = 1e-5;
  TBlock msat = makeBlock(DataType::MICROSAT, 5, 1e-4);
  msat.recRate = msat.recRateToPrevious = 1e-4;
  std::vector<std::vector<short>> states[2];
  for (int i = 0; i < 2; ++i) {
    TSimSettings::numPolSitesToKeepInMemory = i == 0 ? 3 : 100000;
    RecRun run(sampledDemes({4}), 64, {dna, msat}, 3);
    run.settings.blocks[0][1].recRateToPrevious = 1e-4;
    for (int c = 0; c < 3; ++c) ASSERT_TRUE(run.chromosome(c));
    EXPECT_EQ(run.demes().anySitesSpilled(), i == 0);
    TChromStateReader reader(run.demes());
    for (int c = 0; c < 3; ++c)
      for (int g = 0; g < 4; ++g) {
        const short* s = reader.states(0, g, c);
        ASSERT_NE(s, nullptr) << reader.error();
        states[i].emplace_back(s, s + reader.numSites(c));
      }
  }
  EXPECT_EQ(states[0], states[1]);
  EXPECT_EQ(folder.entries(), 0);
}

TEST(RecombiningWalk, MarkersFarDownTheChromosomeKeepTheMutationLaw) {
  // Two genes, about one point per interval: the last marker's tree is a
  // fresh coalescent tree, so E[(x1 - x2)^2] = theta for single steps.
  SiteSwitches keep;
  const double theta = 1.0;
  const int L = 20, numChrom = 20000;
  TBlock msat = makeBlock(DataType::MICROSAT, L, theta / (2.0 * kN));
  msat.recRate = 1.0 / (2.0 * kN);
  RecRun run(sampledDemes({2}), 65, {msat}, numChrom);
  MeanSE square;
  for (int c = 0; c < numChrom; ++c) {
    ASSERT_TRUE(run.chromosome(c));
    ASSERT_EQ(run.records[c].numElems, L);
    const TLocusAsShortIntArray* block = run.demes().demes[0].loci[c];
    const double d = block->rows[0][L - 1] - block->rows[1][L - 1];
    square.add(d * d);
  }
  expectMean(square, theta, "E[(x1 - x2)^2] at the last marker");
}

TEST(RecombiningWalk, ATinyRateWithinADNABlockSkipsToItsEnd) {
  // h = r x G of about 1e-11: the skip over loci is far beyond the block
  // (it would overflow a 32-bit count); the block is one segment on one tree.
  SiteSwitches keep;
  TBlock dna = makeBlock(DataType::DNA, 5000, 1e-6);
  dna.recRate = 1e-15;
  RecRun run(sampledDemes({4}), 66, {dna}, 20);
  for (int c = 0; c < 20; ++c) {
    ASSERT_TRUE(run.chromosome(c));
    for (int s = 0; s < run.records[c].numElems; ++s) {
      ASSERT_GE(run.records[c][s].pos, 0);
      ASSERT_LT(run.records[c][s].pos, 5000);
    }
  }
  EXPECT_EQ(run.demes().totNumRecs, 0);
}

}  // namespace
