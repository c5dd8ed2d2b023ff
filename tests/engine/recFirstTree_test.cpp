// The recorded first tree of a recombining chromosome and the replay of its
// history: with nothing cut, a replay rebuilds exactly the recorded tree and
// history without a single draw, over models using every kind of event.
#include <gtest/gtest.h>

#include <string>

#include "model/simSettings.h"
#include "tests/engine/recModel.h"
#include "tests/engine/replayCases.h"

namespace {

class ReplayInvariant : public testing::TestWithParam<ReplayCase> {};

}  // namespace

// Every event appears in the first tree's history: n - 1 coalescences and
// each historical event exactly once, in the order of the event list.
TEST_P(ReplayInvariant, FirstTreeRecordsItsWholeHistory) {
  RecModel model(GetParam().desc, 71);
  const int n = model.demes.tree.sampleSize;
  for (int r = 0; r < 20; ++r) {
    model.firstTreeOrFail();
    int coalescences = 0, nextEvent = 0;
    double last = 0.0;
    for (const TTinyEvent& e : historyOf(model.demes)) {
      EXPECT_GE(e.time, last);
      last = e.time;
      coalescences += e.type == 0;
      if (e.type == 2) {
        EXPECT_EQ(e.histEventIndex, nextEvent++);
      }
    }
    EXPECT_EQ(coalescences, n - 1);
    EXPECT_EQ(nextEvent, model.demes.events.numElems);
  }
}

// Replaying a history just recorded, with nothing cut, gives back the same
// tree and the same history and takes no random number; twice in a row.
TEST_P(ReplayInvariant, ReplayWithoutCutsRebuildsTheSameTree) {
  RecModel model(GetParam().desc, 73);
  for (int r = 0; r < 20; ++r) {
    model.firstTreeOrFail();
    const std::vector<NodeShot> tree = snapshot(model.demes.tree);
    const std::vector<TTinyEvent> history = historyOf(model.demes);
    const TNode* root = model.demes.tree.root;
    for (int pass = 0; pass < 2; ++pass) {
      expectSilentReplayRebuilds(model, tree,
                                 std::string(GetParam().name) + " tree " + std::to_string(r));
      EXPECT_EQ(model.demes.tree.root, root);
      const std::vector<TTinyEvent> again = historyOf(model.demes);
      ASSERT_EQ(again.size(), history.size());
      for (size_t k = 0; k < history.size(); ++k)
        EXPECT_TRUE(sameRecord(again[k], history[k])) << GetParam().name << " record " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Models, ReplayInvariant, testing::ValuesIn(replayCases()),
                         [](const testing::TestParamInfo<ReplayCase>& info) {
                           return std::string(info.param.name);
                         });

// The recorded first tree draws exactly what the plain builder draws.
TEST(RecFirstTree, DrawsWhatThePlainBuilderDraws) {
  ModelDesc desc{{1000, 1000}, {3, 3}, {}, 0.001};
  desc.events = {makeEvent(200, 1, 0, 0.5), makeEvent(900, 1, 0, 1.0)};
  CoalModel plain(desc, 79);
  RecModel recorded(desc, 79);
  for (int r = 0; r < 50; ++r) {
    ASSERT_EQ(plain.build(), recorded.firstTree());
    EXPECT_TRUE(snapshot(plain.demes.tree) == snapshot(recorded.demes.tree));
    EXPECT_EQ(plain.rng.nextUniform, recorded.rng.nextUniform);
    EXPECT_EQ(plain.rng.nextLogUniform, recorded.rng.nextLogUniform);
  }
}

// Progress lines of the first tree and of a replayed tree, and the replay
// through the settings of a run.
TEST(RecFirstTree, ProgressLinesAndReplayThroughTheSettings) {
  RecModel model(ModelDesc{{1000}, {4}}, 149);
  consoleOutput = true;
  testing::internal::CaptureStdout();
  ASSERT_EQ(model.firstTree(), 1);
  const long first = static_cast<long>(model.tmrcaGenerations());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Chrom struct. : 0\nMRCA time on tree at locus 0: " + std::to_string(first) +
                "\t(0 recs)\n");
  TSimSettings settings;
  settings.demeSizes = model.sizes;
  settings.growthRates = model.rates;
  TDemeCollection& c = model.demes;
  c.tree.locateRecombinationsOnTreeC(3, c.tree.root->calcTreeSizeC(), &c);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(c.replayBuildTreeWithRecs(settings, 1));
  const long next = static_cast<long>(model.tmrcaGenerations());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "MRCA time on tree at locus 1: " + std::to_string(next) + "\t(3 recs)\n");
  EXPECT_TRUE(isValidTree(c.tree));
  EXPECT_EQ(c.totNumRecs, 3);
  consoleOutput = false;
}
