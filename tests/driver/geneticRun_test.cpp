// Whole runs of genetic data: the files they write, their independence of the
// number of threads and of the in-memory limit, and how they report what
// cannot be simulated or written.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/runFolder.h"

namespace {

using Args = std::vector<std::string>;

// Two demes exchanging migrants; 25 recombining DNA chromosomes; a block line
// and a count of chromosomes can be changed.
std::string twoDemeModel(const std::string& block = "DNA 3000 2e-6 2e-6 0.33",
                         int chromosomes = 25, const std::string& samples = "6\n4",
                         const std::string& migration = "0 0.0005\n0.0005 0") {
  return "//Number of population samples (demes)\n2\n"
         "//Population effective sizes (number of genes)\n1000\n2000\n"
         "//Sample sizes\n" +
         samples +
         "\n//Growth rates\n0\n0\n//Number of migration matrices\n1\n//Migration matrix 0\n" +
         migration +
         "\n//historical event\n0 historical event\n"
         "//Number of independent loci [chromosome]\n" +
         std::to_string(chromosomes) +
         " 0\n//Per chromosome: Number of linkage blocks\n1\n"
         "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n" +
         block + "\n";
}


std::map<std::string, std::string> runModel(const std::string& model, Args args) {
  RunFolder f("genetic");
  f.write("g.par", model);
  Args all{"-i", "g.par", "-q", "-r", "17"};
  all.insert(all.end(), args.begin(), args.end());
  const RunOutput r = f.run(all);
  EXPECT_EQ(r.status, 0) << r.err;
  return f.outputs();
}

void expectSameFiles(const std::map<std::string, std::string>& a,
                     const std::map<std::string, std::string>& b, const std::string& label,
                     const std::string& only = "") {
  for (const auto& [name, text] : a) {
    if (!only.empty() && name.find(only) == std::string::npos) continue;
    auto it = b.find(name);
    ASSERT_NE(it, b.end()) << label << ": " << name;
    EXPECT_TRUE(it->second == text) << label << ": " << name << " differs";
  }
}

// Same seed and 12 batches over 25 chromosomes (an uneven split): every file
// is the same for -c 1, 4 and 0, and for any -k.
TEST(GeneticRun, OutputsDoNotDependOnThreadsNorOnTheMemoryLimit) {
  const Args args{"-n", "3", "-B", "12", "-b", "3", "-T", "-d", "-m", "-s", "0"};
  auto with = [&](Args extra) {
    Args a = args;
    a.insert(a.end(), extra.begin(), extra.end());
    return runModel(twoDemeModel(), a);
  };
  const auto one = with({"-c", "1"});
  ASSERT_TRUE(one.count("g/g_1_3.qdp") && one.count("g/g_1.qdb") &&
              one.count("g/g_1_true_trees.trees") && one.count("g/g_DAFpop1.obs") &&
              one.count("g/g.lhoodObs"));
  EXPECT_EQ(one.at("g/g_1.qdb"), "g/g_1_1.qdp\ng/g_1_2.qdp\ng/g_1_3.qdp\n");
  EXPECT_EQ(countOf(one.at("g/g_DAFpop1.obs"), "\n"), 2 + 12);  // header, label, 3 x 4 rows
  for (const char* c : {"4", "0"}) {
    const auto other = with({"-c", c});
    EXPECT_EQ(other.size(), one.size());
    expectSameFiles(one, other, std::string("-c ") + c);
  }
  expectSameFiles(one, with({"-c", "4", "-k", "7"}), "-k 7");
}

TEST(GeneticRun, OddSampleWithGenotypicDataIsRefused) {
  RunFolder f("odd");
  f.write("g.par", twoDemeModel("DNA 100 0 1e-5 0.33", 2, "6\n3"));
  const RunOutput r = f.run({"-i", "g.par", "-n", "2", "-g", "-q"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("deme 1 (\"Sample 2\") of the model \"g.par\" has an odd sample size (3 "
                       "genes)"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(f.exists("g/g_1_1.qdp"));
}

// Two demes that stop exchanging migrants after the first generation cannot
// coalesce: every data set fails, is reported, leaves no project file, "nan"
// likelihoods and spectrum rows of "nan". (Demes isolated from the start are
// refused with the model.)
TEST(GeneticRun, DataSetsThatCannotBeSimulatedAreReportedAndNotWritten) {
  RunFolder f("fail");
  std::string model = twoDemeModel("SNP 100 0 1e-4 0", 3, "4\n4");
  const auto replace = [&model](const std::string& from, const std::string& to) {
    ASSERT_NE(model.find(from), std::string::npos) << from;
    model.replace(model.find(from), from.size(), to);
  };
  replace("matrices\n1\n", "matrices\n2\n");
  replace("\n//historical event\n0 historical event\n",
          "\n//Migration matrix 1\n0 0\n0 0\n//historical event\n1 historical event\n"
          "1 0 0 0 1 0 1\n");
  f.write("g.par", model);
  const RunOutput r = f.run({"-i", "g.par", "-n", "2", "-d", "-q", "-r", "3"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Simulation 1 of run 1: chromosome 1 of 3 could not be simulated"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Simulation 2 of run 1"), std::string::npos);
  EXPECT_FALSE(f.exists("g/g_1_1.qdp"));
  EXPECT_EQ(f.read("g/g_1.qdb"), "");
  const std::string nanRow = "nan\tnan\tnan\tnan\tnan\t\n";
  EXPECT_EQ(f.read("g/g_DAFpop0.obs"),
            "2 observations (lhood = 0.0000000000)\nd0_0\td0_1\td0_2\td0_3\td0_4\t\n" +
                nanRow + nanRow);
  EXPECT_EQ(f.read("g/g.lhoodObs"), "NumCoalSims\tNumObs\tDAFLHood_1\tDAFLHood_2\n1\t2\tnan\tnan\n");
}

// A panel whose two genes always coalesce at time 0 (inbreeding 1) never
// spans a tree: the chromosome is given up after a bounded number of trees.
TEST(GeneticRun, AscertainmentPanelThatNeverSpansATreeFailsTheChromosome) {
  RunFolder f("panel");
  std::string model = twoDemeModel("SNP 10 0 1e-5 0", 1, "4 0 1\n4");
  f.write("g.par", model);
  const RunOutput r = f.run({"-i", "g.par", "-n", "1", "-a", "0", "-A", "2", "-d", "-q", "-r", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Chromosome 1: 1000000 trees in a row were rejected by the SNP "
                       "ascertainment panel (2 genes of deme 0)"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(f.exists("g/g_1_1.qdp"));
}

// Under DNA ascertainment every bootstrap replicate is built on the number
// of ascertained sites that the site-count file gives: entry 0 of each
// replicate's spectrum is the simulated sites less that number, and the
// spectrum holds every simulated site.
TEST(GeneticRun, AscertainedBootstrapsUseTheSiteCountOfTheDataSet) {
  RunFolder f("ascboot");
  f.write("g.par", twoDemeModel("DNA 20000 0 2e-7 0.33", 2, "10\n6"));
  const RunOutput r =
      f.run({"-i", "g.par", "-n", "1", "-d", "-s", "0", "-b", "3", "-a", "0", "-A", "4", "-q",
             "-r", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> counts = linesOf(f.read("g/g_numPolymSites-asc4.obs"));
  const std::vector<std::string> spectra = linesOf(f.read("g/g_DAFpop0-asc4.obs"));
  ASSERT_EQ(counts.size(), 8u);
  ASSERT_EQ(spectra.size(), 6u);
  for (int b = 0; b < 4; ++b) {
    std::istringstream line(counts[2 * b + 1]);
    long total = 0, polym = 0, multi = 0, ancestral = 0, fixed = 0;
    line >> total >> polym >> multi >> ancestral >> fixed;
    ASSERT_GT(polym, 20) << counts[2 * b + 1];
    std::istringstream cellsLine(spectra[b + 2]);
    double cell = 0, sum = 0, first = -1;
    while (cellsLine >> cell) {
      if (first < 0) first = cell;
      sum += cell;
    }
    EXPECT_EQ(first, static_cast<double>(total - polym)) << "replicate " << b;
    EXPECT_EQ(sum, static_cast<double>(total)) << "replicate " << b;
  }
}

// A project file that cannot be written (a folder of the user's has its name)
// is reported; the other data sets are written and listed; the status is 1.
TEST(GeneticRun, UnwritableProjectFileFailsOnlyItsDataSet) {
  RunFolder f("unwritable");
  f.write("g.par", twoDemeModel("SNP 100 0 1e-4 0", 3));
  std::filesystem::create_directories(f.path() / "g" / "g_1_1.qdp");
  const RunOutput r = f.run({"-i", "g.par", "-n", "2", "-q", "-r", "3"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Unable to write the project file \"g/g_1_1.qdp\" of simulation 1 (it "
                       "cannot be opened: Is a directory): the data set is not written\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(f.read("g/g_1.qdb"), "g/g_1_2.qdp\n");
}

// Output folders that cannot be made: the run's own folder stops the run; a
// -j folder of a spectrum fails its data set; both end with status 1.
TEST(GeneticRun, UnwritableFoldersAreReported) {
  RunFolder f("folder");
  f.write("g.par", twoDemeModel("SNP 100 0 1e-4 0", 2));
  f.write("g", "a file where the output folder goes\n");
  RunOutput r = f.run({"-i", "g.par", "-n", "1", "-q"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("The output folder \"g\": cannot be opened: Not a directory"),
            std::string::npos)
      << r.err;

  RunFolder j("spectrum_folder");
  j.write("g.par", twoDemeModel("SNP 100 0 1e-4 0", 2));
  j.write("g/g_1", "a file where the first spectrum folder goes\n");
  r = j.run({"-i", "g.par", "-n", "2", "-j", "-d", "-q", "-r", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Some spectrum files of simulation 1 could not be written"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(j.exists("g/g_2/g_DAFpop0.obs"));
}

// -j with two runs: the second run's folders follow the first run's.
TEST(GeneticRun, SpectrumFoldersOfSeveralRunsNeverOverlap) {
  RunFolder f("folders");
  f.write("g.par", twoDemeModel("SNP 200 0 1e-4 0", 2));
  const RunOutput r = f.run({"-i", "g.par", "-n", "2", "-b", "1", "-j", "-R", "2", "-d", "-q",
                             "-x", "-r", "4"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int k = 1; k <= 8; ++k) {
    const std::string file = "g/g_" + std::to_string(k) + "/g_DAFpop0.obs";
    ASSERT_TRUE(f.exists(file)) << file;
    EXPECT_EQ(countOf(f.read(file), "\n"), 3) << file;  // header, label, one data set
  }
  EXPECT_FALSE(f.exists("g/g_9"));
}

// A template in a sub-folder: each row's model is kept in the output folder.
TEST(GeneticRun, ModelsOfATemplateInASubFolderAreKept) {
  RunFolder f("template");
  std::string tpl = twoDemeModel("SNP 100 0 MUT 0", 2);
  f.write("sub/t.tpl", tpl);
  f.write("sub/t.def", "MUT\n1e-4\n2e-4\n");
  const RunOutput r = f.run({"-t", "sub/t.tpl", "-f", "sub/t.def", "-n", "1", "-q", "-r", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(f.read("t/t_1.par").find("SNP 100 0 1e-4 0"), std::string::npos);
  EXPECT_NE(f.read("t/t_2.par").find("SNP 100 0 2e-4 0"), std::string::npos);
  EXPECT_FALSE(f.exists("sub/t.par"));

  // With a prior file each run adds its row of parameter values.
  f.write("sub/t.est", "[PARAMETERS]\n//#isInt? #name #dist. #min #max\n0 MUT unif 1e-5 1e-4\n");
  const RunOutput drawn =
      f.run({"-t", "sub/t.tpl", "-e", "sub/t.est", "-E", "2", "-n", "1", "-q", "-r", "5"});
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  const std::vector<std::string> rows = linesOf(f.read("sub/t.params"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "MUT");
  const std::string model = f.read("t/t_2.par");
  const size_t at = model.find("SNP 100 0 ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(model.substr(at + 10)), std::stod(rows[2]), 1e-5 * std::stod(rows[2]));
}

// 25 data sets: progress lines at 10 and 20 only.
TEST(GeneticRun, ProgressLines) {
  RunFolder f("progress");
  f.write("g.par", twoDemeModel("SNP 20 0 1e-4 0", 1));
  const RunOutput r = f.run({"-i", "g.par", "-n", "25", "-x", "-r", "6"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(countOf(r.out, "\tGenealogy # "), 2);
  EXPECT_NE(r.out.find("\tGenealogy # 10/25\n"), std::string::npos);
  EXPECT_NE(r.out.find("\tGenealogy # 20/25\n"), std::string::npos);
}

// Genealogies of demes of 9e18 genes last longer than a 64-bit integer counts
// generations: the MRCA lines write such times at the limit of 9e18, never a
// wrapped or negative count.
TEST(GeneticRun, HugeTimesAreWrittenAtTheLimit) {
  RunFolder f("huge_times");
  std::string model =
      "//demes\n1\n//sizes\n9e18\n//samples\n6\n//growth\n0\n//matrices\n0\n//events\n0\n"
      "//chromosomes\n2 0\n//blocks\n1\n//per block\nDNA 10 0 1e-30 0.33\n";
  f.write("h.par", model);
  f.write("r.par", model.replace(model.find("DNA 10 0 "), 9, "DNA 10 1e-30 "));
  for (const char* name : {"h.par", "r.par"}) {
    const RunOutput r = f.run({"-i", name, "-n", "1", "-x", "-r", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countOf(r.out, ": 9000000000000000000\n") +
                  countOf(r.out, ": 9000000000000000000\t(0 recs)\n"),
              2)
        << r.out;
    EXPECT_EQ(countOf(r.out, ": -"), 0) << r.out;
  }
}

// The example runs as it is.
TEST(GeneticRun, ExampleModelRuns) {
  RunFolder f("example");
  f.copyExample("geneticData");
  const RunOutput r = f.run({"-i", "geneticData.par", "-n", "2", "-T", "-q", "-r", "1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(f.exists("geneticData/geneticData_1_2.qdp"));
  EXPECT_GT(countOf(f.read("geneticData/geneticData_1_true_trees.trees"), "tree NumGen_tree_"), 10);
}

}  // namespace
