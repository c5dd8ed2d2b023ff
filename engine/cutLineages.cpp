// New events of cut lineages during a replay: the coalescence of a cut
// lineage with another cut lineage, with a lineage that follows the recorded
// history or with a discarded copy of the old tree, and the migration of a
// cut lineage. Each writes what the next replay needs into the new history.
#include <iostream>

#include "engine/recPool.h"
#include "engine/smcPools.h"
#include "support/UniqueRandom.h"

using namespace recpool;

TNode* TDemeCollection::nextInternalNode() {
  const int k = tree.sampleSize + tree.numCoalNodes - tree.nodeOffset;
  if (k < tree.sampleSize || k >= tree.nodes.count) return nullptr;
  ++tree.numCoalNodes;
  TNode* node = &tree.nodes.items[k];
  node->discarded = node->recombined = false;
  return node;
}

namespace {

// The new node of a coalescence at t with children a and b in deme d.
void join(TDemeCollection& c, TNode* node, TNode* a, TNode* b, int d, double t) {
  node->desc1 = a;
  node->desc2 = b;
  node->time = t;
  node->deme = d;
  node->ancestor = nullptr;
  a->ancestor = b->ancestor = node;
  if (--c.numLineages == 1) c.tree.root = node;
}

// Pair of lineages of a deme with o cut lineages (pool slots 0..o-1) and m
// entries of VNL (o..o+m-1): every pair holding a cut lineage equally likely.
// false when the second pick keeps equal to the first.
bool pickPair(GlobalRandom& rng, int o, int m, int& first, int& second) {
  const int b = o + m;
  if (b == 2) {
    first = 0;
    second = 1;
    return true;
  }
  if (o >= 2 && m >= 1) {
    // A cut-cut pair can be drawn in two orders, a cut-history pair in one:
    // every history slot counts twice among the second picks.
    first = static_cast<int>(rng.takeUniform() * o);
    const int k = static_cast<int>(rng.takeUniform() * (o - 1 + 2 * m));
    if (k < o - 1)
      second = k < first ? k : k + 1;
    else
      second = o + (k - o + 1) / 2;
    return true;
  }
  first = o == 1 ? 0 : static_cast<int>(rng.takeUniform() * o);
  second = static_cast<int>(rng.takeUniform() * b);
  for (int redraws = 0; second == first && redraws < 1000; ++redraws)
    second = static_cast<int>(rng.takeUniform() * b);
  return second != first;
}

}  // namespace

int TDeme::implementCoalEventRecCT(TDemeCollection& collection, const double& t) {
  const int o = numRecLineages, m = VNL.count();
  if (o + m <= 1 || o < 1) {
    std::cerr << "implementCoalEventRecCT() : Less than 2 lineages in deme, coalescent event not "
                 "possible..."
              << std::endl;
    return 0;
  }
  if (relSizeCT == 0.0) {
    std::cerr << "implementCoalEventRecCT() : deme size of population " << demeId << " is zero !"
              << std::endl;
    return 0;
  }
  int first = 0, second = 1;
  if (!pickPair(*collection.randomGenerator, o, m, first, second)) {
    std::cerr << "implementCoalEventRecCT() : pick1==pick2" << std::endl;
    return 0;
  }
  TNode* cut = recombinantPool.items[first];
  bool made = true;
  if (second < o) {
    made = collection.coalRecombRecomb(cut, recombinantPool.items[second], second, demeId, t);
  } else {
    TNode* other = VNL.items[second - o];
    if (other->discarded)
      collection.coalRecombDiscarded(cut, other, demeId, t);
    else
      made = collection.coalNormalRecomb(cut, other, demeId, t);
  }
  if (!made) return 0;
  poolRemoveAt(collection, *this, first);
  return 1;
}

bool TDemeCollection::coalRecombRecomb(TNode* cut1, TNode* cut2, const int& poolSlot,
                                       const int& d, const double& t) {
  TNode* node = nextInternalNode();
  if (!node) return false;
  TDeme& deme = demes[d];
  const int slot1 = cut1->posInVNLR, slot2 = cut2->posInVNLR;
  deme.recombinantPool.items[poolSlot] = node;  // the new node is itself cut
  node->recombined = true;
  node->posInVNL = -1;
  deme.VNLR.items[slot1] = node;
  node->posInVNLR = slot1;
  cut1->posInVNLR = -1;
  removeVNLR(deme, slot2);
  --deme.numLineages;
  join(*this, node, cut1, cut2, d, t);
  if (!isFreqDataType) recordTinyEvent(0, t, slot1, slot2, d, -1, -1);
  return true;
}

bool TDemeCollection::coalNormalRecomb(TNode* cut, TNode* normal, const int& d, const double& t) {
  TNode* node = nextInternalNode();
  if (!node) return false;
  TDeme& deme = demes[d];
  const int slot1 = cut->posInVNLR, slot2 = normal->posInVNLR;
  // The new node continues along the normal lineage's recorded history.
  smc::replace(deme, normal, node);
  deme.VNL.items[normal->posInVNL] = node;
  node->posInVNL = normal->posInVNL;
  normal->posInVNL = -1;
  deme.VNLR.items[slot1] = node;
  node->posInVNLR = slot1;
  cut->posInVNLR = -1;
  removeVNLR(deme, slot2);
  --deme.numLineages;
  node->recBranchIndex = normal->recBranchIndex;
  if (normal->recBranchIndex >= 0 && normal->recBranchIndex < recBranchesSize)
    recBranches[normal->recBranchIndex]->node = node;
  join(*this, node, cut, normal, d, t);
  if (!isFreqDataType) recordTinyEvent(0, t, slot1, slot2, d, -1, -1);
  return true;
}

void TDemeCollection::coalRecombDiscarded(TNode* cut, TNode* copy, const int& d,
                                          const double& /*t*/) {
  // The cut lineage rejoins the old history where its copy stands.
  TDeme& deme = demes[d];
  deme.VNL.items[copy->posInVNL] = cut;
  cut->posInVNL = copy->posInVNL;
  copy->posInVNL = -1;
  cut->recBranchIndex = copy->recBranchIndex;
  if (copy->recBranchIndex >= 0 && copy->recBranchIndex < recBranchesSize)
    recBranches[copy->recBranchIndex]->node = cut;
  cut->ancestor = copy->ancestor;
  cut->recombined = false;
  smc::remove2(deme, copy);
  smc::add(deme, cut);
}

int TDeme::implementMigrEventRecCT(TDemeCollection& collection, const double& t) {
  const double x = collection.randomGenerator->takeUniform() * emigrationRate;
  const int dest = collection.findMigrationSink(demeId, x);
  if (dest < 0) {
    std::cerr << "TDeme::implementMigrEventRecCT(): sink deme not found for recombining migrant"
              << std::endl;
    return -1;
  }
  implementMigrEventToSinkRecCT(collection.demes[dest], collection, t);
  return dest;
}

int TDeme::implementMigrEventToSinkRecCT(TDeme& sink, TDemeCollection& collection,
                                         const double& t) {
  const int former = migrateRec(sink, &collection);
  if (former < 0) return 0;  // only moves that happened are recorded
  collection.recordTinyEvent(1, t, former, -1, demeId, sink.demeId, -1);
  return 1;
}
