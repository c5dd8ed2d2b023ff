// The guide for spectra of dadi and moments (examples/fromDadi): the template
// in dadi's units gives the spectrum its model must give, its complex
// parameters give the growth rate and the events of the conversion, the
// program's log10 likelihood turns into the multinomial log-likelihood, and
// the guide's converter applies the mask line, so that no site stands in a
// cell the model cannot give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "runFolder.h"

namespace {

constexpr unsigned kTimeLimit = 60;  // seconds; each run here takes well under one
constexpr int kGenes = 10;           // genes of each deme of the example
const char* const kColumns = "NANC\tNPOP0\tNBOT\tNPOP1\tMIG\tTSPLIT\tTP\n";

using Table = std::vector<std::vector<double>>;  // [row = count in deme 1][column = deme 0]

// The tables of a joint file after its header lines, one after the other.
std::vector<Table> jointTables(const std::string& text, size_t headerLines) {
  std::vector<std::string> lines = linesOf(text);
  std::vector<Table> tables;
  for (size_t l = headerLines; l < lines.size(); ++l) {
    if (lines[l].rfind("d1_0", 0) == 0) tables.emplace_back();
    std::istringstream in(lines[l]);
    std::string label;
    in >> label;
    std::vector<double> row;
    for (double v; in >> v;) row.push_back(v);
    if (!tables.empty()) tables.back().push_back(row);
  }
  return tables;
}

// The last column of the last row of a likelihood table.
double lastLikelihood(const std::string& lhoods) {
  const std::string row = linesOf(lhoods).back();
  return std::stod(row.substr(row.rfind('\t') + 1));
}

double choose(int n, int k) {
  return std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0));
}

// Two demes of one size that meet one generation ago and keep that size: one
// deme of 20 genes. Its sites carried by k = k0 + k1 genes make the share
// (1/k) / sum_{j<20} 1/j, split among the cells as the genes of a sample of 20
// fall into the two samples of 10.
TEST(FromDadi, TemplateOfOneDemeGivesOneOverIAcrossTheJointTable) {
  constexpr int runs = 30;
  RunFolder f("dadiOneDeme");
  f.copyExample("fromDadi");
  std::string def = kColumns;
  for (int r = 0; r < runs; ++r) def += "200000\t200000\t200000\t200000\t1e-4\t1\t1\n";
  f.write("limit.def", def);
  const RunOutput run = f.run({"-t", "yc.tpl", "-F", "limit.def", "-e", "yc.est", "-d", "-0", "-n",
                               "1000", "-q", "-r", "3"},
                              kTimeLimit);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Table> tables = jointTables(f.read("yc/yc_jointDAFpop1_0.txt"), 1);
  ASSERT_EQ(tables.size(), static_cast<size_t>(runs));
  constexpr int n = 2 * kGenes;
  double harmonic = 0;
  for (int j = 1; j < n; ++j) harmonic += 1.0 / j;
  // Cells of a share below 1e-3 are met too rarely for a mean of their own:
  // they are checked together, as one class.
  constexpr double kRare = 1e-3;
  const auto check = [&](const std::vector<double>& values, double expected, const std::string& what) {
    double sum = 0, sumSq = 0;
    for (double v : values) {
      sum += v;
      sumSq += v * v;
    }
    const double mean = sum / runs;
    const double se = std::sqrt(std::max(0.0, sumSq / runs - mean * mean) / (runs - 1));
    EXPECT_NEAR(mean, expected, 5 * se) << what;
    EXPECT_LT(se, 0.1 * expected) << what;  // the check has power
  };
  std::vector<double> rare(runs, 0.0);
  double rareExpected = 0;
  for (int k1 = 0; k1 <= kGenes; ++k1)
    for (int k0 = 0; k0 <= kGenes; ++k0) {
      std::vector<double> values;
      for (size_t r = 0; r < tables.size(); ++r) {
        const Table& t = tables[r];
        ASSERT_EQ(t.size(), static_cast<size_t>(kGenes + 1));
        ASSERT_EQ(t[k1].size(), static_cast<size_t>(kGenes + 1));
        values.push_back(t[k1][k0]);
      }
      const int k = k0 + k1;
      const std::string what = "cell " + std::to_string(k1) + ", " + std::to_string(k0);
      if (k == 0 || k == n) {
        for (double v : values) EXPECT_EQ(v, 0.0) << what;  // no branch gives these
        continue;
      }
      const double expected =
          (1.0 / k) / harmonic * choose(kGenes, k0) * choose(kGenes, k1) / choose(n, k);
      if (expected >= kRare) {
        check(values, expected, what);
      } else {
        for (int r = 0; r < runs; ++r) rare[r] += values[r];
        rareExpected += expected;
      }
    }
  check(rare, rareExpected, "the cells of shares below 1e-3");
}

// The definition file of the example: the complex parameters of the prior file
// give the growth rate ln(NBOT/NPOP1)/TSPLIT (natural logarithm, negative for a
// deme that grew), the time of the ancestral change and its size factor.
TEST(FromDadi, ComplexParametersGiveTheModelOfTheConversion) {
  RunFolder f("dadiUnits");
  f.copyExample("fromDadi");
  const RunOutput run =
      f.run({"-t", "yc.tpl", "-F", "yc.def", "-e", "yc.est", "-d", "-0", "-n", "100", "-q", "-r",
             "1"},
            kTimeLimit);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lhoods = linesOf(f.read("yc/yc.lhoods"));
  ASSERT_EQ(lhoods.size(), 2u);
  EXPECT_EQ(lhoods[0],
            "NANC\tNPOP0\tNBOT\tNPOP1\tMIG\tTSPLIT\tTP\tTANC\tRANC\tBOTRATIO\tLOGRATIO\tGROW1\t"
            "DAFLHood_1");
  std::istringstream row(lhoods[1]);
  std::vector<double> v;
  for (double x; row >> x;) v.push_back(x);
  ASSERT_EQ(v.size(), 13u) << lhoods[1];
  EXPECT_EQ(v[7], 8000);                                         // TANC = TSPLIT + TP
  EXPECT_DOUBLE_EQ(v[8], 0.5);                                   // RANC = NANC / NPOP0
  EXPECT_NEAR(v[11], std::log(2000.0 / 60000.0) / 2000, 1e-12);  // GROW1
  const std::string echo = f.read("yc/yc_1.simparam");
  EXPECT_NE(echo.find("Growth rates\nDeme 0\t0\nDeme 1\t-0.0017006\n"), std::string::npos)
      << echo;
  EXPECT_NE(echo.find("#Time             : 8000\n#Source           : 0\n#Sink             : 0\n"
                      "#Migrants         : 0.0000000\n#New size         : 0.5000000\n"),
            std::string::npos)
      << echo;
}

// With -0 and -C 0 the log10 likelihood is sum d_i log10(p_i) over the cells,
// p_i the expected share of the polymorphic sites; then ln 10 x L10 + D ln D
// - D - sum lgamma(d_i + 1) is the multinomial log-likelihood at the optimal
// theta. With -C 1 (the default) the cells below one site drop out.
TEST(FromDadi, LikelihoodIsTheMultinomialOneOfAllCellsWithCZero) {
  RunFolder f("dadiMultinomial");
  f.copyExample("fromDadi");
  const Table observed = jointTables(f.read("yc_jointDAFpop1_0.obs"), 2).at(0);
  for (const char* lump : {"0", "1"}) {
    SCOPED_TRACE(std::string("-C ") + lump);
    const RunOutput run = f.run({"-t", "yc.tpl", "-F", "yc.def", "-e", "yc.est", "-d", "-0", "-C",
                                 lump, "-n", "20000", "-q", "-r", "1"},
                                kTimeLimit);
    ASSERT_EQ(run.status, 0) << run.err;
    const Table expected = jointTables(f.read("yc/yc_jointDAFpop1_0.txt"), 1).at(0);
    double shares = 0;
    for (int k1 = 0; k1 <= kGenes; ++k1)
      for (int k0 = 0; k0 <= kGenes; ++k0) shares += expected[k1][k0];
    EXPECT_NEAR(shares, 1.0, 1e-4);  // corners 0: shares of the polymorphic sites
    double sum = 0, sites = 0, lgammas = 0, dropped = 0;
    const double minimum = std::stod(lump);
    for (int k1 = 0; k1 <= kGenes; ++k1)
      for (int k0 = 0; k0 <= kGenes; ++k0) {
        const double d = observed[k1][k0];
        sites += d;
        lgammas += std::lgamma(d + 1);
        if (d == 0) continue;
        ASSERT_GT(expected[k1][k0], 0.0) << "cell " << k1 << ", " << k0;
        if (d >= minimum)
          sum += d * std::log(expected[k1][k0]);
        else
          dropped += d;
      }
    const double lhood10 = lastLikelihood(f.read("yc/yc.lhoods"));
    // The expected shares are written with 6 significant digits.
    EXPECT_NEAR(std::log(10.0) * lhood10, sum, 0.05);
    const double multinomial = std::log(10.0) * lhood10 + sites * std::log(sites) - sites - lgammas;
    if (minimum == 0) {
      EXPECT_NEAR(multinomial, -391.56, 0.5);  // the value at the example's own values
    } else {
      EXPECT_GT(dropped, 0.5);  // the example has sites in cells below one site
    }
  }
}

// ------------------------------------------------------------------ converter

std::string pythonProgram() {
  for (const char* candidate : {"/usr/bin/python3", "/usr/local/bin/python3"})
    if (access(candidate, X_OK) == 0) return candidate;
  return std::system("command -v python3 >/dev/null 2>&1") == 0 ? "python3" : "";
}

// Runs the guide's converter in the folder; its output goes to out.txt.
int convert(const RunFolder& f, const std::string& python, const std::string& args) {
  const std::string command = "cd '" + f.path().string() + "' && " + python +
                              " dadi_to_obs.py " + args + " > out.txt 2>&1";
  return std::system(command.c_str());
}

TEST(FromDadiConverter, MakesTheObservedFileOfTheExample) {
  const std::string python = pythonProgram();
  if (python.empty()) GTEST_SKIP() << "no python3 to run the guide's converter";
  RunFolder f("dadiConvertExample");
  f.copyExample("fromDadi");
  const std::string kept = f.read("yc_jointDAFpop1_0.obs");
  f.write("yc_jointDAFpop1_0.obs", "");
  ASSERT_EQ(convert(f, python, "yc.fs yc"), 0) << f.read("out.txt");
  EXPECT_EQ(f.read("yc_jointDAFpop1_0.obs"), kept);
  EXPECT_EQ(f.read("out.txt"),
            "yc_jointDAFpop1_0.obs: unfolded spectrum of 10+10 genes, 2697.79 sites in masked "
            "cells left out\n");
}

// Files as moments and dadi write them: masked cells holding sites.
struct MaskCase {
  const char* name;
  const char* example;
  std::vector<std::string> args;  // of the run
  const char* spectrum;           // the file to convert
  const char* convertArgs;
  const char* written;     // the observed file it becomes
  std::string converted;   // its content
  std::string unmasked;    // the same values with the masked ones kept
  std::string warning;     // of a run on the unmasked values
};

const MaskCase kMaskCases[] = {
    {"OneDimensional",
     "oneDeme",
     {"-i", "oneDeme.par", "-n", "200", "-d", "-0", "-q", "-r", "1"},
     "# moments\n11 unfolded\n100 40 20 13 10 8 6 5 4 4 5487\n1 0 0 0 0 0 0 0 0 0 1\n",
     "sfs.txt oneDeme",
     "oneDeme_DAFpop0.obs",
     "1 observations\nd0_0\td0_1\td0_2\td0_3\td0_4\td0_5\td0_6\td0_7\td0_8\td0_9\td0_10\n"
     "0\t40\t20\t13\t10\t8\t6\t5\t4\t4\t0\n",
     "1 observations\nd0_0\td0_1\td0_2\td0_3\td0_4\td0_5\td0_6\td0_7\td0_8\td0_9\td0_10\n"
     "100\t40\t20\t13\t10\t8\t6\t5\t4\t4\t5487\n",
     "5487 sites in cell d0_10, where every one of the 10 sampled genes carries the derived "
     "allele"},
    {"FoldedOneDimensional",
     "oneDeme",
     {"-i", "oneDeme.par", "-n", "200", "-m", "-0", "-q", "-r", "1"},
     "11 folded\n100 40.5 20 13 10 8 6 5 4 4 3\n1 0 0 0 0 0 1 1 1 1 1\n",
     "sfs.txt oneDeme",
     "oneDeme_MAFpop0.obs",
     "1 observations\nd0_0\td0_1\td0_2\td0_3\td0_4\td0_5\td0_6\td0_7\td0_8\td0_9\td0_10\n"
     "0\t40.5\t20\t13\t10\t8\t0\t0\t0\t0\t0\n",
     "1 observations\nd0_0\td0_1\td0_2\td0_3\td0_4\td0_5\td0_6\td0_7\td0_8\td0_9\td0_10\n"
     "100\t40.5\t20\t13\t10\t8\t6\t5\t4\t4\t3\n",
     "6 sites in cell d0_6, 5 sites in cell d0_7, 4 sites in cell d0_8 and sites in 2 other "
     "cells (22 sites in all), where the minor allele would be carried by more than half of the "
     "10 sampled genes"},
    // dadi's array [deme 0][deme 1] becomes the table [deme 1][deme 0].
    {"Joint",
     "fromDadi",
     {"-t", "yc.tpl", "-F", "yc.def", "-e", "yc.est", "-d", "-0", "-n", "200", "-q", "-r", "1"},
     nullptr,
     "sfs.txt yc",
     "yc_jointDAFpop1_0.obs",
     "",
     "",
     "757 sites in cell (d1_10, d0_10), where every one of the 20 sampled genes carries the "
     "derived allele"},
};

// The joint case: a moments file of 10 + 10 genes, cell (i, j) = 10 i + j,
// both corners masked, the upper one holding 757 sites.
std::string jointSpectrum(bool masked, std::string* obs) {
  std::string values, mask, table = "1 observations\n";
  for (int l = 0; l <= kGenes; ++l) table += "\td0_" + std::to_string(l);
  table += "\n";
  for (int i = 0; i <= kGenes; ++i)
    for (int j = 0; j <= kGenes; ++j) {
      const bool corner = (i == 0 && j == 0) || (i == kGenes && j == kGenes);
      values += (values.empty() ? "" : " ") +
                std::to_string(i == kGenes && j == kGenes ? 757 : 10 * i + j);
      mask += std::string(mask.empty() ? "" : " ") + (corner ? "1" : "0");
    }
  for (int r = 0; r <= kGenes; ++r) {  // row r: deme 1 carries r copies
    table += "d1_" + std::to_string(r);
    for (int c = 0; c <= kGenes; ++c) {
      const bool corner = (r == 0 && c == 0) || (r == kGenes && c == kGenes);
      const int value = r == kGenes && c == kGenes ? 757 : 10 * c + r;
      table += "\t" + std::to_string(masked && corner ? 0 : value);
    }
    table += "\n";
  }
  *obs = table;
  return "# moments\n11 11 unfolded\n" + values + "\n" + mask + "\n";
}

class FromDadiMask : public testing::TestWithParam<MaskCase> {};

TEST_P(FromDadiMask, ConvertedFileScoresNoMaskedSite) {
  const std::string python = pythonProgram();
  if (python.empty()) GTEST_SKIP() << "no python3 to run the guide's converter";
  const MaskCase& c = GetParam();
  RunFolder f(std::string("dadiMask") + c.name);
  f.copyExample(c.example);
  std::string spectrum = c.spectrum ? c.spectrum : "";
  std::string converted = c.converted, unmasked = c.unmasked;
  if (!c.spectrum) {
    spectrum = jointSpectrum(true, &converted);
    jointSpectrum(false, &unmasked);
  }
  std::filesystem::copy_file(std::filesystem::path(EXAMPLES_DIR) / "fromDadi" / "dadi_to_obs.py",
                             f.path() / "dadi_to_obs.py",
                             std::filesystem::copy_options::overwrite_existing);
  f.write("sfs.txt", spectrum);
  ASSERT_EQ(convert(f, python, c.convertArgs), 0) << f.read("out.txt");
  EXPECT_EQ(f.read(c.written), converted);
  RunOutput run = f.run(c.args, kTimeLimit);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("Warning: observed SFS file"), std::string::npos) << run.err;

  f.write(c.written, unmasked);  // the values copied without the mask
  run = f.run(c.args, kTimeLimit);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(countOf(run.err, "Warning: observed SFS file \"" + std::string(c.written) +
                                 "\", observation 1: sites stand in cells that no genealogy can "
                                 "give: "),
            1)
      << run.err;
  EXPECT_NE(run.err.find(c.warning), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, FromDadiMask, testing::ValuesIn(kMaskCases),
                         [](const testing::TestParamInfo<MaskCase>& info) {
                           return std::string(info.param.name);
                         });

// Spectrum files the converter cannot read: a message naming the file (and
// the line where there is one), status 1 and no observed file.
struct MalformedCase {
  const char* name;
  const char* spectrum;
  const char* message;
};

const MalformedCase kMalformedCases[] = {
    {"TooFewValues", "11 unfolded\n100 40 20 13 10 8 6 5 4 4\n",
     "sfs.txt: 10 values for a spectrum of 11 cells (and as many mask values)\n"},
    {"ValueNotANumber", "11 unfolded\n100 40 20 13 10 8 6 5 4 4x 5487\n1 0 0 0 0 0 0 0 0 0 1\n",
     "sfs.txt, line 2: \"4x\" is not a number\n"},
    // One value too many on the values line and one too few on the mask line
    // make the right count between them.
    {"MaskLineTooShort",
     "11 unfolded\n100 40 20 13 10 8 6 5 4 4 5487 9\n1 0 0 0 0 0 0 0 0 1\n",
     "sfs.txt: 12 + 10 values on the lines after the shape line: the values of the 11 cells and "
     "the mask line of as many do not split there\n"},
    {"MaskLineTooLong",
     "# moments\n11 unfolded\n100 40 20 13 10 8 6 5 4 4\n5487 1 0 0 0 0 0 0 0 0 0 1\n",
     "sfs.txt: 10 + 12 values on the lines after the shape line: the values of the 11 cells and "
     "the mask line of as many do not split there\n"},
    {"MaskNotZeroOrOne",
     "11 unfolded\n100 40 20 13 10 8 6 5 4 4 5487\n1 0 0 0 0 0 0 0 0 0 2\n",
     "sfs.txt, line 3: \"2\" in the mask line (0 or 1 expected)\n"},
    {"MissingFile", nullptr, "sfs.txt: No such file or directory\n"},
};

class FromDadiMalformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(FromDadiMalformed, IsRefusedWithAMessage) {
  const std::string python = pythonProgram();
  if (python.empty()) GTEST_SKIP() << "no python3 to run the guide's converter";
  const MalformedCase& c = GetParam();
  RunFolder f(std::string("dadiMalformed") + c.name);
  std::filesystem::copy_file(std::filesystem::path(EXAMPLES_DIR) / "fromDadi" / "dadi_to_obs.py",
                             f.path() / "dadi_to_obs.py");
  if (c.spectrum) f.write("sfs.txt", c.spectrum);
  const int status = convert(f, python, "sfs.txt m");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(f.read("out.txt"), c.message);
  EXPECT_FALSE(f.exists("m_DAFpop0.obs"));
}

INSTANTIATE_TEST_SUITE_P(Cases, FromDadiMalformed, testing::ValuesIn(kMalformedCases),
                         [](const testing::TestParamInfo<MalformedCase>& info) {
                           return std::string(info.param.name);
                         });

// More than two populations give the multi-dimensional file, deme 0 first
// (slowest); the axes given on the command line say which becomes deme 0.
TEST(FromDadiConverter, ThreePopulationsAndTheOrderOfTheDemes) {
  const std::string python = pythonProgram();
  if (python.empty()) GTEST_SKIP() << "no python3 to run the guide's converter";
  RunFolder f("dadiConvertThree");
  f.copyExample("fromDadi");
  // Axes of 1, 2 and 1 genes: cell (a, b, c) holds 100 a + 10 b + c.
  std::string values;
  for (int a = 0; a <= 1; ++a)
    for (int b = 0; b <= 2; ++b)
      for (int c = 0; c <= 1; ++c) values += std::to_string(100 * a + 10 * b + c) + " ";
  f.write("three.fs", "2 3 2 unfolded\n" + values + "\n");  // no mask line: corners masked
  ASSERT_EQ(convert(f, python, "three.fs m"), 0) << f.read("out.txt");
  EXPECT_EQ(f.read("m_DSFS.obs"),
            "1 observations. No. of demes and sample sizes are on next line\n3\t1\t2\t1\n"
            "0\t1\t10\t11\t20\t21\t100\t101\t110\t111\t120\t0\n");
  // Deme 0 is the file's second population (axis 1), deme 1 its first, deme 2 its third.
  ASSERT_EQ(convert(f, python, "three.fs m 1 0 2"), 0) << f.read("out.txt");
  EXPECT_EQ(f.read("m_DSFS.obs"),
            "1 observations. No. of demes and sample sizes are on next line\n3\t2\t1\t1\n"
            "0\t1\t100\t101\t10\t11\t110\t111\t20\t21\t120\t0\n");
  // Joint spectrum with the populations swapped: the table is dadi's array as it stands.
  f.write("two.fs", "2 3 unfolded\n0 1 2 10 11 12\n1 0 0 0 0 1\n");
  ASSERT_EQ(convert(f, python, "two.fs t 1 0"), 0) << f.read("out.txt");
  EXPECT_EQ(f.read("t_jointDAFpop1_0.obs"),
            "1 observations\n\td0_0\td0_1\td0_2\nd1_0\t0\t1\t2\nd1_1\t10\t11\t0\n");
}

}  // namespace
