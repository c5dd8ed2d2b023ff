// Outputs of an earlier invocation are removed from the model's output folder
// at the start of a new one; nothing else is.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/staleOutputs.h"
#include "runFolder.h"

namespace {

struct NameCase {
  const char* name;
  const char* generic;
  bool output;
};

TEST(StaleOutputs, NamesOfTheModelsOutputsWhateverTheirNumbers) {
  const NameCase cases[] = {
      {"g_1_4.qdp", "g", true},
      {"g_12_300.qdp", "g", true},
      {"g_2.qdb", "g", true},
      {"g_1.simparam", "g", true},
      {"g_1_true_trees.trees", "g", true},
      {"g_3_mut_trees.trees", "g", true},
      {"g_1_asc_trees.trees", "g", true},
      {"g_2.par", "g", true},  // a model generated from the template, kept
      {"g_DAFpop0.obs", "g", true},
      {"g_MAFpop3-asc10.obs", "g", true},
      {"g_jointDAFpop2_0.txt", "g", true},
      {"g_jointMAFpop1_0_dadi.obsSFS", "g", true},
      {"g_DSFS.obs", "g", true},
      {"g_MSFS_dadi.obsSFS", "g", true},
      {"g_DAFpop1_dadi-asc4.obsSFS", "g", true},
      {"g_numPolymSites.obs", "g", true},
      {"g_pooled_DAFpop0.obs", "g", true},
      {"g.lhoods", "g", true},
      {"g.lhoodObs", "g", true},
      {"g.brent_lhoods", "g", true},
      {"g.bestlhoods", "g", true},
      {"g_maxL.rsf", "g", true},
      {"g_maxL.par", "g", true},
      {"g_bad.par", "g", true},
      {"m2_1_1.qdp", "m2", true},
      // Inputs, files of other names and files of other models stay.
      {"g.par", "g", false},
      {"g.tpl", "g", false},
      {"g.est", "g", false},
      {"g.def", "g", false},
      {"notes.txt", "g", false},
      {"h_1_1.qdp", "g", false},
      {"g2_1_1.qdp", "g", false},
      {"m23_1.qdb", "m2", false},
      {"G_1_1.qdp", "g", false},
      {"g_1_1.qdp.bak", "g", false},
      {"g_1_1.qdp~", "g", false},
      {"g_1", "g", false},
      {"g_DAFpop0.csv", "g", false},
      {"seed.txt", "g", false},
  };
  for (const NameCase& c : cases)
    EXPECT_EQ(isOutputFileName(c.name, c.generic), c.output) << c.name;
  EXPECT_TRUE(isSpectrumFolderName("g_7", "g"));
  EXPECT_FALSE(isSpectrumFolderName("g_7_1", "g"));
  EXPECT_FALSE(isSpectrumFolderName("h_7", "g"));
}

// Two demes, one SNP chromosome: project files, trees and spectra per data set.
const char* kModel =
    "//Number of population samples (demes)\n2\n//Population effective sizes\n1000\n2000\n"
    "//Sample sizes\n6\n4\n//Growth rates\n0\n0\n//Number of migration matrices\n1\n"
    "//Migration matrix 0\n0 0.0005\n0.0005 0\n//historical event\n0 historical event\n"
    "//Number of independent loci\n1 0\n//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate\nSNP 200 0 1e-4 0\n";

TEST(StaleOutputs, SecondInvocationKeepsOnlyItsOwnOutputsAndTheUsersFiles) {
  RunFolder f("stale");
  f.write("g.par", kModel);
  RunOutput r = f.run({"-i", "g.par", "-n", "6", "-b", "1", "-j", "-d", "-T", "-q", "-r", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(f.exists("g/g_1_6.qdp"));
  ASSERT_TRUE(f.exists("g/g_12/g_DAFpop0.obs"));
  EXPECT_EQ(r.out.find("\nRemoved "), std::string::npos);  // nothing to remove the first time
  const std::vector<std::string> kept = {"g/notes.txt", "g/h_1_1.qdp", "g/g_1_6.qdp.bak",
                                         "g/g_3/mine.txt", "g_DAFpop0.obs", "other/g_1_1.qdp"};
  for (const std::string& name : kept) f.write(name, "the user's\n");
  const size_t before = f.files().size();

  r = f.run({"-i", "g.par", "-n", "3", "-d", "-q", "-r", "4"});
  ASSERT_EQ(r.status, 0) << r.err;
  // 6 project files, the batch list, the model echo, the tree file, the table
  // of highest likelihoods, and the 4 spectrum files of each of the 12 folders
  // (the folders go too, but the one holding the user's file).
  const int removed = 6 + 1 + 1 + 1 + 1 + 12 * 4;
  EXPECT_NE(r.out.find("\nRemoved " + std::to_string(removed) +
                       " output files of an earlier run from the output folder \"g\"\n"),
            std::string::npos)
      << r.out;
  for (int i = 4; i <= 6; ++i) EXPECT_FALSE(f.exists("g/g_1_" + std::to_string(i) + ".qdp")) << i;
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(f.exists("g/g_1_" + std::to_string(i) + ".qdp")) << i;
  EXPECT_FALSE(f.exists("g/g_1_true_trees.trees"));
  EXPECT_EQ(f.read("g/g_1.qdb"), "g/g_1_1.qdp\ng/g_1_2.qdp\ng/g_1_3.qdp\n");
  EXPECT_EQ(f.read("g/g_DAFpop0.obs").rfind("3 observations", 0), 0u);
  EXPECT_FALSE(f.exists("g/g_1"));
  EXPECT_FALSE(f.exists("g/g_12"));
  EXPECT_TRUE(f.exists("g/g_3"));
  for (const std::string& name : kept) EXPECT_EQ(f.read(name), "the user's\n") << name;
  EXPECT_LT(f.files().size(), before);
}

}  // namespace
