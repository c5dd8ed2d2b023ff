// Expected spectra of a run simulated in batches, in order on the calling
// thread or on OpenMP threads. Batch b always runs the same simulations from a
// copy of the run's settings with generator ranGenArray[b], and the batch sums
// are added into the run's spectra in batch order, so the spectra do not
// depend on the number of threads. A failed genealogy fails the call on both
// paths: the batches before the first failed one stay added, the failure is
// reported once, the batch generators are set back and 0 is returned.
#include <algorithm>
#include <exception>
#include <iostream>
#include <vector>

#include <omp.h>

#include "driver/expSFSBatches.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

// The message of a failed genealogy and the bad-parameter file of its model.
void reportFailedGenealogy(TSimSettings& run, int result) {
#pragma omp critical
  {
    std::cerr << "Num. steps in coalescent process: " << -result << "\n";
    run.write_bad_param_file();
  }
}

// One batch simulated on its own copy of the run's settings: 1, or the result
// of its failed genealogy (0 when its sample is empty).
int simulateBatchCopy(TSimSettings& copy, int batch, int numSims,
                      const std::atomic<int>* lowestFailedBatch) {
  if (!prepareSFSBatch(copy, batch)) return 0;
  return simulateSFSBatch(copy, numSims, batch, lowestFailedBatch);
}

// One copy per batch, each taken from the run as it was before the call: the
// run's spectra stay untouched until the end. Batches 1 .. B - 1 are added into
// the copy of batch 0, whose sums then go into the run's (empty) spectra: the
// same sums, in the same order, as the merge after the threads. The batches
// before a failed one stay added; the generators of the batches that ran are
// set back. The generators are saved in one block for all batches: a block
// per batch, freed at the end of every call, made the heap grow and shrink
// back at every run of a definition file, which cost more than the run's
// genealogies.
int simulateBatchesInOrder(TSimSettings& run, const TBatchPlan& plan) {
  std::vector<GlobalRandom> generatorsBefore;
  generatorsBefore.reserve(plan.numBatches);
  generatorsBefore.push_back(ranGenArray[0]);
  TSimSettings total(run);
  int result = simulateBatchCopy(total, 0, plan.simsOf(0), nullptr);
  const bool firstBatchDone = result == 1;
  for (int b = 1; b < plan.numBatches && result == 1; ++b) {
    generatorsBefore.push_back(ranGenArray[b]);
    TSimSettings copy(run);
    result = simulateBatchCopy(copy, b, plan.simsOf(b), nullptr);
    if (result == 1) total.aggregateExpSFS(copy);
  }
  if (firstBatchDone) run.aggregateExpSFS(total);
  if (result == 1) return 1;
  reportFailedGenealogy(run, result);
  for (size_t b = 0; b < generatorsBefore.size(); ++b) ranGenArray[b] = generatorsBefore[b];
  return 0;
}

// What a batch run on a worker thread leaves for the merge: its spectra and,
// for the rare failed call, its generator as it was before the batch (in the
// call's one block of saved generators, as on the calling thread).
struct TBatchSlot {
  std::unique_ptr<TExpectedSFS> spectra;
  GlobalRandom* generatorBefore = nullptr;  // set when the batch started
  int result = 1;
  std::exception_ptr error;
};

void lowerTo(std::atomic<int>& lowest, int batch) {
  int current = lowest.load();
  while (batch < current && !lowest.compare_exchange_weak(current, batch)) {
  }
}

// Everything a batch allocates (its copy, the snapshot of its spectra) is made
// on the thread that runs it, in parallel with the others; its generator is
// saved there too, into its place in the call's block.
void runBatchInThread(const TSimSettings& run, const TBatchPlan& plan, int b, TBatchSlot& slot,
                      GlobalRandom& saved, std::atomic<int>& lowestFailed) {
  try {
    saved = ranGenArray[b];
    slot.generatorBefore = &saved;
    TSimSettings copy(run);
    slot.result = simulateBatchCopy(copy, b, plan.simsOf(b), &lowestFailed);
    if (slot.result == 1)
      slot.spectra = std::make_unique<TExpectedSFS>(copy.demeCollection);
    else
      lowerTo(lowestFailed, b);
  } catch (...) {
    slot.error = std::current_exception();
    lowerTo(lowestFailed, b);
  }
}

// The generators of the batches that started, set back after a failed call.
void restoreGenerators(const std::vector<TBatchSlot>& slots) {
  for (size_t b = 0; b < slots.size(); ++b)
    if (slots[b].generatorBefore) ranGenArray[b] = *slots[b].generatorBefore;
}

// Batches go to whichever thread is free, so that a thread slowed down by
// other work on its core takes fewer of them; which thread runs a batch does
// not change its sums. The last batch, which holds the remainder and so may be
// the longest, is handed out first.
int simulateBatchesInThreads(TSimSettings& run, const TBatchPlan& plan, int numThreads) {
  std::vector<TBatchSlot> slots(plan.numBatches);
  std::vector<GlobalRandom> generatorsBefore(plan.numBatches);  // buffers untouched until saved
  std::atomic<int> lowestFailed{plan.numBatches};
  const TSimSettings& source = run;  // only read while the threads run
  const int threads = threadsForBatches(numThreads, plan.numBatches);
  const int last = plan.numBatches - 1;
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
  for (int k = 0; k < plan.numBatches; ++k) {
    const int b = k == 0 ? last : k - 1;
    runBatchInThread(source, plan, b, slots[b], generatorsBefore[b], lowestFailed);
  }
  for (int b = 0; b < plan.numBatches; ++b) {
    TBatchSlot& slot = slots[b];
    if (slot.error) std::rethrow_exception(slot.error);
    if (slot.result != 1) {
      reportFailedGenealogy(run, slot.result);
      restoreGenerators(slots);
      return 0;
    }
    run.aggregateExpSFS(*slot.spectra);
    slot.spectra.reset();
  }
  return 1;
}

}  // namespace

int TSimSettings::generateSFSPerSimulation(int numSims, int& counter) {
  (void)counter;
  // Set once per process; a smaller call lowers it for good.
  static int maxNumBatches = std::max(1, numBatches);
  if (numSims < 1) return 1;
  if (numSims < maxNumBatches) maxNumBatches = numSims;
  const TBatchPlan plan = planSFSBatches(numSims, maxNumBatches);
  // After a failure the batches have drawn different amounts on one thread and
  // on several: both paths set the generators back to where they were, so that
  // later calls do not depend on the number of threads either. Each batch saves
  // its own generator when it starts (on its thread), rather than all of them
  // being copied here, one after the other, on every call.
  return numThreads == 1 ? simulateBatchesInOrder(*this, plan)
                         : simulateBatchesInThreads(*this, plan, numThreads);
}
