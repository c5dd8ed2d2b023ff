// Whole runs of recombining chromosomes: the tree of every stretch of loci in
// the tree files with the mutations of its stretch, and the recombination
// part of the project file's comment block whatever the batches and threads.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/runFolder.h"

namespace {

using Args = std::vector<std::string>;

// One deme of 1000 genes, 6 sampled; chromosome structures of the given
// blocks (one structure for all chromosomes, or one per chromosome).
std::string oneDemeModel(int chromosomes, const std::vector<std::vector<std::string>>& structures) {
  std::string t =
      "//Number of population samples (demes)\n1\n//Population effective sizes (number of "
      "genes)\n1000\n//Sample sizes\n6\n//Growth rates\n0\n//Number of migration matrices\n0\n"
      "//historical event\n0 historical event\n//Number of independent loci [chromosome]\n" +
      std::to_string(chromosomes) + (structures.size() > 1 ? " 1\n" : " 0\n");
  for (const std::vector<std::string>& blocks : structures) {
    t += "//Per chromosome: Number of linkage blocks\n" + std::to_string(blocks.size()) +
         "\n//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n";
    for (const std::string& b : blocks) t += b + "\n";
  }
  return t;
}

std::vector<long> numbersOf(const std::string& line) {
  std::vector<long> v;
  std::string text = line;
  for (char& c : text)
    if (c == '#' || c == ',' || c == '\t') c = ' ';
  std::istringstream in(text);
  for (long x; in >> x;) v.push_back(x);
  return v;
}

// The comment block of a project file: site positions (1-based) and
// recombination loci (as stored) of each chromosome (from 1).
struct TSiteBlock {
  std::map<int, std::vector<long>> sites, recLoci;
  bool hasRecombinationPart = false;
};

TSiteBlock siteBlockOf(const std::string& project) {
  TSiteBlock b;
  const std::vector<std::string> lines = linesOf(project);
  const std::regex positions("# (\\d+) polymorphic positions on chromosome (\\d+)");
  const std::regex chromosome("# Chromosome (\\d+)");
  std::smatch m;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (std::regex_match(lines[i], m, positions)) {
      if (std::stoi(m[1]) > 0) b.sites[std::stoi(m[2])] = numbersOf(lines[i + 1]);
    } else if (std::regex_match(lines[i], m, chromosome)) {
      b.recLoci[std::stoi(m[1])] = numbersOf(lines[i + 1]);
    } else if (lines[i].rfind("#Total number of recombination events: ", 0) == 0) {
      b.hasRecombinationPart = true;
    }
  }
  return b;
}

// One tree of the mutation-tree file: its number, its first locus and the
// mutations on its branches.
struct TTreeEntry {
  int number;
  long position;
  long mutations;
};

// The trees of each chromosome (from 1), in file order: numbering restarts
// with every chromosome.
std::map<int, std::vector<TTreeEntry>> mutTreesOf(const std::string& file) {
  std::map<int, std::vector<TTreeEntry>> trees;
  const std::regex name("\ttree NumMut_tree_\\d+_(\\d+)_pos_(\\d+) = \\[&U\\] (.*);");
  const std::regex count(":(\\d+)");
  int chromosome = 0;
  std::smatch m;
  for (const std::string& line : linesOf(file)) {
    if (!std::regex_match(line, m, name)) continue;
    TTreeEntry e{std::stoi(m[1]), std::stol(m[2]), 0};
    const std::string newick = m[3];
    for (std::sregex_iterator it(newick.begin(), newick.end(), count), end; it != end; ++it)
      e.mutations += std::stol((*it)[1]);
    if (e.number == 1) ++chromosome;
    trees[chromosome].push_back(e);
  }
  return trees;
}

struct TreeCase {
  const char* name;
  std::vector<std::string> blocks;
  long firstDNALocus;  // 0-based; SNP sites before it carry no mutation count
};

class StretchTrees : public testing::TestWithParam<TreeCase> {};

// With the infinite-site switch every DNA site is one mutation: each tree
// carries exactly the DNA sites of its stretch, the stretches start at 0 and
// at every locus where recombination changed the tree, and they cover the
// chromosome.
TEST_P(StretchTrees, EveryStretchHasItsTreeWithTheSitesOfTheStretch) {
  RunFolder f("stretches");
  const int numChrom = 4;
  f.write("w.par", oneDemeModel(numChrom, {GetParam().blocks}));
  const RunOutput r = f.run({"-i", "w.par", "-n", "1", "-T", "-I", "-q", "-r", "5", "-B", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  const TSiteBlock project = siteBlockOf(f.read("w/w_1_1.qdp"));
  const std::map<int, std::vector<TTreeEntry>> trees = mutTreesOf(f.read("w/w_1_mut_trees.trees"));
  ASSERT_EQ(static_cast<int>(trees.size()), numChrom);
  long dnaSites = 0, treeMutations = 0, changes = 0;
  for (const auto& [c, list] : trees) {
    SCOPED_TRACE("chromosome " + std::to_string(c));
    std::vector<long> starts{0};
    if (project.recLoci.count(c))
      for (long locus : project.recLoci.at(c))
        if (locus != starts.back()) starts.push_back(locus);
    ASSERT_EQ(list.size(), starts.size());
    changes += static_cast<long>(starts.size()) - 1;
    const std::vector<long> sites = project.sites.count(c) ? project.sites.at(c) : std::vector<long>{};
    for (size_t t = 0; t < list.size(); ++t) {
      EXPECT_EQ(list[t].number, static_cast<int>(t) + 1);
      EXPECT_EQ(list[t].position, starts[t]);
      const long end = t + 1 < list.size() ? starts[t + 1] : 1L << 40;
      long inStretch = 0;
      for (long p : sites)
        inStretch += p - 1 >= starts[t] && p - 1 < end && p - 1 >= GetParam().firstDNALocus;
      EXPECT_EQ(list[t].mutations, inStretch) << "tree " << t + 1;
      treeMutations += list[t].mutations;
      dnaSites += inStretch;
    }
  }
  EXPECT_EQ(treeMutations, dnaSites);
  EXPECT_GT(dnaSites, 20);
  EXPECT_GT(changes, 2 * numChrom) << "too few recombinations to test the stretches";
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, StretchTrees,
    testing::Values(TreeCase{"SNPThenDNA", {"SNP 10 1e-4 1e-5 0", "DNA 3000 1e-6 2e-6 0.33"}, 10},
                    TreeCase{"DNAThenDNA", {"DNA 800 2e-6 2e-5 0.33", "DNA 800 1e-5 2e-5 0.33"},
                             0}),
    [](const testing::TestParamInfo<TreeCase>& info) { return std::string(info.param.name); });

// One structure per chromosome, the last one not recombining: the
// recombination part is there for every batch count and thread count (a
// batch whose last chromosome does not recombine still tells of the others),
// and absent when no chromosome recombines.
TEST(RecombinationPart, IsWrittenWhenAnyChromosomeRecombines) {
  const std::string rec = "DNA 500 1e-5 1e-5 0.33", flat = "DNA 500 0 1e-5 0.33";
  const struct {
    std::vector<std::vector<std::string>> structures;
    bool recombines;
  } models[] = {{{{rec}, {rec}, {flat}}, true}, {{{flat}, {rec}, {flat}}, true},
                {{{flat}, {flat}, {flat}}, false}};
  for (const auto& model : models) {
    for (const char* batches : {"1", "2", "3"}) {
      for (const char* threads : {"1", "2"}) {
        const std::string label = std::string("-B ") + batches + " -c " + threads;
        RunFolder f("recpart");
        f.write("p.par", oneDemeModel(3, model.structures));
        const RunOutput r =
            f.run({"-i", "p.par", "-n", "2", "-q", "-r", "9", "-B", batches, "-c", threads});
        ASSERT_EQ(r.status, 0) << label << r.err;
        for (const char* file : {"p/p_1_1.qdp", "p/p_1_2.qdp"}) {
          const TSiteBlock b = siteBlockOf(f.read(file));
          EXPECT_EQ(b.hasRecombinationPart, model.recombines) << label << " " << file;
          EXPECT_FALSE(b.recLoci.count(3)) << label << " " << file;
        }
      }
    }
  }
}

}  // namespace
