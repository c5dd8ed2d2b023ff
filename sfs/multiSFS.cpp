// Multi-dimensional spectrum: copies, merge, reset and cell counting.
#include <iostream>

#include "sfs/AFS.h"

multiSFS::multiSFS(bool minor) : AFS(false) { isMAF = minor; }

multiSFS::multiSFS(const multiSFS& other) : AFS(static_cast<const AFS&>(other)) { *this = other; }

void multiSFS::resetSFS() {
  multiJointSFS.assign(multiJointSFS.size(), 0.0);
  totTreeLength = 0.0L;
  minSFSValue = SFS_EMPTY_MIN;
}

void multiSFS::incSFS(const TSFSCoord& coord) { multiJointSFS[coord.fullIndex()] += 1.0; }

void multiSFS::incSFSHalf(const TSFSCoord& coord) { multiJointSFS[coord.fullIndex()] += 0.5; }

multiSFS& multiSFS::operator=(const multiSFS& other) {
  if (this == &other) return *this;
  AFS::operator=(other);
  isMAF = other.isMAF;
  minSFSValue = other.minSFSValue;
  totSFSEntries = other.totSFSEntries;
  multiJointSFS = other.multiJointSFS;
  isCreated = other.isCreated;
  numDemes = other.numDemes;
  return *this;
}

multiSFS& multiSFS::operator+=(const multiSFS& other) {
  if (multiJointSFS.empty()) {
    // An empty target becomes the source, its total tree length included.
    return *this = other;
  }
  if (other.totSFSEntries != totSFSEntries ||
      other.multiJointSFS.size() != multiJointSFS.size()) {
    if (!other.multiJointSFS.empty())
      std::cerr << "multiSFS::operator+=(): spectra of different sizes cannot be added ("
                << other.totSFSEntries << " and " << totSFSEntries << " entries)" << std::endl;
    totTreeLength += other.totTreeLength;
    return *this;
  }
  for (int k = 0; k < totSFSEntries; ++k) multiJointSFS[k] += other.multiJointSFS[k];
  totTreeLength += other.totTreeLength;
  return *this;
}

long TSFSCoord::fullIndex() const {
  long index = 0;
  for (int k = 0; k < numDemes; ++k) index += static_cast<long>(counts[k]) * strides[k];
  return index;
}
