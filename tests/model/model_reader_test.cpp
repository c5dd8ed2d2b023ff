// Reading model texts into the settings, and refusing impossible models.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "modelTexts.h"

namespace {

constexpr double kCT = TDemeCollection::CTTimeUnit;

TEST(ModelReader, ReadsTheTwoDemeModel) {
  TSimSettings s;
  ASSERT_EQ(parseModel(s, ModelFile().text()).result, 1);
  EXPECT_EQ(s.numDemes, 2);
  EXPECT_EQ(s.demeSizes[1], 20000);
  EXPECT_EQ(s.sampleSizes[1], 8);
  EXPECT_EQ(s.totalSampleSize, 18);
  EXPECT_DOUBLE_EQ(s.sampleAges[1], 300);
  EXPECT_DOUBLE_EQ(s.growthRates[1], -0.001);
  ASSERT_EQ(s.migrationMatrices.numElems, 2);
  EXPECT_DOUBLE_EQ(s.migrationMatrices[0].elems[0][1], 0.001 * kCT);
  EXPECT_DOUBLE_EQ(s.migrationMatrices[0].elems[1][0], 0.002 * kCT);

  // The activation event of the ancient sample comes before the event line of the same time.
  ASSERT_EQ(s.numHistoricalEvents, 2);
  EXPECT_TRUE(s.historicalEvents[0].activateLineages);
  EXPECT_DOUBLE_EQ(s.historicalEvents[0].timeCT, 300 / kCT);
  EXPECT_FALSE(s.historicalEvents[1].activateLineages);
  EXPECT_EQ(s.historicalEvents[1].newMigMatrix, 1);

  ASSERT_EQ(s.numChromStructures, 1);
  ASSERT_EQ(s.numBlocks[0], 2);
  const TBlock& dna = s.blocks[0][0];
  const TBlock& msat = s.blocks[0][1];
  EXPECT_EQ(dna.dataType, DataType::DNA);
  EXPECT_DOUBLE_EQ(dna.transitionRate, 0.33);
  EXPECT_EQ(msat.dataType, DataType::MICROSAT);
  EXPECT_EQ(msat.rangeConstraint, 2);
  EXPECT_DOUBLE_EQ(msat.transitionRate, 0.333);
  EXPECT_EQ(msat.firstLocus, 1000);
  EXPECT_EQ(msat.lastLocus, 1002);
  EXPECT_EQ(s.lociPerBlock[0][1], 3);
  EXPECT_EQ(s.totalNumLoci[0], 1003);
  EXPECT_DOUBLE_EQ(s.totalRecRate[0], 2 * 0.001);
  EXPECT_DOUBLE_EQ(s.totalMutRate[0], 1000 * 2.5e-8 + 3 * 0.0005);
  EXPECT_TRUE(s.mixedDataTypes[0]);
  EXPECT_EQ(s.dataType, DataType::MICROSAT);
}

TEST(ModelReader, WindowsLineEndsAndReparsing) {
  std::string text = ModelFile().text(), crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TSimSettings s;
  ASSERT_EQ(parseModel(s, crlf).result, 1);
  ASSERT_EQ(parseModel(s, crlf).result, 1);  // a second parse starts from empty arrays
  EXPECT_EQ(s.demeSizes.numElems, 2);
  EXPECT_EQ(s.numHistoricalEvents, 2);
  EXPECT_EQ(s.migrationMatrices.numElems, 2);
  EXPECT_EQ(s.blocks[0].numElems, 2);
  EXPECT_DOUBLE_EQ(s.blocks[0][0].transitionRate, 0.33);
}

TEST(ModelReader, SampleLines) {
  struct Case {
    const char* line;
    double age, inbreeding;
    int events;
  } cases[] = {{"10", 0, 0, 0},
               {"10 500", 500, 0, 1},
               {"10   500  // ancient", 500, 0, 1},
               {"10 0 0.2", 0, 0.2, 0},
               {"10\t25.5\t0.1", 25.5, 0.1, 1}};
  for (const Case& c : cases) {
    ModelFile m;
    m.demes = "1";
    m.sizes = "1000";
    m.samples = c.line;
    m.growth = "0";
    m.matrices = "0";
    m.events = "0";
    TSimSettings s;
    ASSERT_EQ(parseModel(s, m.text()).result, 1) << c.line;
    EXPECT_DOUBLE_EQ(s.sampleAges[0], c.age) << c.line;
    EXPECT_DOUBLE_EQ(s.inbreedingCoefs[0], c.inbreeding) << c.line;
    ASSERT_EQ(s.numHistoricalEvents, c.events) << c.line;
    if (c.events) {
      EXPECT_EQ(s.historicalEvents[0].time, static_cast<long>(c.age)) << c.line;
    }
  }
}

TEST(ModelReader, NoMigrationMatrixGivesOneZeroMatrix) {
  ModelFile m;
  m.matrices = "0";
  m.events = "0";
  TSimSettings s;
  ASSERT_EQ(parseModel(s, m.text()).result, 1);
  EXPECT_EQ(s.numMigrationMatrices, 0);
  ASSERT_EQ(s.migrationMatrices.numElems, 1);
  EXPECT_EQ(s.migrationMatrices[0].size, 2);
  EXPECT_EQ(s.migrationMatrices[0].elems[1][0], 0);
  EXPECT_EQ(s.numHistoricalEvents, 1);  // the activation event only
}

TEST(ModelReader, KeywordsInNumberPositionsStayKeywords) {
  ModelFile m;
  m.events = "3\n500 1 0 1 1 KEEP keep\n100 0 1 0.5 2 keep nomig\n100 1 1 0 1 -0.01 0";
  m.structures = "//blocks\n1\n//per block\nfreq 1 0 2.5e-8 outexp";
  TSimSettings s;
  ParseResult r = parseModel(s, m.text());
  ASSERT_EQ(r.result, 1) << r.errors;
  // Sorted by time; the activation event at 300 sits between the two times.
  ASSERT_EQ(s.numHistoricalEvents, 4);
  EXPECT_EQ(s.historicalEvents[0].source, 0);
  EXPECT_TRUE(s.historicalEvents[0].noMigration);
  EXPECT_TRUE(s.historicalEvents[0].keepGrowthRate);
  EXPECT_DOUBLE_EQ(s.historicalEvents[1].newGrowthRate, -0.01);
  EXPECT_TRUE(s.historicalEvents[2].activateLineages);
  EXPECT_TRUE(s.historicalEvents[3].keepMigMatrix);
  EXPECT_EQ(s.historicalEvents[3].newMigMatrix, -1);
  EXPECT_EQ(s.dataType, DataType::FREQ);
  EXPECT_TRUE(s.outputExpSFS);
}

TEST(ModelReader, NegativeEventTimeIsReadAsZero) {
  ModelFile m;
  m.events = "1\n-100 1 0 1 1 0 1";
  TSimSettings s;
  ASSERT_EQ(parseModel(s, m.text()).result, 1);
  EXPECT_EQ(s.historicalEvents[0].time, 0);
  EXPECT_FALSE(s.historicalEvents[0].activateLineages);
}

// A negative event time is read as 0 all the same, but not silently: the
// warning names the model and the line of the event.
TEST(ModelReader, NegativeEventTimeIsReported) {
  struct Case {
    const char* events;  // the event lines begin at line 22 of the model
    const char* warning;  // empty: none
  };
  const Case cases[] = {
      {"1\n-100 1 0 1 1 0 1",
       "Warning in model file \"m.par\", line 22: the time of historical event 0 is negative "
       "(-100); the event is moved to time 0, the present\n"},
      {"2\n300 1 0 1 1 0 1\n-2.5e3 0 1 0 1 0 0 // early",
       "Warning in model file \"m.par\", line 23: the time of historical event 1 is negative "
       "(-2.5e3); the event is moved to time 0, the present\n"},
      {"1\n0 1 0 1 1 0 1", ""},
      {"1\n100 1 0 1 1 0 1", ""},
  };
  for (const Case& c : cases) {
    ModelFile m;
    m.events = c.events;
    TSimSettings s;
    s.parFileName = "m.par";
    const ParseResult r = parseModel(s, m.text());
    ASSERT_EQ(r.result, 1) << r.errors;
    EXPECT_EQ(r.errors, c.warning);
    for (int e = 0; e < s.historicalEvents.numElems; ++e)
      EXPECT_GE(s.historicalEvents[e].time, 0);
  }
}

TEST(ModelReader, BlockLines) {
  struct Case {
    const char* lines;  // the block lines of one structure
    int block;          // the block checked
    DataType type;
    double recRate, mutRate, transitionRate, geometric, minFreq;
    int range;
  } cases[] = {
      {"dna 1000 0 2.5e-8", 0, DataType::DNA, 0, 2.5e-8, 0.33, 0, 0, 0},
      {"SNP 10 1e-8 2e-8", 0, DataType::SNP, 1e-8, 2e-8, 0.333, 0, 0, 0},
      {"SNP 10 1e-8 2e-8 0.1", 0, DataType::SNP, 1e-8, 2e-8, 0.333, 0, 0.1, 0},
      {"MICROSAT 4 0 0.0005 0.2 1", 0, DataType::MICROSAT, 0, 0.0005, 0.333, 0.2, 0, 0},
      {"SNPDNA 10 0 1e-8", 0, DataType::DNA, 0, 1e-8, 0.33, 0, 0, 0},
      {"RFLP 10 0 1e-8 // restriction sites", 0, DataType::RFLP, 0, 1e-8, 0.333, 0, 0, 0},
      // Values missing at the end of a line keep those of the line before.
      {"DNA 5 1e-8 2e-8 0.4\nDNA 10", 1, DataType::DNA, 1e-8, 2e-8, 0.33, 0, 0, 0},
      // A rate per site and generation may reach 1; frequency blocks have no such bound.
      {"STANDARD 5 1 1", 0, DataType::STANDARD, 1, 1, 0.333, 0, 0, 0},
      {"FREQ 1 0 3", 0, DataType::FREQ, 0, 3, 0.333, 0, 0, 0},
  };
  for (const Case& c : cases) {
    ModelFile m;
    std::string lines = c.lines;
    int n = 1 + static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
    m.structures = "//blocks\n" + std::to_string(n) + "\n//per block\n" + lines;
    TSimSettings s;
    ParseResult r = parseModel(s, m.text());
    ASSERT_EQ(r.result, 1) << c.lines << r.errors;
    const TBlock& b = s.blocks[0][c.block];
    EXPECT_EQ(b.dataType, c.type) << c.lines;
    EXPECT_DOUBLE_EQ(b.recRate, c.recRate) << c.lines;
    EXPECT_DOUBLE_EQ(b.mutRate, c.mutRate) << c.lines;
    EXPECT_DOUBLE_EQ(b.transitionRate, c.transitionRate) << c.lines;
    EXPECT_DOUBLE_EQ(b.geometricParam, c.geometric) << c.lines;
    EXPECT_DOUBLE_EQ(b.minFreq, c.minFreq) << c.lines;
    EXPECT_EQ(b.rangeConstraint, c.range) << c.lines;
  }
}

TEST(ModelReader, TotalsOfTwoLinkedBlocks) {
  ModelFile m;
  m.structures = "//blocks\n2\n//per block\nDNA 10 1e-8 0\nDNA 5 0 0";
  TSimSettings s;
  ASSERT_EQ(parseModel(s, m.text()).result, 1);
  EXPECT_DOUBLE_EQ(s.totalRecRate[0], 1e-7);  // 9 x 1e-8 within, 1e-8 to the next block
  EXPECT_DOUBLE_EQ(s.blocks[0][1].recRateToPrevious, 1e-8);
  EXPECT_EQ(s.blocks[0][1].firstLocus, 10);
  EXPECT_EQ(s.blocks[0][1].lastLocus, 14);
  EXPECT_EQ(s.totalNumLoci[0], 15);
  EXPECT_FALSE(s.mixedDataTypes[0]);
}

TEST(ModelReader, OneStructurePerChromosome) {
  struct Case {
    const char* loci;
    int structures;
  } cases[] = {{"3 1", 3}, {"3", 1}, {"3 0", 1}, {"3 0 // same structure", 1}};
  for (const Case& c : cases) {
    ModelFile m;
    m.loci = c.loci;
    m.structures.clear();
    for (int k = 0; k < c.structures; ++k)
      m.structures += (k ? "\n" : "") + std::string("//blocks\n1\n//per block\nSNP ") +
                      std::to_string(k + 1) + " 0 1e-8";
    TSimSettings s;
    ParseResult r = parseModel(s, m.text());
    ASSERT_EQ(r.result, 1) << c.loci << r.errors;
    EXPECT_EQ(s.numIndependentLoci, 3);
    ASSERT_EQ(s.numChromStructures, c.structures) << c.loci;
    for (int k = 0; k < c.structures; ++k) EXPECT_EQ(s.totalNumLoci[k], k + 1);
  }
}

TEST(ModelReader, ModelTextInMemory) {
  TSimSettings s;
  s.modelText = kOneDemeModel;
  bool console = consoleOutput;
  consoleOutput = false;
  EXPECT_EQ(s.readParFileFromString(true, 0), 1);
  consoleOutput = console;
  EXPECT_EQ(s.numIndependentLoci, 3);
  EXPECT_EQ(s.totalNumLoci[0], 15);
}

TEST(ModelReader, FailedStreamReadsNothing) {
  TSimSettings s;
  std::istringstream is(kOneDemeModel);
  is.setstate(std::ios::failbit);
  EXPECT_EQ(s.readInputFile(is, true, 0, false), 0);
  EXPECT_EQ(s.demeSizes.numElems, 0);
}

// Each case changes one part of the valid model and names the message it must give.
struct Malformed {
  const char* name;
  void (*edit)(ModelFile&);
  const char* message;
};

const Malformed kMalformed[] = {
    {"NoDeme", [](ModelFile& m) { m.demes = "0"; }, "line 2: no deme"},
    {"NegativeDemeSize", [](ModelFile& m) { m.sizes = "-5\n20000"; },
     "line 4: deme 0 has a negative size (-5)"},
    {"NoSampledGene", [](ModelFile& m) { m.samples = "0\n0"; }, "no sampled gene"},
    {"NegativeSampleSize", [](ModelFile& m) { m.samples = "-3\n8"; },
     "line 7: deme 0 has a negative sample size (-3)"},
    {"NegativeSampleAge", [](ModelFile& m) { m.samples = "10\n8 -300"; },
     "line 8: deme 1 has a negative sample age (-300)"},
    {"InbreedingAboveOne", [](ModelFile& m) { m.samples = "10\n8 0 1.7"; },
     "line 8: the inbreeding coefficient of deme 1 (1.7) is not between 0 and 1"},
    {"MissingSampleSize", [](ModelFile& m) { m.samples = "10\n"; },
     "line 8: the sample size of deme 1 is missing"},
    {"EventSourceOutside", [](ModelFile& m) { m.events = "1\n300 2 0 1 1 0 1"; },
     "\"2\" is out of range for the source deme of historical event 0 (0 to 1)"},
    {"EventSinkOutside", [](ModelFile& m) { m.events = "1\n300 1 -1 1 1 0 1"; },
     "the sink deme of historical event 0"},
    {"EventMatrixPastMatrices", [](ModelFile& m) { m.events = "1\n300 1 0 1 1 0 2"; },
     "\"2\" is out of range for the migration matrix index of historical event 0 (0 to 1)"},
    {"EventTooFewValues", [](ModelFile& m) { m.events = "1\n300 1 0"; },
     "historical event 0 needs at least five values"},
    {"EmptyEventLine", [](ModelFile& m) { m.events = "1\n"; },
     "historical event 0 needs at least five values"},
    {"NegativeMatrixCount", [](ModelFile& m) { m.matrices = "-1"; },
     "negative number of migration matrices (-1)"},
    {"MatrixRowTooLong", [](ModelFile& m) { m.matrices = "1\n//M\n0 0.001 0.5\n0.002 0"; },
     "line 15: migration matrix 0 has the wrong size: row 0 holds more than 2 values"},
    {"MatrixRowTooShort", [](ModelFile& m) { m.matrices = "1\n//M\n0 0.001\n0.002"; },
     "migration matrix 0 has the wrong size: row 1 holds 1 values where 2 were expected"},
    // A short first row must not be read as a long one from the values of the next.
    {"MatrixFirstRowTooShort", [](ModelFile& m) { m.matrices = "1\n//M\n0\n0.002 0"; },
     "line 15: migration matrix 0 has the wrong size: row 0 holds 1 values where 2 were "
     "expected"},
    {"ShortRowOfASecondMatrix",
     [](ModelFile& m) { m.matrices = "2\n//M\n0 0\n0 0\n//M\n0\n0.002 0"; },
     "line 18: migration matrix 1 has the wrong size: row 0 holds 1 values where 2 were "
     "expected"},
    {"MatrixTooManyRows", [](ModelFile& m) { m.matrices = "1\n//M\n0 0\n0 0\n0 0"; },
     "migration matrix 0 has the wrong size: more than 2 rows"},
    {"MatrixTooFewRows", [](ModelFile& m) { m.matrices = "2\n//M\n0 0\n0 0\n//M\n0 0"; },
     "migration matrix 1 has the wrong size: 1 rows where 2 were expected"},
    {"NegativeMigrationRate", [](ModelFile& m) { m.matrices = "1\n//M\n0 -0.001\n0.002 0"; },
     "negative migration rate (-0.001) from deme 0 to deme 1 in migration matrix 0"},
    {"NoChromosome", [](ModelFile& m) { m.loci = "0 0"; }, "no chromosome"},
    {"NoLinkageBlock", [](ModelFile& m) { m.structures = "//blocks\n0\n//per block\n"; },
     "structure 1 has no linkage block"},
    {"BlockWithNoLoci",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA 0 0 2.5e-8"; },
     "a block with no loci (0)"},
    {"BlockWithoutLociCount", [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA"; },
     "the block line gives no number of loci"},
    {"BlockWithoutType", [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nXYZ 10 0 0"; },
     "no data type in the block line"},
    {"NegativeMutationRate",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA 1000 0 -2.5e-8"; },
     "negative mutation rate (-2.5e-08)"},
    {"NegativeRecombinationRate",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nSNP 10 -1e-8 2.5e-8"; },
     "negative recombination rate (-1e-08)"},
    {"NegativeMicrosatRange",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nMICROSAT 4 0 0.0005 0 -3"; },
     "negative range constraint of the block (-3)"},
    {"NaNDemeSize", [](ModelFile& m) { m.sizes = "nan\n20000"; },
     "line 4: \"nan\" is not a finite number (the size of deme 0)"},
    {"InfiniteGrowthRate", [](ModelFile& m) { m.growth = "0\n-inf"; },
     "\"-inf\" is not a finite number (the growth rate of deme 1)"},
    {"OverflowingMutationRate",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA 10 0 1e999"; },
     "\"1E999\" is not a finite number"},
    {"InfiniteEventSize", [](ModelFile& m) { m.events = "1\n300 1 0 1 inf 0 1"; },
     "\"inf\" is not a finite number (the new size of historical event 0)"},
    // What an unsubstituted template parameter looks like.
    {"WordForDemeSize", [](ModelFile& m) { m.sizes = "NPOP\n20000"; },
     "line 4: \"NPOP\" is not a number (the size of deme 0 expected)"},
    {"WordForSampleAge", [](ModelFile& m) { m.samples = "10\n8 TANC"; },
     "line 8: \"TANC\" is not a number (the sample age of deme 1 expected)"},
    {"WordForEventTime", [](ModelFile& m) { m.events = "1\nTDIV 1 0 1 1 0 1"; },
     "\"TDIV\" is not a number (the time of historical event 0 expected)"},
    {"WordForGrowthInEvent", [](ModelFile& m) { m.events = "1\n300 1 0 1 1 GR 1"; },
     "\"GR\" is not a number (the new growth rate of historical event 0 expected)"},
    {"WordForMutationRate",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA 1000 0 MUTRATE"; },
     "\"MUTRATE\" is not a number (the mutation rate of the block expected)"},
    {"WordForDemeCount", [](ModelFile& m) { m.demes = "NDEMES"; },
     "line 2: \"NDEMES\" is not a number (the number of demes expected)"},
    {"FractionalDemeCount", [](ModelFile& m) { m.demes = "2.5"; }, "is not a whole number"},
    {"WordForStructureFlag", [](ModelFile& m) { m.loci = "1 FLAG"; },
     "\"FLAG\" is not a number (the flag of one structure per chromosome expected)"},
    {"ModelEndsEarly", [](ModelFile& m) { m.loci = ""; m.structures = ""; },
     "the model ends where the number of independent loci was expected"},
    {"FewerStructuresThanDeclared", [](ModelFile& m) { m.loci = "5 1"; },
     "fewer than the 5 chromosome structures it declares"},
    // Numbers beyond what their integer type holds (1e30, 2^63) never reach a conversion.
    {"DemeCount1e30", [](ModelFile& m) { m.demes = "1e30"; },
     "line 2: \"1e30\" is out of range for the number of demes"},
    {"DemeSize1e30", [](ModelFile& m) { m.sizes = "1e30\n20000"; },
     "line 4: the size of deme 0 is too large"},
    {"DemeSize2To63", [](ModelFile& m) { m.sizes = "10000\n9223372036854775808"; },
     "line 5: the size of deme 1 is too large"},
    {"SampleSize1e30", [](ModelFile& m) { m.samples = "1e30\n8"; },
     "line 7: the sample sizes are too large"},
    {"SampleSize2To63", [](ModelFile& m) { m.samples = "10\n9223372036854775808"; },
     "line 8: the sample sizes are too large"},
    {"SampleSizesAddingBeyond32Bits", [](ModelFile& m) { m.samples = "2000000000\n200000000"; },
     "line 8: the sample sizes are too large"},
    {"SampleAge1e30", [](ModelFile& m) { m.samples = "10\n8 1e30"; },
     "line 8: the sample age of deme 1 is too large"},
    {"MatrixCount2To63", [](ModelFile& m) { m.matrices = "9223372036854775808"; },
     "line 13: \"9223372036854775808\" is out of range for the number of migration matrices"},
    {"EventCount1e30", [](ModelFile& m) { m.events = "1e30 historical events"; },
     "line 21: \"1e30\" is out of range for the number of historical events"},
    {"EventTime1e30", [](ModelFile& m) { m.events = "1\n1e30 1 0 1 1 0 1"; },
     "line 22: the time of historical event 0 is too large"},
    {"EventTime2To63", [](ModelFile& m) { m.events = "1\n9223372036854775808 1 0 1 1 0 1"; },
     "line 22: the time of historical event 0 is too large"},
    {"EventSource2To63", [](ModelFile& m) { m.events = "1\n300 9223372036854775808 0 1 1 0 1"; },
     "is out of range for the source deme of historical event 0 (0 to 1)"},
    {"EventMatrix1e30", [](ModelFile& m) { m.events = "1\n300 1 0 1 1 0 1e30"; },
     "\"1e30\" is out of range for the migration matrix index of historical event 0"},
    {"Chromosomes1e30", [](ModelFile& m) { m.loci = "1e30 0"; },
     "line 24: \"1e30\" is out of range for the number of independent loci"},
    {"StructureFlag2To63", [](ModelFile& m) { m.loci = "1 9223372036854775808"; },
     "line 24: \"9223372036854775808\" is out of range for the flag of one structure per "
     "chromosome"},
    {"BlockCount1e30", [](ModelFile& m) { m.structures = "//blocks\n1e30\n//per block\nDNA 10 0 0"; },
     "line 26: \"1e30\" is out of range for the number of linkage blocks of structure 1"},
    {"Loci1e30", [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA 1e30 0 0"; },
     "line 28: the number of loci of the block is too large"},
    {"Loci2To63",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nSNP 9223372036854775808 0 0"; },
     "line 28: the number of loci of the block is too large"},
    {"LociAddingBeyond32Bits",
     [](ModelFile& m) {
       m.structures = "//blocks\n2\n//per block\nDNA 2000000000 0 0\nDNA 200000000 0 0";
     },
     "line 29: the blocks of structure 1 hold more than 2147483647 loci"},
    {"MicrosatRange1e30",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nMICROSAT 4 0 0.0005 0 1e30"; },
     "line 28: \"1E30\" is out of range for the range constraint of the block"},
    // A rate per site (or locus) and generation above 1 is a typing error.
    {"RecombinationRate17",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA 500 17 1e-6 0.33"; },
     "line 28: the recombination rate of block 1 is 17: a rate per site and generation is at "
     "most 1"},
    {"RecombinationRateJustAboveOne",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nDNA 500 1.33"; },
     "line 28: the recombination rate of block 1 is 1.33: a rate per site and generation"},
    {"RecombinationRate2To31OfSecondBlock",
     [](ModelFile& m) {
       m.structures = "//blocks\n2\n//per block\nSNP 10 0 1e-8\nRFLP 5 2147483648 1e-8";
     },
     "line 29: the recombination rate of block 2 is 2147483648: a rate per site and generation "
     "is at most 1"},
    {"MutationRate13",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nSNP 500 0 13"; },
     "line 28: the mutation rate of block 1 is 13: a rate per site and generation is at most 1"},
    {"MicrosatMutationRate1e6",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nMICROSAT 10 0 1e6 0 11"; },
     "line 28: the mutation rate of block 1 is 1000000: a rate per site and generation"},
    {"StandardMutationRate1e20",
     [](ModelFile& m) { m.structures = "//blocks\n1\n//per block\nSTANDARD 10 0 1e20"; },
     "line 28: the mutation rate of block 1 is 1e+20: a rate per site and generation"},
    {"RateOfAnEarlierLineKept",
     [](ModelFile& m) { m.structures = "//blocks\n2\n//per block\nFREQ 1 0 3\nDNA 10"; },
     "line 29: the mutation rate of block 2 is 3: a rate per site and generation"},
};

class MalformedModel : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedModel, IsRefusedWithItsMessage) {
  ModelFile m;
  GetParam().edit(m);
  TSimSettings s;
  ParseResult r = parseModel(s, m.text());
  EXPECT_EQ(r.result, 0);
  EXPECT_NE(r.errors.find("Error in model stream"), std::string::npos) << r.errors;
  EXPECT_NE(r.errors.find(GetParam().message), std::string::npos) << r.errors;
}

INSTANTIATE_TEST_SUITE_P(Models, MalformedModel, testing::ValuesIn(kMalformed),
                         [](const testing::TestParamInfo<Malformed>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
