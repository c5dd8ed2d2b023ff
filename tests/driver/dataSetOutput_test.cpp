// Outputs of one data set written by hand: the project file and its
// batch-list line, the spectrum files with their headers and -j folders, and
// the checks of a genetic-data run.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "driver/dataSetOutput.h"
#include "driver/geneticOutputs.h"
#include "driver/geneticRun.h"
#include "tests/driver/runFolder.h"
#include "tests/model/tempFolder.h"
#include "tests/sfs/handDataSet.h"

namespace {

namespace fs = std::filesystem;

// One deme of 4 genes, one SNP chromosome of 10 loci with two sites, written
// under the generic name "g".
struct SmallDataSet : HandDataSet {
  SmallDataSet() : HandDataSet(handModel({4}, 1, {"SNP 10 0 1e-8 0"})) {
    site(0, 2, DataType::SNP, {1, 0, 0, 0});
    site(0, 5, DataType::SNP, {1, 1, 0, 0});
    store();
    s.genericName = "g";
    s.projectFilePrefix = "g/g_1";
    fs::create_directories("g");
  }
};

TGeneticRunOutputs outputs(int numSims, int numBoot, bool* started) {
  TGeneticRunOutputs out;
  out.numSims = numSims;
  out.numBoot = numBoot;
  out.processSpectraStarted = started;
  out.dafLhoods.assign(out.numDataSets(), std::nan(""));
  return out;
}

TEST(DataSetOutput, ProjectFileThenItsBatchListLine) {
  TempFolder tmp("qdp");
  SmallDataSet h;
  bool started = false;
  TGeneticRunOutputs out = outputs(1, 0, &started);
  std::ostringstream qdb;
  out.batchList = &qdb;
  ASSERT_TRUE(writeProjectFile(h.s, 0, out, statesInMemory(h.s.demeCollection)));
  EXPECT_EQ(qdb.str(), "g/g_1_1.qdp\n");
  const std::string text = readFile("g/g_1_1.qdp");
  EXPECT_EQ(text.rfind("#Quendrel input file written by the simulation program brimvane2\n", 0),
            0u);
  EXPECT_NE(text.find("\t\tSampleData= {\n1_1\t1\t 11\n1_2\t1\t 01\n1_3\t1\t 00\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n\t   \"Sample 1\"\n\t}\n"), std::string::npos);
}

TEST(DataSetOutput, UnwritableProjectFileIsReportedAndNotListed) {
  TempFolder tmp("qdp_fail");
  SmallDataSet h;
  h.s.projectFilePrefix = "missing/folder/g_1";
  bool started = false;
  TGeneticRunOutputs out = outputs(1, 0, &started);
  std::ostringstream qdb;
  out.batchList = &qdb;
  StreamCapture err(std::cerr);
  EXPECT_FALSE(writeProjectFile(h.s, 0, out, statesInMemory(h.s.demeCollection)));
  EXPECT_EQ(qdb.str(), "");
  EXPECT_NE(err.text().find("Unable to write the project file \"missing/folder/g_1_1.qdp\" of "
                            "simulation 1 (it cannot be opened: No such file or directory): the "
                            "data set is not written\n"),
            std::string::npos)
      << err.text();
}

// States that cannot be read: no partial file is left and nothing is listed.
TEST(DataSetOutput, UnreadableStatesLeaveNoProjectFile) {
  TempFolder tmp("qdp_states");
  SmallDataSet h;
  bool started = false;
  TGeneticRunOutputs out = outputs(1, 0, &started);
  std::ostringstream qdb;
  out.batchList = &qdb;
  StreamCapture err(std::cerr);
  const TGeneStates none = [](int, int, int) -> const short* { return nullptr; };
  EXPECT_FALSE(writeProjectFile(h.s, 0, out, none));
  EXPECT_FALSE(fs::exists("g/g_1_1.qdp"));
  EXPECT_EQ(qdb.str(), "");
  EXPECT_NE(err.text().find("Unable to write the project file \"g/g_1_1.qdp\" of simulation 1 "
                            "(its simulated states could not be read): the data set is not "
                            "written\n"),
            std::string::npos)
      << err.text();
}

// With -j each data set and bootstrap gets a folder numbered by the
// process-wide simulation counter; without -j the first data set written by
// the process creates the files with their header and later ones append.
TEST(DataSetOutput, SpectrumFoldersAndHeaders) {
  TempFolder tmp("spectra");
  SmallDataSet h;
  TSimSettings::compDAF = true;
  TSimSettings::compMAF = TSimSettings::isMultiSFS = TSimSettings::computePooledSFS = false;
  TSimSettings::SNPascertainment = false;
  bool started = false;
  TGeneticRunOutputs out = outputs(3, 2, &started);
  out.folderPerSFS = true;
  StreamCapture console(std::cout);
  ASSERT_TRUE(writeSimulatedSpectra(h.s, 1, 4, out));  // counter 4: folders 13 .. 15
  for (int k : {13, 14, 15}) {
    const std::string f = "g/g_" + std::to_string(k) + "/g_DAFpop0.obs";
    ASSERT_TRUE(fs::exists(f)) << f;
    EXPECT_EQ(readFile(f).rfind(" 1 observation (lhood = ", 0), 0u);
  }
  EXPECT_FALSE(fs::exists("g/g_12"));
  EXPECT_FALSE(std::isnan(out.dafLhoods[3]));
  EXPECT_TRUE(std::isnan(out.dafLhoods[0]));

  out.folderPerSFS = false;
  out.numBoot = 0;
  out.runHeaderWritten = started = false;  // a fresh process
  ASSERT_TRUE(writeSimulatedSpectra(h.s, 0, 0, out));
  ASSERT_TRUE(writeSimulatedSpectra(h.s, 1, 1, out));
  const std::string text = readFile("g/g_DAFpop0.obs");
  EXPECT_EQ(text,
            "3 observations (lhood = 0.0000000000)\nd0_0\td0_1\td0_2\td0_3\td0_4\t\n"
            "8\t1\t1\t0\t0\t\n8\t1\t1\t0\t0\t\n");
  EXPECT_TRUE(started);
}

void askDerived(bool multi) {
  TSimSettings::compDAF = true;
  TSimSettings::compMAF = TSimSettings::computePooledSFS = false;
  TSimSettings::isMultiSFS = multi;
  TSimSettings::SNPascertainment = false;
}

// Three data sets, the middle one written by `middle`: its rows in the 1-D,
// dadi and site-count files are nan, between the rows of the other two, and
// its likelihood stays nan.
void expectNanMiddleRows(const std::function<void(SmallDataSet&, TGeneticRunOutputs&)>& middle) {
  TempFolder tmp("unmade");
  SmallDataSet h;
  askDerived(false);
  bool started = false;
  TGeneticRunOutputs out = outputs(3, 0, &started);
  out.dadi = true;
  StreamCapture console(std::cout);
  ASSERT_TRUE(writeSimulatedSpectra(h.s, 0, 0, out));
  middle(h, out);
  ASSERT_TRUE(writeSimulatedSpectra(h.s, 2, 2, out));
  const std::string nan = "nan\tnan\tnan\tnan\tnan";
  EXPECT_EQ(readFile("g/g_DAFpop0.obs"),
            "3 observations (lhood = 0.0000000000)\nd0_0\td0_1\td0_2\td0_3\td0_4\t\n"
            "8\t1\t1\t0\t0\t\n" + nan + "\t\n8\t1\t1\t0\t0\t\n");
  EXPECT_EQ(readFile("g/g_DAFpop0_dadi.obsSFS"),
            "nan\t1\t1\t0\tnan\n" + nan + "\nnan\t1\t1\t0\tnan\n");
  const std::vector<std::string> counts = linesOf(readFile("g/g_numPolymSites.obs"));
  ASSERT_EQ(counts.size(), 6u);
  EXPECT_EQ(counts[1], "10\t2\t0\t0\t0");
  EXPECT_EQ(counts[3], nan);
  EXPECT_EQ(counts[5], "10\t2\t0\t0\t0");
  EXPECT_TRUE(std::isnan(out.dafLhoods[1]));
  EXPECT_FALSE(std::isnan(out.dafLhoods[2]));
}

TEST(DataSetOutput, DataSetThatFailedKeepsItsRowsOfNan) {
  expectNanMiddleRows([](SmallDataSet& h, TGeneticRunOutputs& out) {
    EXPECT_TRUE(writeUnmadeSpectra(h.s, 1, 1, out));
  });
}

// States that cannot be read when the spectra are counted: the data set is
// reported, its rows are nan.
TEST(DataSetOutput, UnreadableStatesGiveRowsOfNan) {
  expectNanMiddleRows([](SmallDataSet& h, TGeneticRunOutputs& out) {
    TLocusAsShortIntArray*& slot = h.s.demeCollection.demes[0].loci[0];
    std::unique_ptr<TLocusAsShortIntArray> block(slot);
    slot = nullptr;
    StreamCapture err(std::cerr);
    EXPECT_FALSE(writeSimulatedSpectra(h.s, 1, 1, out));
    slot = block.release();
    EXPECT_NE(err.text().find("The spectra of simulation 2 of run 1 cannot be made (see the "
                              "message above): its rows in the spectrum files are nan\n"),
              std::string::npos)
        << err.text();
  });
}

TEST(DataSetOutput, UnmadeMultiDimensionalSpectrumIsALineOfNan) {
  TempFolder tmp("unmade_multi");
  SmallDataSet h;
  askDerived(true);
  bool started = false;
  TGeneticRunOutputs out = outputs(1, 0, &started);
  EXPECT_TRUE(writeUnmadeSpectra(h.s, 0, 0, out));
  EXPECT_EQ(readFile("g/g_DSFS.obs"),
            "1 observations. No. of demes and sample sizes are on next line "
            "(lhood=0.0000000000)\n1\t4\nnan\tnan\tnan\tnan\tnan\n");
}

TEST(GeneticRunChecks, OddSamplesRefusedForGenotypicData) {
  HandDataSet h(handModel({4, 3}, 1, {"SNP 10 0 1e-8 0"}));
  EXPECT_TRUE(checkGenotypicSamples(h.s, false));
  StreamCapture err(std::cerr);
  EXPECT_FALSE(checkGenotypicSamples(h.s, true));
  EXPECT_NE(err.text().find("deme 1 (\"Sample 2\")"), std::string::npos);
  EXPECT_NE(err.text().find("has an odd sample size (3 genes)"), std::string::npos);
  HandDataSet even(handModel({4, 0, 2}, 1, {"SNP 10 0 1e-8 0"}));
  EXPECT_TRUE(checkGenotypicSamples(even.s, true));
}

// The model generated from a template (in memory) is kept in the output
// folder; one that cannot be written is reported.
TEST(GeneticRunChecks, GeneratedModelIsKeptInTheOutputFolder) {
  TempFolder tmp("kept_model");
  fs::create_directories("split/split_3.par");  // a folder where the file goes
  TSimSettings s;
  s.genericName = "split";
  s.modelText = "model\n";
  ASSERT_TRUE(keepGeneratedModel(s, 1));
  EXPECT_EQ(readFile("split/split_2.par"), "model\n");
  StreamCapture err(std::cerr);
  EXPECT_FALSE(keepGeneratedModel(s, 2));
  EXPECT_NE(err.text().find("Unable to write the model generated for run 3 to \"./split/split_3.par\""),
            std::string::npos)
      << err.text();
}

}  // namespace
