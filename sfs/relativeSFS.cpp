// Relative values of expected spectra: branch-length sums become expected
// proportions of sites per cell, and the preparation for scoring turns the
// polymorphic cells into proportions among polymorphic sites.
#include <algorithm>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"

namespace {

void scaleTable(sfsTable& t, double factor) {
  for (double& v : t.cells) v *= factor;
}

double smallestPositive(const sfsTable& t) {
  double m = SFS_EMPTY_MIN;
  for (double v : t.cells)
    if (v > 0.0 && v < m) m = v;
  return m;
}

long double tableSum(const sfsTable& t) {
  long double sum = 0.0L;
  for (double v : t.cells) sum += v;
  return sum;
}

}  // namespace

bool AFS::setAFSRelativeValuesAndComputeMinSFS() {
  if (!mustSetRelativeValues) return true;
  mustSetRelativeValues = false;
  preparedForScoring = false;
  if (totTreeLength == 0.0L) return false;
  const bool withMinima = hasMinima();
  if (!TSimSettings::SNPascertainment) {
    const double r = static_cast<double>(1.0L / totTreeLength);
    for (int i = 0; i < static_cast<int>(jointAFS.size()); ++i)
      for (int j = 0; j <= i; ++j) {
        scaleTable(jointAFS[i][j], r);
        if (withMinima) minSFS[i][j] = smallestPositive(jointAFS[i][j]);
      }
    return true;
  }
  // Under ascertainment each deme's spectrum is a distribution of its own; a
  // joint table takes the factor of its row deme.
  for (int i = 0; i < static_cast<int>(jointAFS.size()); ++i) {
    const long double sum = tableSum(jointAFS[i][i]);
    const double factor = sum != 0.0L ? static_cast<double>(1.0L / sum) : 1.0;
    for (int j = 0; j <= i; ++j) {
      if (sum != 0.0L && tableSum(jointAFS[i][j]) != 0.0L) scaleTable(jointAFS[i][j], factor);
      if (withMinima) minSFS[i][j] = smallestPositive(jointAFS[i][j]);
    }
  }
  return true;
}

void AFS::rescaleSFSForPolymorphicSites(bool oneDOnly) {
  for (int i = 0; i < static_cast<int>(jointAFS.size()); ++i) {
    const int n = sampleSizes[i];
    if (n < 1) continue;
    double* s = spectrum(i);
    const double d = 1.0 - s[0];
    if (d == 0.0) continue;
    const double inv = 1.0 / d;
    for (int k = 1; k <= n; ++k) s[k] *= inv;
  }
  if (oneDOnly) return;
  for (int i = 0; i < static_cast<int>(jointAFS.size()); ++i)
    for (int j = 0; j < i; ++j) {
      sfsTable& t = jointAFS[i][j];
      const double d = 1.0 - t.cells[0];
      if (d == 0.0) continue;
      scaleTable(t, 1.0 / d);
      if (sampleSizes[i] >= 1 && sampleSizes[j] >= 1) t.cells[0] *= d;
    }
}

void AFS::rescaleSFSForPolymorphicSitesWithFoldedSFS(bool oneDOnly) {
  for (int i = 0; i < static_cast<int>(jointAFS.size()); ++i) {
    const int n = sampleSizes[i];
    if (n < 1) continue;
    double* s = spectrum(i);
    double b = 0.0;
    for (int k = 1; k <= n; ++k) b += s[k];
    if (b == 0.0) continue;
    const double inv = 1.0 / b;
    for (int k = 1; k <= n; ++k) s[k] *= inv;
  }
  if (oneDOnly) return;
  for (int i = 0; i < static_cast<int>(jointAFS.size()); ++i)
    for (int j = 0; j < i; ++j) {
      sfsTable& t = jointAFS[i][j];
      const double b = t.total() - t.cells[0];
      if (b == 0.0) continue;
      scaleTable(t, 1.0 / b);
      if (sampleSizes[i] >= 1 && sampleSizes[j] >= 1) t.cells[0] *= b;
    }
}

void AFS::prepareForScoring() {
  if (preparedForScoring) return;
  if (foldedSFS) {
    if (numSampledDemes == 1)
      fold1POPAFS();
    else
      fold2POPAFS();
    rescaleSFSForPolymorphicSitesWithFoldedSFS(false);
  } else {
    rescaleSFSForPolymorphicSites(false);
  }
  preparedForScoring = true;
}

double multiSFS::zeroFloor() const {
  const double m = minSFSValue > 0.0 ? minSFSValue : SFS_EMPTY_MIN;
  return std::min(0.01 * m, 1e-8);
}

namespace {

// The observed data set the lumped class refers to.
const multiSFS* firstObserved(const TObsAFS* observed) {
  if (!observed) return nullptr;
  if (!observed->obsMultiDAF.empty()) return &observed->obsMultiDAF[0];
  if (!observed->obsMultiMAF.empty()) return &observed->obsMultiMAF[0];
  return nullptr;
}

}  // namespace

bool multiSFS::setSFSRelativeValuesAndComputeMinSFS(const TObsAFS* observed) {
  invalidSFSProb = 0.0;
  std::vector<double>& e = multiJointSFS;
  const int n = static_cast<int>(e.size());
  bool hasLength = true;
  double z = zeroFloor();
  if (mustSetRelativeValues) {
    hasLength = totTreeLength != 0.0L;
    minSFSValue = SFS_EMPTY_MIN;
    long double divisor = totTreeLength;
    if (TSimSettings::SNPascertainment) {
      divisor = 0.0L;
      for (double v : e) divisor += v;
    }
    if (divisor != 0.0L && n > 0) {
      const double r = static_cast<double>(1.0L / divisor);
      for (double& v : e) {
        v *= r;
        if (v > 0.0 && v < minSFSValue) minSFSValue = v;
      }
      z = zeroFloor();
    } else {
      z = 1e-8;
    }
    mustSetRelativeValues = false;
  }
  if (!hasLength) return false;

  if (const MY_TArrayAsVector<int>* list = validSFSEntries) {
    int m = 0;
    for (int p = 0; p < list->numElems; ++p) {
      const int idx = (*list)[p];
      if (idx != 0 && idx < n && e[idx] == 0.0) {
        e[idx] = z;
        ++m;
      }
    }
    const double d = 1.0 / (z * m + 1.0);
    const multiSFS* first = firstObserved(observed);
    const int firstSize = first ? static_cast<int>(first->multiJointSFS.size()) : 0;
    int p = 0;
    for (int j = 0; j < n; ++j) {
      while (p < list->numElems && (*list)[p] < j) ++p;
      if (p < list->numElems && (*list)[p] == j)
        e[j] *= d;
      else if (j < firstSize && first->multiJointSFS[j] != 0.0)
        invalidSFSProb += e[j];
    }
  } else if (n >= 2) {
    int m = 0;
    for (int j = 1; j < n; ++j)
      if (e[j] == 0.0) {
        e[j] = z;
        ++m;
      }
    const double d = 1.0 / (z * m + 1.0);
    for (double& v : e) v *= d;
  }
  return true;
}

void multiSFS::rescaleSFSIfNoMonomorphicSites() {
  if (multiJointSFS.empty()) return;
  const double d = 1.0 - multiJointSFS[0];
  if (d != 0.0) {
    const double inv = 1.0 / d;
    for (double& v : multiJointSFS) v *= inv;
  }
  multiJointSFS[0] = 0.0;
}
