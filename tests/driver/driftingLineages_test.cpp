// Models whose lineages drift apart faster than they meet (demes growing into
// the past while they exchange many migrants) end each genealogy at the step
// limit, quickly and with the reason, whichever builder makes it; models that
// converge slowly in time but in few steps still complete.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/driver/runFolder.h"

namespace {

constexpr unsigned kTimeLimit = 20;  // seconds; a hang is killed and fails the test

// Two demes of the given size and growth rate (per generation, positive:
// larger into the past) exchanging migrants at rate m; 8 and 6 genes sampled.
std::string twoDemes(const std::string& size, const std::string& growth, const std::string& m,
                     const std::string& block) {
  return "//Number of population samples (demes)\n2\n"
         "//Population effective sizes (number of genes)\n" + size + "\n" + size +
         "\n//Sample sizes\n8\n6\n//Growth rates\n" + growth + "\n" + growth +
         "\n//Number of migration matrices\n1\n//Migration matrix 0\n0 " + m + "\n" + m +
         " 0\n//historical event\n0 historical event\n"
         "//Number of independent loci [chromosome]\n2 0\n"
         "//Per chromosome: Number of linkage blocks\n1\n"
         "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n" +
         block + "\n";
}

struct DriftCase {
  const char* name;
  const char* growth;
  const char* block;
};

class DriftingLineages : public testing::TestWithParam<DriftCase> {};

TEST_P(DriftingLineages, EveryTreeEndsAtTheStepLimitWithTheReason) {
  const DriftCase& c = GetParam();
  RunFolder f("drifting");
  f.write("g.par", twoDemes("1000000000", c.growth, "0.1", c.block));
  const auto start = std::chrono::steady_clock::now();
  const RunOutput r = f.run({"-i", "g.par", "-n", "1", "-q", "-r", "1", "-c", "1"}, kTimeLimit);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.status, 1) << r.err;  // -1: killed at the time limit
  EXPECT_LT(seconds, 8.0);  // well under a second unloaded; such a run took minutes
  EXPECT_NE(r.err.find("Simulations did not converge. MRCA not found! (14 lineages remaining "
                       "after 1000000 steps, the most one genealogy may take: its lineages "
                       "migrate far more often than they meet)\n"
                       "Unable to build coalescent tree for chromosome 1\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Simulation 1 of run 1: chromosome 1 of 2 could not be simulated"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(f.exists("g/g_1_1.qdp"));
}

INSTANTIATE_TEST_SUITE_P(
    Builders, DriftingLineages,
    testing::Values(DriftCase{"PlainTreeGrowth1e7", "1e-7", "DNA 100 0 1e-8 0.33"},
                    DriftCase{"PlainTreeGrowth1e6", "1e-6", "MICROSAT 5 0 1e-5 0 0"},
                    DriftCase{"RecordedFirstTree", "1e-7", "DNA 100 1e-8 1e-8 0.33"}),
    [](const testing::TestParamInfo<DriftCase>& info) { return std::string(info.param.name); });

// Demes of 1000 genes exchanging one migrant in a million generations: trees
// of about 5e5 generations but few steps, on recombining chromosomes too;
// every data set is written.
TEST(DriftingLineages, SlowlyConvergingModelCompletes) {
  RunFolder f("slow");
  f.write("g.par", twoDemes("1000", "0", "1e-6", "DNA 1000 1e-9 1e-8 0.33"));
  const RunOutput r =
      f.run({"-i", "g.par", "-n", "20", "-q", "-r", "5", "-c", "1"}, kTimeLimit);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("converge"), std::string::npos) << r.err;
  EXPECT_TRUE(f.exists("g/g_1_20.qdp"));
}

}  // namespace
