#include "sfs/siteAlleleCounts.h"

#include <iostream>

#include "engine/deme.h"

const int TSiteAlleleCounts::kNone[4] = {0, 0, 0, 0};

namespace {

size_t sitesOfChromosome(int chromosome) {
  const MY_TArrayAsVector<TPolymSiteInfo>* lists = TDemeCollection::polSitesInfo;
  return lists ? static_cast<size_t>(lists[chromosome].numElems) : 0;
}

// The first state that is not an allele, by site, then deme and gene.
struct TBadState {
  bool found = false;
  size_t site = 0;
  int deme = 0, gene = 0;
  short state = 0;
};

}  // namespace

void TSiteAlleleCounts::clear() {
  counts_.clear();
  slotOfDeme_.clear();
  offsets_.clear();
  numSites_ = 0;
  counted_ = false;
}

bool TSiteAlleleCounts::count(const TDemeCollection& c, const TGeneStates& states) {
  clear();
  const int numChrom = c.numChromosomes > 0 ? c.numChromosomes : 0;
  offsets_.assign(numChrom > 0 ? numChrom : 1, 0);
  for (int chrom = 0; chrom < numChrom; ++chrom) {
    offsets_[chrom] = numSites_;
    numSites_ += sitesOfChromosome(chrom);
  }
  int slots = 0;
  slotOfDeme_.assign(c.numDemes > 0 ? c.numDemes : 0, -1);
  for (int d = 0; d < c.numDemes; ++d)
    if (c.demes[d].sampleSize > 0) slotOfDeme_[d] = slots++;
  counts_.assign(static_cast<size_t>(slots) * numSites_ * 4, 0);
  TBadState bad;
  // Gene by gene, so that a gene's temporary file is read from start to end.
  for (int d = 0; d < c.numDemes; ++d) {
    if (slotOfDeme_[d] < 0) continue;
    int* deme = counts_.data() + static_cast<size_t>(slotOfDeme_[d]) * numSites_ * 4;
    for (int g = 0; g < c.demes[d].sampleSize; ++g)
      for (int chrom = 0; chrom < numChrom; ++chrom) {
        const size_t n = sitesOfChromosome(chrom);
        if (n == 0) continue;
        const short* row = states(d, g, chrom);
        if (!row) {
          clear();
          return false;
        }
        int* cell = deme + offsets_[chrom] * 4;
        for (size_t k = 0; k < n; ++k, cell += 4) {
          const short s = row[k];
          if (s >= 0 && s <= 3) {
            ++cell[s];
            continue;
          }
          const size_t site = offsets_[chrom] + k;
          if (!bad.found || site < bad.site) bad = TBadState{true, site, d, g, s};
          break;  // the later sites of the row come after this one
        }
      }
  }
  if (bad.found) {
    std::cerr << "non-SNP data in individual no. " << bad.gene + 1 << " in population "
              << bad.deme << ", locus no. " << bad.site + 1 << " (data = <" << bad.state << ">)"
              << std::endl;
    clear();
    return false;
  }
  counted_ = true;
  return true;
}
