// Drawing parameter sets under rules, and the search bounds the rules impose.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "estimation/parameters.h"
#include "paramTestUtil.h"
#include "support/UniqueRandom.h"

namespace {

std::unique_ptr<GlobalRandom> seededGenerator(long seed) {
  auto g = std::make_unique<GlobalRandom>();
  g->InitializeGenerator(seed);
  return g;
}

TEST(Drawing, EveryDrawnSetObeysTheRules) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 A unif 0 100\n0 B unif 0 100\n1 N unif 10 20\n"
                         "[RULES]\nA > B\nN < 15\n[COMPLEX PARAMETERS]\n0 S = A+B\n"
                         "0 L = log(B)\n"),
            1);
  auto g = seededGenerator(17);
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(p.drawParameterValues(*g));
    double a = p.paramArray[0].value, b = p.paramArray[1].value, n = p.paramArray[2].value;
    EXPECT_GT(a, b);
    EXPECT_LT(n, 15);
    EXPECT_GE(n, 10);
    EXPECT_EQ(n, std::trunc(n));
    EXPECT_DOUBLE_EQ(p.paramArray[3].value, a + b);
    EXPECT_TRUE(std::isfinite(p.paramArray[4].value));  // log(B) with B = 0 is a failed attempt
  }
}

// A non-finite complex value makes the attempt fail, never the accepted set.
TEST(Drawing, NonFiniteComplexValueIsAFailedAttempt) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 A unif -1 1\n[COMPLEX PARAMETERS]\n0 L = log(A)\n"), 1);
  auto g = seededGenerator(5);
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(p.drawParameterValues(*g));
    EXPECT_GT(p.paramArray[0].value, 0);
  }
}

// Median of log-uniform draws between 10 and 1000 is sqrt(10 x 1000) = 100. In log10 units
// the draws are uniform on [1, 3]; the sample median's standard error is 2 / (2 sqrt(n)).
TEST(Drawing, LogUniformMedian) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 L logunif 10 1000\n"), 1);
  auto g = seededGenerator(123);
  int const n = 4001;
  std::vector<double> logs;
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(p.drawParameterValues(*g));
    double v = p.paramArray[0].value;
    ASSERT_GE(v, 10);
    ASSERT_LT(v, 1000);
    logs.push_back(std::log10(v));
  }
  std::nth_element(logs.begin(), logs.begin() + n / 2, logs.end());
  double se = 2.0 / (2.0 * std::sqrt(double(n)));
  EXPECT_NEAR(logs[n / 2], 2.0, 5 * se);
}

TEST(Drawing, EqualBoundsTakeNoRandomNumber) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 C unif 50 50\n"), 1);
  auto g = seededGenerator(3);
  int before = g->nextUniform;
  ASSERT_TRUE(p.drawParameterValues(*g));
  EXPECT_EQ(p.paramArray[0].value, 50);
  EXPECT_EQ(g->nextUniform, before);
}

TEST(Drawing, ImpossibleRulesGiveUpAfter100Attempts) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 A unif 0 1\n0 B unif 0 1\n[RULES]\nA > B\nB > A\n"), 1);
  auto g = seededGenerator(9);
  int before = g->nextUniform;
  CerrCapture capture;
  EXPECT_FALSE(p.drawParameterValues(*g));
  EXPECT_NE(capture.str().find("Impossible to obey rules after 100 attempts,  stopping computations"),
            std::string::npos);
  EXPECT_EQ(g->nextUniform - before, 200);  // two numbers per attempt
}

// The message names the rules that failed on the last attempt, and only those.
TEST(Drawing, ImpossibleRulesAreNamedInTheMessage) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 A unif 0 1\n0 B unif 0 1\n"
                         "[RULES]\nB < 5\nA > 2\nB > 7\n"),
            1);
  auto g = seededGenerator(9);
  CerrCapture capture;
  EXPECT_FALSE(p.drawParameterValues(*g));
  EXPECT_NE(capture.str().find("stopping computations (rule(s) failed on the last attempt: "
                               "A>2, B>7)"),
            std::string::npos)
      << capture.str();
}

struct BoundsFixture {
  TSampleParameters p;
  explicit BoundsFixture(std::string const& rules) {
    EXPECT_EQ(readPrior(p, "[PARAMETERS]\n0 A unif 0 1e6\n0 B unif 0 1e6\n0 C unif 0 1e6\n"
                           "0 D unif 0 1e6 bounded\n[RULES]\n" + rules),
              1);
    double const values[] = {500, 100, 300, 800};
    for (int i = 0; i < 4; ++i) {
      p.paramArray[i].value = values[i];
      p.paramArray[i].searchMin = 10;
      p.paramArray[i].searchMax = 1000;
    }
    p.defineSearchRangesBoundariesAccordingToRules();
  }
  TParameter const& operator[](int i) const { return p.paramArray[i]; }
};

TEST(SearchBounds, FromRules) {
  BoundsFixture f("A > B\nD < 5000\n20000 > D\n7 < C\n");
  EXPECT_TRUE(f[0].lowerFromRule);
  EXPECT_EQ(f[0].ruleLowerBound, 100);
  EXPECT_TRUE(f[1].upperFromRule);
  EXPECT_EQ(f[1].ruleUpperBound, 500);
  // D < 5000 has no cap for a bounded parameter, 20000 > D is capped at searchMax; the
  // tighter of the two is kept.
  EXPECT_EQ(f[3].ruleUpperBound, 1000);
  EXPECT_FALSE(f[3].upperFromRule);
  // 7 < C is below searchMin 10: the bound is searchMin, not from the rule.
  EXPECT_EQ(f[2].ruleLowerBound, 10);
  EXPECT_FALSE(f[2].lowerFromRule);
}

// A parameter bounded by several rules keeps the tightest bounds, whatever their order.
TEST(SearchBounds, TightestOfSeveralRules) {
  for (char const* rules : {"A > C\nA > B\nA < 900\nA < D\n", "A < D\nA > B\nA < 900\nA > C\n"}) {
    SCOPED_TRACE(rules);
    BoundsFixture f(rules);
    EXPECT_EQ(f[0].ruleLowerBound, 300);
    EXPECT_TRUE(f[0].lowerFromRule);
    EXPECT_EQ(f[0].ruleUpperBound, 800);
    EXPECT_TRUE(f[0].upperFromRule);
  }
}

TEST(SearchBounds, RecomputedFromCurrentValues) {
  BoundsFixture f("A > B\n");
  f.p.paramArray[1].value = 5000;  // now above A's searchMin
  f.p.paramArray[0].searchMin = 6000;
  f.p.defineSearchRangesBoundariesAccordingToRules();
  EXPECT_EQ(f[0].ruleLowerBound, 6000);
  EXPECT_FALSE(f[0].lowerFromRule);
  EXPECT_FALSE(f[2].lowerFromRule);
  EXPECT_FALSE(f[2].upperFromRule);
}

}  // namespace
