// Creation of spectra and coordinates from the sample of a deme collection,
// cell addressing and the per-batch snapshot of expected spectra.
#include <cstring>
#include <iomanip>
#include <iostream>

#include "engine/deme.h"
#include "sfs/AFS.h"

void AFS::createArrays(const TDemeCollection& demes) {
  if (arraysCreated) return;
  numDemes = demes.numDemes;
  sampleSizes.assign(numDemes, 0);
  numSampledDemes = 0;
  totSampleSize = 0;
  for (int d = 0; d < numDemes; ++d) {
    sampleSizes[d] = demes.demes[d].sampleSize;
    totSampleSize += sampleSizes[d];
    if (sampleSizes[d] > 0) ++numSampledDemes;
  }
  buildTables();
  arraysCreated = true;
}

void AFS::createPooledArray(const TDemeCollection& demes) {
  int n = 0;
  for (int d = 0; d < demes.numDemes; ++d) n += demes.demes[d].sampleSize;
  numDemes = 1;
  sampleSizes.assign(1, n);
  totSampleSize = n;
  numSampledDemes = n > 0 ? 1 : 0;
  buildTables();
}

multiSFS::multiSFS(TDemeCollection& demes, bool minor) : AFS(false) {
  isMAF = minor;
  createSFSdadiLike(demes);
}

bool multiSFS::createSFSdadiLike(TDemeCollection& demes) {
  if (isCreated) return true;
  if (creationFailed) return false;
  numDemes = demes.numDemes;
  if (static_cast<int>(sampleSizes.size()) != numDemes) sampleSizes.assign(numDemes, 0);
  totSampleSize = 0;
  minSFSValue = SFS_EMPTY_MIN;
  totTreeLength = 0.0L;
  // The product is formed in floating point so that it cannot overflow.
  double product = 1.0;
  for (int k = 0; k < numDemes; ++k) {
    sampleSizes[k] = demes.demes[k].sampleSize;
    totSampleSize += sampleSizes[k];
    product *= sampleSizes[k] + 1.0;
  }
  if (numDemes > 0 && product > static_cast<double>(MAX_MULTI_SFS_ENTRIES)) {
    std::cerr << "multiSFS::createSFSdadiLike(): Unable to create multiJointSFS as totSFSEntries ("
              << std::fixed << std::setprecision(0) << product << std::defaultfloat
              << std::setprecision(6) << ") is out of bounds [1;1e6]\n";
    creationFailed = true;
    return false;
  }
  totSFSEntries = static_cast<int>(product);
  multiJointSFS.assign(totSFSEntries, 0.0);
  std::strcpy(multiInfix, (isMAF || foldedSFS) ? "_MSFS" : "_DSFS");
  TSFSCoord** coords[3] = {&demes.sfsCoord, &demes.sfsCoordDesc1, &demes.sfsCoordDesc2};
  for (TSFSCoord** c : coords)
    if (*c == nullptr) {
      *c = new TSFSCoord;
      (*c)->initDadiLike(demes);
    }
  isCreated = true;
  return true;
}

double& multiSFS::SFS(const TSFSCoord& coord) {
  const int* valid = TDemeCollection::validDemes;
  const int last = TDemeCollection::lastNumValidDemesIndex;
  if (valid == nullptr || coord.lastValidCount == nullptr || last < 0)
    return multiJointSFS[coord.fullIndex()];
  long index = *coord.lastValidCount;
  for (int k = 0; k < last; ++k) {
    const int v = valid[k];
    index += static_cast<long>(coord.counts[v]) * coord.strides[v];
  }
  return multiJointSFS[index];
}

// Points at the count of the last valid deme, when the valid demes are known.
static int* lastValidCountOf(std::vector<int>& counts) {
  const int* valid = TDemeCollection::validDemes;
  const int last = TDemeCollection::lastNumValidDemesIndex;
  if (valid == nullptr || last < 0) return nullptr;
  const int v = valid[last];
  if (v < 0 || v >= static_cast<int>(counts.size())) return nullptr;
  return &counts[v];
}

void TSFSCoord::initDadiLike(const TDemeCollection& demes) {
  numDemes = demes.numDemes;
  counts.assign(numDemes, 0);
  strides.assign(numDemes, 0);
  if (numDemes > 0) strides[numDemes - 1] = 1;
  for (int k = numDemes - 2; k >= 0; --k)
    strides[k] = strides[k + 1] * (demes.demes[k + 1].sampleSize + 1);
  lastValidCount = lastValidCountOf(counts);
}

TSFSCoord& TSFSCoord::operator=(const TSFSCoord& other) {
  if (this == &other) return *this;
  numDemes = other.numDemes;
  counts = other.counts;
  strides = other.strides;
  lastValidCount = lastValidCountOf(counts);
  return *this;
}

TExpectedSFS::TExpectedSFS(const TDemeCollection& demes) {
  if (demes.expMAF) expMAF = std::make_unique<AFS>(*demes.expMAF);
  if (demes.expDAF) expDAF = std::make_unique<AFS>(*demes.expDAF);
  if (demes.expMultiDAF) expMultiDAF = std::make_unique<multiSFS>(*demes.expMultiDAF);
  if (demes.expMultiMAF) expMultiMAF = std::make_unique<multiSFS>(*demes.expMultiMAF);
}
