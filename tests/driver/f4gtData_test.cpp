// The four-gamete statistics of simulated data sets (switch set by the test):
// computed from the genotype blocks of every chromosome after the data set is
// merged. Without recombination no pair of SNPs can fail; with it, distant
// pairs do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/expSFSBatches.h"
#include "driver/geneticOutputs.h"
#include "driver/geneticRun.h"
#include "driver/runSeeding.h"
#include "tests/model/tempFolder.h"
#include "tests/sfs/handDataSet.h"

namespace {

struct FourGameteData {
  bool f4gt = TSimSettings::doF4GT, console = consoleOutput;
  int threads = TSimSettings::numThreads, batches = TSimSettings::numBatches;
  FourGameteData() {
    TSimSettings::doF4GT = true;
    consoleOutput = false;
    TSimSettings::numThreads = 1;
    TSimSettings::numBatches = 2;
    TSimSettings::outputTree = false;
  }
  ~FourGameteData() {
    TSimSettings::doF4GT = f4gt;
    consoleOutput = console;
    TSimSettings::numThreads = threads;
    TSimSettings::numBatches = batches;
  }
};

// Failure shares of the last class of each chromosome's block in a result file,
// after checking that every block compared all pairs of its chromosome's sites.
std::vector<double> lastClassShares(const std::string& text) {
  std::vector<double> shares;
  std::istringstream is(text);
  std::string title, bounds, pairs, share;
  for (int chrom = 0; std::getline(is, title); ++chrom) {
    std::getline(is, bounds);
    std::getline(is, pairs);
    std::getline(is, share);
    const long long n = TDemeCollection::polSitesInfo[chrom].numElems;
    EXPECT_EQ(title, "Deme 0, Chromosome " + std::to_string(chrom) + " : " +
                         std::to_string(n * (n - 1) / 2) + " pairs of loci compared");
    std::istringstream values(share);
    double v = 0;
    while (values >> v) {
    }
    shares.push_back(v);
  }
  return shares;
}

std::vector<double> simulate(const std::string& block) {
  std::filesystem::remove("sim_1.4GT");  // results are appended
  FourGameteData switches;
  HandDataSet h(handModel({8}, 2, {block}));
  seedBatchGenerators(37, 100);
  setUpGeneticCollection(h.s);
  computeInitDemeSizeCT(h.s.demeCollection);
  h.s.runPrefix = "sim";
  TGeneticRunOutputs out;
  EXPECT_TRUE(h.s.generateTreeAndMutationsMultiThreaded(0, out));
  EXPECT_STREQ(h.s.f4GTFileName.c_str(), "sim_1.4GT");
  h.s.computeF4GTstats();
  return lastClassShares(readFile("sim_1.4GT"));
}

}  // namespace

TEST(FourGameteData, FailuresOnlyWithRecombination) {
  TempFolder folder("f4gt_data");
  writeFile("recDist_4gt.txt", "classes\n10\n100\n1000\n");
  const std::vector<double> none = simulate("SNP 600 0 1e-4 0");
  ASSERT_EQ(none.size(), 2u);
  for (double s : none) EXPECT_EQ(s, 0.0);
  const std::vector<double> some = simulate("SNP 600 1e-4 1e-4 0");
  ASSERT_EQ(some.size(), 2u);
  for (double s : some) EXPECT_GT(s, 0.0);
  RecordProperty("shares_beyond_100_loci", std::to_string(some[0]) + " " + std::to_string(some[1]));
}
