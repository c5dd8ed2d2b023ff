#pragma once
// Moves of lineages in the lists of a recombining chromosome (TDeme::VNL,
// TDeme::VNLR and the recombinant pool), by the position rules of every
// lineage list: a lineage is added at the end, and a removal moves the last
// entry into the freed slot. Node positions follow every move; the pool
// counts and the list of demes holding cut lineages follow the pool.
#include "engine/deme.h"

namespace recpool {

inline void appendVNL(TDeme& d, TNode* node) {
  node->posInVNL = d.VNL.top + 1;
  d.VNL.Add(node);
}

inline TNode* removeVNL(TDeme& d, int slot) {
  TNode* node = d.VNL.removeAt(slot);
  if (slot <= d.VNL.top) d.VNL.items[slot]->posInVNL = slot;
  if (node) node->posInVNL = -1;
  return node;
}

inline void appendVNLR(TDeme& d, TNode* node) {
  node->posInVNLR = d.VNLR.top + 1;
  d.VNLR.Add(node);
}

inline TNode* removeVNLR(TDeme& d, int slot) {
  TNode* node = d.VNLR.removeAt(slot);
  if (slot <= d.VNLR.top) d.VNLR.items[slot]->posInVNLR = slot;
  if (node) node->posInVNLR = -1;
  return node;
}

inline void poolAdd(TDemeCollection& c, TDeme& d, TNode* node) {
  d.recombinantPool.Add(node);
  ++c.numRecLineages;
  if (++d.numRecLineages == 1) c.cutDemes.add(d.demeId);
}

inline TNode* poolRemoveAt(TDemeCollection& c, TDeme& d, int slot) {
  TNode* node = d.recombinantPool.removeAt(slot);
  if (!node) return nullptr;
  --c.numRecLineages;
  if (--d.numRecLineages == 0) c.cutDemes.remove(d.demeId);
  return node;
}

// A deme takes part in the replay while it holds a lineage or a copy.
inline bool holdsNothing(const TDeme& d) {
  return d.VNL.top < 0 && d.recombinantPool.top < 0 && d.VNLR.top < 0;
}

// A deme that starts to hold something joins the active list with its emigration rate.
inline void activate(TDemeCollection& c, TDeme& d) {
  if (d.posInActiveList >= 0) return;
  d.addDemeToActiveList(&c);
  updateMigrProbaToOtherDemes(d, c);
}

}  // namespace recpool
