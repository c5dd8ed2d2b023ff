#pragma once
// Four-gamete-test statistics: for pairs of polymorphic sites of a chromosome,
// how often the sampled genes of a deme show the three gametes that only
// recombination (or a repeated mutation) can make besides the ancestral one,
// by class of distance between the two sites; and the observed distribution
// of those shares read back from a result file.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "support/containers.h"

class TLocusAsShortIntArray;
struct TPolymSiteInfo;

// A pair of sites of one chromosome, loc1 < loc2 (indices into its site list).
struct locPair {
  int loc1 = 0;
  int loc2 = 1;
};

// Number of pairs k < l among n sites, in 64 bits.
inline long long numSitePairs(long long n) { return n > 1 ? n * (n - 1) / 2 : 0; }

// The pair at index `index` of the ordered enumeration (k = 0, 1, ...; for
// each k, l = k + 1 .. n - 1).
locPair pairAtIndex(long long index, int n);

// Class of a distance: the first class whose bound is greater; -1 when the
// distance reaches every bound.
int distanceClass(double distance, const MY_TArrayAsVector<double>& classes);

// Whether the genes of a block show, at sites k and l, the three gametes
// (ancestral, derived), (derived, ancestral) and (derived, derived).
bool failsFourGameteTest(const TLocusAsShortIntArray& block, int k, int l);

// The genes of a block as bit sets per site (ancestral state, derived state
// 1..3, state above 0, state 0 or below), so that the test of a pair of sites
// looks at 64 genes at a time.
class TGameteMasks {
 public:
  explicit TGameteMasks(const TLocusAsShortIntArray& block);
  int numSites() const { return numSites_; }
  // The same answer as failsFourGameteTest(block, k, l).
  bool fails(int k, int l) const {
    const std::uint64_t* a = &masks_[(static_cast<size_t>(k) * 4) * words_];
    const std::uint64_t* b = &masks_[(static_cast<size_t>(l) * 4) * words_];
    std::uint64_t ancestralDerived = 0, derivedAncestral = 0, derivedDerived = 0;
    for (int w = 0; w < words_; ++w) {
      ancestralDerived |= a[w] & b[2 * words_ + w];
      derivedAncestral |= a[words_ + w] & b[3 * words_ + w];
      derivedDerived |= a[words_ + w] & b[2 * words_ + w];
    }
    return ancestralDerived && derivedAncestral && derivedDerived;
  }

 private:
  int numSites_ = 0;
  int words_ = 1;
  std::vector<std::uint64_t> masks_;  // per site: ancestral, derived, positive, not positive
};

// The test over numPairs consecutive pairs of the enumeration from `first`
// (the unit of work of a thread): failures and passes per class, added to
// the counts given (numClasses entries each).
void computeF4GTDistr(long long numPairs, locPair first, const TGameteMasks& masks, int chromosome,
                      const MY_TArrayAsVector<TPolymSiteInfo>& sites, int numClasses,
                      const MY_TArrayAsVector<double>& classes, long long* failures,
                      long long* passes);

// Failures and passes per class over all pairs of a block, cut into chunks
// tested on threads when numThreads > 1 (the counts do not depend on it).
void countF4GTFailures(const TLocusAsShortIntArray& block, int chromosome,
                       const MY_TArrayAsVector<TPolymSiteInfo>& sites,
                       const MY_TArrayAsVector<double>& classes, long long* failures,
                       long long* passes);

// Distance classes from a file: first line skipped, then one upper bound per
// non-empty line (blanks removed). False when the file cannot be opened;
// lines that are not numbers are reported (file and line) and skipped.
bool readDistanceClasses(const std::string& fileName, MY_TArrayAsVector<double>& classes);

// Observed distribution of failure shares by distance class.
class TF4GTDistr {
 public:
  MY_TArrayAsVector<double> distClasses{10, 10};     // upper bounds
  MY_TArrayAsVector<long long> numPairs{10, 10};     // pairs compared per class
  MY_TArrayAsVector<double> failureProps{10, 10};    // share of failing pairs per class
  MY_TArrayAsVector<long long> numFailures{10, 10};  // int(numPairs x failureProps)
  int numClasses = 0;
  long maxDistance = 0;  // largest bound, truncated

  // One deme's block of a result file: a title line, the bounds, the pairs
  // per class and the failure shares, blank-separated. False (with a message
  // naming the line and the problem) when a line is missing, holds something
  // that is not a number, or when the three lists differ in length.
  bool readObsFGTDistr(std::istream& is);
};

// Frees the observed distribution held by the settings.
void releaseF4GTDistr();
