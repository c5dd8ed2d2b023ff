// Whole and batch copies of a deme collection own everything they copy and
// can simulate on their own.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "sfs/AFS.h"
#include "tests/engine/coalModel.h"

namespace {

ModelDesc twoDemeModel() {
  ModelDesc desc{{1000, 2000}, {3, 2}};
  desc.migration = 0.001;
  desc.events = {makeEvent(800, 1, 0, 1.0)};
  return desc;
}

void giveSpectra(TDemeCollection& c) {
  c.expDAF = new AFS(false);
  c.expDAF->createArrays(c);
  c.expDAF->spectrum(0)[1] = 4.0;
  c.expMultiDAF = new multiSFS(c, false);
  c.expMultiDAF->multiJointSFS[5] = 2.0;
  c.recordTinyEvent(0, 0.5, 1, 2, 0, -1, -1);
  c.totNumRecs = 3;
}

}  // namespace

TEST(DemeCopy, FullAssignmentIsDeepAndReleasesWhatTheSourceLacks) {
  CoalModel model(twoDemeModel(), 3);
  TDemeCollection& source = model.demes;
  giveSpectra(source);
  ASSERT_EQ(model.build(), 1);

  TDemeCollection copy;
  copy = source;
  EXPECT_EQ(copy.numDemes, 2);
  EXPECT_NE(copy.demes, source.demes);
  EXPECT_NE(copy.activeDemes, source.activeDemes);
  EXPECT_EQ(copy.demes[1].demeSize, 2000);
  EXPECT_EQ(copy.events.numElems, 1);
  EXPECT_EQ(copy.migMatrices, source.migMatrices);
  EXPECT_TRUE(copy.eventsRescaled);
  ASSERT_NE(copy.expDAF, nullptr);
  EXPECT_NE(copy.expDAF, source.expDAF);
  EXPECT_EQ(copy.expDAF->spectrum(0)[1], 4.0);
  EXPECT_FALSE(copy.expDAF->hasMinima());
  ASSERT_NE(copy.expMultiDAF, nullptr);
  EXPECT_EQ(copy.expMultiDAF->multiJointSFS[5], 2.0);
  ASSERT_NE(copy.sfsCoord, nullptr);
  EXPECT_NE(copy.sfsCoord, source.sfsCoord);
  ASSERT_NE(copy.curEvents, nullptr);
  EXPECT_NE(copy.curEvents, source.curEvents);
  EXPECT_EQ(copy.curEvents->numElems, 1);
  EXPECT_EQ(copy.totNumRecs, 0);

  source.expDAF->spectrum(0)[1] = 9.0;
  source.events.elems[0].time = 5;
  EXPECT_EQ(copy.expDAF->spectrum(0)[1], 4.0);
  EXPECT_EQ(copy.events[0].time, 800);

  CoalModel other({{1000}, {2}}, 1);
  copy = other.demes;
  EXPECT_EQ(copy.expDAF, nullptr);
  EXPECT_EQ(copy.expMultiDAF, nullptr);
  EXPECT_EQ(copy.sfsCoord, nullptr);
  EXPECT_EQ(copy.numDemes, 1);
}

// A batch copy leaves out the spectra and the recombination records, starts
// its own event-time conversion, and once given its tips builds the same tree
// as its source from the same seed.
TEST(DemeCopy, BatchCopySimulatesLikeItsSource) {
  CoalModel model(twoDemeModel(), 3);
  TDemeCollection& source = model.demes;
  giveSpectra(source);
  ASSERT_EQ(model.build(), 1);
  const double sourceRoot = source.tree.root->time;

  TDemeCollection batch;
  batch.copyEssentialStuffForSimulGeneticDataInThreads(source);
  EXPECT_EQ(batch.expDAF, nullptr);
  EXPECT_EQ(batch.expMultiDAF, nullptr);
  EXPECT_EQ(batch.sfsCoord, nullptr);
  EXPECT_EQ(batch.totNumRecs, 0);
  EXPECT_FALSE(batch.eventsRescaled);
  EXPECT_EQ(batch.tree.sampleSize, 5);
  EXPECT_EQ(batch.tree.nodes.capacity, 0);
  ASSERT_NE(batch.curEvents, nullptr);
  EXPECT_NE(batch.curEvents, source.curEvents);

  MY_TArrayAsVector<int> samples(10, 10);
  fillList(samples, std::vector<int>{3, 2});
  ASSERT_TRUE(batch.create_lineagesNoRec(samples, 1));
  GlobalRandom rng;
  rng.InitializeGenerator(3);
  batch.randomGenerator = &rng;
  ASSERT_EQ(batch.buildTreeNoRecContinousTime(), 1);
  EXPECT_NE(batch.tree.root, source.tree.root);
  EXPECT_EQ(batch.tree.root->time, sourceRoot);
}

TEST(DemeCopy, TextDumpOfADeme) {
  CoalModel model({{1000}, {2}, {0.5}}, 1);
  std::ostringstream os;
  os << model.demes.demes[0];
  EXPECT_EQ(os.str(), "\n#Deme size   : 1000\n#Sample size : 2\n#Growth rate : 0.5\n");
  std::ostringstream all;
  all << model.demes;
  EXPECT_EQ(all.str().rfind("\nDeme #1\n----------\n\n\n#Deme size   : 1000", 0), 0u);
  EXPECT_NE(all.str().find("\nMIGRATION MATRIX 0\n=================\n"), std::string::npos);
  EXPECT_NE(all.str().find("\nHISTORICAL EVENTS\n=================\n"), std::string::npos);
}
