// Spectrum containers: construction, copies, merge, reset and folding.
#include "sfs/AFS.h"

#include <algorithm>
#include <cstring>
#include <iostream>

double AFS::mutRate = 0.0;
bool AFS::foldedSFS = false;
bool AFS::includeMonoSites = true;
double AFS::minValidSFSEntry = 1.0;
long long AFS::totObsNumSites = 0;
long long AFS::totObsNumPolymSites = 0;

MY_TArrayAsVector<int>* multiSFS::validSFSEntries = nullptr;
double multiSFS::totNumObsSites = 0.0;
double multiSFS::totInvalidObsSites = 0.0;

double sfsTable::total() const {
  double sum = 0.0;
  for (double v : cells) sum += v;
  return sum;
}

// The observed totals (totObsNumSites, totObsNumPolymSites) belong to the
// observed data and are left alone by every construction and copy.
AFS::AFS(bool minor) : isMAF(minor) { setInfixes(minor); }

// A copy leaves the observed totals alone (copies are made inside batches).
AFS::AFS(const AFS& other) : isMAF(other.isMAF) {
  setInfixes(other.isMAF);
  *this = other;
}

void AFS::setInfixes(bool minor) {
  std::strcpy(popInfix, minor ? "_MAFpop" : "_DAFpop");
  std::strcpy(jointInfix, minor ? "_jointMAFpop" : "_jointDAFpop");
  std::strcpy(multiInfix, minor ? "_MSFS" : "_DSFS");
}

// Builds every 1-D spectrum and joint table from sampleSizes, all zero, and
// every minimum empty.
void AFS::buildTables() {
  jointAFS.assign(numDemes, {});
  minSFS.assign(numDemes, {});
  for (int i = 0; i < numDemes; ++i) {
    jointAFS[i].resize(i + 1);
    minSFS[i].assign(i + 1, SFS_EMPTY_MIN);
    jointAFS[i][i].create(1, sampleSizes[i] + 1);
    for (int j = 0; j < i; ++j) jointAFS[i][j].create(sampleSizes[i] + 1, sampleSizes[j] + 1);
  }
  totTreeLength = 0.0L;
}

void AFS::resetArrays() {
  totTreeLength = 0.0L;
  for (auto& row : jointAFS)
    for (auto& table : row) table.zero();
  for (auto& row : minSFS) row.assign(row.size(), SFS_EMPTY_MIN);
}

void AFS::resetPooledArray() { resetArrays(); }

void AFS::deleteJointAFS() {
  jointAFS.clear();
  jointAFS.shrink_to_fit();
  minSFS.clear();
  minSFS.shrink_to_fit();
}

void AFS::deleteVectors() {
  deleteJointAFS();
  sampleSizes.clear();
  sampleSizes.shrink_to_fit();
}

AFS& AFS::operator=(const AFS& other) {
  if (this == &other) return *this;
  numDemes = other.numDemes;
  numSampledDemes = other.numSampledDemes;
  totSampleSize = other.totSampleSize;
  totTreeLength = other.totTreeLength;
  numSims = other.numSims;
  mustSetRelativeValues = other.mustSetRelativeValues;
  isMAF = other.isMAF;
  invalidSFSProb = other.invalidSFSProb;
  arraysCreated = other.arraysCreated;
  preparedForScoring = other.preparedForScoring;  // the values copied are in the same state
  std::memcpy(popInfix, other.popInfix, sizeof popInfix);
  std::memcpy(jointInfix, other.jointInfix, sizeof jointInfix);
  std::memcpy(multiInfix, other.multiInfix, sizeof multiInfix);
  sampleSizes = other.sampleSizes;
  jointAFS = other.jointAFS;
  // A copy has no minima: its likelihood uses the fixed zero floor.
  minSFS.clear();
  return *this;
}

static bool sameShape(const std::vector<std::vector<sfsTable>>& a,
                      const std::vector<std::vector<sfsTable>>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = 0; j <= i; ++j)
      if (a[i][j].cells.size() != b[i][j].cells.size()) return false;
  return true;
}

AFS& AFS::operator+=(const AFS& other) {
  if (!hasTables()) return *this = other;
  if (other.hasTables()) {
    if (!sameShape(jointAFS, other.jointAFS)) {
      std::cerr << "AFS::operator+=(): spectra of different sample sizes cannot be added"
                << std::endl;
      return *this;
    }
    for (size_t i = 0; i < jointAFS.size(); ++i)
      for (size_t j = 0; j <= i; ++j) {
        std::vector<double>& dst = jointAFS[i][j].cells;
        const std::vector<double>& src = other.jointAFS[i][j].cells;
        for (size_t k = 0; k < dst.size(); ++k) dst[k] += src[k];
      }
  }
  totTreeLength += other.totTreeLength;
  return *this;
}

// Folds one spectrum of n + 1 cells onto its first half (minor-allele counts).
static void foldSpectrum(double* s, int n) {
  const int h = n / 2;
  for (int k = 0; k < h; ++k) s[k] += s[n - k];
  if (n % 2 == 1) s[h] += s[h + 1];
  for (int k = h + 1; k <= n; ++k) s[k] = 0.0;
}

void AFS::fold1POPAFS() {
  if (!hasTables()) return;
  for (int d = 0; d < numDemes; ++d) foldSpectrum(spectrum(d), sampleSizes[d]);
}

// Folds a joint table of (ni + 1) x (nj + 1) cells onto the cells whose
// total count is at most half of ni + nj; the table total is kept.
static void foldJointTable(sfsTable& t, int ni, int nj) {
  const int n = ni + nj;
  for (int k = 0; k <= ni; ++k)
    for (int l = 0; l <= nj; ++l)
      if (2 * (k + l) < n) t[k][l] += t[ni - k][nj - l];
  if (n % 2 == 0) {
    for (int k = 0; k <= ni; ++k) {
      const int l = n / 2 - k;
      if (l < 0 || l > nj) continue;
      const int mk = ni - k, ml = nj - l;
      if (mk < k || (mk == k && ml <= l)) continue;  // each pair once; self-mirror kept
      const double mean = 0.5 * (t[k][l] + t[mk][ml]);
      t[k][l] = mean;
      t[mk][ml] = mean;
    }
  }
  for (int k = 0; k <= ni; ++k)
    for (int l = 0; l <= nj; ++l)
      if (2 * (k + l) > n) t[k][l] = 0.0;
}

void AFS::fold2POPAFS() {
  if (!hasTables()) return;
  for (int i = 0; i < numDemes; ++i)
    for (int j = 0; j < i; ++j) foldJointTable(jointAFS[i][j], sampleSizes[i], sampleSizes[j]);
}

void AFS::rescaleSFS(double factor) {
  if (factor == 0.0) return;
  const double r = 1.0 / factor;
  for (auto& row : jointAFS)
    for (auto& table : row)
      for (double& v : table.cells) v *= r;
}

bool index_cmp_t::operator()(const std::vector<int>& a, const std::vector<int>& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

void addSFSIndex(const std::vector<int>& sampleSizes, int deme, std::vector<int>& counts,
                 sfsIndexMap& index, int& nextIndex) {
  const int numDemes = static_cast<int>(sampleSizes.size());
  if (deme == numDemes) {
    index[counts] = nextIndex++;
    return;
  }
  if (sampleSizes[deme] == 0) {
    counts[deme] = 0;
    addSFSIndex(sampleSizes, deme + 1, counts, index, nextIndex);
    return;
  }
  for (int c = 0; c <= sampleSizes[deme]; ++c) {
    counts[deme] = c;
    addSFSIndex(sampleSizes, deme + 1, counts, index, nextIndex);
  }
  counts[deme] = 0;
}
