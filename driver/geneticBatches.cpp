// Data sets of genetic data: the independent chromosomes of each data set are
// split into consecutive ranges, one per batch; each batch simulates its range
// on its own copy of the run's deme collection with generator ranGenArray[b],
// on the calling thread or on OpenMP threads, and the run's collection takes
// the batches over in batch order. Batch b always covers the same chromosomes,
// so the data sets do not depend on the number of threads.
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <omp.h>

#include "driver/dataSetOutput.h"
#include "driver/expSFSBatches.h"
#include "driver/geneticOutputs.h"
#include "driver/nexus.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

// The batches of a data set: their collections and what each leaves behind.
// A run keeps them from one data set to the next, so that each thread frees
// its batches' collections of the previous data set (and the blocks of their
// chromosomes) itself instead of leaving that to the calling thread.
struct TChromosomeBatches {
  TBatchPlan plan;
  std::vector<std::unique_ptr<TDemeCollection>> collections;
  std::vector<std::exception_ptr> errors;

  int first(int b) const { return b * plan.simsPerBatch; }
  int last(int b) const { return first(b) + plan.simsOf(b); }

  // Ready for a data set of the run's settings; collections of a previous
  // data set stay until their batch starts again.
  void prepare(const TSimSettings& run) {
    plan = planSFSBatches(run.numIndependentLoci, TSimSettings::numBatches);
    collections.resize(plan.numBatches);
    errors.assign(plan.numBatches, nullptr);
  }
};

void simulateBatch(TSimSettings& run, TChromosomeBatches& batches, int b, int simIndex) {
  try {
    // The previous data set's blocks of this range and collection of this batch.
    run.demeCollection.releaseLoci(batches.first(b), batches.last(b));
    batches.collections[b].reset();
    batches.collections[b].reset(new TDemeCollection);
    TDemeCollection& c = *batches.collections[b];
    c.copyEssentialStuffForSimulGeneticDataInThreads(run.demeCollection);
    c.ReserveLoci(run.numIndependentLoci);  // also empties its site storage
    c.batchId = b;
    c.randomGenerator = &ranGenArray[b];
    c.failedChromosome = -1;
    const long sites = run.totalNumLoci ? run.totalNumLoci[0] : 0;
    c.create_lineagesNoRec(run.sampleSizes, static_cast<int>(sites));
    c.simulateIndependentChroms(simIndex, batches.first(b), batches.last(b), run);
  } catch (...) {
    batches.errors[b] = std::current_exception();
  }
}

// Threads run balanced shares of the batches (balancedBatchShares): the last
// batch takes the remainder of the chromosomes, up to batches - 1 more than
// the others, and with consecutive shares of equal counts its thread went on
// working long after the others. The shares depend only on the plan and the
// thread count, so a thread runs the same batches, and frees the memory it
// made for them, in every data set.
void simulateBatches(TSimSettings& run, TChromosomeBatches& batches, int simIndex) {
  const int numBatches = batches.plan.numBatches;
  const int threads = TSimSettings::numThreads;
  if (threads != 0 && (numBatches == 1 || threads == 1)) {
    for (int b = 0; b < numBatches; ++b) simulateBatch(run, batches, b, simIndex);
    return;
  }
  const int numThreads = threadsForBatches(threads, numBatches);
  const std::vector<std::vector<int>> shares = balancedBatchShares(batches.plan, numThreads);
#pragma omp parallel num_threads(numThreads)
  {
    // A smaller team than asked for takes the shares of the missing threads.
    for (int t = omp_get_thread_num(); t < numThreads; t += omp_get_num_threads())
      for (int b : shares[t]) simulateBatch(run, batches, b, simIndex);
  }
}

// The lowest failed chromosome of the data set, or -1.
int failedChromosome(const TChromosomeBatches& batches) {
  for (int b = 0; b < batches.plan.numBatches; ++b)
    if (batches.collections[b]->failedChromosome >= 0)
      return batches.collections[b]->failedChromosome;
  return -1;
}

// Empty site lists, one per chromosome, for the next data set; the lists of
// the previous one are emptied rather than reallocated.
void freshSiteLists(int numChromosomes) {
  MY_TArrayAsVector<TPolymSiteInfo>*& lists = TDemeCollection::polSitesInfo;
  if (!lists) {
    lists = new MY_TArrayAsVector<TPolymSiteInfo>[numChromosomes > 0 ? numChromosomes : 1];
    return;
  }
  for (int c = 0; c < numChromosomes; ++c) lists[c].numElems = lists[c].reserved = 0;
}

int progressStep(int numSims) {
  if (numSims <= 10) return 1;
  if (numSims <= 100) return 10;
  if (numSims <= 1000) return 100;
  if (numSims <= 10000) return 1000;
  return 10000;
}

// Opens the MRCA record once per process, for appending, with its header.
void openMRCARecord(const TSimSettings& s) {
  if (mrcaStreamInitialized) return;
  mrcaStreamInitialized = true;
  mrcas = new TOutputFile(std::string(s.genericName.c_str()) + "_mrca.txt", std::ios::app);
  const bool recombines = s.totalRecRate && s.totalRecRate[0] > 0;
  *mrcas << "==================================================================\n"
         << "brimvane started on " << strTime << "\n\n"
         << "TMRCAs per non-recombining segment\n"
         << (recombines ? "Beg segment\tEnd segment" : "Locus\tSegment length")
         << "\tData Type\tTime (gen)\tdeme\tNum Mutations\n";
}

// The MRCA lines of a data set, in chromosome order; false when they could
// not be written.
bool writeMRCALines(TBatchTrees& texts) {
  if (!mrcas) return true;
  *mrcas << texts.mrcaLines.str();
  mrcas->flush();
  return static_cast<bool>(*mrcas);
}

}  // namespace

namespace {

// One data set in batches, merged into the run's collection; false when a
// chromosome could not be simulated.
bool simulateDataSet(TSimSettings& run, int simIndex, TGeneticRunOutputs& out,
                     TChromosomeBatches& batches) {
  if (run.dataType == DataType::FREQ) {
    std::cerr << "TSimSettings::generateTreeAndMutationsMultiThreaded should not be accessible "
                 "for FREQ data type"
              << std::endl;
    return false;
  }
  if (TSimSettings::doF4GT) {
    char name[1024];
    std::snprintf(name, sizeof name, "%s_%i.4GT", run.runPrefix.c_str(), simIndex + 1);
    run.f4GTFileName = name;
  }
  batches.prepare(run);
  const int numUsed = batches.plan.numBatches;
  TDemeCollection& merged = run.demeCollection;
  merged.totNumSites = 0;
  merged.resetSiteStorage(run.numIndependentLoci);
  simulateBatches(run, batches, simIndex);
  // A batch that failed leaves its collection (and temporary files) to be
  // released here, as it would without the next data set.
  auto releaseAll = [&]() {
    for (std::unique_ptr<TDemeCollection>& c : batches.collections) c.reset();
  };
  for (const std::exception_ptr& e : batches.errors)
    if (e) {
      releaseAll();
      std::rethrow_exception(e);  // ends the run on the calling thread
    }
  const int failed = failedChromosome(batches);
  if (failed >= 0) {
    releaseAll();
    std::cerr << "\nSimulation " << simIndex + 1 << " of run " << out.runIndex + 1
              << ": chromosome " << failed + 1 << " of " << run.numIndependentLoci
              << " could not be simulated; the data set is not written" << std::endl;
    return false;
  }
  for (int b = 0; b < numUsed; ++b) {
    TDemeCollection& batch = *batches.collections[b];
    merged.collectSimulatedDataInBatch(batch, batches.first(b), batches.last(b));
    merged.treeTexts.append(batch.treeTexts);
  }
  return true;
}

}  // namespace

bool TSimSettings::generateTreeAndMutationsMultiThreaded(int simIndex, TGeneticRunOutputs& out) {
  TChromosomeBatches batches;
  return simulateDataSet(*this, simIndex, out, batches);
}

void TSimSettings::generateDataPerSimulation(int numSims, int& simCounter,
                                             TGeneticRunOutputs& out) {
  freshSiteLists(numIndependentLoci);
  const int step = progressStep(numSims);
  computeInitDemeSizeCT(demeCollection);
  if (recordMRCAs) openMRCARecord(*this);
  TChromosomeBatches batches;  // kept from one data set to the next
  for (int i = 0; i < numSims; ++i) {
    ++simulationCounter;
    demeCollection.numPolymSites = 0;
    demeCollection.treeTexts.clear();
    bool ok = simulateDataSet(*this, i, out, batches);
    if (consoleOutput && (i + 1) % step == 0)
      std::cout << "\tGenealogy # " << i + 1 << "/" << numSims << "\n";
    if (ok)
      ok = writeDataToOutputFiles(i, simCounter, out);
    else
      writeUnmadeSpectra(*this, i, simCounter, out);  // its rows stay, of nan
    if (ok && doF4GT) computeF4GTstats();  // while the genotype blocks exist
    if (ok && !writeCollectedTrees(demeCollection.treeTexts)) {
      std::cerr << "\nUnable to write the trees of simulation " << i + 1 << std::endl;
      ok = false;
    }
    if (ok && !writeMRCALines(demeCollection.treeTexts)) {
      std::cerr << "\nUnable to write the MRCA record of simulation " << i + 1 << std::endl;
      ok = false;
    }
    if (!ok) ++out.numFailedDataSets;
    // The blocks stay until the batches of the next data set free them.
    if (demeCollection.isRecombining) demeCollection.totNumRecs = 0;
    freshSiteLists(numIndependentLoci);
    demeCollection.removeTempFiles();
    ++simCounter;
  }
  demeCollection.flushLoci();
}
