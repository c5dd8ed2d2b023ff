// One batch of expected-spectrum simulations: the split of the work, the
// set-up of a batch copy and the loop over its genealogies.
#include <algorithm>
#include <cctype>
#include <iostream>
#include <vector>

#include <omp.h>

#include "driver/expSFSBatches.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

TBatchPlan planSFSBatches(int numSims, int maxBatches) {
  TBatchPlan plan;
  plan.numBatches = std::max(1, std::min(maxBatches, numSims));
  plan.simsPerBatch = std::max(0, numSims) / plan.numBatches;
  plan.lastBatchSims = std::max(0, numSims) - (plan.numBatches - 1) * plan.simsPerBatch;
  return plan;
}

std::vector<std::vector<int>> balancedBatchShares(const TBatchPlan& plan, int threads) {
  std::vector<int> order(plan.numBatches);
  for (int b = 0; b < plan.numBatches; ++b) order[b] = b;
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return plan.simsOf(a) > plan.simsOf(b); });
  std::vector<std::vector<int>> shares(threads > 0 ? threads : 1);
  std::vector<long long> load(shares.size(), 0);
  for (int b : order) {
    const auto t = std::min_element(load.begin(), load.end()) - load.begin();
    shares[t].push_back(b);
    load[t] += plan.simsOf(b);
  }
  for (std::vector<int>& share : shares) std::sort(share.begin(), share.end());
  return shares;
}

int threadsForBatches(int requested, int numBatches) {
  const int wanted = requested > 0 ? requested : omp_get_max_threads();
  return std::max(1, std::min(wanted, numBatches));
}

bool computeInitMigrProbaPerActiveDeme(TDemeCollection& c) {
  if (!c.migrationOn || c.numDemes == 0) return false;
  bool any = false;
  for (int d = 0; d < c.numDemes; ++d) {
    c.demes[d].initEmigrationRate = c.offDiagonalRowSum(d);
    if (c.demes[d].initEmigrationRate > 0.0) any = true;
  }
  return any;
}

void computeInitDemeSizeCT(TDemeCollection& c) {
  for (int d = 0; d < c.numDemes; ++d)
    c.demes[d].initRelSizeCT = c.demes[d].demeSize / TDemeCollection::CTTimeUnit;
}

bool prepareSFSBatch(TSimSettings& copy, int batch) {
  TDemeCollection& c = copy.demeCollection;
  c.randomGenerator = &ranGenArray[batch];
  c.batchId = batch;
  const int numLoci = copy.totalNumLoci ? static_cast<int>(copy.totalNumLoci[0]) : 1;
  if (!c.create_lineagesNoRecForBrent(copy.sampleSizes, numLoci)) return false;
  if (!c.eventsRescaled) c.eventsRescaled = c.rescaleEventsCT();
  c.anyMigration = computeInitMigrProbaPerActiveDeme(c);
  computeInitDemeSizeCT(c);
  return true;
}

namespace {

// The spectra that are taken from the finished tree rather than node by node.
void addFinishedTree(TDemeCollection& c) {
  if (TSimSettings::SNPascertainment)
    c.updateExpAFSAscForDNASNPs();
  else if (TSimSettings::computePooledSFS)
    c.tree.updateExpAFSForDNASNPs(c.tree.root, c);
}

void checkRootDescendants(const TDemeCollection& c) {
  const int below = c.tree.root->numDescSFS;
  if (below == c.tree.sampleSize) return;
#pragma omp critical
  std::cerr << "TSimSettings::generateTreeAndUpdateSFSFast: MRCA has fewer descendents (" << below
            << ") than the sum of sample sizes (" << c.tree.sampleSize << ")\n"
            << std::flush;
}

}  // namespace

int simulateSFSBatch(TSimSettings& copy, int numSims, int batch,
                     const std::atomic<int>* lowestFailedBatch) {
  TDemeCollection& c = copy.demeCollection;
  for (int i = 0; i < numSims; ++i) {
    // A failure in an earlier batch fails the whole call: the rest is not needed.
    if (lowestFailedBatch && lowestFailedBatch->load(std::memory_order_relaxed) < batch) return 1;
    c.numPolymSites = 0;
    c.initialize_samp_size(copy.sampleSizes);
    c.isRecombining = TSimSettings::doF4GT;
    copy.treeCounter = 0;
    if (TSimSettings::doF4GT) {
      // Two trees a Poisson number of recombinations apart, the second one
      // added into the spectra.
      copy.updateSFSand4GTDistributions();
      if (c.tree.root) checkRootDescendants(c);
      c.reset(copy.demeSizes, copy.growthRates);
      continue;
    }
    const int result = c.buildTreeNoRecContinousTimeForFreqData();
    if (result != 1) return result;
    addFinishedTree(c);
    checkRootDescendants(c);
    c.reset(copy.demeSizes, copy.growthRates);
  }
  return 1;
}

std::unique_ptr<TExpectedSFS> performSimsInThread(TSimSettings& settings, int numSims) {
  simulateSFSBatch(settings, numSims, settings.demeCollection.batchId, nullptr);
  return std::make_unique<TExpectedSFS>(settings.demeCollection);
}

std::string testThread(const std::string& text, int i, bool upperCase, bool thanks) {
  std::string s = "Batch " + std::to_string(i) + " : " + text;
  if (thanks) s += " . Thanks!";
  if (upperCase) std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  return s;
}

void TBatchSettings::build(const TSimSettings& source, int n) {
  settings.reset();
  numSettings = 0;
  if (n <= 0) return;
  settings = std::make_unique<TSimSettings[]>(n);
  for (int i = 0; i < n; ++i) settings[i] = source;
  numSettings = n;
}
