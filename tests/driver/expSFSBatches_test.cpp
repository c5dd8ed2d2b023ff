// Expected spectra simulated in batches: the split of the work, independence
// from the number of threads, the process-wide lowering of the batch count,
// and the handling of a genealogy that can never finish.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <string>

#include "driver/expSFSBatches.h"
#include "tests/driver/freqRun.h"
#include "tests/model/tempFolder.h"

using namespace freqtest;

namespace {

// Two demes with asymmetric migration that merge 2000 generations ago.
const char* kTwoDemes =
    "//Number of population samples (demes)\n2\n"
    "//Population effective sizes (number of genes)\n1000\n2000\n"
    "//Sample sizes\n6\n4\n"
    "//Growth rates: negative growth implies population expansion\n0\n0\n"
    "//Number of migration matrices : 0 implies no migration between demes\n1\n"
    "//Migration matrix 0\n0 0.001\n0.002 0\n"
    "//historical event: time, source, sink, migrants, new size, new growth rate, migr. matrix\n"
    "1 historical event\n2000 1 0 1 1 0 0\n"
    "//Number of independent loci [chromosome]\n1 0\n"
    "//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n"
    "FREQ 1 0 2.5e-8 OUTEXP\n";

// Two isolated demes that never meet: no genealogy can finish.
const char* kIsolatedDemes =
    "//Number of population samples (demes)\n2\n"
    "//Population effective sizes (number of genes)\n1000\n1000\n"
    "//Sample sizes\n3\n2\n"
    "//Growth rates\n0\n0\n"
    "//Number of migration matrices\n0\n"
    "//historical event\n0 historical event\n"
    "//Number of independent loci [chromosome]\n1 0\n"
    "//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n"
    "FREQ 1 0 2.5e-8\n";

std::vector<long double> simulate(SpectrumShape shape, int threads, int numSims, long seed) {
  FreqRun run(kTwoDemes, shape, seed);
  TSimSettings::numThreads = threads;
  int counter = 0;
  EXPECT_EQ(run.s.generateSFSPerSimulation(numSims, counter), 1);
  return flatSpectra(run.s.demeCollection);
}

// Where a generator stands in its stream.
std::vector<long> generatorState(const GlobalRandom& g) {
  return {g.nextUniform, g.nextLogUniform, g.stateTable[1], g.stateTable[2]};
}

}  // namespace

TEST(SFSBatchPlan, LastBatchTakesTheRemainder) {
  struct Case {
    int sims, maxBatches, batches, perBatch, last;
  } cases[] = {{100, 12, 12, 8, 12}, {5, 12, 5, 1, 1}, {12, 12, 12, 1, 1},
               {1000, 5, 5, 200, 200}, {7, 1, 1, 7, 7}, {13, 12, 12, 1, 2}};
  for (const Case& c : cases) {
    const TBatchPlan plan = planSFSBatches(c.sims, c.maxBatches);
    EXPECT_EQ(plan.numBatches, c.batches) << c.sims << " sims";
    EXPECT_EQ(plan.simsPerBatch, c.perBatch) << c.sims << " sims";
    EXPECT_EQ(plan.lastBatchSims, c.last) << c.sims << " sims";
    int total = 0;
    for (int b = 0; b < plan.numBatches; ++b) total += plan.simsOf(b);
    EXPECT_EQ(total, c.sims);
  }
}

struct ShareCase {
  int items, batches, threads;
  long long maxLoad;  // simulations (or chromosomes) of the busiest thread
};

// Every batch in exactly one share, each share in increasing order, and the
// busiest thread no busier than the largest batch above an even split.
TEST(SFSBatchPlan, BalancedSharesHoldEveryBatchOnceAndEvenOutTheLoad) {
  const ShareCase cases[] = {
      {1000, 64, 8, 135},  // 63 batches of 15 and one of 55 (consecutive shares: 160)
      {120, 12, 5, 30},    // equal batches: 3, 3, 2, 2, 2
      {5, 5, 3, 2},        // one chromosome per batch
      {7, 3, 8, 3},        // more threads than batches: some shares stay empty
  };
  for (const ShareCase& c : cases) {
    const TBatchPlan plan = planSFSBatches(c.items, c.batches);
    const std::vector<std::vector<int>> shares = balancedBatchShares(plan, c.threads);
    ASSERT_EQ(static_cast<int>(shares.size()), c.threads);
    std::vector<int> seen(plan.numBatches, 0);
    long long maxLoad = 0;
    for (const std::vector<int>& share : shares) {
      EXPECT_TRUE(std::is_sorted(share.begin(), share.end()));
      long long load = 0;
      for (int b : share) {
        ++seen[b];
        load += plan.simsOf(b);
      }
      maxLoad = std::max(maxLoad, load);
    }
    EXPECT_EQ(seen, std::vector<int>(plan.numBatches, 1)) << c.items << "/" << c.batches;
    EXPECT_EQ(maxLoad, c.maxLoad) << c.items << "/" << c.batches << " on " << c.threads;
    EXPECT_EQ(balancedBatchShares(plan, c.threads), shares);  // the same every time
  }
}

class SFSBatchThreads : public testing::TestWithParam<SpectrumShape> {};

// With the same seeds and batch count the spectra are the same, to the last
// bit, in order on the calling thread, on 3 and 8 threads (which take the
// batches as they come free) and on the runtime's choice.
TEST_P(SFSBatchThreads, SpectraDoNotDependOnTheThreadCount) {
  const std::vector<long double> one = simulate(GetParam(), 1, 300, 17);
  ASSERT_FALSE(one.empty());
  EXPECT_GT(one[0], 0.0L);
  EXPECT_EQ(simulate(GetParam(), 3, 300, 17), one);
  EXPECT_EQ(simulate(GetParam(), 8, 300, 17), one);
  EXPECT_EQ(simulate(GetParam(), 0, 300, 17), one);
  EXPECT_NE(simulate(GetParam(), 3, 300, 18), one);  // the seeds matter
}

INSTANTIATE_TEST_SUITE_P(Shapes, SFSBatchThreads,
                         testing::Values(SpectrumShape{true, true, false, false},
                                         SpectrumShape{true, true, true, false},
                                         SpectrumShape{true, true, false, true}));

// Summing the batch spectra in order gives the run's spectra: the 1-thread
// result equals batches simulated one by one from copies of the run as it
// was before (each batch starts from empty spectra).
TEST(SFSBatchMerge, RunSpectraAreTheBatchSumsInOrder) {
  const SpectrumShape shape{true, true, false, false};
  const std::vector<long double> whole = simulate(shape, 1, 100, 5);
  FreqRun run(kTwoDemes, shape, 5);
  const TBatchPlan plan = planSFSBatches(100, TSimSettings::numBatches);
  const TSimSettings start(run.s);
  for (int b = 0; b < plan.numBatches; ++b) {
    TSimSettings copy(start);
    ASSERT_TRUE(prepareSFSBatch(copy, b));
    std::unique_ptr<TExpectedSFS> spectra = performSimsInThread(copy, plan.simsOf(b));
    run.s.aggregateExpSFS(*spectra);
  }
  EXPECT_EQ(flatSpectra(run.s.demeCollection), whole);
}

// A call with fewer simulations than batches lowers the batch count for the
// rest of the process (checked in a process of its own): later calls leave
// the generators of the dropped batches untouched.
TEST(SFSBatchPlanDeathTest, FewSimulationsLowerTheBatchCountForGood) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        FreqRun run(kTwoDemes, SpectrumShape{true, false, false, false}, 3);
        TSimSettings::numBatches = 12;
        TSimSettings::numThreads = 1;
        const std::vector<long> untouched = generatorState(ranGenArray[5]);
        const std::vector<long> used = generatorState(ranGenArray[4]);
        int counter = 0;
        bool ok = run.s.generateSFSPerSimulation(5, counter) == 1 &&
                  generatorState(ranGenArray[4]) != used;
        FreqRun later(kTwoDemes, SpectrumShape{true, false, false, false}, 3);
        TSimSettings::numThreads = 3;
        ok = ok && later.s.generateSFSPerSimulation(1000, counter) == 1;
        ok = ok && generatorState(ranGenArray[5]) == untouched;
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

struct FailureCase {
  int threads;
  bool fromTemplate;  // the model text is in memory, else in the model file
};

class SFSBatchFailure : public testing::TestWithParam<FailureCase> {};

// A model whose genealogies never finish fails the call on every path: the
// failure is reported once, the bad-parameter file holds the model text, and
// the batch generators are set back for the calls that follow.
TEST_P(SFSBatchFailure, NeverCoalescingModelFailsTheCall) {
  TempFolder folder("sfs_batch_failure");
  FreqRun run(kIsolatedDemes, SpectrumShape{true, false, false, false}, 11);
  TSimSettings::numThreads = GetParam().threads;
  run.s.tplParFileName = "isolated.par";
  if (GetParam().fromTemplate) {
    run.s.modelText = kIsolatedDemes;
  } else {
    writeFile("isolated.par", kIsolatedDemes);
    run.s.parFileName = "isolated.par";
  }
  std::vector<std::vector<long>> before;
  for (int b = 0; b < 12; ++b) before.push_back(generatorState(ranGenArray[b]));
  int counter = 0;
  int result;
  std::string errors;
  {
    StreamCapture err(std::cerr);
    result = run.s.generateSFSPerSimulation(40, counter);
    errors = err.text();
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(countOf(errors, "Num. steps in coalescent process: 1\n"), 1) << errors;
  EXPECT_EQ(countOf(errors, "Bad parameters leading to non-convergent coalescent are written in "
                            "file isolated_bad.par\n"),
            1);
  EXPECT_GE(countOf(errors, "Simulations did not converge. MRCA not found! (5 lineages "
                            "remaining in demes 0 and 1, which migration can no longer bring "
                            "together in a deme of non-zero size)\n"),
            1);
  EXPECT_EQ(readFile("isolated_bad.par"), kIsolatedDemes);
  EXPECT_EQ(run.s.demeCollection.expDAF->totTreeLength, 0.0L);  // nothing was added
  // The generators are where they were, whatever each batch had drawn.
  for (int b = 0; b < 12; ++b) EXPECT_EQ(generatorState(ranGenArray[b]), before[b]) << b;
}

INSTANTIATE_TEST_SUITE_P(Paths, SFSBatchFailure,
                         testing::Values(FailureCase{1, true}, FailureCase{3, false},
                                         FailureCase{0, true}));
