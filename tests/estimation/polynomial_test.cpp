// The polynomial likelihood profile: a fit to values of a known polynomial in
// log10 of the parameter, its grid maximum, and the input it refuses.
#include <gtest/gtest.h>

#include <cmath>

#include "estimation/brentMinimization.h"
#include "estimation/polynomial.h"
#include "support/TException.h"

namespace {

SParamLhoodArrays profileOf(const std::vector<double>& values, const std::vector<double>& lhoods) {
  SParamLhoodArrays a;
  for (double v : values) a.values.Add(v);
  for (double l : lhoods) a.lhoods.Add(l);
  return a;
}

TEST(LhoodProfile, RecoversTheCoefficientsAndTheMaximumOfAKnownPolynomial) {
  const double c[] = {-120.0, 14.0, 3.5, -1.25};  // in t = log10(value)
  auto poly = [&](double t) { return c[0] + c[1] * t + c[2] * t * t + c[3] * t * t * t; };
  std::vector<double> values, lhoods;
  for (int i = 0; i < 12; ++i) {
    const double t = 1.0 + 0.25 * i;
    values.push_back(std::pow(10.0, t));
    lhoods.push_back(poly(t));
  }
  const SParamLhoodArrays profile = profileOf(values, lhoods);
  const TLhoodProfile fit(profile);
  SParamLhoodArrays grid;
  const TProfileMax best = fit.estimateLhoodProfile(2001, false, 3, grid);
  // The vertex of the cubic on [1, 3.75]: root of 14 + 7t - 3.75t^2.
  const double tMax = (7.0 + std::sqrt(49.0 + 4 * 3.75 * 14.0)) / (2 * 3.75);
  EXPECT_NEAR(std::log10(best.value), tMax, 0.00138);  // half a grid step
  EXPECT_NEAR(best.lhood, poly(tMax), 1e-5);
  ASSERT_EQ(grid.values.numElems, 2001);
  EXPECT_DOUBLE_EQ(grid.values[0], 10.0);
  EXPECT_NEAR(grid.values[2000], std::pow(10.0, 3.75), 1e-6);
  for (int k = 0; k < 2001; k += 250)
    EXPECT_NEAR(grid.lhoods[k], poly(std::log10(grid.values[k])), 1e-8) << k;
  // The profile's values are left as they were.
  for (int i = 0; i < 12; ++i) EXPECT_EQ(fit.values(i), values[i]);
}

TEST(LhoodProfile, ParabolaThroughThreePoints) {
  const TLhoodProfile fit(profileOf({1, 10, 100}, {-3, -1, -3}));
  SParamLhoodArrays grid;
  const TProfileMax best = fit.estimateLhoodProfile(3, false, 2, grid);
  EXPECT_NEAR(best.value, 10.0, 1e-9);
  EXPECT_NEAR(best.lhood, -1.0, 1e-9);
}

TEST(LhoodProfile, EqualLargestValuesKeepTheFirst) {
  Eigen::VectorXd flat(1);
  flat << 4.0;
  const TPolyFunc constant(flat, 0);
  SParamLhoodArrays grid;
  const TProfileMax best = constant.locateMax(1.0, 2.0, 5, grid);
  EXPECT_DOUBLE_EQ(best.value, 10.0);
  EXPECT_DOUBLE_EQ(best.lhood, 4.0);
  EXPECT_EQ(grid.lhoods.numElems, 5);
}

TEST(LhoodProfile, VandermondeMatrix) {
  Eigen::VectorXd x(3);
  x << 2, -1, 0.5;
  const TPolyMat m(x, 3);
  ASSERT_EQ(m.matrix.rows(), 3);
  ASSERT_EQ(m.matrix.cols(), 4);
  EXPECT_EQ(m.matrix(0, 3), 8);
  EXPECT_EQ(m.matrix(1, 3), -1);
  EXPECT_EQ(m.matrix(2, 0), 1);
  EXPECT_EQ(m.matrix(2, 2), 0.25);
}

struct RefusedCase {
  const char* label;
  std::vector<double> values, lhoods;
  int gridPoints, degree;
  const char* message;
};

class LhoodProfileRefuses : public testing::TestWithParam<RefusedCase> {};

TEST_P(LhoodProfileRefuses, WithAMessageNamingTheProblem) {
  const RefusedCase& c = GetParam();
  try {
    const TLhoodProfile fit(profileOf(c.values, c.lhoods));
    SParamLhoodArrays grid;
    fit.estimateLhoodProfile(c.gridPoints, false, c.degree, grid);
    ADD_FAILURE() << c.label << ": accepted";
  } catch (const TException& e) {
    EXPECT_NE(std::string(e.message.c_str()).find(c.message), std::string::npos)
        << c.label << ": " << e.message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LhoodProfileRefuses,
    testing::Values(
        RefusedCase{"zero value", {0, 10, 100}, {-3, -1, -3}, 5, 2, "is not a positive number"},
        RefusedCase{"negative value", {1, -10, 100}, {-3, -1, -3}, 5, 2, "is not a positive"},
        RefusedCase{"infinite likelihood", {1, 10, 100}, {-3, -HUGE_VAL, -3}, 5, 2,
                    "is not a finite number"},
        RefusedCase{"short likelihoods", {1, 10, 100}, {-3, -1}, 5, 2, "has only 2 likelihoods"},
        RefusedCase{"no grid point", {1, 10, 100}, {-3, -1, -3}, 0, 2, "at least 2 points, not 0"},
        RefusedCase{"one grid point", {1, 10, 100}, {-3, -1, -3}, 1, 2, "at least 2 points"},
        RefusedCase{"negative degree", {1, 10, 100}, {-3, -1, -3}, 5, -1, "negative degree -1"},
        RefusedCase{"empty profile", {}, {}, 5, 2, "without values"}));

TEST(LhoodProfile, ShortCoefficientVectorIsRefused) {
  Eigen::VectorXd c(2);
  c << 1, 2;
  EXPECT_THROW(TPolyFunc(c, 2), TException);
  EXPECT_NO_THROW(TPolyFunc(c, 1));
}

}  // namespace
