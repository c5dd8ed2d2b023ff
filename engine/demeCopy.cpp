// Copies of a deme collection: the full assignment (a whole settings object is
// copied) and the lighter batch copy used by every batch of simulated genetic
// data. A copy owns new storage for everything it copies and shares only the
// migration matrices and the random generator pointer with its source.
#include <iostream>

#include "engine/deme.h"
#include "sfs/AFS.h"

namespace {

// dst becomes a new array holding the n first entries of src (none when src
// is null or n <= 0).
template <class T>
void copyOwnedArray(T*& dst, const T* src, int n) {
  delete[] dst;
  dst = nullptr;
  if (src == nullptr || n <= 0) return;
  dst = new T[n];
  for (int i = 0; i < n; ++i) dst[i] = src[i];
}

// dst becomes a new copy of *src, or null.
template <class T>
void copyOwnedObject(T*& dst, const T* src) {
  delete dst;
  dst = src ? new T(*src) : nullptr;
}

// An event history is copied into the copy's own list, created when missing.
void copyHistory(MY_TArrayAsVector<TTinyEvent>*& dst, const MY_TArrayAsVector<TTinyEvent>* src) {
  if (src == nullptr) return;
  if (dst == nullptr) dst = new MY_TArrayAsVector<TTinyEvent>(1000, 5000);
  *dst = *src;
}

}  // namespace

// Members that both copies take from their source.
static void copyCommonPart(TDemeCollection& dst, const TDemeCollection& src) {
  delete[] dst.demes;
  dst.demes = nullptr;
  if (src.demes != nullptr && src.numDemes > 0) {
    dst.demes = new TDeme[src.numDemes];
    for (int d = 0; d < src.numDemes; ++d) dst.demes[d] = src.demes[d];
  }
  dst.events = src.events;
  dst.migMatrices = src.migMatrices;
  dst.randomGenerator = src.randomGenerator;

  dst.migrationOn = src.migrationOn;
  dst.numDemes = src.numDemes;
  dst.curMigMatrix = src.curMigMatrix;
  dst.numChromosomes = src.numChromosomes;
  dst.numMutations = src.numMutations;
  dst.numRecLineages = src.numRecLineages;
  dst.numActiveDemes = src.numActiveDemes;
  dst.numPolymSites = src.numPolymSites;
  dst.numUsedPolymSites = src.numUsedPolymSites;
  dst.totNumSites = src.totNumSites;
  dst.numInactiveLineages = src.numInactiveLineages;
  dst.wholeTreeLength = src.wholeTreeLength;
  dst.ascertainedTreeLength = src.ascertainedTreeLength;
  dst.microsatMinAllele = src.microsatMinAllele;
  dst.microsatMaxAllele = src.microsatMaxAllele;
  dst.isRecombining = src.isRecombining;
  dst.batchId = src.batchId;
  // Temporary files belong to the collection that wrote them: a copy starts
  // with its own spill state, never with the source's.

  copyOwnedArray(dst.activeDemes, src.activeDemes, src.numDemes);
  copyOwnedArray(dst.numSitesPerChrom, src.numSitesPerChrom, src.numChromosomes);
  copyOwnedArray(dst.numPolymSitesPerChrom, src.numPolymSitesPerChrom, src.numChromosomes);
  copyOwnedArray(dst.polymSitePos, src.polymSitePos, src.numPolymSites);
  copyOwnedArray(dst.usedPolymSitePos, src.usedPolymSitePos, src.numPolymSites);
  copyHistory(dst.curEvents, src.curEvents);
  copyHistory(dst.prevEvents, src.prevEvents);
  dst.tree = src.tree;
  ++dst.mutWork.treeStamp;  // no cache of the site code may describe the copied tree
  dst.isMinorDerived = src.isMinorDerived;
  dst.isMinorAtHalf = src.isMinorAtHalf;
}

TDemeCollection& TDemeCollection::operator=(const TDemeCollection& source) {
  if (this == &source) return *this;
  copyCommonPart(*this, source);
  eventsRescaled = source.eventsRescaled;
  numLineages = source.numLineages;
  anyMigration = source.anyMigration;
  totMigrationRate = source.totMigrationRate;
  anyGrowth = source.anyGrowth;
  numMultiAllelicSites = source.numMultiAllelicSites;
  numAncestralOnlySites = source.numAncestralOnlySites;
  numFixedDerivedSites = source.numFixedDerivedSites;
  minorAllele = source.minorAllele;
  isFixedDerived = source.isFixedDerived;
  isAncestralOnly = source.isAncestralOnly;
  isMultiAllelic = source.isMultiAllelic;
  isSingleAllele = source.isSingleAllele;
  siteAlleles = source.siteAlleles;
  copyOwnedObject(expMultiMAF, source.expMultiMAF);
  copyOwnedObject(expMultiDAF, source.expMultiDAF);
  copyOwnedObject(expMAF, source.expMAF);
  copyOwnedObject(expDAF, source.expDAF);
  copyOwnedObject(sfsCoord, source.sfsCoord);
  copyOwnedObject(sfsCoordDesc1, source.sfsCoordDesc1);
  copyOwnedObject(sfsCoordDesc2, source.sfsCoordDesc2);
  recPosInfo = source.recPosInfo;
  return *this;
}

void TDemeCollection::copyEssentialStuffForSimulGeneticDataInThreads(
    const TDemeCollection& source) {
  if (this == &source) return;
  copyCommonPart(*this, source);
}

std::ostream& operator<<(std::ostream& os, const TDeme& deme) {
  return os << "\n#Deme size   : " << deme.demeSize << "\n#Sample size : " << deme.sampleSize
            << "\n#Growth rate : " << deme.growthRate << "\n";
}

std::ostream& operator<<(std::ostream& os, const TDemeCollection& c) {
  for (int i = 0; i < c.numDemes; ++i)
    os << "\nDeme #" << i + 1 << "\n----------\n\n"
       << c.demes[i] << "\n---------------------------------------\n";
  const int numMatrices = c.migMatrices ? c.migMatrices->numElems : 0;
  for (int j = 0; j < numMatrices; ++j)
    os << "\nMIGRATION MATRIX " << j << "\n=================\n" << (*c.migMatrices)[j] << "\n";
  os << "\nHISTORICAL EVENTS" << "\n=================\n";
  for (int j = 0; j < c.events.numElems; ++j)
    os << "\nEvent #" << j + 1 << "\n----------\n\n"
       << c.events[j] << "\n---------------------------------------\n";
  return os;
}
