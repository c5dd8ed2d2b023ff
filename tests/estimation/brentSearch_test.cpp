// The Brent search on known functions, the pieces of a parameter step (search
// values, intervals under rules, widening of the next search) and the helpers
// of the searches that refuse degenerate input.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "estimation/brentMinimization.h"
#include "paramTestUtil.h"
#include "support/TException.h"

namespace {

struct CountedFunction {
  std::function<double(double)> f;
  std::vector<double> points;
  std::function<double(double)> wrapped() {
    return [this](double x) {
      points.push_back(x);
      return f(x);
    };
  }
};

struct SearchCase {
  const char* label;
  std::function<double(double)> f;
  double a, b, x0;
  double expected;
};

class BrentOnKnownFunctions : public testing::TestWithParam<SearchCase> {};

TEST_P(BrentOnKnownFunctions, FindsTheMinimumWithinTheTolerance) {
  const SearchCase& c = GetParam();
  CountedFunction counted{c.f, {}};
  const double tol = 1e-4;
  const TBrentOutcome r = brentSearch(counted.wrapped(), c.a, c.b, c.x0, tol);
  EXPECT_EQ(r.end, BrentEnd::CONVERGED);
  EXPECT_NEAR(r.x, c.expected, 4 * (tol * std::fabs(c.expected) + 1e-12));
  EXPECT_DOUBLE_EQ(r.fx, c.f(r.x));
  EXPECT_EQ(r.numEvaluations, static_cast<int>(counted.points.size()));
  EXPECT_LE(r.numEvaluations, BRENT_MAX_ITERATIONS + 1);
  const double lo = std::min(c.a, c.b), hi = std::max(c.a, c.b);
  EXPECT_DOUBLE_EQ(counted.points[0], std::min(std::max(c.x0, lo), hi));  // start clamped
  for (double x : counted.points) {
    EXPECT_GE(x, lo);
    EXPECT_LE(x, hi);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrentOnKnownFunctions,
    testing::Values(
        SearchCase{"parabola inside", [](double x) { return (x - 3.0) * (x - 3.0) + 2.0; }, 0, 10,
                   1, 3.0},
        SearchCase{"ends given in reverse", [](double x) { return (x - 3.0) * (x - 3.0); }, 10, 0,
                   9, 3.0},
        SearchCase{"minimum at the lower end", [](double x) { return x; }, 2, 5, 4, 2.0},
        SearchCase{"minimum at the upper end", [](double x) { return -x; }, 2, 5, 3, 5.0},
        SearchCase{"start below the interval", [](double x) { return (x - 7.0) * (x - 7.0); }, 0,
                   10, -100, 7.0},
        SearchCase{"start above the interval", [](double x) { return std::fabs(x - 0.5); }, 0, 1,
                   5, 0.5},
        // A likelihood maximal at 1000 searched in log10 units: x = log10(value).
        SearchCase{"log scale", [](double u) { return std::pow(u - 3.0, 2) - 5.0; },
                   std::log10(100.0), std::log10(1e5), std::log10(200.0), 3.0}),
    [](const testing::TestParamInfo<SearchCase>& info) {
      std::string name = info.param.label;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

// Without a relative tolerance the floor is far below the spacing of doubles
// near 1, so the bracket can never become narrow enough.
TEST(BrentSearch, NeverConvergingSearchFailsAfterItsLastEvaluation) {
  int calls = 0;
  auto f = [&](double x) {
    ++calls;
    return (x - 1.0) * (x - 1.0);
  };
  const TBrentOutcome r = brentSearch(f, 0.0, 2.0, 0.3, 0.0);
  EXPECT_EQ(r.end, BrentEnd::TOO_MANY_ITERATIONS);
  EXPECT_EQ(calls, BRENT_MAX_ITERATIONS + 1);
  EXPECT_EQ(r.numEvaluations, BRENT_MAX_ITERATIONS + 1);
  EXPECT_NEAR(r.x, 1.0, 1e-6);
}

TEST(BrentSearch, NonFiniteValueEndsTheSearchAtOnce) {
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    int calls = 0;
    auto f = [&](double x) { return ++calls == 4 ? bad : x * x; };
    const TBrentOutcome r = brentSearch(f, -1.0, 3.0, 2.0, 0.01);
    EXPECT_EQ(r.end, BrentEnd::FAILED_EVALUATION);
    EXPECT_EQ(calls, 4);
  }
  int calls = 0;
  const TBrentOutcome first = brentSearch([&](double) { return ++calls, std::nan(""); }, 0, 1,
                                          0.5, 0.01);
  EXPECT_EQ(first.end, BrentEnd::FAILED_EVALUATION);
  EXPECT_EQ(calls, 1);
}

// A search that does not move a log-uniform integer keeps its value.
TEST(SearchValues, IntegersSurviveTheLogarithm) {
  for (long v = 1; v <= 200000; v += (v < 2000 ? 1 : 997)) {
    const double x = std::log10(static_cast<double>(v));
    ASSERT_EQ(searchValueToParameter(x, true, true), static_cast<double>(v)) << v;
  }
  EXPECT_EQ(searchValueToParameter(12.9, false, true), 12.0);
  EXPECT_EQ(searchValueToParameter(-3.7, false, true), -3.0);
  EXPECT_EQ(searchValueToParameter(0.5, false, false), 0.5);
  EXPECT_DOUBLE_EQ(searchValueToParameter(2.0, true, false), 100.0);
}

TEST(ParameterSteps, SimulationsPerLikelihoodGrowUpToTheCap) {
  EXPECT_EQ(nextNumSimsPerLhood(1000, 8500), 6000);
  EXPECT_EQ(nextNumSimsPerLhood(6000, 8500), 8500);
  EXPECT_EQ(nextNumSimsPerLhood(8500, 8500), 8500);
  EXPECT_EQ(nextNumSimsPerLhood(2147483000, 2147483647), 2147483647);  // no overflow
  EXPECT_EQ(nextNumSimsPerLhood(100, 100), 100);
}

TSampleParameters priors(const std::string& text) {
  TSampleParameters p;
  std::string err;
  EXPECT_EQ(readPrior(p, text, &err), 1) << err;
  for (int k = 0; k < p.numSimpleParams; ++k) {
    TParameter& q = p.paramArray[k];
    q.searchMin = q.min;
    q.searchMax = q.max;
    q.searchSpan = q.max - q.min;
  }
  return p;
}

// Rule TDIV > TBOT: once TBOT was 3000 and then moved down to 500, the lower
// end of TDIV follows it down again instead of keeping 3000.
TEST(ParameterSteps, LowerEndFollowsTheRuleDownAgain) {
  TSampleParameters p = priors(
      "[PARAMETERS]\n1 TDIV unif 100 10000\n1 TBOT unif 100 10000\n[RULES]\nTDIV > TBOT\n");
  p.paramArray[0].value = 5000;
  p.paramArray[1].value = 3000;
  TSearchInterval in = searchIntervalOf(prepareSearchOf(p, 0));
  EXPECT_EQ(in.lo, 3000);
  EXPECT_EQ(in.hi, 10000);
  EXPECT_FALSE(in.empty);
  p.paramArray[0].value = 3500;
  in = searchIntervalOf(prepareSearchOf(p, 1));  // TBOT below TDIV
  EXPECT_EQ(in.lo, 100);
  EXPECT_EQ(in.hi, 3500);
  p.paramArray[1].value = 500;
  in = searchIntervalOf(prepareSearchOf(p, 0));
  EXPECT_EQ(in.lo, 500);
  EXPECT_EQ(p.paramArray[0].searchMin, 100);  // the state keeps the prior minimum
}

TEST(ParameterSteps, FixedParameterIsNotSearchedUnderARule) {
  TSampleParameters p =
      priors("[PARAMETERS]\n1 NANC unif 2000 2000\n1 NPOP unif 100 10000\n[RULES]\nNANC < NPOP\n");
  p.paramArray[0].value = 2000;
  p.paramArray[1].value = 5000;
  const TParameter& fixed = prepareSearchOf(p, 0);
  EXPECT_TRUE(fixed.upperFromRule);  // the rule gives it the interval [2000, 5000] ...
  EXPECT_TRUE(searchIntervalOf(fixed).empty);  // ... but its prior fixes it
  const TSearchInterval other = searchIntervalOf(prepareSearchOf(p, 1));
  EXPECT_FALSE(other.empty);
  EXPECT_EQ(other.lo, 2000);
  EXPECT_EQ(other.hi, 10000);
}

struct WideningCase {
  double min, max, value;
  bool bounded;
  double expected;
};

class NextSearchMax : public testing::TestWithParam<WideningCase> {};

TEST_P(NextSearchMax, WidensOnlyNearTheTopAndNeverBelowMax) {
  const WideningCase& c = GetParam();
  TParameter p;
  p.min = c.min;
  p.max = c.max;
  p.searchSpan = c.max - c.min;
  p.isBounded = c.bounded;
  EXPECT_DOUBLE_EQ(nextSearchMax(p, c.value), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NextSearchMax,
    testing::Values(WideningCase{1000, 10000, 9000, false, 9000 + 9000 / 3.0},
                    WideningCase{1000, 10000, 5000, false, 10000},
                    WideningCase{1000, 10000, 12000, false, 15000},
                    WideningCase{1000, 10000, 9900, true, 10000},
                    // Growth rates: a negative prior maximum.
                    WideningCase{-0.01, -0.001, -0.0011, false, -0.0011 + 0.009 / 3.0},
                    WideningCase{-0.01, -0.001, -0.005, false, -0.001},
                    WideningCase{-0.01, -0.001, -0.0013, false, -0.001},
                    WideningCase{-0.1, 0.0, 0.0, false, 0.0}));

TEST(ParameterSets, RelativeDifferenceUsesAbsoluteValues) {
  TSampleParameters a = priors("[PARAMETERS]\n0 G unif -1 1\n0 N unif 1 100\n");
  TSampleParameters b = a;
  a.paramArray[0].value = -1;
  b.paramArray[0].value = 1;  // |a - b| / ((|a| + |b|) / 2) = 2
  a.paramArray[1].value = b.paramArray[1].value = 0;  // mean 0: adds 0
  EXPECT_DOUBLE_EQ(a.relativeDifference(b), 1.0);
  b.paramArray[1].value = 10;
  a.paramArray[1].value = 30;
  EXPECT_DOUBLE_EQ(a.relativeDifference(b), (2.0 + 1.0) / 2);
}

TEST(SearchHelpers, VertexOfTheBracketingParabola) {
  triplet t;
  t.x0 = 0, t.x1 = 1, t.x2 = 3;
  auto f = [](double x) { return 2 * (x - 1.7) * (x - 1.7) + 1; };
  t.f0 = f(t.x0), t.f1 = f(t.x1), t.f2 = f(t.x2);
  EXPECT_NEAR(minBracketedQuadratic(t), 1.7, 1e-12);
}

TEST(SearchHelpers, DegenerateInputIsRefused) {
  triplet line;
  line.x0 = 0, line.x1 = 1, line.x2 = 2;
  line.f0 = 0, line.f1 = 1, line.f2 = 2;  // collinear
  EXPECT_THROW(minBracketedQuadratic(line), TException);
  triplet same;  // coincident abscissae
  EXPECT_THROW(minBracketedQuadratic(same), TException);
  double lo = 0, hi = 1;
  EXPECT_THROW(getNewSearchBoundaries(0.5, 2, 2, 0, 1, lo, hi, false, false), TException);
  TBrentMinimization b;
  double minL, maxL, argMax;
  EXPECT_THROW(b.computeLogCurve(1, 1, 10, minL, maxL, argMax), TException);
  EXPECT_THROW(b.computeLogCurve(5, 3, 3, minL, maxL, argMax), TException);
}

TEST(SearchHelpers, NewBoundariesMoveTheNearEnd) {
  double lo = 0, hi = 10;
  getNewSearchBoundaries(9.5, 0, 10, -1, 20, lo, hi, false, false);  // r > 0.9, d > hi
  EXPECT_EQ(hi, 20);
  lo = 0, hi = 10;
  getNewSearchBoundaries(0.5, 0, 10, -1, 20, lo, hi, false, false);  // r < 0.1, c != lo
  EXPECT_EQ(lo, -1);
  lo = 0, hi = 10;
  getNewSearchBoundaries(3, 0, 10, -1, 20, lo, hi, false, false);  // middle, nearer a
  EXPECT_DOUBLE_EQ(hi, 0.6180339887498547 * (10 + 0.6180339887499999 * 3));
}

}  // namespace
