// Four-gamete-test statistics: the test of one pair of sites, exact failure
// counts by distance class on hand-made data sets (one thread or several),
// demes without a genotype block, the enumeration of pairs in 64 bits, and
// the observed distribution's reader.
#include "sfs/F4GT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/model/tempFolder.h"
#include "tests/sfs/handDataSet.h"

namespace {

// A block of one gene per gamete of two sites.
TLocusAsShortIntArray gametes(const std::vector<std::pair<short, short>>& list) {
  TLocusAsShortIntArray block(static_cast<int>(list.size()), 2);
  for (size_t g = 0; g < list.size(); ++g) {
    block.rows[g][0] = list[g].first;
    block.rows[g][1] = list[g].second;
  }
  return block;
}

struct PairCase {
  const char* name;
  std::vector<std::pair<short, short>> gametes;
  bool fails;
};

class FourGametePair : public testing::TestWithParam<PairCase> {};

// Thread and batch counts, restored on exit.
struct ThreadSwitches {
  int threads = TSimSettings::numThreads, batches = TSimSettings::numBatches;
  ~ThreadSwitches() {
    TSimSettings::numThreads = threads;
    TSimSettings::numBatches = batches;
  }
};

}  // namespace

// The ancestral haplotype (0, 0) is implied by the root, so the three other
// gametes are enough to show recombination; any three with (0, 0) are not.
TEST_P(FourGametePair, FailsWhenTheThreeDerivedGametesOccur) {
  const TLocusAsShortIntArray block = gametes(GetParam().gametes);
  EXPECT_EQ(failsFourGameteTest(block, 0, 1), GetParam().fails);
  EXPECT_EQ(TGameteMasks(block).fails(0, 1), GetParam().fails);
}

INSTANTIATE_TEST_SUITE_P(
    Gametes, FourGametePair,
    testing::Values(PairCase{"AllFour", {{0, 0}, {0, 1}, {1, 0}, {1, 1}}, true},
                    PairCase{"ThreeWithoutDerivedPair", {{0, 0}, {0, 1}, {1, 0}}, false},
                    PairCase{"ThreeWithoutDerivedFirst", {{0, 0}, {0, 1}, {1, 1}}, false},
                    PairCase{"ThreeWithoutDerivedSecond", {{0, 0}, {1, 0}, {1, 1}}, false},
                    PairCase{"ThreeDerivedOnly", {{0, 1}, {1, 0}, {1, 1}}, true},
                    PairCase{"TwoGametes", {{0, 0}, {0, 0}, {1, 1}, {1, 1}}, false},
                    PairCase{"OtherDerivedStates", {{0, 0}, {0, 2}, {3, 0}, {3, 3}}, true},
                    PairCase{"Monomorphic", {{0, 0}, {0, 0}}, false}),
    [](const testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

// Pairs are enumerated in order k < l; their number needs 64 bits beyond
// 65,536 sites.
TEST(FourGameteTest, PairsEnumeratedInOrderAndCountedIn64Bits) {
  const int n = 7;
  long long index = 0;
  for (int k = 0; k < n; ++k)
    for (int l = k + 1; l < n; ++l, ++index) {
      const locPair p = pairAtIndex(index, n);
      EXPECT_EQ(p.loc1, k);
      EXPECT_EQ(p.loc2, l);
    }
  EXPECT_EQ(numSitePairs(n), index);
  EXPECT_EQ(numSitePairs(100000), 4999950000LL);
  EXPECT_EQ(numSitePairs(1), 0);
}

namespace {

// Four genes in deme 0 and two in deme 1 at four sites of one chromosome:
// pairs (0,1) at distance 5 and (1,2) at 15 fail in deme 0, the other four
// pass; deme 1 is monomorphic.
void fillSites(HandDataSet& h) {
  h.site(0, 0, DataType::SNP, {0, 0, 1, 1, 0, 0});
  h.site(0, 5, DataType::SNP, {0, 1, 0, 1, 0, 0});
  h.site(0, 20, DataType::SNP, {0, 0, 1, 1, 0, 0});
  h.site(0, 100, DataType::SNP, {0, 1, 1, 1, 0, 0});
  h.store();
}

const char* const kClasses = "distance classes\n10\n\n 5 0\n100\n";

}  // namespace

// Classes 10, 50, 100: distances 5 | 15, 20 | 80, 95 (100 falls in no class).
TEST(FourGameteTest, ExactFailureCountsByDistanceClass) {
  TempFolder folder("f4gt_counts");
  writeFile("recDist_4gt.txt", kClasses);
  ThreadSwitches saved;
  const std::string expected =
      "Deme 0, Chromosome 0 : 6 pairs of loci compared\n10\t50\t100\n1\t2\t2\n1\t0.5\t0\n"
      "Deme 1, Chromosome 0 : 6 pairs of loci compared\n10\t50\t100\n1\t2\t2\n0\t0\t0\n";
  for (int threads : {1, 3}) {
    TSimSettings::numThreads = threads;
    TSimSettings::numBatches = 4;
    HandDataSet h(handModel({4, 2}, 1, {"SNP 200 0 1e-8 0"}));
    fillSites(h);
    const std::string name = "out_" + std::to_string(threads) + ".4GT";
    h.s.f4GTFileName = name.c_str();
    h.s.computeF4GTstats();
    EXPECT_EQ(readFile(name), expected) << threads << " threads";
  }
}

// Without the class file every pair falls in no class; a deme whose block is
// missing is skipped with a message.
TEST(FourGameteTest, NoClassFileAndMissingBlock) {
  TempFolder folder("f4gt_missing");
  HandDataSet h(handModel({4, 2}, 1, {"SNP 200 0 1e-8 0"}));
  fillSites(h);
  MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = h.s.demeCollection.demes[1].loci;
  delete loci[0];
  loci[0] = nullptr;
  h.s.f4GTFileName = "out.4GT";
  testing::internal::CaptureStderr();
  h.s.computeF4GTstats();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Cannot open file recDist_4gt.txt containing distance classes"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("deme 1 has no genotype block for chromosome 0"), std::string::npos) << err;
  EXPECT_EQ(readFile("out.4GT"), "Deme 0, Chromosome 0 : 6 pairs of loci compared\n\n\n\n");
}

// Counts over many pairs do not depend on the number of threads or chunks.
TEST(FourGameteTest, ChunksOnThreadsGiveTheSameCounts) {
  ThreadSwitches saved;
  GlobalRandom rng;
  rng.InitializeGenerator(11);
  const int genes = 70, n = 400;
  TLocusAsShortIntArray block(genes, n);
  MY_TArrayAsVector<TPolymSiteInfo> sites(n, 10);
  for (int k = 0; k < n; ++k) {
    TPolymSiteInfo info;
    info.pos = 3 * k;
    sites.Add(info);
    for (int g = 0; g < genes; ++g) {
      const double u = rng.takeUniform();  // a few negative and multi-state values too
      block.rows[g][k] = u < 0.03 ? -1 : u < 0.06 ? 4 : u < 0.1 ? 2 : u < 0.12 ? 1 : 0;
    }
  }
  // 70 genes: the bit sets take two words per site.
  const TGameteMasks masks(block);
  for (int k = 0; k < n; k += 7)
    for (int l = k + 1; l < n; l += 3)
      ASSERT_EQ(masks.fails(k, l), failsFourGameteTest(block, k, l));
  MY_TArrayAsVector<double> classes(10, 10);
  for (double b : {10.0, 100.0, 500.0, 2000.0}) classes.Add(b);
  std::vector<long long> f1(4), p1(4);
  TSimSettings::numThreads = 1;
  countF4GTFailures(block, 0, sites, classes, f1.data(), p1.data());
  long long total = 0;
  for (int c = 0; c < 4; ++c) total += f1[c] + p1[c];
  EXPECT_EQ(total, numSitePairs(n));  // every distance is below the last bound
  for (auto [threads, batches] : {std::pair<int, int>{2, 12}, {4, 7}, {3, 100000}}) {
    TSimSettings::numThreads = threads;
    TSimSettings::numBatches = batches;
    std::vector<long long> f(4), p(4);
    countF4GTFailures(block, 0, sites, classes, f.data(), p.data());
    EXPECT_EQ(f, f1) << threads << " threads, " << batches << " chunks";
    EXPECT_EQ(p, p1) << threads << " threads, " << batches << " chunks";
  }
}

// The observed distribution: one deme's block of a result file.
TEST(FourGameteObserved, ReadsOneDemeBlock) {
  std::istringstream is(
      "Deme 0, Chromosome 0 : 6 pairs of loci compared\n10\t50\t100.7\n3\t2\t2\n0.5\t0.5\t0\n");
  TF4GTDistr d;
  ASSERT_TRUE(d.readObsFGTDistr(is));
  EXPECT_EQ(d.numClasses, 3);
  EXPECT_EQ(d.maxDistance, 100);
  EXPECT_EQ(d.numPairs[0], 3);
  EXPECT_EQ(d.numFailures[0], 1);  // int(3 x 0.5)
  EXPECT_EQ(d.numFailures[1], 1);
  EXPECT_DOUBLE_EQ(d.failureProps[2], 0.0);
}

struct BadObserved {
  const char* name;
  const char* text;
  const char* message;
};

class FourGameteObservedRefused : public testing::TestWithParam<BadObserved> {};

TEST_P(FourGameteObservedRefused, WithAMessage) {
  std::istringstream is(GetParam().text);
  TF4GTDistr d;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(d.readObsFGTDistr(is));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(GetParam().message), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FourGameteObservedRefused,
    testing::Values(BadObserved{"FewerPairs", "title\n10\t50\t100\n3\t2\n0.5\t0.5\t0\n",
                                "hold 3 bounds, 2 pair counts and 3 failure shares"},
                    BadObserved{"MoreShares", "title\n10\n3\n0.5 0.1\n",
                                "hold 1 bounds, 1 pair counts and 2"},
                    BadObserved{"MissingLine", "title\n10\t50\n3\t2\n",
                                "line 4 (the failure shares) is missing"},
                    BadObserved{"NotANumber", "title\n10\tfar\n3\t2\n0\t0\n",
                                "line 2 (the class bounds): \"far\""},
                    // Values that no 64-bit count or share holds.
                    BadObserved{"InfiniteBound", "title\n10\tinf\n3\t2\n0\t0\n",
                                "line 2 (the class bounds): \"inf\" is not a finite number"},
                    BadObserved{"Bound1e30", "title\n1e30\n3\n0\n",
                                "line 2 (the class bounds): \"1e30\" is too large to be held"},
                    BadObserved{"Pairs2To63", "title\n10\n9223372036854775808\n0.5\n",
                                "line 3 (the pairs per class): \"9223372036854775808\" is too "
                                "large to be held (at most 9.2e18)"},
                    BadObserved{"PairsNaN", "title\n10\nnan\n0.5\n",
                                "line 3 (the pairs per class): \"nan\" is not a finite number"},
                    BadObserved{"Share1e300", "title\n10\n3\n1e300\n",
                                "line 4 (the failure shares): \"1e300\" is not a share between 0 "
                                "and 1"}),
    [](const testing::TestParamInfo<BadObserved>& info) { return std::string(info.param.name); });

// Through the settings: the file in the current folder or the one above.
TEST(FourGameteObserved, ReadThroughTheSettings) {
  TempFolder folder("f4gt_obs");
  writeFile("model_4GT.obs", "title\n10\t50\n4\t2\n0.25\t1\n");
  writeFile("sub/keep.txt", "");
  TSimSettings s;
  s.f4GTFileName = "model_4GT.obs";
  EXPECT_TRUE(s.readObs4GTDistr(false));
  ASSERT_NE(TSimSettings::F4GTDistr, nullptr);
  EXPECT_EQ(TSimSettings::F4GTDistr->numClasses, 2);
  EXPECT_EQ(TSimSettings::F4GTDistr->numFailures[1], 2);
  s.f4GTFileName = "absent_4GT.obs";
  EXPECT_FALSE(s.readObs4GTDistr(false));
  std::filesystem::current_path("sub");
  s.f4GTFileName = "model_4GT.obs";
  EXPECT_TRUE(s.readObs4GTDistr(true));
  std::filesystem::current_path("..");
  releaseF4GTDistr();
  EXPECT_EQ(TSimSettings::F4GTDistr, nullptr);
}

// The recombination count that nothing calls: 0 without a distance, else an
// integer 10^(U log10 x) below the inflated mean x.
TEST(FourGameteObserved, RecombinationCountWithinItsBound) {
  HandDataSet h(handModel({4}, 1, {"SNP 10 0 1e-8 0"}));
  h.s.recRate = 1e-6;
  h.s.demeCollection.tree.treeLength = 0.004;  // 4000 generations
  EXPECT_EQ(h.s.computeNumRecs(), 0);          // no observed distribution
  TSimSettings::F4GTDistr = new TF4GTDistr();
  TSimSettings::F4GTDistr->maxDistance = 10000;
  const double x = 4000 * 1e-6 * 10000;  // 40 recombinations over the largest distance
  const double bound = x + 2.326348 * std::sqrt(x);
  int largest = 0;
  for (int k = 0; k < 200; ++k) {
    const int n = h.s.computeNumRecs();
    EXPECT_GE(n, 1);
    EXPECT_LE(n, bound);
    if (n > largest) largest = n;
  }
  EXPECT_GT(largest, 20);
  releaseF4GTDistr();
}
