#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "engine/deme.h"
#include "support/TException.h"

namespace {

template <class T>
MY_TArrayAsVector<T> listOf(const std::vector<T>& values) {
  MY_TArrayAsVector<T> list(static_cast<int>(values.size()), 10);
  for (const T& v : values) list.Add(v);
  return list;
}

THistoricalEvent activationOf(int deme, double age) {
  THistoricalEvent e;
  e.time = static_cast<long>(age);
  e.timeCT = age / TDemeCollection::CTTimeUnit;  // as the model reader makes it
  e.source = e.sink = deme;
  e.newSize = 1.0;
  e.activateLineages = true;
  return e;
}

// A model given by plain lists, set up in the calling order of a run.
struct Model {
  MY_TArrayAsVector<TMigrationMatrix> matrices{1, 10};
  std::vector<long> sizes{1000, 2000};
  std::vector<double> growth{0.0, 0.001};
  std::vector<int> samples{3, 2};
  std::vector<double> ages{0.0, 0.0};
  std::vector<double> inbreeding{0.0, 0.0};
  MY_TSArrayAsVector<THistoricalEvent> events{1, 10};

  Model() { addMatrix({0.0, 0.5, 0.25, 0.0}); }
  void addMatrix(std::vector<double> rates) {
    TMigrationMatrix m;
    m.size = static_cast<int>(std::lround(std::sqrt(rates.size())));
    m.allocate_matrix();
    for (size_t k = 0; k < rates.size(); ++k) m.elems[k / m.size][k % m.size] = rates[k];
    matrices.Add(m);
  }
  // Replaces the demes by those of one matrix, all of one size, without
  // growth, ages or inbreeding (samples stay as they are).
  void useDemes(std::vector<double> rates, long size) {
    matrices.numElems = 0;
    addMatrix(std::move(rates));
    const size_t n = static_cast<size_t>(matrices[0].size);
    sizes.assign(n, size);
    growth = ages = inbreeding = std::vector<double>(n, 0.0);
  }
  void setUp(TDemeCollection& c) const {
    c.create_demes(&matrices);
    c.initialize_deme_size(listOf(sizes));
    c.initialize_growth_rates(listOf(growth));
    c.initialize_events(events);
    c.initialize_samp_size(listOf(samples));
    c.initialize_sample_ages(listOf(ages));
    c.initialize_inbreeding_coefficients(listOf(inbreeding));
    TNode::numPop = c.numDemes;
    c.create_lineagesNoRec(listOf(samples), 100);
    TDemeCollection::calcInvNChoose2(c.count_all_lineages());
    TDemeCollection::iniNumLineages = c.count_all_lineages();
  }
};

TEST(DemeSetUp, TwoDemesWithAnAncientSample) {
  Model model;
  model.ages = {0.0, 25.5};
  model.events.Add(activationOf(1, 25.5));
  TDemeCollection c;
  model.setUp(c);

  ASSERT_EQ(c.numDemes, 2);
  EXPECT_EQ(TNode::numPop, 2);
  EXPECT_DOUBLE_EQ(c.demes[1].demeSize, 2000.0);
  EXPECT_DOUBLE_EQ(c.demes[1].growthRateCT, 1000.0);
  EXPECT_TRUE(c.demes[1].isGrowing);
  EXPECT_TRUE(TDemeCollection::initIsGrowthRate);
  EXPECT_EQ(TDemeCollection::iniNumLineages, 5);
  EXPECT_EQ(c.numSites, 100);
  ASSERT_EQ(c.tree.nodes.count, 9);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(c.tree.nodes.items[i].sampleDeme, i < 3 ? 0 : 1);
  ASSERT_EQ(c.demes[0].VNL.count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(c.demes[0].VNL[i], &c.tree.nodes.items[i]);
  EXPECT_EQ(c.demes[1].VNL.count(), 0);
  EXPECT_EQ(c.demes[1].sampledNodes.count(), 2);
  for (int k = 0; k < c.numDemes; ++k) EXPECT_EQ(c.activeDemes[k], -1);

  // The ancient tips enter exactly when their activation event fires.
  c.rescaleEventsCT();
  ASSERT_EQ(c.events.numElems, 1);
  const double tipTime = c.tree.nodes.items[3].time;
  EXPECT_EQ(tipTime, c.events[0].timeCT);
  EXPECT_EQ(tipTime, 25.0 * (1.0 / TDemeCollection::CTTimeUnit));
  EXPECT_EQ(c.tree.nodes.items[4].sampleTime, tipTime);
  EXPECT_EQ(c.tree.nodes.items[0].time, 0.0);
}

TEST(DemeSetUp, InverseCombinationsAreComputedInDouble) {
  TDemeCollection::calcInvNChoose2(4);
  const double expected[] = {0, 0, 1, 1 / 3.0, 1 / 6.0, 0.1, 1 / 15.0};
  for (int k = 0; k < 7; ++k) EXPECT_DOUBLE_EQ(TDemeCollection::invNChoose2[k], expected[k]);
  EXPECT_DOUBLE_EQ(TDemeCollection::invNChoose2[12], 1 / 66.0);
  TDemeCollection::calcInvNChoose2(50000);  // k (k - 1) passes the range of int
  const double k = 150000;
  EXPECT_DOUBLE_EQ(TDemeCollection::invNChoose2[150000], 2.0 / (k * (k - 1)));
  TDemeCollection::releaseInvNChoose2();
  EXPECT_EQ(TDemeCollection::invNChoose2, nullptr);
}

TEST(DemeSetUp, CreateDemesKeepsOrRebuildsTheArray) {
  Model model;
  TDemeCollection c;
  model.setUp(c);
  c.ReserveLoci(3);
  c.demes[0].loci.Add(new TLocusAsShortIntArray(3, 4));
  TDeme* before = c.demes;
  c.create_demes(&model.matrices);
  EXPECT_EQ(c.demes, before);
  EXPECT_EQ(c.demes[0].loci.numElems, 1);
  EXPECT_EQ(c.demes[1].demeSize, 1.0);  // values back to the defaults
  EXPECT_EQ(c.demes[1].demeId, 1);

  Model three;
  three.matrices.numElems = 0;
  three.addMatrix({0, 1, 1, 1, 0, 1, 1, 1, 0});
  EXPECT_EQ(c.create_demes(&three.matrices), 3);
  EXPECT_EQ(c.demes[0].loci.numElems, 0);
  EXPECT_EQ(TNode::numPop, 3);
}

TEST(DemeSetUp, OtherListsOfWrongLengthChangeNothing) {
  Model model;
  TDemeCollection c;
  model.setUp(c);
  EXPECT_FALSE(c.initialize_growth_rates(listOf<double>({0.5})));
  EXPECT_FALSE(c.anyGrowth);
  EXPECT_DOUBLE_EQ(c.demes[1].growthRate, 0.001);
  EXPECT_FALSE(c.initialize_deme_size(listOf<long>({1, 2, 3})));
  EXPECT_DOUBLE_EQ(c.demes[0].demeSize, 1000.0);
}

TEST(DemeSetUp, SettingUpAgainReallocatesTheNodeStore) {
  Model model;
  TDemeCollection c;
  model.setUp(c);
  model.samples = {10, 7};
  model.setUp(c);
  ASSERT_EQ(c.tree.nodes.count, 33);
  EXPECT_EQ(c.tree.sampleSize, 17);
  EXPECT_EQ(c.demes[1].VNL.count(), 7);
  EXPECT_EQ(c.demes[1].VNL[6], &c.tree.nodes.items[16]);

  Model three;
  three.useDemes({0, 1, 1, 1, 0, 1, 1, 1, 0}, 10);
  three.samples = {10, 7, 0};
  three.setUp(c);  // same sample, more demes: longer per-deme counts
  EXPECT_EQ(c.tree.nodes.numPopAllocated, 3);
  EXPECT_EQ(c.demes[2].VNL.count(), 0);
  EXPECT_FALSE(TDemeCollection::initIsGrowthRate);
}

TEST(DemeSetUp, EventsAreKeptSortedByTime) {
  Model model;
  for (int source : {0, 1}) {
    THistoricalEvent e;
    e.time = source == 0 ? 500 : 100;
    e.source = source;
    e.newSize = 1;
    model.events.Add(e);
  }
  THistoricalEvent second;
  second.time = 100;
  second.sink = 1;
  model.events.Add(second);
  TDemeCollection c;
  model.setUp(c);
  ASSERT_EQ(c.events.numElems, 3);
  EXPECT_EQ(c.events[0].source, 1);
  EXPECT_EQ(c.events[1].sink, 1);
  EXPECT_EQ(c.events[2].time, 500);
  c.initialize_events(MY_TSArrayAsVector<THistoricalEvent>(1, 10));
  EXPECT_EQ(c.events.numElems, 0);
}

struct Refusal {
  const char* what;
  void (*spoil)(Model&);
  const char* message;
};

const Refusal kRefusals[] = {
    {"no matrix", [](Model& m) { m.matrices.numElems = 0; }, "no migration matrix"},
    {"matrix of other size", [](Model& m) { m.addMatrix({0, 1, 1, 1, 0, 1, 1, 1, 0}); },
     "migration matrix 1 has 3 rows"},
    {"negative rate", [](Model& m) { m.matrices[0].elems[1][0] = -0.1; }, "rate [1][0] is negative"},
    {"NaN rate", [](Model& m) { m.matrices[0].elems[0][1] = std::nan(""); }, "not a finite number"},
    {"negative deme size", [](Model& m) { m.sizes[1] = -5; }, "negative size"},
    {"infinite growth", [](Model& m) { m.growth[0] = std::numeric_limits<double>::infinity(); },
     "growth rate of deme 0"},
    {"event source outside", [](Model& m) { THistoricalEvent e; e.source = 2; m.events.Add(e); },
     "source deme 2"},
    {"event sink outside", [](Model& m) { THistoricalEvent e; e.sink = -1; m.events.Add(e); },
     "sink deme -1"},
    {"event matrix past the list",
     [](Model& m) { THistoricalEvent e; e.sink = 1; e.newMigMatrix = 1; m.events.Add(e); },
     "migration matrix 1"},
    {"negative size factor", [](Model& m) { THistoricalEvent e; e.newSize = -1; m.events.Add(e); },
     "size factor is negative"},
    {"NaN migrants", [](Model& m) { THistoricalEvent e; e.migrants = std::nan(""); m.events.Add(e); },
     "proportion of migrants"},
    {"negative sample size", [](Model& m) { m.samples[0] = -1; }, "negative sample size"},
    {"short sample list", [](Model& m) { m.samples = {4}; }, "sample sizes has 1 entries"},
    {"long age list", [](Model& m) { m.ages = {0, 0, 0}; }, "sample ages has 3 entries"},
    {"negative age", [](Model& m) { m.ages[1] = -10; }, "sample age of deme 1 is negative"},
    {"NaN inbreeding", [](Model& m) { m.inbreeding[0] = std::nan(""); }, "inbreeding coefficient"},
};

TEST(DemeSetUp, ImpossibleModelsAreRefusedWithOneMessage) {
  for (const Refusal& r : kRefusals) {
    SCOPED_TRACE(r.what);
    Model model;
    r.spoil(model);
    TDemeCollection c;
    try {
      model.setUp(c);
      ADD_FAILURE() << "accepted";
    } catch (const TException& e) {
      EXPECT_EQ(e.kind, EXCEPTION::ERROR);
      const std::string text = e.message.chars;
      EXPECT_NE(text.find(r.message), std::string::npos) << text;
    }
  }
}

TEST(DemeSetUp, SizesOfZeroAndDiagonalRatesAreAccepted) {
  Model model;
  model.sizes = {0, 2000};
  model.matrices[0].elems[0][0] = -7.0;  // the diagonal is never a rate
  THistoricalEvent e;
  e.sink = 1;
  e.newSize = 0.0;
  e.keepMigMatrix = true;
  e.newMigMatrix = -1;
  model.events.Add(e);
  TDemeCollection c;
  EXPECT_NO_THROW(model.setUp(c));
  EXPECT_EQ(c.events.numElems, 1);
}

TEST(DemeSetUp, SampleListOfOtherLengthIsRefusedByTheLineageSetUp) {
  Model model;
  TDemeCollection c;
  model.setUp(c);
  EXPECT_THROW(c.create_lineagesNoRec(listOf<int>({3}), 10), TException);
  EXPECT_THROW(c.create_lineagesNoRecForBrent(listOf<int>({3, 2, 1}), 10), TException);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(c.create_lineagesNoRec(listOf<int>({0, 0}), 10));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "TDemeCollection::create_lineagesNoRec() : Tree is empty \n");
}

TEST(DemeRates, AdjustDemeSizesUnderGrowth) {
  Model model;
  TDemeCollection c;
  model.setUp(c);
  c.demes[1].relSizeCT = 0.01;
  c.demes[0].relSizeCT = 0.5;
  const double t = 0.002;
  EXPECT_EQ(c.adjustDemeSizesCT(t), 1);
  EXPECT_DOUBLE_EQ(c.demes[1].relSizeCT, 0.01 * std::exp(t * 1000.0));
  EXPECT_DOUBLE_EQ(c.demes[0].relSizeCT, 0.5);
  EXPECT_EQ(c.demes[0].lastSizeUpdateTime, t);

  c.demes[1].set_growth_rate(-1.0);  // shrinks to nothing within one unit of time
  testing::internal::CaptureStderr();
  c.adjustDemeSizesCT(1.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "TDemeCollection::adjustDemeSizesCT: Sample size set to 1 in deme 1 at time 1000000"
            " as it was shrinking to zero!\nCheck your par file...!!!\n");
  EXPECT_DOUBLE_EQ(c.demes[1].relSizeCT, 1.0 / TDemeCollection::CTTimeUnit);
}

TEST(DemeRates, EmigrationIgnoresTheDiagonal) {
  Model model;
  model.useDemes({0.1, 0.5, 0.25, 0, 0, 0, 0, 0, 0}, 1);
  model.samples = {2, 0, 0};
  TDemeCollection c;
  model.setUp(c);
  c.demes[0].addDemeToActiveList(&c);
  EXPECT_TRUE(computeMigrProbaPerActiveDeme(c));
  EXPECT_DOUBLE_EQ(c.demes[0].emigrationRate, 0.75);
  EXPECT_TRUE(updateMigrProbaToOtherDemes(c.demes[0], c));
  EXPECT_DOUBLE_EQ(c.demes[0].emigrationRate, 0.75);
  EXPECT_FALSE(updateMigrProbaToOtherDemes(c.demes[1], c));
  EXPECT_TRUE(computeMigrProbaPerActiveDemeForFreqData(c));
  EXPECT_DOUBLE_EQ(c.totMigrationRate, 1.5);
  // The destination is drawn from the same off-diagonal rates.
  EXPECT_EQ(c.findMigrationSink(0, 0.0), 1);
  EXPECT_EQ(c.findMigrationSink(0, 0.49), 1);
  EXPECT_EQ(c.findMigrationSink(0, 0.5), 2);
  EXPECT_EQ(c.findMigrationSink(0, 0.75), -1);
  c.migrationOn = false;
  EXPECT_FALSE(computeMigrProbaPerActiveDeme(c));
  EXPECT_FALSE(updateMigrProbaToOtherDemes(c.demes[0], c));
}

TEST(DemeActiveList, RemovalMovesTheLastDemeIntoTheFreedSlot) {
  struct Case {
    std::vector<int> adds, removes, expected;
  };
  const Case cases[] = {
      {{0, 1, 2}, {0}, {2, 1, -1}},
      {{0, 1, 2}, {2}, {0, 1, -1}},
      {{0, 1, 2}, {1, 0}, {2, -1, -1}},
      {{2, 0, 0, 2}, {}, {2, 0, -1}},  // a listed deme is not added twice
      {{1}, {0, 1}, {-1, -1, -1}},     // removing an unlisted deme changes nothing
  };
  Model model;
  model.useDemes({0, 1, 1, 1, 0, 1, 1, 1, 0}, 1);
  model.samples = {1, 1, 1};
  for (const Case& k : cases) {
    TDemeCollection c;
    model.setUp(c);
    for (int d : k.adds) c.demes[d].addDemeToActiveList(&c);
    for (int d : k.removes) c.demes[d].removeDemeFromActiveList(&c);
    int listed = 0;
    for (int slot = 0; slot < 3; ++slot) {
      EXPECT_EQ(c.activeDemes[slot], k.expected[slot]) << "slot " << slot;
      if (k.expected[slot] >= 0) {
        EXPECT_EQ(c.demes[k.expected[slot]].posInActiveList, slot);
        ++listed;
      }
    }
    EXPECT_EQ(c.numActiveDemes, listed);
  }
}

TEST(DemeReset, RestoresTipsAndLeavesTheSharedGrowthFlag) {
  Model model;
  model.growth = {0, 0};
  model.ages = {0, 40};
  model.events.Add(activationOf(1, 40));
  TDemeCollection c;
  model.setUp(c);
  EXPECT_FALSE(TDemeCollection::initIsGrowthRate);
  // Disturb the lists as a tree would.
  TDeme& d0 = c.demes[0];
  d0.VNL.coalesce(0, 2, &c.tree.nodes.items[5]);
  d0.VNLR = d0.VNL;
  d0.recombinantPool.Add(&c.tree.nodes.items[6]);
  c.tree.nodes.items[1].deme = 1;
  c.demes[1].VNL.Add(&c.tree.nodes.items[1]);
  c.demes[1].numLineages = 3;
  c.curMigMatrix = 3;
  c.migrationOn = false;
  c.isRecombining = true;

  c.reset(listOf<long>({10, 20}), listOf<double>({0.5, 0}));
  EXPECT_TRUE(c.anyGrowth);
  EXPECT_FALSE(TDemeCollection::initIsGrowthRate);  // batches reset concurrently
  EXPECT_DOUBLE_EQ(c.demes[1].demeSize, 20.0);
  EXPECT_EQ(c.curMigMatrix, 0);
  EXPECT_TRUE(c.migrationOn);
  EXPECT_EQ(c.numLineages, 5);
  ASSERT_EQ(d0.VNL.count(), 3);
  ASSERT_EQ(d0.VNLR.count(), 3);
  for (int i = 0; i < 3; ++i) {
    TNode* tip = &c.tree.nodes.items[i];
    EXPECT_EQ(d0.VNL[i], tip);
    EXPECT_EQ(d0.VNLR[i], tip);
    EXPECT_EQ(tip->posInVNL, i);
    EXPECT_EQ(tip->posInVNLR, i);
    EXPECT_EQ(tip->deme, 0);
  }
  EXPECT_EQ(d0.recombinantPool.count(), 0);
  EXPECT_EQ(c.demes[1].VNL.count(), 0);  // the ancient sample waits for its event
  EXPECT_EQ(c.demes[1].numLineages, 0);
}

TEST(DemePartialCopy, CopiesOwnTheirListsAndLeaveTheTipsBehind) {
  Model model;
  TDemeCollection c;
  model.setUp(c);
  TDeme& source = c.demes[0];
  source.VNLR = source.VNL;
  source.inbredPairs = new MY_TArrayAsVector<int>(4, 4);
  source.posInActiveList = 1;
  {
    TDeme copy(source);
    EXPECT_EQ(copy.sampleSize, 3);
    EXPECT_EQ(copy.VNLR.count(), 3);
    EXPECT_NE(copy.VNLR.items, source.VNLR.items);
    EXPECT_EQ(copy.VNL.count(), 0);
    EXPECT_EQ(copy.sampledNodes.count(), 0);
    EXPECT_EQ(copy.inbredPairs, nullptr);
    EXPECT_EQ(copy.posInActiveList, -1);
    TDeme assigned;
    assigned = source;
    EXPECT_EQ(assigned.demeSize, 1000.0);
  }
  EXPECT_EQ(source.VNLR[2], &c.tree.nodes.items[2]);  // untouched by the copies' end
}

}  // namespace
