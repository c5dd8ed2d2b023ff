// Storage of the simulated states per chromosome: genotype blocks in slot c
// of every sampled deme, the table saying where each chromosome's states
// are, the hand-over of a batch's chromosomes to the run's collection, and
// the reader that serves a chromosome's states from either source.
#include <algorithm>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>

#include "engine/deme.h"
#include "model/simSettings.h"

bool TDeme::printHaplotypesToDataArray(int slot, bool spilled) {
  const int genes = sampleSize > 0 ? sampleSize : 0;
  if (slot < 0) return false;
  try {
    int n = 0;
    if (!spilled && genes > 0 && sampledNodes.count() > 0 && sampledNodes[0]->polymSites)
      n = sampledNodes[0]->polymSites->numElems;
    auto block = std::make_unique<TLocusAsShortIntArray>(genes, n);
    for (int g = 0; g < genes && n > 0; ++g) {
      const MY_TArrayAsVector<short>* list = sampledNodes[g]->polymSites;
      if (!list || list->numElems < n) return false;
      std::copy(list->elems, list->elems + n, block->rows[g]);
    }
    // The slot is taken (the table may grow) before anything in it changes.
    TLocusAsShortIntArray*& target = loci[slot];
    if (loci.ownsElems) delete target;
    target = block.release();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool TDemeCollection::writeLocusDataToArrayNew() {
  const bool spilled = curChrom >= 0 && curChrom < static_cast<int>(siteStorage.sources.size()) &&
                       siteStorage.sources[curChrom].spilled;
  for (int d = 0; d < numDemes; ++d) {
    if (demes[d].sampleSize <= 0) continue;
    if (!demes[d].printHaplotypesToDataArray(curChrom, spilled)) {
      std::ostringstream m;
      m << "chromosome " << curChrom + 1 << ": not enough memory for the genotype block of deme "
        << d + 1;
      failDataSet(m.str());
      return false;
    }
  }
  return true;
}

bool TDemeCollection::storeChromosomeStates() {
  if (siteStorage.failed()) return false;
  if (numTempFileFlushes != 0 && !writePolymLociToTempFiles()) return false;
  // The chromosome's segment is whole in the files before anyone reads it.
  if (!flushTempFileBuffer()) return false;
  numTempFileFlushes = 0;  // the next chromosome starts in memory
  // A spilled chromosome still gets its (empty) blocks: a filled slot marks a
  // chromosome that was simulated.
  return writeLocusDataToArrayNew();
}

void TDemeCollection::resetSiteStorage(int numChrom) {
  removeTempFiles();
  siteStorage.sources.assign(numChrom > 0 ? numChrom : 0, TChromSource());
  siteStorage.failure.clear();
  numTempFileFlushes = 0;
}

bool TDemeCollection::anySitesSpilled() const {
  for (const TChromSource& s : siteStorage.sources)
    if (s.spilled) return true;
  return false;
}

void TDemeCollection::takeChromosomeStates(TDemeCollection& batch, int first, int last) {
  if (static_cast<int>(siteStorage.sources.size()) < last) siteStorage.sources.resize(last);
  for (int c = first; c < last; ++c) {
    if (c < static_cast<int>(batch.siteStorage.sources.size()))
      siteStorage.sources[c] = batch.siteStorage.sources[c];
    for (int d = 0; d < numDemes && d < batch.numDemes; ++d) {
      if (demes[d].sampleSize <= 0) continue;
      MY_TIArrayAsVector<TLocusAsShortIntArray>& from = batch.demes[d].loci;
      TLocusAsShortIntArray* block = c < from.numElems ? from.elems[c] : nullptr;
      if (c < from.numElems) from.elems[c] = nullptr;
      TLocusAsShortIntArray*& slot = demes[d].loci[c];
      if (demes[d].loci.ownsElems) delete slot;
      slot = block;
    }
  }
  // The batch's folders are read by this collection now, and removed by it.
  for (int folder : batch.siteStorage.ownedFolders)
    if (std::find(siteStorage.ownedFolders.begin(), siteStorage.ownedFolders.end(), folder) ==
        siteStorage.ownedFolders.end())
      siteStorage.ownedFolders.push_back(folder);
  if (!batch.siteStorage.ownedFolders.empty()) tempFilesExist = true;
  batch.siteStorage.ownedFolders.clear();
  batch.tempFilesExist = false;
  if (batch.siteStorage.failed() && !siteStorage.failed())
    siteStorage.failure = batch.siteStorage.failure;
}

void TDemeCollection::failDataSet(const std::string& problem) {
  if (!siteStorage.failed()) siteStorage.failure = problem;
#pragma omp critical
  std::cerr << "Error: " << problem << std::endl;
}

// ------------------------------------------------------------------ reader

long long TChromStateReader::numSites(int chrom) const {
  const std::vector<TChromSource>& sources = c_.siteStorage.sources;
  if (chrom >= 0 && chrom < static_cast<int>(sources.size()) && sources[chrom].spilled)
    return sources[chrom].numSites;
  for (int d = 0; d < c_.numDemes; ++d) {
    if (c_.demes[d].sampleSize <= 0) continue;
    const MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = c_.demes[d].loci;
    const TLocusAsShortIntArray* block = loci[chrom];
    return block ? block->numSites : -1;
  }
  return -1;
}

const short* TChromStateReader::states(int deme, int gene, int chrom) {
  static const short kNoState = 0;
  error_.clear();
  const std::vector<TChromSource>& sources = c_.siteStorage.sources;
  if (chrom >= 0 && chrom < static_cast<int>(sources.size()) && sources[chrom].spilled)
    return fromFile(deme, gene, chrom);
  const TLocusAsShortIntArray* block = nullptr;
  if (deme >= 0 && deme < c_.numDemes) {
    const MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = c_.demes[deme].loci;
    block = loci[chrom];
  }
  if (!block || gene < 0 || gene >= block->numGenes) {
    std::ostringstream m;
    m << "chromosome " << chrom + 1 << " has no states for gene " << gene + 1 << " of deme "
      << deme + 1;
    error_ = m.str();
    return nullptr;
  }
  return block->numSites > 0 ? block->rows[gene] : &kNoState;
}
