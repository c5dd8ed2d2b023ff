// Seeding of the batch generators: seeds next to each other (the usual
// replicate habit -r 1, 2, 3 ...) must give unrelated batch streams, and the
// data of a run must still not depend on the number of threads.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "driver/runSeeding.h"
#include "runFolder.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

using Draws = std::vector<double>;

Draws firstDraws(const GlobalRandom& g) {
  return Draws(g.uniformBuffer, g.uniformBuffer + 8);
}

// The first draws of every batch generator, and of the main generator, of a seed.
std::vector<Draws> streamsOf(long long seed, int numBatches) {
  seedBatchGenerators(seed, numBatches);
  std::vector<Draws> streams;
  for (int b = 0; b < numBatches; ++b) streams.push_back(firstDraws(ranGenArray[b]));
  GlobalRandom main;
  main.InitializeGenerator(static_cast<long>(seed));
  streams.push_back(firstDraws(main));
  return streams;
}

TEST(RunSeeding, NearbySeedsShareNoGeneratorStream) {
  const std::vector<long long> seeds = {0, 1, 2, 3, 13, 14, 1000, 1001, 999999};
  for (const int numBatches : {12, MAX_NUM_BATCHES}) {
    std::map<Draws, std::string> owner;
    for (const long long seed : seeds) {
      const std::vector<Draws> streams = streamsOf(seed, numBatches);
      for (size_t b = 0; b < streams.size(); ++b) {
        const std::string name = "seed " + std::to_string(seed) +
                                 (b + 1 == streams.size() ? " main" : " batch " + std::to_string(b));
        const auto [it, fresh] = owner.emplace(streams[b], name);
        EXPECT_TRUE(fresh) << name << " repeats the stream of " << it->second;
      }
    }
  }
}

TEST(RunSeeding, BatchSeedsAreFixedAndSpreadOverTheGeneratorStates) {
  EXPECT_EQ(batchGeneratorSeed(13, 4), batchGeneratorSeed(13, 4));
  std::set<long> starts;
  for (const long long seed : {13LL, 14LL})
    for (int b = 0; b < 12; ++b) {
      const long s = batchGeneratorSeed(seed, b);
      EXPECT_GE(s, RANDOM_SEED_BASE);
      EXPECT_LT(s, RANDOM_SEED_BASE + RANDOM_MODULUS);
      starts.insert(s);
    }
  EXPECT_EQ(starts.size(), 24u);
}

// Twelve non-recombining chromosomes, one per batch: each tree of the tree
// file comes from one batch stream.
const char* kTwelveChromosomes =
    "//Number of population samples (demes)\n1\n//Population effective sizes\n10000\n"
    "//Sample sizes\n6\n//Growth rates\n0\n//Number of migration matrices\n0\n"
    "//historical event\n0 historical event\n//Number of independent loci\n12 0\n"
    "//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate\nDNA 100 0 1e-6 0.33\n";

// The Newick texts of the genealogies written by a run, in file order.
std::vector<std::string> treesOfRun(const std::string& seed, const std::string& threads) {
  RunFolder f("seeding_trees");
  f.write("chrom.par", kTwelveChromosomes);
  const RunOutput r = f.run({"-i", "chrom.par", "-n", "2", "-T", "-q", "-r", seed, "-c", threads});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> trees;
  for (const std::string& line : linesOf(f.read("chrom/chrom_1_true_trees.trees"))) {
    const size_t at = line.find(" = [&U] ");
    if (at != std::string::npos) trees.push_back(line.substr(at + 8));
  }
  EXPECT_EQ(trees.size(), 24u) << seed;
  return trees;
}

TEST(RunSeeding, ConsecutiveSeedsShareNoChromosome) {
  const std::vector<std::string> a = treesOfRun("13", "1");
  const std::vector<std::string> b = treesOfRun("14", "1");
  const std::set<std::string> first(a.begin(), a.end());
  for (const std::string& t : b) EXPECT_EQ(first.count(t), 0u) << t;
  EXPECT_EQ(treesOfRun("14", "4"), b);  // the same trees in the same order
}

}  // namespace
