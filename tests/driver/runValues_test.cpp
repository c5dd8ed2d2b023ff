// The values and process-wide switches an accepted command line leaves for the
// run loop, read in-process after readCommandLine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "driver/commandLine.h"
#include "driver/runFile.h"
#include "driver/runOptions.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "support/anyoption.h"
#include "support/globals.h"

namespace {

namespace fs = std::filesystem;

// Saves the switches the command line sets and restores them after each case.
struct SwitchSnapshot {
  int numBatches = TSimSettings::numBatches, numThreads = TSimSettings::numThreads;
  int ascDeme = TSimSettings::ascertainedDeme, ascSize = TSimSettings::ascertainedSize;
  int keep = TSimSettings::numPolSitesToKeepInMemory, maxSnps = TSimSettings::maxNumSNPs;
  int infinite = TSimSettings::useInfiniteSiteModel;
  double tol = TSimSettings::brentTOL;
  bool tree = TSimSettings::outputTree, daf = TSimSettings::compDAF, maf = TSimSettings::compMAF;
  bool allSites = TSimSettings::printAllSites, asc = TSimSettings::SNPascertainment;
  bool pooled = TSimSettings::computePooledSFS, multi = TSimSettings::isMultiSFS;
  bool mono = AFS::includeMonoSites;
  double minEntry = AFS::minValidSFSEntry;
  bool quendrel = OUTPUT_QUENDREL, snp = OUTPUT_DNA_AS_SNP, console = consoleOutput;

  void restore() const {
    TSimSettings::numBatches = numBatches;
    TSimSettings::numThreads = numThreads;
    TSimSettings::ascertainedDeme = ascDeme;
    TSimSettings::ascertainedSize = ascSize;
    TSimSettings::numPolSitesToKeepInMemory = keep;
    TSimSettings::maxNumSNPs = maxSnps;
    TSimSettings::useInfiniteSiteModel = infinite;
    TSimSettings::brentTOL = tol;
    TSimSettings::outputTree = tree;
    TSimSettings::compDAF = daf;
    TSimSettings::compMAF = maf;
    TSimSettings::printAllSites = allSites;
    TSimSettings::SNPascertainment = asc;
    TSimSettings::computePooledSFS = pooled;
    TSimSettings::isMultiSFS = multi;
    AFS::includeMonoSites = mono;
    AFS::minValidSFSEntry = minEntry;
    OUTPUT_QUENDREL = quendrel;
    OUTPUT_DNA_AS_SNP = snp;
    consoleOutput = console;
  }
};

SwitchSnapshot const kDefaults;  // taken before any case runs

struct ValueCase {
  char const* label;
  std::vector<std::string> args;  // "@" stands for the folder holding the input files
  std::function<void(RunOptions const&, std::string const& dir)> check;
};

void PrintTo(ValueCase const& c, std::ostream* os) { *os << c.label; }

class RunValues : public testing::TestWithParam<ValueCase> {
 protected:
  static void SetUpTestSuite() {
    dir = (fs::path(testing::TempDir()) / ("brv_values_" + std::to_string(getpid()))).string();
    fs::create_directories(dir);
    for (char const* name : {"m.par", "t.tpl", "p.est", "d.def"})
      std::ofstream(fs::path(dir) / name) << "x\n";
  }
  static void TearDownTestSuite() { fs::remove_all(dir); }
  void TearDown() override { kDefaults.restore(); }
  static std::string dir;
};
std::string RunValues::dir;

TEST_P(RunValues, AreSetForTheRunLoop) {
  ValueCase const& c = GetParam();
  std::vector<std::string> words{"brimvane"};
  for (std::string a : c.args) {
    if (!a.empty() && a[0] == '@') a = dir + "/" + a.substr(1);
    words.push_back(a);
  }
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  AnyOption opt;
  ArgumentVector newArg;
  RunOptions run;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int const status =
      readCommandLine(static_cast<int>(words.size()), argv.data(), opt, newArg, run);
  std::string const out = testing::internal::GetCapturedStdout();
  std::string const err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(status, CONTINUE_RUN) << out << err;
  c.check(run, dir);
}

ValueCase const kCases[] = {
    {"Defaults",
     {"-i", "@m.par", "-n", "5"},
     [](RunOptions const& r, std::string const& dir) {
       EXPECT_FALSE(r.useTemplate);
       EXPECT_STREQ(r.modelFileName.c_str(), (dir + "/m.par").c_str());
       EXPECT_STREQ(r.lhoodFileName.c_str(), "m/m.lhoods");
       EXPECT_EQ(r.numSims, 5);
       EXPECT_EQ(r.maxNumSims, 5);
       EXPECT_EQ(r.numBoot, 0);
       EXPECT_EQ(r.numRepetitions, 1);
       EXPECT_EQ(r.numEstimations, 1);
       EXPECT_FALSE(r.seedGiven);
       EXPECT_FALSE(r.maximizeLikelihood);
       EXPECT_EQ(TSimSettings::numBatches, 12);
       EXPECT_EQ(TSimSettings::numThreads, 1);
       EXPECT_EQ(TSimSettings::numPolSitesToKeepInMemory, 100000);
       EXPECT_FALSE(TSimSettings::SNPascertainment);
       EXPECT_TRUE(consoleOutput);
       EXPECT_TRUE(OUTPUT_QUENDREL);
       EXPECT_TRUE(AFS::includeMonoSites);
       EXPECT_GT(r.startTime.tv_sec, 0);
       EXPECT_FALSE(r.startFolder.is_null());
     }},
    {"EveryOutputSwitch",
     {"-i", "@m.par", "-n", "5", "-k", "2.9", "-s", "-3", "-P", "-u", "-d", "-m", "-S", "-I",
      "-x", "-q", "-T", "-0", "-C", "2.5", "-g", "-p", "-D", "-j", "-b", "3", "-r", "-5", "-R",
      "4", "-a", "1", "-A", "6", "-o", "out.lh", "-B", "4", "-c", "0", "-H"},
     [](RunOptions const& r, std::string const&) {
       EXPECT_EQ(TSimSettings::numPolSitesToKeepInMemory, 2);
       EXPECT_TRUE(OUTPUT_DNA_AS_SNP);
       EXPECT_EQ(TSimSettings::maxNumSNPs, 0);
       EXPECT_TRUE(TSimSettings::computePooledSFS);
       EXPECT_FALSE(TSimSettings::isMultiSFS);  // -P wins over -u
       EXPECT_TRUE(TSimSettings::compDAF);
       EXPECT_TRUE(TSimSettings::compMAF);
       EXPECT_TRUE(TSimSettings::printAllSites);
       EXPECT_EQ(TSimSettings::useInfiniteSiteModel, 1);
       EXPECT_FALSE(OUTPUT_QUENDREL);
       EXPECT_FALSE(consoleOutput);
       EXPECT_TRUE(TSimSettings::outputTree);
       EXPECT_FALSE(AFS::includeMonoSites);
       EXPECT_DOUBLE_EQ(AFS::minValidSFSEntry, 2.5);
       EXPECT_TRUE(r.genotypic && r.phased && r.dadiOutput && r.folderPerSFS);
       EXPECT_EQ(r.numBoot, 3);
       EXPECT_TRUE(r.seedGiven);
       EXPECT_EQ(r.seed, 5);
       EXPECT_EQ(r.numRepetitions, 4);
       EXPECT_TRUE(TSimSettings::SNPascertainment);
       EXPECT_EQ(TSimSettings::ascertainedDeme, 1);
       EXPECT_EQ(TSimSettings::ascertainedSize, 6);
       EXPECT_STREQ(r.lhoodFileName.c_str(), "out.lh");
       EXPECT_EQ(TSimSettings::numBatches, 4);
       EXPECT_EQ(TSimSettings::numThreads, 0);
     }},
    {"MultiSFSAndSnpCount",
     {"-i", "@m.par", "-n", "5", "--multiSFS", "--dnatosnp=250", "-c", "16"},
     [](RunOptions const&, std::string const&) {
       EXPECT_TRUE(TSimSettings::isMultiSFS);
       EXPECT_EQ(TSimSettings::maxNumSNPs, 250);
       EXPECT_EQ(TSimSettings::numThreads, 12);
     }},
    {"RepairedBatches",
     {"-i", "@m.par", "-n", "5", "-B", "-2"},
     [](RunOptions const&, std::string const&) { EXPECT_EQ(TSimSettings::numBatches, 1); }},
    {"SeedIn64Bits",
     {"-i", "@m.par", "-n", "5", "-r", "-2147483649"},
     [](RunOptions const& r, std::string const&) { EXPECT_EQ(r.seed, 2147483649LL); }},
    {"RecomputedDefinition",
     {"-t", "@t.tpl", "-F", "@d.def", "-e", "@p.est", "-E", "7", "-n", "5"},
     [](RunOptions const& r, std::string const& dir) {
       EXPECT_TRUE(r.useTemplate);
       EXPECT_TRUE(r.recomputeComplexParams && r.defFileGiven && r.priorFileGiven);
       EXPECT_EQ(r.numEstimations, 1);
       EXPECT_STREQ(r.lhoodFileName.c_str(), "t/t.lhoods");  // named after the template
       EXPECT_STREQ(r.paramFileName.c_str(), (dir + "/t.params").c_str());
       EXPECT_STREQ(r.defFileName.c_str(), (dir + "/d.def").c_str());
     }},
    {"DefinitionOnly",
     {"-t", "@t.tpl", "-f", "@d.def", "-n", "5", "-E", "9"},
     [](RunOptions const& r, std::string const&) {
       EXPECT_FALSE(r.priorFileGiven);
       EXPECT_FALSE(r.recomputeComplexParams);
       EXPECT_EQ(r.numEstimations, 1);
       EXPECT_STREQ(r.lhoodFileName.c_str(), "t/t.lhoods");
     }},
    {"TruncatedEstimations",
     {"-t", "@t.tpl", "-e", "@p.est", "-E", "2.9", "-n", "5"},
     [](RunOptions const& r, std::string const&) { EXPECT_EQ(r.numEstimations, 2); }},
    {"Estimation",
     {"-t", "@t.tpl", "-e", "@p.est", "-n", "5", "-M", "0.02", "-d", "-N", "100.8", "-l", "3",
      "-L", "7", "-w", "0.05"},
     [](RunOptions const& r, std::string const&) {
       EXPECT_TRUE(r.maximizeLikelihood);
       EXPECT_DOUBLE_EQ(r.stopCriterion, 0.02);
       EXPECT_EQ(r.numEstimations, 1);
       EXPECT_EQ(r.maxNumSims, 100);
       EXPECT_EQ(r.minLoops, 3);
       EXPECT_EQ(r.maxLoops, 7);
       EXPECT_DOUBLE_EQ(TSimSettings::brentTOL, 0.05);
     }},
    {"ToleranceIgnoredWithoutEstimation",
     {"-i", "@m.par", "-n", "5", "-w", "0.05", "-l", "3"},
     [](RunOptions const& r, std::string const&) {
       EXPECT_DOUBLE_EQ(TSimSettings::brentTOL, 0.01);
       EXPECT_EQ(r.minLoops, 10);
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, RunValues, testing::ValuesIn(kCases),
                         [](testing::TestParamInfo<ValueCase> const& info) {
                           return std::string(info.param.label);
                         });

}  // namespace
