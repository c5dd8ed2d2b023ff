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
  for (const Case& c : {Case{0, "AGAT 10" "AACA01" "GAAA00"}, Case{1, "AGAA00" "AACA0 1" "GAAA00"},
                        Case{3, "AGAT 10" "AACA00" "GAAA00"}, Case{6, "AGAT 10" "AACA01" "GAAA00"}}) {
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
