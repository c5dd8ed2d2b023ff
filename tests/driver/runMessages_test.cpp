// Messages of runs that do less than the user may think, or fail: each says
// what happened and why, and only what applies. The outputs stay as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "runFolder.h"

namespace {

constexpr unsigned kTimeLimit = 60;  // seconds; each run here takes well under one

// Replaces the first occurrence of from in the file, which must hold it.
void edit(const RunFolder& f, const std::string& file, const std::string& from,
          const std::string& to) {
  std::string text = f.read(file);
  const size_t p = text.find(from);
  ASSERT_NE(p, std::string::npos) << file << ": " << from;
  text.replace(p, from.size(), to);
  f.write(file, text);
}

// The DNA example with one structure per chromosome (two chromosomes).
void writeTwoStructures(const RunFolder& f) {
  f.copyExample("dnaTwoDemes");
  edit(f, "dnaTwoDemes.par", "1 0\n//Per chromosome: Number of linkage blocks\n1\n",
       "2 1\n//Per chromosome: Number of linkage blocks\n1\n");
  std::string text = f.read("dnaTwoDemes.par");
  f.write("dnaTwoDemes.par", text + "//Structure 2: blocks\n1\n//per Block\nDNA 500 0 2e-8 0.33\n");
}

// The one-deme example of a million genes declining towards the present:
// going back in time it grows so fast that no coalescence is ever drawn.
void writeGrowingBackInTime(const RunFolder& f) {
  f.copyExample("oneDeme");
  edit(f, "oneDeme.par", "10000\n", "1000000\n");
  edit(f, "oneDeme.par", "expansion\n0\n", "expansion\n0.01\n");
}

// The project file of the first data set cannot be written: a folder stands
// at its name.
void blockFirstProjectFile(const RunFolder& f) {
  f.copyExample("dnaTwoDemes");
  std::filesystem::create_directories(f.path() / "dnaTwoDemes" / "dnaTwoDemes_1_1.qdp");
}

// The split template with a complex parameter that the template never uses.
void writeUnusedComplexParameter(const RunFolder& f) {
  f.copyExample("splitTemplate");
  f.write("split.est", f.read("split.est") + "[COMPLEX PARAMETERS]\n1 NHALF = NPOP1/2\n");
}

// The DNA example with a block of SNPs before its DNA block.
void writeSnpAndDnaBlocks(const RunFolder& f) {
  f.copyExample("dnaTwoDemes");
  edit(f, "dnaTwoDemes.par", "linkage blocks\n1\n", "linkage blocks\n2\n");
  edit(f, "dnaTwoDemes.par", "DNA 20000", "SNP 100 0 1e-3 0.1\nDNA 20000");
}

struct MessageCase {
  const char* name;
  std::function<void(const RunFolder&)> setUp;
  std::vector<std::string> args;
  int status;
  std::string expected;  // in the standard error stream
  std::string absent;    // nowhere in it (empty: no check)
};

const char* const kNoSpectrum =
    "Warning: no spectrum was asked for, so no expected spectrum and no likelihood are computed "
    "and the likelihood table \"oneDeme/oneDeme.lhoods\" holds none: -d asks for derived-allele "
    "spectra, -m for minor-allele spectra (and -M, the estimation, needs one of them)\n";
const char* const kNoTrees =
    "Warning: no tree file is written (-T): the model \"dnaTwoDemes.par\" has 2 chromosome "
    "structures, and trees are written only for a model with a single structure\n";
const char* const kNoSpectra = " of the simulated data sets are not computed: ";
const char* const kLostDataSet =
    "1 simulated data sets could not be simulated or written (see the messages above)";

const MessageCase kCases[] = {
    {"FrequencyDataWithoutSpectrum", [](const RunFolder& f) { f.copyExample("oneDeme"); },
     {"-i", "oneDeme.par", "-n", "20", "-q", "-r", "1"}, 0, kNoSpectrum, ""},
    {"FrequencyDataWithSpectrum", [](const RunFolder& f) { f.copyExample("oneDeme"); },
     {"-i", "oneDeme.par", "-n", "20", "-m", "-q", "-r", "1"}, 0, "", "no spectrum was asked"},
    {"TreesOfSeveralStructures", writeTwoStructures,
     {"-i", "dnaTwoDemes.par", "-n", "1", "-T", "-q", "-r", "1"}, 0, kNoTrees, ""},
    {"TreesOfOneStructure", [](const RunFolder& f) { f.copyExample("dnaTwoDemes"); },
     {"-i", "dnaTwoDemes.par", "-n", "1", "-T", "-q", "-r", "1"}, 0, "", "no tree file"},
    {"ShortFirstMigrationRow",
     [](const RunFolder& f) {
       f.copyExample("twoDemes");
       edit(f, "twoDemes.par", "0 0.0005\n0.0005 0\n", "0\n0.0005 0\n");
     },
     {"-i", "twoDemes.par", "-n", "20", "-d", "-q"}, 1,
     "Error in model file \"twoDemes.par\", line 15: migration matrix 0 has the wrong size: row "
     "0 holds 1 values where 2 were expected\n",
     "holds more than"},
    {"GenealogyThatGivesUpAtOnce", writeGrowingBackInTime,
     {"-i", "oneDeme.par", "-n", "20", "-d", "-q", "-r", "1"}, 1,
     "Simulations did not converge. MRCA not found! (10 lineages remaining, none of which can "
     "coalesce or migrate any more: the demes that hold them grow too fast back in "
     "time)\nNum. steps in coalescent process: 1\n",
     "1000001"},
    {"LostProjectFileWithoutSpectra", blockFirstProjectFile,
     {"-i", "dnaTwoDemes.par", "-n", "2", "-q", "-r", "1"}, 1, std::string(kLostDataSet) + "\n",
     "likelihoods are nan"},
    {"LostProjectFileWithSpectra", blockFirstProjectFile,
     {"-i", "dnaTwoDemes.par", "-n", "2", "-d", "-s", "0", "-q", "-r", "1"}, 1,
     std::string(kLostDataSet) + ": their likelihoods and spectrum rows are nan\n", ""},
    {"SpectraOfMicrosatellites", [](const RunFolder& f) { f.copyExample("microsat"); },
     {"-i", "microsat.par", "-n", "2", "-d", "-s", "0", "-q", "-r", "1"}, 0,
     std::string("Warning: the derived-allele spectra (-d)") + kNoSpectra +
         "they are counted from SNP or DNA data, and the model's data are MICROSAT\n",
     ""},
    {"SpectraOfDnaWithoutSnpOption", [](const RunFolder& f) { f.copyExample("dnaTwoDemes"); },
     {"-i", "dnaTwoDemes.par", "-n", "2", "-m", "-q", "-r", "1"}, 0,
     std::string("Warning: the minor-allele spectra (-m)") + kNoSpectra +
         "DNA sites enter the spectra only when they are written as SNPs: add -s 0 (every "
         "site) or -s <n> (at most n sites)\n",
     ""},
    {"SpectraOfMixedBlocks", writeSnpAndDnaBlocks,
     {"-i", "dnaTwoDemes.par", "-n", "2", "-d", "-m", "-s", "0", "-q", "-r", "1"}, 0,
     std::string("Warning: the derived- and minor-allele spectra (-d, -m)") + kNoSpectra +
         "the model mixes data types (blocks of several types, or chromosomes of different "
         "types), and the spectra are counted from models whose blocks are all SNP, or all DNA "
         "with -s\n",
     ""},
    {"SpectraOfDnaAsSnps", [](const RunFolder& f) { f.copyExample("dnaTwoDemes"); },
     {"-i", "dnaTwoDemes.par", "-n", "2", "-d", "-s", "0", "-k", "20", "-q", "-r", "1"}, 0, "",
     "Warning"},
    {"RecomputedComplexParameterUnused", writeUnusedComplexParameter,
     {"-t", "split.tpl", "-F", "split.def", "-e", "split.est", "-n", "20", "-d", "-q", "-r", "1"},
     0,
     "Warning: parameter \"NHALF\" of the prior file \"split.est\" occurs neither in the template "
     "\"split.tpl\" nor in the equation of a complex parameter that does: its values change "
     "nothing\n",
     "column \"NHALF\""},
    // The model made from a template stays in memory: its errors name the
    // template and its line. With a definition file alone the complex
    // parameters (GROW1 here) stay as words in it.
    {"ComplexParametersWithoutPriorFile", [](const RunFolder& f) { f.copyExample("fromDadi"); },
     {"-t", "yc.tpl", "-f", "yc.def", "-d", "-0", "-n", "20", "-q", "-r", "1"}, 1,
     "Error in template \"yc.tpl\", line 11: \"GROW1\" is not a number (the growth rate of deme "
     "1 expected)\n\"GROW1\" is not a column of the definition file, so the template keeps it "
     "as it is. A complex parameter takes its value from its equation in the prior file: give "
     "the prior file with -e and the definition file with -F (in place of -f)\n",
     "yc.par"},
    {"ComplexParametersWithPriorFile", [](const RunFolder& f) { f.copyExample("fromDadi"); },
     {"-t", "yc.tpl", "-F", "yc.def", "-e", "yc.est", "-d", "-0", "-n", "20", "-q", "-r", "1"}, 0,
     "", "Error"},
    {"TemplateWordWithPriorFile",
     [](const RunFolder& f) {
       f.copyExample("fromDadi");
       edit(f, "yc.tpl", "0 MIG\n", "0 MIGR\n");
     },
     {"-t", "yc.tpl", "-e", "yc.est", "-E", "1", "-d", "-0", "-n", "20", "-q", "-r", "1"}, 1,
     "Error in template \"yc.tpl\", line 15: \"", "column of the definition"},
};

class RunMessages : public testing::TestWithParam<MessageCase> {};

TEST_P(RunMessages, SayWhatHappened) {
  const MessageCase& c = GetParam();
  RunFolder f(c.name);
  c.setUp(f);
  const RunOutput r = f.run(c.args, kTimeLimit);
  EXPECT_EQ(r.status, c.status) << r.err;
  if (!c.expected.empty()) {
    EXPECT_EQ(countOf(r.err, c.expected), 1) << r.err;
  }
  if (!c.absent.empty()) {
    EXPECT_EQ(r.err.find(c.absent), std::string::npos) << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RunMessages, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<MessageCase>& info) {
                           return std::string(info.param.name);
                         });

// The warnings change no output: without a spectrum the likelihood table
// holds its empty header line, and without tree files none is written.
TEST(RunMessages, WarningsLeaveTheOutputsAsTheyWere) {
  RunFolder freq("noSpectrum");
  freq.copyExample("oneDeme");
  ASSERT_EQ(freq.run({"-i", "oneDeme.par", "-n", "20", "-q", "-r", "1"}, kTimeLimit).status, 0);
  EXPECT_EQ(freq.read("oneDeme/oneDeme.lhoods"), "\n");

  RunFolder trees("noTrees");
  writeTwoStructures(trees);
  ASSERT_EQ(trees.run({"-i", "dnaTwoDemes.par", "-n", "1", "-T", "-q", "-r", "1"}, kTimeLimit)
                .status,
            0);
  for (const auto& file : trees.files())
    EXPECT_EQ(file.first.find(".trees"), std::string::npos) << file.first;
  EXPECT_TRUE(trees.exists("dnaTwoDemes/dnaTwoDemes_1_1.qdp"));
}

}  // namespace
