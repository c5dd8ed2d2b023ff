#include "sfs/F4GT.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "engine/deme.h"
#include "model/simSettings.h"

locPair pairAtIndex(long long index, int n) {
  locPair p;
  long long k = 0;
  // Row k holds the n - 1 - k pairs (k, k + 1 .. n - 1).
  while (k < n - 1 && index >= n - 1 - k) {
    index -= n - 1 - k;
    ++k;
  }
  p.loc1 = static_cast<int>(k);
  p.loc2 = static_cast<int>(k + 1 + index);
  return p;
}

int distanceClass(double distance, const MY_TArrayAsVector<double>& classes) {
  for (int c = 0; c < classes.numElems; ++c)
    if (classes[c] > distance) return c;
  return -1;
}

bool failsFourGameteTest(const TLocusAsShortIntArray& block, int k, int l) {
  bool ancestralDerived = false, derivedAncestral = false, derivedDerived = false;
  for (int g = 0; g < block.numGenes; ++g) {
    const short a = block.rows[g][k], b = block.rows[g][l];
    const bool aDerived = a >= 1 && a <= 3;
    if (a == 0 && b >= 1) ancestralDerived = true;
    if (aDerived && b <= 0) derivedAncestral = true;
    if (aDerived && b > 0) derivedDerived = true;
    if (ancestralDerived && derivedAncestral && derivedDerived) return true;
  }
  return false;
}

TGameteMasks::TGameteMasks(const TLocusAsShortIntArray& block)
    : numSites_(block.numSites),
      words_(block.numGenes > 0 ? (block.numGenes + 63) / 64 : 1),
      masks_(static_cast<size_t>(block.numSites) * 4 * words_, 0) {
  for (int k = 0; k < numSites_; ++k) {
    std::uint64_t* m = &masks_[(static_cast<size_t>(k) * 4) * words_];
    for (int g = 0; g < block.numGenes; ++g) {
      const short s = block.rows[g][k];
      const std::uint64_t bit = std::uint64_t{1} << (g % 64);
      const int w = g / 64;
      if (s == 0) m[w] |= bit;
      if (s >= 1 && s <= 3) m[words_ + w] |= bit;
      if (s > 0) m[2 * words_ + w] |= bit;
      if (s <= 0) m[3 * words_ + w] |= bit;
    }
  }
}

void computeF4GTDistr(long long numPairs, locPair first, const TGameteMasks& masks,
                      int /*chromosome*/, const MY_TArrayAsVector<TPolymSiteInfo>& sites,
                      int numClasses, const MY_TArrayAsVector<double>& classes, long long* failures,
                      long long* passes) {
  const int n = masks.numSites();
  int k = first.loc1, l = first.loc2;
  for (long long p = 0; p < numPairs && k < n - 1; ++p) {
    const double distance = static_cast<double>(sites[l].pos - sites[k].pos);
    const int c = numClasses > 0 ? distanceClass(distance, classes) : -1;
    if (c >= 0) {
      if (masks.fails(k, l))
        ++failures[c];
      else
        ++passes[c];
    }
    if (++l == n) {
      ++k;
      l = k + 1;
    }
  }
}

void countF4GTFailures(const TLocusAsShortIntArray& block, int chromosome,
                       const MY_TArrayAsVector<TPolymSiteInfo>& sites,
                       const MY_TArrayAsVector<double>& classes, long long* failures,
                       long long* passes) {
  const int numClasses = classes.numElems;
  for (int c = 0; c < numClasses; ++c) failures[c] = passes[c] = 0;
  const long long total = numSitePairs(block.numSites);
  if (total == 0 || numClasses == 0) return;  // no pair can fall in a class
  const TGameteMasks masks(block);
  const int threads = TSimSettings::numThreads;
  if (threads == 1) {
    computeF4GTDistr(total, locPair{0, 1}, masks, chromosome, sites, numClasses, classes, failures,
                     passes);
    return;
  }
  // Consecutive chunks of the ordered pairs, the last one taking the
  // remainder; each chunk counts on its own, added up in chunk order.
  long long numChunks = TSimSettings::numBatches > 0 ? TSimSettings::numBatches : 1;
  if (numChunks > total) numChunks = total;
  const long long size = total / numChunks;
  std::vector<long long> counts(2 * numChunks * (numClasses > 0 ? numClasses : 1), 0);
  const int width = numClasses > 0 ? numClasses : 1;
  auto chunk = [&](long long j) {
    const long long start = j * size;
    const long long count = j == numChunks - 1 ? total - start : size;
    long long* f = &counts[2 * j * width];
    computeF4GTDistr(count, pairAtIndex(start, block.numSites), masks, chromosome, sites,
                     numClasses, classes, f, f + width);
  };
  // Thread t of T takes q + 1 chunks from t (q + 1) when t < r, else q
  // chunks from r + t q (q = chunks / T, r = chunks mod T).
  auto share = [&]() {
#ifdef _OPENMP
    const long long t = omp_get_thread_num(), T = omp_get_num_threads();
#else
    const long long t = 0, T = 1;
#endif
    const long long q = numChunks / T, r = numChunks % T;
    const long long from = t < r ? t * (q + 1) : r + t * q;
    const long long n = t < r ? q + 1 : q;
    for (long long j = from; j < from + n; ++j) chunk(j);
  };
  if (threads > 0) {
#pragma omp parallel num_threads(threads)
    share();
  } else {  // the runtime chooses
#pragma omp parallel
    share();
  }
  for (long long j = 0; j < numChunks; ++j)
    for (int c = 0; c < numClasses; ++c) {
      failures[c] += counts[2 * j * width + c];
      passes[c] += counts[2 * j * width + width + c];
    }
}

namespace {

std::string withoutBlanks(const std::string& line) {
  std::string out;
  for (char ch : line)
    if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\n') out += ch;
  return out;
}

// The whole text as one number; false when it is not one.
bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end && *end == '\0';
}

// Bounds and pair counts become 64-bit integers, shares multiply the pair counts:
// a value that cannot be held so is refused with its reason, empty otherwise.
std::string rangeProblem(int k, double v) {
  if (!std::isfinite(v)) return "is not a finite number";
  if (k < 2) return std::fabs(v) < 9.2e18 ? "" : "is too large to be held (at most 9.2e18)";
  return v >= 0.0 && v <= 1.0 ? "" : "is not a share between 0 and 1";
}

// The blank-separated numbers of one line; false at the first token that is not a number.
bool parseNumbers(const std::string& line, std::vector<double>& values, std::string& bad) {
  std::istringstream is(line);
  std::string token;
  values.clear();
  while (is >> token) {
    double v = 0.0;
    if (!parseNumber(token, v)) {
      bad = token;
      return false;
    }
    values.push_back(v);
  }
  return true;
}

// The first value of a line that cannot be held, with its token; false when there is none.
bool outOfRange(const std::string& line, int k, std::string& bad, std::string& problem) {
  std::istringstream is(line);
  std::string token;
  while (is >> token) {
    problem = rangeProblem(k, std::strtod(token.c_str(), nullptr));
    if (!problem.empty()) {
      bad = token;
      return true;
    }
  }
  return false;
}

}  // namespace

bool readDistanceClasses(const std::string& fileName, MY_TArrayAsVector<double>& classes) {
  classes.numElems = 0;
  std::ifstream is(fileName);
  if (!is) return false;
  std::string line;
  std::getline(is, line);  // title
  for (int lineNo = 2; std::getline(is, line); ++lineNo) {
    const std::string text = withoutBlanks(line);
    if (text.empty()) continue;
    double bound = 0.0;
    if (!parseNumber(text, bound)) {
      std::cerr << "Distance classes \"" << fileName << "\", line " << lineNo << ": \"" << text
                << "\" is not a number; the line is skipped" << std::endl;
      continue;
    }
    classes.Add(bound);
  }
  return true;
}

bool TF4GTDistr::readObsFGTDistr(std::istream& is) {
  static const char* const what[] = {"the class bounds", "the pairs per class",
                                     "the failure shares"};
  std::string line;
  std::getline(is, line);  // title
  std::vector<double> lists[3];
  for (int k = 0; k < 3; ++k) {
    if (!std::getline(is, line)) {
      std::cerr << "Four-gamete distribution: line " << k + 2 << " (" << what[k] << ") is missing"
                << std::endl;
      return false;
    }
    std::string bad, problem;
    if (!parseNumbers(line, lists[k], bad)) problem = "is not a number";
    if (problem.empty()) outOfRange(line, k, bad, problem);
    if (!problem.empty()) {
      std::cerr << "Four-gamete distribution: line " << k + 2 << " (" << what[k] << "): \"" << bad
                << "\" " << problem << std::endl;
      return false;
    }
  }
  if (lists[1].size() != lists[0].size() || lists[2].size() != lists[0].size()) {
    std::cerr << "Four-gamete distribution: lines 2 to 4 must hold one value per class, but hold "
              << lists[0].size() << " bounds, " << lists[1].size() << " pair counts and "
              << lists[2].size() << " failure shares" << std::endl;
    return false;
  }
  distClasses.numElems = numPairs.numElems = failureProps.numElems = numFailures.numElems = 0;
  double largest = 0.0;
  for (size_t c = 0; c < lists[0].size(); ++c) {
    const long long pairs = static_cast<long long>(lists[1][c]);
    distClasses.Add(lists[0][c]);
    numPairs.Add(pairs);
    failureProps.Add(lists[2][c]);
    numFailures.Add(static_cast<long long>(pairs * lists[2][c]));
    if (c == 0 || lists[0][c] > largest) largest = lists[0][c];
  }
  numClasses = static_cast<int>(lists[0].size());
  maxDistance = static_cast<long>(largest);
  return true;
}

void releaseF4GTDistr() {
  delete TSimSettings::F4GTDistr;
  TSimSettings::F4GTDistr = nullptr;
}
