// Lineages that can never meet: once no event is left, a tree whose lineages
// sit in demes that migration can no longer bring together ends at once with
// a failure, in the plain builder, the first tree of a recombining chromosome,
// the expected-spectrum builder and the replay; trees whose lineages can
// still meet are never stopped. A hang ends the test program (alarm).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/engine/freqModel.h"
#include "tests/engine/recModel.h"

namespace {

// Ends the test program when a tree hangs instead of failing.
struct HangGuard {
  explicit HangGuard(unsigned seconds) { alarm(seconds); }
  ~HangGuard() { alarm(0); }
};

int countOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

using Matrix = std::vector<std::vector<double>>;
constexpr double m = 0.001;  // per generation
const Matrix kIsland = {{0, m, m}, {m, 0, m}, {m, m, 0}};
const Matrix kDeme2Apart = {{0, m, 0}, {m, 0, 0}, {0, 0, 0}};  // 0 and 1 keep exchanging

const char* kStuck = ", which migration can no longer bring together in a deme of non-zero size";

ModelDesc threeDemes(std::vector<int> samples, std::vector<Matrix> matrices,
                     std::vector<THistoricalEvent> events = {}) {
  ModelDesc d({1000, 1000, 1000}, std::move(samples));
  d.matrices = std::move(matrices);
  d.events = std::move(events);
  return d;
}

enum class Builder { plain, recombining, freq };
const char* nameOf(Builder b) {
  return b == Builder::plain ? "plain" : b == Builder::recombining ? "recombining" : "spectra";
}

struct Outcome {
  int completed = 0;
  int failed = 0;
  std::string errors;  // all messages
};

template <class Model, class Build>
Outcome runTrees(Model& model, int trees, Build build) {
  Outcome o;
  for (int k = 0; k < trees; ++k) {
    testing::internal::CaptureStderr();
    const bool ok = build(model);
    o.errors += testing::internal::GetCapturedStderr();
    ++(ok ? o.completed : o.failed);
  }
  return o;
}

Outcome outcomeOf(Builder b, const ModelDesc& desc, int trees, long seed) {
  HangGuard guard(20);
  if (b == Builder::plain) {
    CoalModel model(desc, seed);
    return runTrees(model, trees, [](CoalModel& x) { return x.build() == 1; });
  }
  if (b == Builder::recombining) {
    RecModel model(desc, seed);
    return runTrees(model, trees, [](RecModel& x) { return x.firstTree() == 1; });
  }
  FreqModel model(desc, seed);
  return runTrees(model, trees, [](FreqModel& x) { return x.buildFreq() == 1; });
}

}  // namespace

// Isolated and reachable cases, through each builder.
TEST(LineageMeeting, TreesEndAtOnceExactlyWhenLineagesCanNeverMeet) {
  struct Case {
    const char* name;
    ModelDesc desc;
    bool completes;
    const char* message;  // in every failure
  };
  // Deme 1 of size 0 between demes 0 and 2: lineages pass through it one by one.
  ModelDesc passThrough({1000, 0, 1000}, {2, 0, 2});
  passThrough.matrices = {{{0, m, 0}, {10, 0, 10}, {0, m, 0}}};
  // Demes 0 and 2 can only come together in deme 1, of size 0.
  ModelDesc zeroMeeting({1000, 0, 1000}, {1, 0, 1});
  zeroMeeting.matrices = {{{0, m, 0}, {0, 0, 0}, {0, m, 0}}};
  ModelDesc growing = threeDemes({3, 3, 3}, {kIsland});
  growing.growth = {0.0005, 0, -0.0005};
  const Case cases[] = {
      {"isolated from time 0", threeDemes({3, 0, 2}, {kDeme2Apart}), false,
       "(5 lineages remaining in demes 0 and 2, which migration can no longer bring together"},
      {"isolated after a matrix change",
       threeDemes({3, 3, 3}, {kIsland, kDeme2Apart}, {makeMatrixEvent(100, 1)}), false, kStuck},
      {"no migration after an event",
       threeDemes({3, 3, 3}, {kIsland}, {[] {
                    THistoricalEvent e = makeMatrixEvent(100, 0);
                    e.noMigration = true;
                    return e;
                  }()}),
       false, kStuck},
      {"joined again by a later matrix",
       threeDemes({3, 3, 3}, {kIsland, kDeme2Apart},
                  {makeMatrixEvent(100, 1), makeMatrixEvent(5000, 0)}),
       true, ""},
      {"joined again by a merging event",
       threeDemes({3, 3, 3}, {kIsland, kDeme2Apart},
                  {makeMatrixEvent(100, 1), makeEvent(5000, 2, 0, 1.0)}),
       true, ""},
      {"isolated from time 0, then merged",
       threeDemes({3, 0, 2}, {kDeme2Apart}, {makeEvent(5000, 2, 1, 1.0)}), true, ""},
      {"a pass-through deme of size 0", passThrough, true, ""},
      {"meeting only in a deme of size 0", zeroMeeting, false,
       "(2 lineages remaining in demes 0 and 2, which migration"},
      {"growing demes", growing, true, ""},
  };
  for (Builder b : {Builder::plain, Builder::recombining, Builder::freq}) {
    for (const Case& c : cases) {
      const Outcome o = outcomeOf(b, c.desc, 20, 211);
      const std::string what = std::string(nameOf(b)) + ", " + c.name;
      if (c.completes) {
        EXPECT_EQ(o.failed, 0) << what << ": " << o.errors;
        continue;
      }
      EXPECT_EQ(o.completed, 0) << what;
      EXPECT_EQ(o.failed, 20) << what;
      EXPECT_EQ(countOf(o.errors, c.message), 20) << what << ": " << o.errors;
    }
  }
}

// A pulse that moves each lineage of the isolated deme with probability 1/2:
// a single lineage there joins the others in half the trees; in the other
// half it is left behind and the tree ends at the pulse.
TEST(LineageMeeting, PulseJoinsTheIsolatedDemeInHalfTheTrees) {
  const ModelDesc desc = threeDemes({2, 2, 1}, {kDeme2Apart}, {makeEvent(100, 2, 0, 0.5)});
  const int trees = 400;
  for (Builder b : {Builder::plain, Builder::freq}) {
    const Outcome o = outcomeOf(b, desc, trees, 223);
    // Binomial(400, 1/2): sd 10; five standard errors.
    EXPECT_NEAR(o.completed, trees / 2, 50) << nameOf(b);
    EXPECT_EQ(o.completed + o.failed, trees);
    EXPECT_EQ(countOf(o.errors, kStuck), o.failed) << o.errors;
  }
}

// Deme 0 sends migrants to demes 1 and 3, which exchange only with demes 2
// and 4: two lineages leaving deme 0 may end up in parts that never meet
// again, long after the last event, while they keep migrating there.
TEST(LineageMeeting, LineagesThatSplitLaterAreFoundToo) {
  const double fast = 0.01;
  ModelDesc desc({100000, 1000, 1000, 1000, 1000}, {2, 0, 0, 0, 0});
  desc.matrices = {{{0, fast, 0, fast, 0},
                    {0, 0, m, 0, 0},
                    {0, m, 0, 0, 0},
                    {0, 0, 0, 0, m},
                    {0, 0, 0, m, 0}}};
  for (Builder b : {Builder::plain, Builder::recombining, Builder::freq}) {
    const Outcome o = outcomeOf(b, desc, 40, 227);
    EXPECT_GT(o.completed, 0) << nameOf(b);
    EXPECT_GT(o.failed, 0) << nameOf(b);
    EXPECT_EQ(countOf(o.errors, kStuck), o.failed) << o.errors;
  }
}

// Cut lineages of a replay stranded in deme 2 while the others can still
// migrate between demes 0 and 1: the replay ends at once with its failure.
TEST(LineageMeeting, ReplayWithStrandedCutLineagesEndsAtOnce) {
  HangGuard guard(20);
  RecModel model(threeDemes({2, 2, 2}, {kIsland}), 229);
  TMigrationMatrix& matrix = model.matrices[0];
  int failures = 0, stranded = 0;
  for (int chrom = 0; chrom < 40; ++chrom) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) matrix.elems[i][j] = kIsland[i][j] * TDemeCollection::CTTimeUnit;
    model.firstTreeOrFail();
    matrix.elems[0][2] = matrix.elems[1][2] = matrix.elems[2][0] = matrix.elems[2][1] = 0.0;
    TDemeCollection& c = model.demes;
    c.tree.locateRecombinationsOnTreeC(6, c.tree.root->calcTreeSizeC(), &c);
    testing::internal::CaptureStderr();
    const bool ok = c.replayTreeWithRecs(model.sizes, model.rates, 1);
    const std::string err = testing::internal::GetCapturedStderr();
    if (ok) continue;
    ++failures;
    EXPECT_EQ(c.tree.root, nullptr);
    EXPECT_NE(err.find("Coalescent process did not converge: "), std::string::npos) << err;
    if (err.find(kStuck) != std::string::npos) ++stranded;
  }
  EXPECT_GT(stranded, 0);
  EXPECT_LE(stranded, failures);
}
