// STANDARD sites: every locus is a site whose allele is the number of
// mutations on the path from the root (so equal alleles may arise twice).
// Counts are summed in 64 bits and must fit the 16-bit storage.
#include "engine/siteCreation.h"
#include "model/simSettings.h"

namespace {

// One locus at position p: returns the mutations placed, -1 on failure.
long long placeLocus(TDemeCollection& c, long p, const TBlock& block) {
  const TTreeLayout& l = sites::layoutWithRate(c, block.mutRate);
  if (l.size() == 0 || !c.beginSite(p, DataType::STANDARD, 0)) return -1;
  std::vector<long long>& state = c.mutWork.layout.state;
  state[0] = 0;
  l.order[0]->numMutations = 0;
  long long total = 0;
  for (int i = 1; i < l.size(); ++i) {
    const long long count = sites::branchPoisson(c, l, i);
    l.order[i]->numMutations = count;
    state[i] = sites::saturatingAdd(state[l.parent[i]], count);
    total = sites::saturatingAdd(total, count);
  }
  return sites::appendNodeStates(c, p) ? total : -1;
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
