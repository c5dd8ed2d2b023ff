#pragma once
// Expected spectra of frequency data in batches: how the simulations are split
// into batches and the batches over threads, the set-up and body of one batch,
// and a few helpers of the batch code.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "model/simSettings.h"
#include "sfs/AFS.h"

// The split of numSims simulations into batches: every batch runs
// simsPerBatch simulations, except the last one, which also takes the
// remainder.
struct TBatchPlan {
  int numBatches = 0;
  int simsPerBatch = 0;
  int lastBatchSims = 0;
  int simsOf(int batch) const { return batch == numBatches - 1 ? lastBatchSims : simsPerBatch; }
};

// maxBatches batches (at least 1), fewer when there are fewer simulations.
TBatchPlan planSFSBatches(int numSims, int maxBatches);

// The batches of each of `threads` threads, each list in increasing order,
// balanced by their simulations (or chromosomes): the largest batch first,
// each to the thread with the fewest so far, the lowest thread number among
// equals. The same plan and thread count always give the same shares.
std::vector<std::vector<int>> balancedBatchShares(const TBatchPlan& plan, int threads);

// Threads to start for numBatches batches when `requested` were asked for (0:
// the runtime's default): never more than there are batches, since a thread
// without a batch only waits for the others.
int threadsForBatches(int requested, int numBatches);

// Gives a copy of the run's settings what batch `batch` needs: its generator
// (ranGenArray[batch]), its own tips, event times in continuous time, the
// initial emigration rates and relative sizes. false when the sample is empty.
bool prepareSFSBatch(TSimSettings& copy, int batch);

// Runs numSims genealogies on a prepared batch copy, adding them into its
// expected spectra. Returns 1, or the result of the first failed genealogy, at
// which the batch stops. With lowestFailedBatch the batch also stops (result 1)
// as soon as a batch of lower index has failed.
int simulateSFSBatch(TSimSettings& copy, int numSims, int batch,
                     const std::atomic<int>* lowestFailedBatch);

// The spectra of one batch simulated on the given prepared settings.
std::unique_ptr<TExpectedSFS> performSimsInThread(TSimSettings& settings, int numSims);

// Initial emigration rate of every deme from the current migration matrix
// (own entry excluded); whether some deme emigrates; false while migration is off.
bool computeInitMigrProbaPerActiveDeme(TDemeCollection& collection);
// Initial relative size of every deme: its size / CTTimeUnit.
void computeInitDemeSizeCT(TDemeCollection& collection);

// "<model name without folder and extension>_bad.par": the file of the model
// whose coalescent could not be completed, written in the current folder.
std::string badParameterFileName(const TSimSettings& settings);

// "Batch <i> : <text>", with " . Thanks!" when thanks is set, upper-cased on demand.
std::string testThread(const std::string& text, int i, bool upperCase, bool thanks);

// An owned array of copies of one settings object.
class TBatchSettings {
 public:
  std::unique_ptr<TSimSettings[]> settings;
  int numSettings = 0;

  // Replaces the copies by n copies of source (none for n <= 0).
  void build(const TSimSettings& source, int n);
};
