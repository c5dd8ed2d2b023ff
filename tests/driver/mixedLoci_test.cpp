// Whole runs of models whose chromosomes mix block types: their project files
// declare the loci apart, so each gene line, split at white space, holds one
// token per locus the file lists, and each token is the state of its locus.
// The states are checked against a second run of the same seed that keeps
// everything in memory, writes the lines on threads and lists the polymorphic
// positions in its comment block.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/runFolder.h"

namespace {

using Args = std::vector<std::string>;
using Tokens = std::vector<std::string>;

struct Mix {
  const char* name;
  std::vector<std::string> blocks;  // "TYPE loci recRate mutRate [extra]"
};

const Mix kMixes[] = {
    {"SnpDna", {"SNP 6 0 2e-4 0", "DNA 12 0 1e-4 0.33"}},
    {"MicrosatDna", {"MICROSAT 3 0 2e-4 0 0", "DNA 12 0 1e-4 0.33"}},
    {"StandardSnp", {"STANDARD 3 0 2e-4", "SNP 6 0 2e-4 0"}},
    {"DnaMicrosatSnp", {"DNA 12 0 1e-4 0.33", "MICROSAT 3 0 2e-4 0 0", "SNP 6 0 2e-4 0"}},
};

// Two demes of 4 and 2 genes that merge 500 generations ago; two chromosomes.
std::string mixModel(const Mix& mix) {
  std::string t =
      "//Number of population samples (demes)\n2\n//Population effective sizes\n1000\n1000\n"
      "//Sample sizes\n4\n2\n//Growth rates\n0\n0\n//Number of migration matrices\n0\n"
      "//historical event\n1 historical event\n500 1 0 1 1 0 nomig\n"
      "//Number of independent loci [chromosome]\n2 0\n"
      "//Per chromosome: Number of linkage blocks\n" +
      std::to_string(mix.blocks.size()) + "\n//per Block\n";
  for (const std::string& b : mix.blocks) t += b + "\n";
  return t;
}

// Block type of every locus of a chromosome, in order.
std::vector<std::string> locusTypes(const Mix& mix) {
  std::vector<std::string> types;
  for (const std::string& b : mix.blocks) {
    std::istringstream in(b);
    std::string type;
    int loci = 0;
    in >> type >> loci;
    types.insert(types.end(), loci, type);
  }
  return types;
}

struct ProjectFile {
  std::string profile;                     // from "[Profile]" to "[Data]"
  std::vector<std::vector<long>> listed;   // 0-based polymorphic positions per chromosome
  std::vector<Tokens> genes;               // tokens of every gene line, in file order
};

Tokens splitAtWhiteSpace(const std::string& text) {
  std::istringstream in(text);
  Tokens tokens;
  for (std::string t; in >> t;) tokens.push_back(t);
  return tokens;
}

ProjectFile readProjectFile(const std::string& text) {
  ProjectFile f;
  f.profile = text.substr(0, text.find("[Data]"));
  bool inSample = false;
  for (const std::string& line : linesOf(text)) {
    const bool chromosomeLine =
        line.rfind("# ", 0) == 0 &&
        line.find(" polymorphic positions on chromosome ") != std::string::npos;
    if (chromosomeLine) {
      f.listed.emplace_back();
    } else if (!inSample && line.rfind("#", 0) == 0 && !f.listed.empty() &&
               line.find_first_of("0123456789") == 1) {
      std::string numbers = line.substr(1);
      for (char& ch : numbers)
        if (ch == ',') ch = ' ';
      for (const std::string& p : splitAtWhiteSpace(numbers))
        f.listed.back().push_back(std::stol(p) - 1);
    } else if (line == "\t\tSampleData= {") {
      inSample = true;
    } else if (line == "}") {
      inSample = false;
    } else if (inSample && !line.empty()) {
      // The prefix: "<deme>_<gene>\t1\t", or "\t\t" for the second gene of an individual.
      const size_t start =
          line.rfind("\t\t", 0) == 0 ? 2 : line.find('\t', line.find('\t') + 1) + 1;
      f.genes.push_back(splitAtWhiteSpace(line.substr(start)));
    }
  }
  return f;
}

// A token that can be the state of a locus of that block type.
bool fitsType(const std::string& token, const std::string& type) {
  const bool digits = !token.empty() && token.find_first_not_of("0123456789") == std::string::npos;
  if (type == "DNA")
    return token.size() == 1 && std::string("ACGT").find(token) != std::string::npos;
  if (type == "SNP") return token == "0" || token == "1";
  if (type == "MICROSAT") return digits && token.size() == 3;  // repeats around 500
  return digits;                                               // STANDARD
}

// The token of a position without a polymorphic site.
std::string fillerOf(const std::string& type) {
  if (type == "DNA") return "A";
  if (type == "MICROSAT") return "500";
  return "0";
}

struct MixCase {
  Mix mix;
  bool allSites, genotypic, spilled;
};

std::string caseName(const testing::TestParamInfo<MixCase>& i) {
  const MixCase& c = i.param;
  return std::string(c.mix.name) + (c.allSites ? "_S" : "") + (c.genotypic ? "_g" : "") +
         (c.spilled ? "_k3" : "");
}

std::vector<MixCase> allCases() {
  std::vector<MixCase> cases;
  for (const Mix& mix : kMixes)
    for (bool allSites : {false, true})
      for (bool genotypic : {false, true})
        for (bool spilled : {false, true}) cases.push_back({mix, allSites, genotypic, spilled});
  return cases;
}

void PrintTo(const MixCase& c, std::ostream* os) {
  *os << c.mix.name << (c.allSites ? " -S" : "") << (c.genotypic ? " -g" : "")
      << (c.spilled ? " -k 3" : "");
}

class MixedLoci : public testing::TestWithParam<MixCase> {};

ProjectFile runOnce(RunFolder& folder, Args extra) {
  Args args{"-i", "m.par", "-n", "1", "-q", "-r", "29"};
  args.insert(args.end(), extra.begin(), extra.end());
  const RunOutput r = folder.run(args);
  EXPECT_EQ(r.status, 0) << r.err;
  return readProjectFile(folder.read("m/m_1_1.qdp"));
}

TEST_P(MixedLoci, OneTokenPerListedLocusAndItsState) {
  const MixCase& c = GetParam();
  RunFolder folder("mixedLoci");
  folder.write("m.par", mixModel(c.mix));
  const Args genotypic = c.genotypic ? Args{"-g"} : Args{};
  // The reference: sites kept in memory, lines built on two threads.
  Args refArgs{"-c", "2"};
  refArgs.insert(refArgs.end(), genotypic.begin(), genotypic.end());
  const ProjectFile ref = runOnce(folder, refArgs);
  Args args = genotypic;
  if (c.allSites) args.push_back("-S");
  if (c.spilled) args.insert(args.end(), {"-k", "3"});
  const ProjectFile f = runOnce(folder, args);

  EXPECT_NE(f.profile.find("\tDataType=STANDARD\n\tLocusSeparator=WHITESPACE\n"),
            std::string::npos);
  const std::vector<std::string> types = locusTypes(c.mix);
  ASSERT_EQ(ref.listed.size(), 2u);
  // The loci the lines hold, as (chromosome, position); every block type has a site.
  std::vector<std::pair<int, long>> loci;
  std::set<std::string> typesWithSites;
  for (int chrom = 0; chrom < 2; ++chrom) {
    ASSERT_GT(ref.listed[chrom].size(), 3u) << "chromosome " << chrom + 1 << " would not spill";
    for (long p : ref.listed[chrom]) typesWithSites.insert(types.at(p));
    if (c.allSites)
      for (long p = 0; p < static_cast<long>(types.size()); ++p) loci.push_back({chrom, p});
    else
      for (long p : ref.listed[chrom]) loci.push_back({chrom, p});
  }
  ASSERT_EQ(typesWithSites.size(), c.mix.blocks.size());
  ASSERT_EQ(f.genes.size(), 6u);
  ASSERT_EQ(ref.genes.size(), 6u);
  for (size_t g = 0; g < f.genes.size(); ++g) {
    const Tokens& tokens = f.genes[g];
    ASSERT_EQ(tokens.size(), loci.size()) << "gene line " << g + 1;
    // The reference's tokens, one per listed position, in order.
    size_t next = 0;
    for (size_t k = 0; k < loci.size(); ++k) {
      const auto [chrom, pos] = loci[k];
      const std::string& type = types[pos];
      EXPECT_TRUE(fitsType(tokens[k], type))
          << "gene line " << g + 1 << ", token " << k + 1 << ": " << tokens[k] << " for " << type;
      const std::vector<long>& sites = ref.listed[chrom];
      const bool listed = std::find(sites.begin(), sites.end(), pos) != sites.end();
      if (listed)
        EXPECT_EQ(tokens[k], ref.genes[g].at(next++))
            << "gene line " << g + 1 << ", chromosome " << chrom + 1 << ", locus " << pos + 1;
      else
        EXPECT_EQ(tokens[k], fillerOf(type))
            << "gene line " << g + 1 << ", chromosome " << chrom + 1 << ", locus " << pos + 1;
    }
    EXPECT_EQ(next, ref.genes[g].size());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, MixedLoci, testing::ValuesIn(allCases()), caseName);

}  // namespace
