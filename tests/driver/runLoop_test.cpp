// Frequency-data runs end to end: the run summary files, the console lines,
// the routes (plain model, repetitions, definition file, drawn priors) and the
// options that shape the spectra.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runFolder.h"

namespace {

using Args = std::vector<std::string>;

TEST(RunLoop, OneDemeExampleWritesEverySummaryFile) {
  RunFolder f("oneDeme");
  f.copyExample("oneDeme");
  RunOutput r = f.run({"-i", "oneDeme.par", "-n", "2000", "-d", "-r", "-5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(f.read("seed.txt"), "Random generator seed :5\n");
  EXPECT_NE(r.out.find("\nRandom generator seed : 5\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nbrimvane2 is building 2000 genealogies ...\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nComputing expected SFS using 12 batches and 1 threads.\n\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("\nIteration 1/1 done in "), std::string::npos);
  EXPECT_NE(r.out.find("\n\nProgram execution time: "), std::string::npos);
  EXPECT_FALSE(f.exists("MRCAs.txt"));  // made only when something goes into it

  std::vector<std::string> table = linesOf(f.read("oneDeme/oneDeme.lhoods"));
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0], "\tDAFLHood_1");
  EXPECT_EQ(table[1].rfind('.'), table[1].size() - 6);  // fixed, 5 decimals
  EXPECT_LT(std::stod(table[1].substr(1)), 0.0);

  // OUTEXP: the expected spectrum; the echo gets the seed and the timing.
  EXPECT_EQ(linesOf(f.read("oneDeme/oneDeme_DAFpop0.txt")).size(), 2u);
  const std::string echo = f.read("oneDeme/oneDeme_1.simparam");
  EXPECT_NE(echo.find("\nRandom generator initialized with : 5\n"), std::string::npos);
  EXPECT_NE(echo.find("\n\n\ndone in "), std::string::npos);
}

TEST(RunLoop, SeedFromTheClockWhenNotGiven) {
  RunFolder f("clockSeed");
  f.copyExample("oneDeme");
  ASSERT_EQ(f.run({"-i", "oneDeme.par", "-n", "100", "-d", "-q"}).status, 0);
  const std::string text = f.read("seed.txt");
  ASSERT_EQ(text.rfind("Random generator seed :", 0), 0u);
  const long seed = std::stol(text.substr(23));
  EXPECT_GE(seed, 0);
  EXPECT_LE(seed, 999999);
}

TEST(RunLoop, RepetitionsAppendOneRowAndOneSpectrumPerRun) {
  RunFolder f("repetitions");
  f.copyExample("twoDemes");
  RunOutput r = f.run({"-i", "twoDemes.par", "-n", "500", "-d", "-m", "-R", "3", "-q", "-r", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "\nComputing expected SFS using "), 1);
  for (const char* line : {"\nIteration 1/3 done", "\nIteration 2/3 done", "\nIteration 3/3 done"})
    EXPECT_EQ(countOf(r.out, line), 1) << line;
  std::vector<std::string> table = linesOf(f.read("twoDemes/twoDemes.lhoods"));
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0], "\tMAFLHood_1\tDAFLHood_1");
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(countOf(table[i], "\t"), 2) << table[i];
  // Label line once, then one table per run; joint tables keep their row labels.
  const std::vector<std::string> joint = linesOf(f.read("twoDemes/twoDemes_jointDAFpop1_0.txt"));
  EXPECT_EQ(joint.size(), 1u + 3u * 7u);  // deme 1 has 6 sampled genes
  EXPECT_EQ(countOf(f.read("twoDemes/twoDemes_jointMAFpop1_0.txt"), "\td0_0"), 1);
  // With two sampled demes the 1-D tables stay empty: no 1-D expected file.
  for (const char* name : {"twoDemes_DAFpop0.txt", "twoDemes_DAFpop1.txt", "twoDemes_MAFpop0.txt",
                           "twoDemes_MAFpop1.txt"})
    EXPECT_FALSE(f.exists(std::string("twoDemes/") + name)) << name;
  EXPECT_EQ(f.files().count("twoDemes/twoDemes_3.simparam"), 1u);
}

// Every shape of spectrum runs on the two-deme example and scores its data.
TEST(RunLoop, SpectrumOptionsOnTheTwoDemeExample) {
  struct Case {
    Args options;
    const char* header;
    const char* file;  // an expected-spectrum file the run writes
  };
  const Case cases[] = {
      {{"-d"}, "\tDAFLHood_1", "twoDemes_jointDAFpop1_0.txt"},
      {{"-m"}, "\tMAFLHood_1", "twoDemes_jointMAFpop1_0.txt"},
      {{"-d", "-m", "-u"}, "\tMAFLHood_1\tDAFLHood_1", "twoDemes_DSFS.txt"},
      {{"-d", "-P"}, "\tDAFLHood_1", "twoDemes_DAFpop0.txt"},
      {{"-m", "-P", "-u"}, "\tMAFLHood_1", "twoDemes_MAFpop0.txt"},
      {{"-d", "-0", "-C", "5", "-B", "4", "-c", "2"}, "\tDAFLHood_1",
       "twoDemes_jointDAFpop1_0.txt"},
  };
  for (const Case& c : cases) {
    RunFolder f("options");
    f.copyExample("twoDemes");
    Args args{"-i", "twoDemes.par", "-n", "400", "-q", "-r", "8"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    RunOutput r = f.run(args);
    const std::string label = c.options[0] + " " + c.file;
    ASSERT_EQ(r.status, 0) << label << r.err;
    std::vector<std::string> table = linesOf(f.read("twoDemes/twoDemes.lhoods"));
    ASSERT_EQ(table.size(), 2u) << label;
    EXPECT_EQ(table[0], c.header) << label;
    EXPECT_EQ(table[1].find("nan"), std::string::npos) << label;
    EXPECT_EQ(table[1].find("inf"), std::string::npos) << label;
    EXPECT_TRUE(f.exists(std::string("twoDemes/") + c.file)) << label;
  }
}

TEST(RunLoop, DefinitionFileGivesOneRowPerValueRow) {
  RunFolder f("definition");
  f.copyExample("splitTemplate");
  RunOutput r = f.run({"-t", "split.tpl", "-f", "split.def", "-n", "300", "-d", "-q", "-r", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "\nComputing expected SFS using "), 1);
  EXPECT_EQ(countOf(r.out, "\nIteration 3/3 done in "), 1);
  std::vector<std::string> table = linesOf(f.read("split/split.lhoods"));
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0], "NPOP1\tTSPLIT\tDAFLHood_1");
  EXPECT_EQ(table[1].rfind("4000\t2000\t-", 0), 0u) << table[1];
  EXPECT_EQ(table[2].rfind("2000\t1000\t-", 0), 0u) << table[2];
  EXPECT_EQ(table[3].rfind("8000\t4000\t-", 0), 0u) << table[3];
  EXPECT_FALSE(f.exists("split.par"));  // the models of the rows stay in memory
  EXPECT_NE(f.read("split/split_3.simparam").find("Deme 1\t8000\n"), std::string::npos);
}

// -F: the rows hold every parameter of the prior file, complex ones recomputed
// (hidden ones too), in the prior file's order; the header names the same columns.
TEST(RunLoop, RecomputedDefinitionRowsAndHeaderNameTheSameColumns) {
  RunFolder f("recomputed");
  f.copyExample("splitTemplate");
  f.write("split.est", "[PARAMETERS]\n1 NPOP1 unif 1000 10000\n1 TSPLIT unif 500 5000\n"
                       "[COMPLEX PARAMETERS]\n0 HALF = TSPLIT/2 hide\n");
  f.write("swapped.def", "TSPLIT\tNPOP1\n2000\t4000\n1000\t2000\n");
  RunOutput r = f.run({"-t", "split.tpl", "-e", "split.est", "-F", "swapped.def", "-n", "300",
                       "-d", "-q", "-r", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> table = linesOf(f.read("split/split.lhoods"));
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0], "NPOP1\tTSPLIT\tHALF\tDAFLHood_1");
  EXPECT_EQ(table[1].rfind("4000\t2000\t1.00000000e+03\t-", 0), 0u) << table[1];
  EXPECT_EQ(table[2].rfind("2000\t1000\t5.00000000e+02\t-", 0), 0u) << table[2];
}

TEST(RunLoop, PriorFileDrawsOneRowPerEstimation) {
  RunFolder f("prior");
  f.copyExample("splitTemplate");
  RunOutput r = f.run({"-t", "split.tpl", "-e", "split.est", "-E", "2", "-n", "300", "-d", "-q"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> table = linesOf(f.read("split/split.lhoods"));
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0], "NPOP1\tTSPLIT\tDAFLHood_1");
  for (int i = 1; i <= 2; ++i) {
    const long size = std::stol(table[i]);
    EXPECT_GE(size, 1000);
    EXPECT_LE(size, 10000);
    EXPECT_EQ(countOf(table[i], "\t"), 2);
  }
}

TEST(RunLoop, NoValueRowMeansNoRun) {
  RunFolder f("noRows");
  f.copyExample("splitTemplate");
  f.write("empty.def", "NPOP1\tTSPLIT\n");
  for (const Args& args : {Args{"-t", "split.tpl", "-f", "empty.def", "-n", "10", "-d"},
                           Args{"-t", "split.tpl", "-e", "split.est", "-E", "0", "-n", "10", "-d"}}) {
    RunOutput r = f.run(args);
    EXPECT_EQ(r.status, 0) << args[3] << r.err;
    EXPECT_EQ(countOf(r.out, "\nIteration "), 0) << args[3];
    EXPECT_EQ(countOf(r.out, "\n\nProgram execution time: "), 1) << args[3];
  }
}

}  // namespace
