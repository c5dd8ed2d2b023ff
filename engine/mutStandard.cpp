// STANDARD sites: every locus is a site whose allele is the number of
// mutations on the path from the root (so equal alleles may arise twice).
// Counts are summed in 64 bits and must fit the 16-bit storage.
#include "engine/siteCreation.h"
#include "model/simSettings.h"

namespace {

// One locus at position p: returns the mutations placed, -1 on failure.
long long placeLocus(TDemeCollection& c, long p, const TBlock& block) {
  return sites::placeInheritedLocus(c, p, DataType::STANDARD, block.mutRate,
                                    [](long long s, long long count) { return sites::saturatingAdd(s, count); });
}

}  // namespace

long TDemeCollection::sprinkleStandardMutationsNoRec(const TBlock& block) {
  long long total = 0;
  for (long p = block.firstLocus; p < block.firstLocus + block.numLoci; ++p) {
    const long long placed = placeLocus(*this, p, block);
    if (placed < 0) return -1;
    total = sites::saturatingAdd(total, placed);
  }
  numMutations += static_cast<long>(total);
  return static_cast<long>(total);
}

long TDemeCollection::sprinkleStandardMutationsRec(long& locus, const TBlock& block) {
  const long long placed = placeLocus(*this, locus, block);
  if (placed < 0) return -1;
  numMutations += static_cast<long>(placed);
  return static_cast<long>(placed);
}
