// With the same seed, batch count and input, every output file is the same byte
// for byte whatever the number of threads and the sites kept in memory (-k).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "runFolder.h"

namespace {

using Args = std::vector<std::string>;


// model: a model file (name, text) written next to the example's files;
// the batch count is 7 unless the arguments give one;
// keep: the -k value, none when empty.
std::map<std::string, std::string> runWithThreads(
    const std::string& example, Args args, const std::string& threads,
    const std::pair<std::string, std::string>& model = {}, const std::string& keep = "") {
  RunFolder f("determinism");
  if (!example.empty()) f.copyExample(example);
  if (!model.first.empty()) f.write(model.first, model.second);
  args.insert(args.end(), {"-q", "-r", "21", "-c", threads});
  if (std::find(args.begin(), args.end(), "-B") == args.end()) args.insert(args.end(), {"-B", "7"});
  if (!keep.empty()) args.insert(args.end(), {"-k", keep});
  RunOutput r = f.run(args);
  EXPECT_EQ(r.status, 0) << threads << r.err;
  return f.outputs();
}

TEST(RunDeterminism, OutputFilesDoNotDependOnTheNumberOfThreads) {
  const std::pair<const char*, Args> cases[] = {
      {"twoDemes", {"-i", "twoDemes.par", "-n", "900", "-d", "-m", "-R", "2"}},
      {"twoDemes", {"-i", "twoDemes.par", "-n", "700", "-d", "-m", "-u"}},
      {"twoDemes", {"-i", "twoDemes.par", "-n", "700", "-d", "-P", "-0"}},
      {"splitTemplate", {"-t", "split.tpl", "-f", "split.def", "-n", "500", "-d"}},
      {"splitTemplate", {"-t", "split.tpl", "-e", "split.est", "-E", "2", "-n", "500", "-d"}},
  };
  for (const auto& [example, args] : cases) {
    const std::string label = args[1] + " " + args[args.size() - 1];
    const auto one = runWithThreads(example, args, "1");
    EXPECT_GT(one.size(), 5u) << label;
    for (const char* threads : {"3", "0"}) {
      const auto other = runWithThreads(example, args, threads);
      ASSERT_EQ(other.size(), one.size()) << label << " -c " << threads;
      for (const auto& [name, text] : one) {
        auto it = other.find(name);
        ASSERT_NE(it, other.end()) << label << " -c " << threads << ": " << name;
        EXPECT_EQ(it->second, text) << label << " -c " << threads << ": " << name;
      }
    }
  }
}

// A definition file of the split template with rows of distinct values.
std::string splitRows(int rows) {
  std::string text = "NPOP1\tTSPLIT\n";
  for (int i = 0; i < rows; ++i)
    text += std::to_string(1000 + i * 37 % 9000) + "\t" + std::to_string(500 + i * 53 % 4500) + "\n";
  return text;
}

// A definition file of some hundreds of rows, whose runs and batches all read
// the one table of rows: for each batch count, -c 1 and -c 3 give the same
// files, and each row of the likelihood table carries its own row of values.
TEST(RunDeterminism, DefinitionFilesOfManyRowsDoNotDependOnTheNumberOfThreads) {
  const int rows = 300;
  const std::pair<std::string, std::string> def = {"rows.def", splitRows(rows)};
  const Args cases[] = {
      {"-t", "split.tpl", "-f", "rows.def", "-n", "12", "-d"},
      {"-t", "split.tpl", "-e", "split.est", "-E", "1", "-F", "rows.def", "-n", "12", "-d"},
  };
  for (const Args& route : cases) {
    for (const char* batches : {"3", "12"}) {
      Args args = route;
      args.insert(args.end(), {"-B", batches});
      const std::string label = route[route.size() - 5] + " -B " + batches;
      const auto one = runWithThreads("splitTemplate", args, "1", def);
      ASSERT_TRUE(one.count("split/split.lhoods")) << label;
      const std::vector<std::string> table = linesOf(one.at("split/split.lhoods"));
      const std::vector<std::string> values = linesOf(def.second);
      ASSERT_EQ(table.size(), values.size()) << label;
      for (int r = 1; r <= rows; ++r)
        ASSERT_EQ(table[r].rfind(values[r] + "\t", 0), 0u) << label << ": row " << r;
      const auto three = runWithThreads("splitTemplate", args, "3", def);
      EXPECT_EQ(three, one) << label;
    }
  }
}

// Several data sets of many chromosomes each, with project files and spectra:
// the batches of one data set free those of the previous one on their
// threads, and the gene lines (more than 65536 states) are built on threads.
TEST(RunDeterminism, DataSetsOfManyChromosomesDoNotDependOnTheNumberOfThreads) {
  const std::pair<std::string, std::string> model = {"many.par",
                                                     "//demes\n1\n//sizes\n20000\n//samples\n20\n"
                                                     "//growth\n0\n//matrices\n0\n//events\n0 events\n"
                                                     "//chromosomes\n40 0\n//blocks\n1\n"
                                                     "//block\nDNA 10000 0 1e-7 0.33\n"};
  const std::pair<const char*, Args> cases[] = {
      {"", {"-i", "many.par", "-n", "3", "-s", "0", "-d", "-m"}},
      {"geneticData", {"-i", "geneticData.par", "-n", "4", "-T"}},
  };
  for (const auto& [example, args] : cases) {
    const auto one = runWithThreads(example, args, "1", model);
    EXPECT_GE(one.size(), 4u) << args[1];
    for (const char* threads : {"3", "8"}) {
      const auto other = runWithThreads(example, args, threads, model);
      EXPECT_EQ(other, one) << args[1] << " -c " << threads;
    }
  }
}

// Sites spilled to temporary files are read back for the spectra as for the
// project files: with every chromosome spilled (-k 10), with some (-k 250,
// about the sites of one chromosome) or with none, each data set and
// bootstrap has the same spectra, site counts and likelihoods.
TEST(RunDeterminism, OutputFilesDoNotDependOnTheSitesKeptInMemory) {
  const std::pair<std::string, std::string> model = {
      "spill.par",
      "//demes\n2\n//sizes\n20000\n10000\n//samples\n8\n6\n//growth\n0\n0\n"
      "//matrices\n1\n//matrix 0\n0 0.0005\n0.0005 0\n//events\n0 events\n"
      "//chromosomes\n9 0\n//blocks\n1\n//block\nDNA 10000 0 1e-7 0.33\n"};
  const Args cases[] = {
      {"-i", "spill.par", "-n", "3", "-s", "0", "-d", "-m", "-D", "-b", "2"},
      {"-i", "spill.par", "-n", "3", "-s", "0", "-d", "-u", "-b", "1"},
      {"-i", "spill.par", "-n", "3", "-s", "0", "-m", "-P"},
  };
  for (const Args& args : cases) {
    const std::string label = args[args.size() - 2] + " " + args.back();
    const auto inMemory = runWithThreads("", args, "1", model, "1000000");
    EXPECT_GE(inMemory.size(), 6u) << label;
    for (const auto& [keep, threads] : {std::pair<const char*, const char*>{"10", "1"},
                                        {"10", "4"}, {"250", "3"}}) {
      const auto spilled = runWithThreads("", args, threads, model, keep);
      EXPECT_EQ(spilled, inMemory) << label << " -k " << keep << " -c " << threads;
    }
  }
}

}  // namespace
