// One data set simulated in batches of chromosomes and merged into the run's
// collection: every chromosome's blocks in its own slot, records in
// chromosome order, the same data for any number of threads, and errors of a
// batch brought back to the calling thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "driver/expSFSBatches.h"
#include "driver/geneticOutputs.h"
#include "driver/geneticRun.h"
#include "driver/runSeeding.h"
#include "support/TException.h"
#include "tests/sfs/handDataSet.h"

namespace {

struct BatchRun : HandDataSet {
  int threads = TSimSettings::numThreads, batches = TSimSettings::numBatches;
  bool console = consoleOutput;
  TGeneticRunOutputs out;

  BatchRun(const std::string& model, int numBatches, int numThreads) : HandDataSet(model) {
    consoleOutput = false;
    TSimSettings::numBatches = numBatches;
    TSimSettings::numThreads = numThreads;
    TSimSettings::outputTree = false;
    seedBatchGenerators(31, 100);
    setUpGeneticCollection(s);
    computeInitDemeSizeCT(s.demeCollection);
  }
  ~BatchRun() {
    consoleOutput = console;
    TSimSettings::numThreads = threads;
    TSimSettings::numBatches = batches;
  }

  // The states of every chromosome, deme and gene after the merge.
  std::vector<short> allStates() {
    std::vector<short> v;
    TDemeCollection& c = s.demeCollection;
    for (int chrom = 0; chrom < s.numIndependentLoci; ++chrom)
      for (int d = 0; d < c.numDemes; ++d) {
        const TLocusAsShortIntArray* block = c.demes[d].loci[chrom];
        EXPECT_NE(block, nullptr) << "chromosome " << chrom << ", deme " << d;
        if (!block) continue;
        for (int g = 0; g < block->numGenes; ++g)
          v.insert(v.end(), block->rows[g], block->rows[g] + block->numSites);
      }
    return v;
  }
};

const std::string kModel = handModel({7}, 3, {"DNA 2000 5e-6 2e-6 0.33"});

// Three chromosomes over two batches (0 .. 0 and 1 .. 2): each in its slot,
// and recombination records in chromosome order.
TEST(GeneticBatches, ThreeChromosomesOverTwoBatchesMergeInOrder) {
  BatchRun run(kModel, 2, 1);
  ASSERT_TRUE(run.s.generateTreeAndMutationsMultiThreaded(0, run.out));
  const TDemeCollection& c = run.s.demeCollection;
  EXPECT_EQ(run.allStates().empty(), false);
  EXPECT_EQ(c.totNumSites, 6000);
  int sites = 0;
  for (int chrom = 0; chrom < 3; ++chrom) sites += TDemeCollection::polSitesInfo[chrom].numElems;
  EXPECT_EQ(c.numPolymSites, sites);
  ASSERT_GT(c.recPosInfo.numElems, 2);
  for (int k = 1; k < c.recPosInfo.numElems; ++k)
    EXPECT_LE(c.recPosInfo[k - 1].chromosome, c.recPosInfo[k].chromosome);
  EXPECT_EQ(c.totNumRecs, c.recPosInfo.numElems);
}

TEST(GeneticBatches, SameDataForAnyNumberOfThreads) {
  std::vector<short> reference;
  for (int threads : {1, 3, 0}) {
    BatchRun run(kModel, 3, threads);
    ASSERT_TRUE(run.s.generateTreeAndMutationsMultiThreaded(0, run.out)) << threads;
    const std::vector<short> states = run.allStates();
    if (reference.empty())
      reference = states;
    else
      EXPECT_EQ(states, reference) << threads << " threads";
  }
}

// An exception inside a batch (here a sample-size list that does not fit the
// demes) ends the data set on the calling thread, whatever the threads.
TEST(GeneticBatches, ErrorsOfABatchReachTheCallingThread) {
  for (int threads : {1, 3}) {
    BatchRun run(kModel, 3, threads);
    run.s.sampleSizes.Add(5);
    EXPECT_THROW(run.s.generateTreeAndMutationsMultiThreaded(0, run.out), TException) << threads;
  }
}

}  // namespace

// With the MRCA record switched on, every non-recombining chromosome leaves
// one line (index, sites, "data unknown", root age, root deme, mutations),
// in chromosome order and the same for any number of threads.
TEST(GeneticBatches, MRCALinesInChromosomeOrderForAnyNumberOfThreads) {
  const std::string model = handModel({7}, 5, {"DNA 500 0 2e-6 0.33"});
  std::string reference;
  TSimSettings::recordMRCAs = true;
  for (int threads : {1, 3}) {
    BatchRun run(model, 3, threads);
    ASSERT_TRUE(run.s.generateTreeAndMutationsMultiThreaded(0, run.out)) << threads;
    const std::string lines = run.s.demeCollection.treeTexts.mrcaLines.str();
    std::istringstream in(lines);
    int chrom = 0;
    for (std::string line; std::getline(in, line); ++chrom) {
      EXPECT_EQ(line.rfind(std::to_string(chrom) + "\t500\tdata unknown\t", 0), 0u) << line;
      EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 5) << line;
    }
    EXPECT_EQ(chrom, 5);
    if (reference.empty()) reference = lines;
    EXPECT_EQ(lines, reference) << threads << " threads";
  }
  TSimSettings::recordMRCAs = false;
}
