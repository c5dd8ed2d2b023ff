// Project files of simulated samples: the profile, samples and structure
// sections to the byte, and the tokens of every data type.
#include <gtest/gtest.h>

#include <sstream>

#include "driver/projectFile.h"
#include "tests/sfs/handDataSet.h"

namespace {

std::string samplesOf(HandDataSet& h, int genotypic) {
  std::ostringstream os;
  EXPECT_TRUE(writeSamples(os, h.s, genotypic, statesInMemory(h.s.demeCollection)));
  return os.str();
}

TEST(ProjectFile, ProfileSectionToTheByte) {
  std::ostringstream os;
  writeQuendrelFileStart(os);
  write_Quendrel_header(2, DataType::SNP, os, 1, 0);
  EXPECT_EQ(os.str(),
            "#Quendrel input file written by the simulation program brimvane2\n"
            "\n[Profile]\n\tTitle=\"A series of simulated samples\"\n\tNbSamples=2\n\n"
            "\tGenotypicData=1\n\tGameticPhase=0\n\tRecessiveData=0\n\tDataType=DNA\n"
            "\tLocusSeparator=NONE\n\tMissingData='?'\n\n[Data]\n\t[[Samples]]\n");
  std::ostringstream micro;
  write_Quendrel_header(1, DataType::MICROSAT, micro, 0, 1);
  EXPECT_NE(micro.str().find("\tGameticPhase=1\n\tRecessiveData=0\n\tDataType=MICROSAT\n"
                             "\tLocusSeparator=WHITESPACE\n"),
            std::string::npos);
}

// Only deme 2 of two has a sample: one sample named Sample 2, lines 2_g.
TEST(ProjectFile, OnlySecondDemeSampledWithAndWithoutGenotypes) {
  HandDataSet h(handModel({0, 4}, 1, {"SNP 10 0 1e-8 0"}));
  h.site(0, 3, DataType::SNP, {0, 1, 1, 0});
  h.store();
  EXPECT_EQ(samplesOf(h, 0),
            "\t\tSampleName=\"Sample 2\"\n\t\tSampleSize=4\n\t\tSampleData= {\n"
            "2_1\t1\t 0\n2_2\t1\t 1\n2_3\t1\t 1\n2_4\t1\t 0\n\n}\n");
  EXPECT_EQ(samplesOf(h, 1),
            "\t\tSampleName=\"Sample 2\"\n\t\tSampleSize=2\n\t\tSampleData= {\n"
            "2_1\t1\t 0\n\t\t 1\n2_2\t1\t 1\n\t\t 0\n\n}\n");
  std::ostringstream structure;
  h.s.demeCollection.write_group_section_to_Quendrel_file(structure);
  EXPECT_EQ(structure.str(),
            "\n[[Structure]]\n\n\tStructureName=\"Simulated data\"\n\tNbGroups=1\n\tGroup={"
            "\n\t   \"Sample 2\"\n\t}\n");
  EXPECT_EQ(numSampledDemes(h.s.demeCollection), 1);
}

// The gene line of gene 0 of the only deme.
std::string firstLine(HandDataSet& h) {
  const std::string text = samplesOf(h, 0);
  const size_t start = text.find("1_1\t1\t") + 6;
  return text.substr(start, text.find('\n', start) - start);
}

TEST(ProjectFile, TokensOfEveryDataType) {
  {
    HandDataSet h(handModel({2}, 1, {"SNP 10 0 1e-8 0"}));
    for (long p : {1, 2, 5}) h.site(0, p, DataType::SNP, {static_cast<short>(p > 1), 0});
    h.store();
    EXPECT_EQ(firstLine(h), " 011");
  }
  {
    HandDataSet h(handModel({2}, 1, {"MICROSAT 4 0 1e-4 0 0"}));
    h.site(0, 0, DataType::MICROSAT, {-2, 0});
    h.site(0, 2, DataType::MICROSAT, {13, 0});
    h.store();
    EXPECT_EQ(firstLine(h), " 498  513 ");
  }
  {
    HandDataSet h(handModel({2}, 1, {"STANDARD 4 0 1e-4"}));
    h.site(0, 1, DataType::STANDARD, {12, 0});
    h.store();
    EXPECT_EQ(firstLine(h), " 12 ");
  }
  {
    HandDataSet h(handModel({2}, 1, {"DNA 10 0 1e-8 0.33"}));
    h.site(0, 0, DataType::DNA, {0, 1}, 4);  // row 4: "CTAG"
    h.site(0, 1, DataType::DNA, {3, 1}, 0);  // row 0: "AGCT"
    h.store();
    EXPECT_EQ(firstLine(h), "CT");
    OUTPUT_DNA_AS_SNP = true;
    EXPECT_EQ(firstLine(h), "03");
  }
}

TEST(ProjectFile, NoPolymorphicSiteGivesOneMonomorphicToken) {
  HandDataSet h(handModel({2}, 2, {"DNA 10 0 1e-8 0.33"}));
  h.store();
  EXPECT_EQ(firstLine(h), "A");
  OUTPUT_DNA_AS_SNP = true;
  EXPECT_EQ(firstLine(h), "0");
}

TEST(ProjectFile, SnpLimitKeepsTheFirstDnaSitesOfALine) {
  HandDataSet h(handModel({2}, 2, {"DNA 10 0 1e-8 0.33"}));
  for (long p = 0; p < 3; ++p) h.site(0, p, DataType::DNA, {1, 0});
  for (long p = 0; p < 2; ++p) h.site(1, p, DataType::DNA, {2, 0});
  h.store();
  TSimSettings::maxNumSNPs = 2;
  EXPECT_EQ(firstLine(h), "GG");
  TSimSettings::maxNumSNPs = 4;
  EXPECT_EQ(firstLine(h), "GGGC");
}

// Every position: fillers around the sites, chromosome after chromosome;
// past the -s limit the polymorphic positions of that chromosome are written
// as monomorphic, and the next chromosome is written in full.
TEST(ProjectFile, AllSitesModeFillsMonomorphicPositions) {
  HandDataSet h(handModel({2}, 2, {"DNA 4 0 1e-8 0.33"}));
  h.site(0, 1, DataType::DNA, {1, 0});
  h.site(0, 3, DataType::DNA, {3, 0});
  h.site(1, 2, DataType::DNA, {2, 0});
  h.store();
  TSimSettings::printAllSites = true;
  EXPECT_EQ(firstLine(h), "AGAT" "AACA");
  TSimSettings::maxNumSNPs = 1;
  EXPECT_EQ(firstLine(h), "AGAA" "AACA");
}

// The -s limit in every-position mode stops one chromosome only, the one
// where the running site index reaches it (SNP sites count in the index but
// do not stop); SNP sites of later chromosomes are written too.
TEST(ProjectFile, AllSitesLimitStopsOnlyTheChromosomeWhereItIsReached) {
  HandDataSet h(handModel({2}, 3, {"DNA 4 0 1e-8 0.33", "SNP 2 0 1e-8 0"}));
  h.site(0, 1, DataType::DNA, {1, 0});
  h.site(0, 3, DataType::DNA, {3, 0});
  h.site(0, 4, DataType::SNP, {1, 0});
  h.site(1, 2, DataType::DNA, {2, 0});
  h.site(1, 5, DataType::SNP, {1, 0});
  h.site(2, 0, DataType::DNA, {1, 0});
  h.store();
  TSimSettings::printAllSites = true;
  struct Case { int limit; const char* line; };
  // A mixed chromosome separates its loci by blanks.
  for (const Case& c : {Case{0, "A G A T 1 0 " "A A C A 0 1 " "G A A A 0 0"},
                        Case{1, "A G A A 0 0 " "A A C A 0 1 " "G A A A 0 0"},
                        Case{3, "A G A T 1 0 " "A A C A 0 0 " "G A A A 0 0"},
                        Case{6, "A G A T 1 0 " "A A C A 0 1 " "G A A A 0 0"}}) {
    TSimSettings::maxNumSNPs = c.limit;
    EXPECT_EQ(firstLine(h), c.line) << "limit " << c.limit;
  }
}

// Under SNP ascertainment only the DNA sites polymorphic in the panel are written.
TEST(ProjectFile, AscertainmentFiltersDnaSites) {
  HandDataSet h(handModel({4}, 1, {"DNA 10 0 1e-8 0.33"}));
  h.site(0, 0, DataType::DNA, {0, 1, 0, 0});  // panel genes 0 and 1 differ
  h.site(0, 1, DataType::DNA, {1, 1, 0, 0});  // not in the panel
  h.site(0, 2, DataType::DNA, {2, 0, 0, 2});
  h.store();
  TSimSettings::SNPascertainment = true;
  TSimSettings::ascertainedDeme = 0;
  TSimSettings::ascertainedSize = 2;
  TDemeCollection& c = h.s.demeCollection;
  ASSERT_TRUE(c.demes[0].flagSitesMeetingAscertainmentCondition(c));
  ASSERT_EQ(c.ascertainedSites.numElems, 2);
  EXPECT_EQ(c.ascertainedSites[1], 2);
  EXPECT_EQ(firstLine(h), "AC");
}

// Chromosomes mixing block types give a file that declares its loci apart:
// every token of a line, whatever its type, stands apart from the next.
struct MixedSite {
  int chrom;
  long pos;
  DataType type;
  short state;  // of gene 1; gene 2 keeps the ancestral state
  int row;
};

struct MixedLineCase {
  const char* name;
  int chromosomes;
  std::vector<std::string> blocks;
  std::vector<MixedSite> sites;
  bool allSites, dnaAsSnp;
  const char* line;  // gene 1 after its prefix
};

void PrintTo(const MixedLineCase& c, std::ostream* os) { *os << c.name; }

class MixedLine : public testing::TestWithParam<MixedLineCase> {};

TEST_P(MixedLine, EveryTokenStandsApart) {
  const MixedLineCase& m = GetParam();
  HandDataSet h(handModel({2}, m.chromosomes, m.blocks));
  for (const MixedSite& site : m.sites)
    h.site(site.chrom, site.pos, site.type, {site.state, 0}, site.row);
  h.store();
  TSimSettings::printAllSites = m.allSites;
  OUTPUT_DNA_AS_SNP = m.dnaAsSnp;
  ASSERT_TRUE(lociApartInFile(projectFileDataType(h.s)));
  EXPECT_EQ(firstLine(h), m.line);
}

const DataType kSnp = DataType::SNP, kDna = DataType::DNA, kMicro = DataType::MICROSAT,
               kStd = DataType::STANDARD;
const std::string kSnpBlock = "SNP 3 0 1e-8 0", kDnaBlock = "DNA 4 0 1e-8 0.33",
                  kMicroBlock = "MICROSAT 2 0 1e-4 0 0", kStdBlock = "STANDARD 2 0 1e-4";

const MixedLineCase kMixedLines[] = {
    {"SnpThenDna", 1, {kSnpBlock, kDnaBlock},
     {{0, 0, kSnp, 0, 0}, {0, 2, kSnp, 1, 0}, {0, 4, kDna, 1, 0}, {0, 6, kDna, 3, 4}},
     false, false, " 0 1 G G"},
    {"SnpThenDnaAllSites", 1, {kSnpBlock, kDnaBlock},
     {{0, 0, kSnp, 0, 0}, {0, 2, kSnp, 1, 0}, {0, 4, kDna, 1, 0}, {0, 6, kDna, 3, 4}},
     true, false, " 0 0 1 A G A G"},
    {"SnpFillerFirstAllSites", 1, {kSnpBlock, kDnaBlock},
     {{0, 1, kSnp, 1, 0}, {0, 3, kDna, 2, 0}, {0, 5, kDna, 3, 0}}, true, false,
     "0 1 0 C A T A"},
    {"DnaAsSnpDigits", 1, {kSnpBlock, kDnaBlock},
     {{0, 1, kSnp, 1, 0}, {0, 3, kDna, 2, 0}, {0, 5, kDna, 3, 0}}, false, true, " 1 2 3"},
    {"MicrosatThenDna", 1, {kMicroBlock, kDnaBlock},
     {{0, 0, kMicro, -2, 0}, {0, 2, kDna, 1, 0}, {0, 3, kDna, 2, 0}}, false, false,
     " 498 G C"},
    {"MicrosatThenDnaAllSites", 1, {kMicroBlock, kDnaBlock},
     {{0, 0, kMicro, -2, 0}, {0, 3, kDna, 2, 0}}, true, false, " 498  500 A C A A"},
    {"StandardThenSnp", 1, {kStdBlock, kSnpBlock},
     {{0, 1, kStd, 3, 0}, {0, 2, kSnp, 1, 0}, {0, 3, kSnp, 0, 0}}, true, false,
     " 0 3  1 0 0"},
    {"DnaMicrosatSnp", 1, {kDnaBlock, kMicroBlock, kSnpBlock},
     {{0, 1, kDna, 3, 0}, {0, 2, kDna, 1, 0}, {0, 4, kMicro, 1, 0}, {0, 6, kSnp, 1, 0},
      {0, 8, kSnp, 1, 0}},
     false, false, "T G 501  1 1"},
    {"DnaMicrosatSnpAllSites", 1, {kDnaBlock, kMicroBlock, kSnpBlock},
     {{0, 1, kDna, 3, 0}, {0, 4, kMicro, 1, 0}, {0, 7, kSnp, 1, 0}}, true, false,
     "A T A A 501  500 0 1 0"},
    // The last token of a chromosome stands apart from the first of the next.
    {"DnaAcrossChromosomes", 2, {kSnpBlock, kDnaBlock},
     {{0, 6, kDna, 1, 0}, {1, 3, kDna, 3, 0}, {1, 4, kDna, 2, 0}}, false, false, "G T C"},
    {"RflpFillersApart", 1, {"RFLP 2 0 0", kDnaBlock}, {{0, 3, kDna, 1, 0}}, true, false,
     "0 0 A G A A"},
};

INSTANTIATE_TEST_SUITE_P(Cases, MixedLine, testing::ValuesIn(kMixedLines),
                         [](const testing::TestParamInfo<MixedLineCase>& i) {
                           return std::string(i.param.name);
                         });

TEST(ProjectFile, DataTypeOfTheProfile) {
  HandDataSet dna(handModel({2}, 1, {"DNA 10 0 1e-8 0.33"}));
  EXPECT_EQ(projectFileDataType(dna.s), DataType::DNA);
  HandDataSet mixed(handModel({2}, 1, {"DNA 10 0 1e-8 0.33", "SNP 3 0 1e-8 0"}));
  EXPECT_EQ(projectFileDataType(mixed.s), DataType::STANDARD);
  EXPECT_TRUE(dataTypesMixed(mixed.s));
  std::string perChromosome = handModel({2}, 2, {"DNA 10 0 1e-8 0.33"});
  perChromosome.replace(perChromosome.find("2 0\n//Per"), 3, "2 1");
  perChromosome += "//Per chromosome: Number of linkage blocks\n1\n//per Block\nSNP 4 0 1e-8 0\n";
  HandDataSet differing(perChromosome);
  EXPECT_EQ(differing.s.numChromStructures, 2);
  EXPECT_EQ(projectFileDataType(differing.s), DataType::STANDARD);
}

}  // namespace
