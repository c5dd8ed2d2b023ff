// New events of cut lineages under the sequentially Markov variants of the
// replay. Strict SMC: a cut lineage joins only lineages of the new tree (other
// cut lineages and those that follow the recorded history), never a discarded
// copy. SMC': besides those, a cut lineage may rejoin a discarded copy that
// carries recombination points, in proportion to its points; points on a copy
// only add to its count.
#include <cmath>
#include <iostream>

#include "engine/recPool.h"
#include "engine/smcPools.h"
#include "support/UniqueRandom.h"

using namespace recpool;

namespace {

int uniformIndex(GlobalRandom& rng, int n) {
  return n > 1 ? static_cast<int>(rng.takeUniform() * n) : 0;
}

// Two distinct cut lineages, each unordered pair equally likely.
void cutPair(GlobalRandom& rng, int o, int& first, int& second) {
  first = uniformIndex(rng, o);
  second = uniformIndex(rng, o - 1);
  if (second >= first) ++second;
}

bool refusesCoalescence(const TDeme& deme, int lineages, const char* caller) {
  if (lineages <= 1 || deme.numRecLineages < 1) {
    std::cerr << caller << " : Less than 2 lineages in deme, coalescent event not possible..."
              << std::endl;
    return true;
  }
  if (deme.relSizeCT == 0.0) {
    std::cerr << caller << " : deme size of population " << deme.demeId << " is zero !"
              << std::endl;
    return true;
  }
  return false;
}

// Cut lineage `first` (pool slot) joins cut lineage `second` or the SMC-pool
// lineage `normal`; the cut lineage then leaves the recombinant pool.
int joinCut(TDeme& deme, TDemeCollection& c, int first, int second, TNode* normal,
            const double& t) {
  TNode* cut = deme.recombinantPool.items[first];
  const bool made =
      normal ? c.coalNormalRecomb(cut, normal, deme.demeId, t)
             : c.coalRecombRecomb(cut, deme.recombinantPool.items[second], second, deme.demeId, t);
  if (!made) return 0;
  poolRemoveAt(c, deme, first);
  return 1;
}

}  // namespace

double smc::pairCount(const TDeme& deme, bool smc2) {
  const double o = deme.numRecLineages;
  const double e = smc::poolCount(deme);
  double pairs = (o - 1) * o * 0.5 + o * e;
  if (smc2) pairs += o * deme.totRecsInSMC2Pool;
  return pairs;
}

int TDeme::implementCoalEventRecCTUnderStrictSMC(TDemeCollection& collection, const double& t) {
  const int o = numRecLineages, e = smc::poolCount(*this);
  if (refusesCoalescence(*this, o + e, "implementCoalEventRecCT()")) return 0;
  GlobalRandom& rng = *collection.randomGenerator;
  if (o + e == 2) {
    if (e == 0) return joinCut(*this, collection, 0, 1, nullptr, t);
    return joinCut(*this, collection, 0, -1, SMCPool->items[0], t);
  }
  const int d = o * (o - 1) / 2;
  bool cutCut = d > 0;
  if (d > 0 && e > 0)
    cutCut = rng.takeUniform() < static_cast<double>(d) / (d + static_cast<double>(o) * e);
  int first = 0, second = -1;
  if (cutCut) {
    cutPair(rng, o, first, second);
    return joinCut(*this, collection, first, second, nullptr, t);
  }
  // Every cut lineage may be the one that joins (not only the first).
  first = uniformIndex(rng, o);
  return joinCut(*this, collection, first, -1, SMCPool->items[uniformIndex(rng, e)], t);
}

int TDeme::implementCoalEventRecCTSMC2(TDemeCollection& collection, const double& t) {
  const int o = numRecLineages, e = smc::poolCount(*this);
  const bool copies = SMC2Pool && SMC2Pool->top >= 0 && totRecsInSMC2Pool > 0.0;
  if (refusesCoalescence(*this, o + e + (copies ? 1 : 0), "implementCoalEventRecCTSMC2()"))
    return 0;
  GlobalRandom& rng = *collection.randomGenerator;
  const double a = o * (o - 1) * 0.5, b = a + static_cast<double>(o) * e;
  const double c = b + o * (copies ? totRecsInSMC2Pool : 0.0);
  const double u = rng.takeUniform() * c;
  if (u < a) {
    const int first = uniformIndex(rng, o);
    int second = uniformIndex(rng, o);
    for (int redraws = 0; second == first && redraws < 1000; ++redraws)
      second = uniformIndex(rng, o);
    if (second == first) {
      std::cerr << "implementCoalEventRecCTSMC2() : pick1==pick2" << std::endl;
      return 0;
    }
    return joinCut(*this, collection, first, second, nullptr, t);
  }
  const int first = uniformIndex(rng, o);
  if (u < b) return joinCut(*this, collection, first, -1, SMCPool->items[uniformIndex(rng, e)], t);

  // A copy drawn by its points; the join succeeds with probability
  // 1 - exp((latest point - t) / size) (k - 1) / k, else the copy loses a point.
  const double x = rng.takeUniform() * totRecsInSMC2Pool;
  double sum = 0.0;
  TNode* copy = SMC2Pool->items[SMC2Pool->top];
  for (int k = 0; k <= SMC2Pool->top; ++k) {
    sum += SMC2Pool->items[k]->numRecsOnBranch;
    if (sum > x) {
      copy = SMC2Pool->items[k];
      break;
    }
  }
  const double k = copy->numRecsOnBranch;
  const double keep = std::exp((copy->lastRecTime - t) / relSizeCT) * (k - 1) / k;
  if (rng.takeUniform() < 1.0 - keep) {
    collection.coalRecombDiscarded(recombinantPool.items[first], copy, demeId, t);
    poolRemoveAt(collection, *this, first);
  } else {
    copy->numRecsOnBranch -= 1;
    totRecsInSMC2Pool -= 1.0;
  }
  return 1;
}

int TDemeCollection::implementRecombEventSMC2(TNode* node, const double& time,
                                              TRecLocation& location) {
  if (node->discarded) {
    TDeme& deme = demes[node->deme];
    if (smc::inPool(deme.SMC2Pool, node, node->posInSMC2Pool)) {
      node->numRecsOnBranch += 1;
      node->lastRecTime = time;
      deme.totRecsInSMC2Pool += 1.0;
    } else {
      node->numRecsOnBranch = 1;
      node->firstRecTime = node->lastRecTime = time;
      smc::add2(deme, node);
    }
    return 0;
  }
  const int slot = implementRecombEvent(node, time, location);
  if (slot < 0) return slot;
  TNode* copy = location.bottomNode->node;
  copy->numRecsOnBranch = 1;
  copy->firstRecTime = copy->lastRecTime = time;
  copy->posInSMC2Pool = -1;
  smc::add2(demes[copy->deme], copy);
  return slot;
}

void TDemeCollection::transferRemainingNormalLineageToRecombinantPool() {
  for (int k = 0; k < numActiveDemes; ++k) {
    TDeme& deme = demes[activeDemes[k]];
    if (smc::poolCount(deme) > 0) {
      transferLineageToRecombinantPool(deme.SMCPool->items[0]);
      return;
    }
  }
}
