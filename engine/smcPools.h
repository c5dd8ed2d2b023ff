#pragma once
// The pools of the sequentially Markov variants of the replay. The SMC pool
// of a deme holds its lineages of the new tree that still follow the recorded
// history (neither cut nor discarded); the SMC' pool holds the discarded copies
// that carry recombination points, with the deme's total of those points.
// Both follow the position rules of every lineage list. Nothing here runs
// unless one of the two switches is set, so the plain replay pays nothing.
#include "engine/deme.h"
#include "model/simSettings.h"

namespace smc {

inline bool poolsOn() { return TSimSettings::pureSMC || TSimSettings::SMC2; }

inline TNodeArray& pool(TDeme& d) {
  // Room for every lineage of the run, so that migrants never make it grow.
  if (d.SMCPool == nullptr) d.SMCPool = new TNodeArray(TDemeCollection::iniNumLineages + 1);
  return *d.SMCPool;
}

inline TNodeArray& pool2(TDeme& d) {
  if (d.SMC2Pool == nullptr) d.SMC2Pool = new TNodeArray(10);
  return *d.SMC2Pool;
}

inline int poolCount(const TDeme& d) { return d.SMCPool ? d.SMCPool->count() : 0; }

inline bool inPool(const TNodeArray* p, const TNode* node, int slot) {
  return p && slot >= 0 && slot <= p->top && p->items[slot] == node;
}

// A lineage that starts to follow the recorded history in deme d.
inline void add(TDeme& d, TNode* node) {
  if (!poolsOn() || node->discarded) return;
  TNodeArray& p = pool(d);
  node->posInSMCPool = p.top + 1;
  p.Add(node);
}

// A lineage that stops following the recorded history of deme d.
inline void remove(TDeme& d, TNode* node) {
  if (!poolsOn() || d.SMCPool == nullptr) return;
  const int slot = node->posInSMCPool;
  TNodeArray& p = *d.SMCPool;
  if (slot < 0 || slot > p.top || p.items[slot] != node) return;
  p.removeAt(slot);
  if (slot <= p.top) p.items[slot]->posInSMCPool = slot;
  node->posInSMCPool = -1;
}

// replacement takes over the slot of node (a coalescence in the new tree).
inline void replace(TDeme& d, TNode* node, TNode* replacement) {
  if (!poolsOn() || d.SMCPool == nullptr) return;
  const int slot = node->posInSMCPool;
  TNodeArray& p = *d.SMCPool;
  if (slot < 0 || slot > p.top || p.items[slot] != node) return;
  p.items[slot] = replacement;
  replacement->posInSMCPool = slot;
  node->posInSMCPool = -1;
}

// A discarded copy that carries points joins (or is already in) the SMC' pool.
inline void add2(TDeme& d, TNode* copy) {
  if (!TSimSettings::SMC2) return;
  TNodeArray& p = pool2(d);
  const int slot = copy->posInSMC2Pool;
  if (slot >= 0 && slot <= p.top && p.items[slot] == copy) return;
  copy->posInSMC2Pool = p.top + 1;
  p.Add(copy);
  d.totRecsInSMC2Pool += copy->numRecsOnBranch;
}

// A copy whose stretch of old history ends leaves the SMC' pool with its points.
inline void remove2(TDeme& d, TNode* copy) {
  if (!TSimSettings::SMC2 || d.SMC2Pool == nullptr) return;
  const int slot = copy->posInSMC2Pool;
  TNodeArray& p = *d.SMC2Pool;
  if (slot < 0 || slot > p.top || p.items[slot] != copy) return;
  p.removeAt(slot);
  if (slot <= p.top) p.items[slot]->posInSMC2Pool = slot;
  copy->posInSMC2Pool = -1;
  d.totRecsInSMC2Pool -= copy->numRecsOnBranch;
  if (p.top < 0) d.totRecsInSMC2Pool = 0.0;  // no rounding left over
}

// A lineage moved from one deme to another by the recorded history.
inline void move(TDeme& source, TDeme& sink, TNode* node) {
  if (!poolsOn()) return;
  if (node->discarded) {
    if (!inPool(source.SMC2Pool, node, node->posInSMC2Pool)) return;
    remove2(source, node);
    add2(sink, node);
  } else if (inPool(source.SMCPool, node, node->posInSMCPool)) {
    remove(source, node);
    add(sink, node);
  }
}

// Start of a replay: the SMC pool holds the deme's tips in VNL order, the
// SMC' pool is empty.
inline void resetDeme(TDeme& d) {
  if (!poolsOn()) return;
  TNodeArray& p = pool(d);
  p.top = -1;
  for (int k = 0; k <= d.VNL.top; ++k) add(d, d.VNL.items[k]);
  if (d.SMC2Pool) {
    for (int k = 0; k <= d.SMC2Pool->top; ++k) d.SMC2Pool->items[k]->posInSMC2Pool = -1;
    d.SMC2Pool->top = -1;
  }
  d.totRecsInSMC2Pool = 0.0;
}

// Pairs that may coalesce in a deme with cut lineages: cut-cut, cut with an
// SMC-pool lineage and, under SMC', cut with each point on a pooled copy.
double pairCount(const TDeme& deme, bool smc2);

}  // namespace smc
