#pragma once
// Moves of lineages in the lists of a recombining chromosome (TDeme::VNL,
// TDeme::VNLR and the recombinant pool), by the position rules of every
// lineage list: a lineage is added at the end, and a removal moves the last
// entry into the freed slot. Node positions follow every move; the pool
// counts and the list of demes holding cut lineages follow the pool.
#include "engine/deme.h"

namespace recpool {

// Append to and remove from one lineage list of a deme, keeping the node's
// position member for that list up to date.
template <TNodeArray TDeme::*List, int TNode::*Pos>
inline void appendTo(TDeme& d, TNode* node) {
  node->*Pos = (d.*List).top + 1;
  (d.*List).Add(node);
}

template <TNodeArray TDeme::*List, int TNode::*Pos>
inline TNode* removeFrom(TDeme& d, int slot) {
  TNodeArray& list = d.*List;
  TNode* node = list.removeAt(slot);
  if (slot <= list.top) list.items[slot]->*Pos = slot;
  if (node) node->*Pos = -1;
  return node;
}

inline void appendVNL(TDeme& d, TNode* node) { appendTo<&TDeme::VNL, &TNode::posInVNL>(d, node); }
inline TNode* removeVNL(TDeme& d, int slot) { return removeFrom<&TDeme::VNL, &TNode::posInVNL>(d, slot); }
inline void appendVNLR(TDeme& d, TNode* node) { appendTo<&TDeme::VNLR, &TNode::posInVNLR>(d, node); }
inline TNode* removeVNLR(TDeme& d, int slot) {
  return removeFrom<&TDeme::VNLR, &TNode::posInVNLR>(d, slot);
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
