// The expected derived-allele spectrum written by a whole run agrees with
// theory: for one deme of constant size the share of sites whose derived
// allele is carried by i of n genes is (1/i) / sum_{j<n} 1/j.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "runFolder.h"

namespace {

TEST(ExpectedSpectrum, OneConstantDemeIsProportionalToOneOverI) {
  constexpr int n = 10;
  constexpr int runs = 30;
  RunFolder f("oneOverI");
  f.copyExample("oneDeme");
  RunOutput r = f.run({"-i", "oneDeme.par", "-n", "1000", "-d", "-R", std::to_string(runs),
                       "-q", "-r", "77"});
  ASSERT_EQ(r.status, 0) << r.err;
  // A label line, then one expected spectrum per run (each from 1000 genealogies).
  std::vector<std::string> lines = linesOf(f.read("oneDeme/oneDeme_DAFpop0.txt"));
  ASSERT_EQ(lines.size(), static_cast<size_t>(runs + 1));
  std::vector<double> sum(n + 1, 0.0), sumSq(n + 1, 0.0);
  for (int k = 1; k <= runs; ++k) {
    std::istringstream in(lines[k]);
    for (int i = 0; i <= n; ++i) {
      double v = 0;
      ASSERT_TRUE(in >> v) << lines[k];
      sum[i] += v;
      sumSq[i] += v * v;
    }
  }
  double harmonic = 0;
  for (int j = 1; j < n; ++j) harmonic += 1.0 / j;
  for (int i = 1; i < n; ++i) {
    const double mean = sum[i] / runs;
    const double se = std::sqrt((sumSq[i] / runs - mean * mean) / (runs - 1));
    const double expected = (1.0 / i) / harmonic;
    EXPECT_NEAR(mean, expected, 5 * se) << "i = " << i;
    EXPECT_LT(se, 0.05 * expected) << "i = " << i;  // the check has power
  }
  EXPECT_EQ(sum[n], 0.0);  // fixed derived alleles are not polymorphic
}

}  // namespace
