// DNA sites: the finite-site model with four nucleotides. One Poisson number
// gives all mutations of a segment of loci, their positions are drawn and
// sorted, and mutations sharing a position form one site with several hits
// (unless the infinite-site switch makes every mutation a site of its own).
// A hit falls on the branch where the running branch length in pre-order
// reaches its height, and is a transition (0 <-> 1, 2 <-> 3) or a
// transversion (to 2 or 3 from 0 and 1, to 0 or 1 from 2 and 3).
#include <algorithm>
#include <new>
#include <sstream>

#include "engine/siteCreation.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

namespace {

enum HitKind : unsigned char { kTransition, kTransversionYes, kTransversionNo };

inline short applyHit(unsigned char kind, short s) {
  switch (kind) {
    case kTransition:
      return static_cast<short>(s ^ 1);
    case kTransversionYes:
      return s < 2 ? 2 : 0;
    default:
      return s < 2 ? 3 : 1;
  }
}

// One site at position p from m hits; false when the data set failed.
bool placeDNASite(TDemeCollection& c, long long p, int m, double treeLength, double transitionRate) {
  GlobalRandom& rng = *c.randomGenerator;
  TMutationWork& w = c.mutWork;
  w.heights.resize(m);
  for (int j = 0; j < m; ++j) w.heights[j] = rng.takeUniform() * treeLength;
  std::sort(w.heights.begin(), w.heights.end());
  const int row = static_cast<int>(rng.takeUniform() * 8);
  if (!c.beginSite(static_cast<long>(p), DataType::DNA, row) || !sites::appendToTips(c, 0))
    return false;
  const TTreeLayout& l = sites::layout(c);
  // Hits in height order are hits in pre-order: an ancestor's hits come
  // before its descendants', so applying them in order follows every path.
  w.hitNodes.clear();
  w.hitKinds.clear();
  for (int j = 0; j < m; ++j) {
    const int i = l.nodeAtHeight(w.heights[j]);
    if (i < 0) break;  // beyond the measured length: no later hit is placed either
    l.order[i]->numMutations += 1;
    unsigned char kind = kTransition;
    if (rng.takeUniform() > transitionRate) kind = rng.YesOrNo() ? kTransversionYes : kTransversionNo;
    w.hitNodes.push_back(i);
    w.hitKinds.push_back(kind);
  }
  for (size_t j = 0; j < w.hitNodes.size(); ++j) {
    const int i = w.hitNodes[j];
    for (int t = l.firstTip[i]; t < l.endTip[i]; ++t) {
      short& s = sites::lastState(l.tips[t]);
      s = applyHit(w.hitKinds[j], s);
    }
  }
  return true;
}

}  // namespace

long TDemeCollection::sprinkleDNAMutationsNoRec(const long& first, const long& end,
                                                const double& mutRate,
                                                const double& transitionRate,
                                                const double& treeLength) {
  if (siteStorage.failed()) return -1;
  const long long numLoci = static_cast<long long>(end) - first;
  if (numLoci <= 0) return 0;
  GlobalRandom& rng = *randomGenerator;
  const double drawn = rng.PoissonDistributionValue(static_cast<double>(numLoci) * treeLength *
                                                    mutRate * CTTimeUnit);
  // More mutations than a chromosome can hold: a rate typo, not data.
  if (!countCanBeHeld(drawn, false, "DNA mutations", curBlock, "mutation", mutRate)) return -1;
  const long long total = static_cast<long long>(drawn);
  std::vector<long long>& positions = mutWork.positions;
  try {
    positions.resize(static_cast<size_t>(total));
  } catch (const std::bad_alloc&) {
    std::ostringstream m;
    m << "chromosome " << curChrom + 1 << ": not enough memory for " << total << " DNA mutations";
    failDataSet(m.str());
    return -1;
  }
  for (long long& p : positions)
    p = static_cast<long long>(rng.takeUniform() * static_cast<double>(numLoci) +
                               static_cast<double>(first));
  std::sort(positions.begin(), positions.end());
  const bool infinite = TSimSettings::useInfiniteSiteModel != 0;
  for (long long i = 0; i < total;) {
    int m = 1;
    if (!infinite)
      while (i + m < total && positions[i + m] == positions[i]) ++m;
    if (!placeDNASite(*this, positions[i], m, treeLength, transitionRate)) return -1;
    i += m;
  }
  numMutations = total;
  return static_cast<long>(total);
}

long TDemeCollection::sprinkleDNAMutationsNoRec(const TBlock& block) {
  const long end = block.lastLocus + 1;
  return sprinkleDNAMutationsNoRec(block.firstLocus, end, block.mutRate, block.transitionRate,
                                   sites::treeLength(*this));
}
