#include "tests/support/scratchFolders.h"
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/TException.h"
#include "support/public.h"

namespace {

TEST(Exception, PrintsItsKindAndIsCaughtByType) {
  struct Case {
    int kind;
    char const* text;
  } cases[] = {{0, "\nWARNING: msg"}, {1, "\nERROR: msg"}, {2, "\nFATAL ERROR: msg"},
               {7, "\nWARNING: msg"}};
  for (Case const& c : cases) {
    TException e(my_string("msg"), static_cast<EXCEPTION>(c.kind));
    std::ostringstream out;
    out << e;
    EXPECT_EQ(out.str(), c.text);
  }
  try {
    throw TException("Invalid keyword x", EXCEPTION::ERROR);
  } catch (TException& e) {
    EXPECT_EQ(e.message, "Invalid keyword x");
    EXPECT_EQ(e.kind, EXCEPTION::ERROR);
  }
}

TEST(Helpers, IsInteger) {
  for (char const* yes : {"12", "+12", "-0", "0", "99999999999999999999999"}) EXPECT_TRUE(isInteger(yes)) << yes;
  for (char const* no : {"", "+", "-", " 12", "12 ", "1.5", "1e3", "x1", "0x1"}) EXPECT_FALSE(isInteger(no)) << no;
}

TEST(Helpers, MakeDirAndCheckDirExist) {
  std::string base = scratchPath("bv_support_dirs");
  makeDir(base.c_str());
  ASSERT_TRUE(checkDirExist(base.c_str()));
  struct stat info;
  ASSERT_EQ(stat(base.c_str(), &info), 0);
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0755 & ~mask);

  makeDir(base.c_str());  // existing folder: nothing happens
  EXPECT_TRUE(checkDirExist(base.c_str()));
  std::string file = base + "/plain";
  std::ofstream(file) << "x";
  makeDir(file.c_str());  // existing plain file stays a file
  EXPECT_FALSE(checkDirExist(file.c_str()));
  EXPECT_FALSE(checkDirExist((base + "/missing").c_str()));
  makeDir((base + "/no/such/parent").c_str());  // fails silently
  std::remove(file.c_str());
  rmdir(base.c_str());
}

TEST(Helpers, GammaFunctions) {
  EXPECT_NEAR(LnGamma(1), 0.0, 2e-11);
  EXPECT_NEAR(LnGamma(2), 0.0, 2e-11);
  for (double x : {0.5, 3.3, 7.0, 25.0}) EXPECT_NEAR(LnGamma(x), std::lgamma(x), 1e-9);
  EXPECT_EQ(IncompleteGamma(0, 2), 0.0);
  EXPECT_EQ(IncompleteGamma(1, 0), -1.0);
  EXPECT_EQ(IncompleteGamma(-1, 2), -1.0);
  // P(1, x) = 1 - e^-x and P(2, x) = 1 - e^-x (1 + x), by series and by fraction.
  for (double x : {0.5, 1.0, 3.0, 12.0}) {
    EXPECT_NEAR(IncompleteGamma(x, 1), 1 - std::exp(-x), 1e-7) << x;
    EXPECT_NEAR(IncompleteGamma(x, 2), 1 - std::exp(-x) * (1 + x), 1e-7) << x;
  }
}

TEST(Helpers, QuicksortSortsRanges) {
  std::mt19937 gen(3);
  for (int n : {1, 2, 3, 17, 500}) {
    std::vector<double> v(n);
    for (double& x : v) x = static_cast<double>(gen() % 20);  // with duplicates
    std::vector<double> ref = v;
    quicksort(0, n - 1, v.data());
    std::sort(ref.begin(), ref.end());
    EXPECT_EQ(v, ref) << n;
  }
  double part[] = {9, 5, 4, 3, 0};
  quicksort(1, 3, part);
  EXPECT_EQ(std::vector<double>(part, part + 5), (std::vector<double>{9, 3, 4, 5, 0}));
}

}  // namespace
