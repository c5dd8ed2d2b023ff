// Allele counts of the sites of a data set written by hand: per deme and
// site over every chromosome, zero for a deme without sample, and the first
// state that is not an allele reported by its site.
#include <gtest/gtest.h>

#include <vector>

#include "sfs/siteAlleleCounts.h"
#include "tests/sfs/handDataSet.h"

namespace {

std::vector<int> countsOf(const TSiteAlleleCounts& a, int deme, int chrom, int k) {
  const int* n = a.of(deme, chrom, k);
  return std::vector<int>(n, n + 4);
}

TEST(SiteAlleleCounts, PerDemeAndSiteOfEveryChromosome) {
  HandDataSet h(handModel({3, 0, 2}, 2, {"SNP 10 0 1e-8 0"}));
  h.site(0, 1, DataType::SNP, {0, 1, 1, 2, 3});
  h.site(1, 4, DataType::SNP, {1, 0, 0, 0, 1});
  h.site(1, 7, DataType::SNP, {0, 0, 0, 0, 0});
  h.store();
  const TDemeCollection& c = h.s.demeCollection;
  TSiteAlleleCounts a;
  ASSERT_TRUE(a.count(c, statesInMemory(c)));
  EXPECT_TRUE(a.counted());
  EXPECT_EQ(countsOf(a, 0, 0, 0), (std::vector<int>{1, 2, 0, 0}));
  EXPECT_EQ(countsOf(a, 2, 0, 0), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(countsOf(a, 1, 0, 0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(countsOf(a, 0, 1, 0), (std::vector<int>{2, 1, 0, 0}));
  EXPECT_EQ(countsOf(a, 2, 1, 0), (std::vector<int>{1, 1, 0, 0}));
  EXPECT_EQ(countsOf(a, 2, 1, 1), (std::vector<int>{2, 0, 0, 0}));
  a.clear();
  EXPECT_FALSE(a.counted());
}

// Gene 1 has a bad state at site 3, gene 2 already at site 2: site 2 is named.
TEST(SiteAlleleCounts, FirstStateThatIsNoAlleleIsReportedBySite) {
  HandDataSet h(handModel({2}, 1, {"SNP 10 0 1e-8 0"}));
  h.site(0, 0, DataType::SNP, {0, 1});
  h.site(0, 1, DataType::SNP, {0, 9});
  h.site(0, 2, DataType::SNP, {8, 0});
  h.store();
  const TDemeCollection& c = h.s.demeCollection;
  TSiteAlleleCounts a;
  StreamCapture err(std::cerr);
  EXPECT_FALSE(a.count(c, statesInMemory(c)));
  EXPECT_FALSE(a.counted());
  EXPECT_EQ(err.text(),
            "non-SNP data in individual no. 2 in population 0, locus no. 2 (data = <9>)\n");
}

}  // namespace
