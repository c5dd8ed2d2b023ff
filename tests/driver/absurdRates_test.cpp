// Rates that cannot be meant: a rate above 1 per site and generation is refused
// when the model is read; with rates up to 1, a data set whose chromosome would
// need more recombination points or mutations than can be held fails at once,
// with a message naming the chromosome, the block and the rate, instead of
// running for hours or overflowing its counts.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/driver/runFolder.h"

namespace {

// One deme of 1000 genes (or the size given), 4 sampled; two chromosomes of
// the given blocks.
std::string tinyModel(const std::vector<std::string>& blocks, const std::string& size = "1000") {
  std::string t =
      "//Number of population samples (demes)\n1\n//Population effective sizes (number of "
      "genes)\n" + size + "\n//Sample sizes\n4\n//Growth rates\n0\n//Number of migration matrices\n0\n"
      "//historical event\n0 historical event\n//Number of independent loci [chromosome]\n2 0\n"
      "//Per chromosome: Number of linkage blocks\n" +
      std::to_string(blocks.size()) +
      "\n//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n";
  for (const std::string& b : blocks) t += b + "\n";
  return t;
}

// A refused model must say so at once: the run of the blocks, which must end
// with status 1 within half a second and write no data set.
RunOutput runRefused(RunFolder& f, const std::vector<std::string>& blocks,
                     const std::string& size, const std::vector<std::string>& options) {
  f.write("a.par", tinyModel(blocks, size));
  std::vector<std::string> args{"-i", "a.par", "-n", "1", "-q", "-r", "3"};
  args.insert(args.end(), options.begin(), options.end());
  const auto start = std::chrono::steady_clock::now();
  const RunOutput r = f.run(args);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, 1);
  EXPECT_LT(seconds, 0.5);
  EXPECT_FALSE(f.exists("a/a_1_1.qdp"));
  return r;
}

const char* const kPoints = " recombination points expected at a recombination rate of ";
const char* const kDNA = " DNA mutations expected at a mutation rate of ";
const char* const kSNP = " SNP mutations expected at a mutation rate of ";
const char* const kMicrosat = " MICROSAT mutations expected at a mutation rate of ";
const char* const kStandard = " STANDARD mutations expected at a mutation rate of ";

// The message after "Error: chromosome 1, block ", the count written as @.
std::string failure(const char* block, const char* what, const char* rate) {
  return std::string(block) + ": about @" + what + rate +
         " are too many to hold (at most 268435456); is the rate right?";
}

struct AbsurdCase {
  const char* name;
  std::vector<std::string> blocks;
  std::vector<std::string> options;
  std::string failure;
  std::string size = "1000";  // genes of the deme: huge ones make rates of 1 absurd
};

class AbsurdRates : public testing::TestWithParam<AbsurdCase> {};

TEST_P(AbsurdRates, FailTheDataSetAtOnceWithAMessage) {
  const AbsurdCase& c = GetParam();
  RunFolder f("absurd");
  const RunOutput r = runRefused(f, c.blocks, c.size, c.options);
  std::string pattern = "Error: chromosome 1, block " + c.failure;
  pattern = std::regex_replace(pattern, std::regex("[.()+?]"), "\\$&");
  pattern = std::regex_replace(pattern, std::regex("@"), "[0-9.e+]+");
  EXPECT_TRUE(std::regex_search(r.err, std::regex(pattern))) << pattern << "\n" << r.err;
  EXPECT_NE(r.err.find("Simulation 1 of run 1: chromosome 1 of 2 could not be simulated"),
            std::string::npos)
      << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AbsurdRates,
    testing::Values(
        AbsurdCase{"RecRateOnePerSiteOnALongBlock", {"DNA 10000000 1 1e-8 0.33"}, {},
                   failure("1", kPoints, "1")},
        AbsurdCase{"DNAMutationRateOneOnARecombiningBlock", {"DNA 1000000 1e-8 1 0.33"}, {},
                   failure("1", kDNA, "1")},
        AbsurdCase{"TheSameAsSecondBlock", {"SNP 10 1e-5 1e-5 0", "DNA 1000000 1e-8 1 0.33"},
                   {}, failure("2", kDNA, "1")},
        AbsurdCase{"MicrosatRecRateOne", {"MICROSAT 10000000 1 1e-4 0 0"}, {},
                   failure("1", kPoints, "1")},
        AbsurdCase{"DNAMutationRateOneWithoutRecombination", {"DNA 1000000 0 1 0.33"}, {},
                   failure("1", kDNA, "1")},
        AbsurdCase{"SNPMutationRateOneInfiniteSites", {"SNP 1000000 1e-8 1 0"}, {"-I"},
                   failure("1", kSNP, "1")},
        // Each MICROSAT or STANDARD mutation is walked: rates of at most 1 on
        // demes of 1e8 genes (some 1e9 mutations) fail before the walk.
        AbsurdCase{"MicrosatRate1OnAHugeDeme", {"MICROSAT 10 0 1 0 0"}, {},
                   failure("1", kMicrosat, "1"), "100000000"},
        AbsurdCase{"ConstrainedRecombiningMicrosat", {"MICROSAT 10 1e-9 1 0 11"}, {},
                   failure("1", kMicrosat, "1"), "100000000"},
        AbsurdCase{"MicrosatAsSecondBlock", {"SNP 10 0 1e-9 0", "MICROSAT 10 0 0.5 0.3 0"}, {},
                   failure("2", kMicrosat, "0.5"), "100000000"},
        AbsurdCase{"StandardRate1OnAHugeDeme", {"STANDARD 10 0 1"}, {},
                   failure("1", kStandard, "1"), "100000000"}),
    [](const testing::TestParamInfo<AbsurdCase>& info) { return std::string(info.param.name); });

// A state that a MICROSAT block without range constraint (large geometric
// steps) or a STANDARD block (long paths) walks beyond the 16-bit storage
// fails its data set, naming the locus, instead of being wrapped or clamped.
TEST(StoredStates, StatesBeyondTheStorageFailTheDataSet) {
  for (const auto& [size, block] : std::vector<std::pair<std::string, std::string>>{
           {"1000000", "MICROSAT 1 0 1e-3 0.999 0"}, {"10000000", "STANDARD 1 0 1e-2"}}) {
    RunFolder f("storage");
    f.write("a.par", tinyModel({block}, size));
    const RunOutput r = f.run({"-i", "a.par", "-n", "1", "-q", "-r", "3"});
    EXPECT_EQ(r.status, 1) << block;
    const std::regex message("Error: chromosome 1, locus 1: allele state -?[0-9]+ is outside the "
                             "range of stored states \\(-32768 to 32767\\)\n");
    EXPECT_TRUE(std::regex_search(r.err, message)) << block << "\n" << r.err;
    EXPECT_FALSE(f.exists("a/a_1_1.qdp")) << block;
  }
}

// Above 1 (and shares outside 0 to 1) the model itself is refused, before any
// simulation.
struct RefusedCase {
  const char* name;
  std::vector<std::string> blocks;
  std::vector<std::string> options;
  std::string message;  // after "Error in model file "a.par", line "
  std::string why = ": a rate per site and generation is at most 1\n";
};

class RatesAboveOne : public testing::TestWithParam<RefusedCase> {};

TEST_P(RatesAboveOne, RefuseTheModelWhenItIsRead) {
  const RefusedCase& c = GetParam();
  RunFolder f("above_one");
  const RunOutput r = runRefused(f, c.blocks, "1000", c.options);
  EXPECT_NE(r.err.find("Error in model file \"a.par\", line " + c.message + c.why),
            std::string::npos)
      << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RatesAboveOne,
    testing::Values(
        RefusedCase{"RecRate2To31", {"DNA 10 2147483648 1e-8 0.33"}, {},
                    "18: the recombination rate of block 1 is 2147483648"},
        RefusedCase{"RecRate1e20", {"MICROSAT 10 1e20 1e-4 0 0"}, {},
                    "18: the recombination rate of block 1 is 1e+20"},
        RefusedCase{"DNAMutationRate2To31WithoutRecombination", {"DNA 10 0 2147483648 0.33"}, {},
                    "18: the mutation rate of block 1 is 2147483648"},
        RefusedCase{"DNAMutationRate1e3OfSecondBlock",
                    {"SNP 10 1e-5 1e-5 0", "DNA 100000 1e-8 1e3 0.33"}, {},
                    "19: the mutation rate of block 2 is 1000"},
        RefusedCase{"SNPMutationRate1e20InfiniteSites", {"SNP 10 1e-8 1e20 0"}, {"-I"},
                    "18: the mutation rate of block 1 is 1e+20"},
        RefusedCase{"DNATransitionRate33", {"DNA 10 0 1e-8 33"}, {},
                    "18: the transition rate of block 1 is 33", ": it is a share, from 0 to 1\n"},
        RefusedCase{"DNANegativeTransitionRate", {"SNP 10 0 1e-8 0", "DNA 10 0 1e-8 -0.1"}, {},
                    "19: the transition rate of block 2 is -0.1", ": it is a share, from 0 to 1\n"},
        RefusedCase{"MicrosatGeometricOne", {"MICROSAT 10 0 1e-4 1 0"}, {},
                    "18: the geometric parameter of block 1 is 1",
                    ": it lies from 0 up to, not including, 1\n"},
        RefusedCase{"MicrosatGeometric5", {"MICROSAT 10 0 1e-4 5 0"}, {},
                    "18: the geometric parameter of block 1 is 5",
                    ": it lies from 0 up to, not including, 1\n"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

}  // namespace
