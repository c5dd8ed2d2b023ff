#pragma once
// Counts of the alleles 0 .. 3 per deme at every polymorphic site of a
// simulated data set: all that its observed spectra (and those of its
// bootstrap resamples) read of the states. They are counted in one pass over
// the sampled genes from wherever the states are kept, genotype blocks or
// temporary files, so the spectra do not depend on the in-memory limit (-k).
#include <vector>

#include "engine/geneStates.h"

class TDemeCollection;

class TSiteAlleleCounts {
 public:
  // Counts the states of every site of the collection's site list
  // (TDemeCollection::polymSitePos). False when a state cannot be read (the
  // source reports it) or is not an allele 0 .. 3 (reported here, at the
  // first such site).
  bool count(const TDemeCollection& collection, const TGeneStates& states);
  void clear();
  bool counted() const { return counted_; }

  // Counts of the alleles 0 .. 3 among the genes of deme `deme` at site k of
  // chromosome `chromosome`; all 0 for a deme without sample.
  const int* of(int deme, int chromosome, int k) const {
    const int slot = slotOfDeme_[deme];
    if (slot < 0) return kNone;
    return &counts_[(static_cast<size_t>(slot) * numSites_ + offsets_[chromosome] + k) * 4];
  }

 private:
  static const int kNone[4];
  std::vector<int> counts_;      // [sampled deme][site][allele]
  std::vector<int> slotOfDeme_;  // index among the sampled demes, -1 without sample
  std::vector<size_t> offsets_;  // sites of the earlier chromosomes
  size_t numSites_ = 0;
  bool counted_ = false;
};
