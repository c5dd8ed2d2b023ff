// Cell rules of expected spectra and the incremental road: at each coalescence
// the new node adds the branches of its two children, so every branch of a
// genealogy enters the spectra exactly once, with no pass over the finished tree.
#include "sfs/expSFSUpdate.h"

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/expSFSCells.h"

MinorSide minorSide(int count, int sampleSize) {
  const double c = count;
  const double n = sampleSize;
  if (c == n * 0.5) return MinorSide::Tie;
  if (c < (n + 0.5) * 0.5) return MinorSide::Derived;
  return MinorSide::Ancestral;
}

namespace sfscells {

// A tip's counts never change once set, so they are only written where they
// differ: a fresh store would make the reads of the sum that follows wait for it.
void setTipCounts(TNode& tip) {
  const int numPop = TNode::numPop;  // read once: the stores below could alias it
  if (!tip.numDescPerPop) tip.numDescPerPop = new int[numPop]();
  int* counts = tip.numDescPerPop;
  const int deme = tip.sampleDeme >= 0 && tip.sampleDeme < numPop ? tip.sampleDeme : -1;
  for (int d = 0; d < numPop; ++d) {
    const int wanted = d == deme ? 1 : 0;
    if (counts[d] != wanted) counts[d] = wanted;
  }
  if (tip.numDescSFS != 1) tip.numDescSFS = 1;
}

// The counts setTipCounts gives the tip are there.
static inline bool tipCountsAreSet(const TNode& tip, int numPop) {
  const int* counts = tip.numDescPerPop;
  if (!counts || tip.numDescSFS != 1) return false;
  const int deme = tip.sampleDeme >= 0 && tip.sampleDeme < numPop ? tip.sampleDeme : -1;
  for (int d = 0; d < numPop; ++d)
    if (counts[d] != (d == deme ? 1 : 0)) return false;
  return true;
}

void sumChildCounts(TNode& node) {
  const int numPop = TNode::numPop;
  if (!node.numDescPerPop) node.numDescPerPop = new int[numPop];
  // Three distinct arrays: the sum needs no test of overlap.
  int* __restrict counts = node.numDescPerPop;
  const int* __restrict a = node.desc1->numDescPerPop;
  const int* __restrict b = node.desc2->numDescPerPop;
  for (int d = 0; d < numPop; ++d) counts[d] = a[d] + b[d];
  node.numDescSFS = node.desc1->numDescSFS + node.desc2->numDescSFS;
}

// Count of deme d below x, or its complement in the deme's sample.
static inline int countIn(const TNode* x, int d, const AFS& s, bool complement) {
  const int k = x->numDescPerPop[d];
  return complement ? s.sampleSizes[d] - k : k;
}

void addJointCells(AFS& s, const TNode* x, double length, bool complement, bool allDemes) {
  if (!s.hasTables()) return;
  if (allDemes) {
    for (int i = 0; i < s.numDemes; ++i) {
      const int ki = countIn(x, i, s, complement);
      s.jointAFS[i][i][0][ki] += length;
      for (int j = 0; j < i; ++j) s.jointAFS[i][j][ki][countIn(x, j, s, complement)] += length;
    }
    return;
  }
  const int numValid = TDemeCollection::numValidDemes;
  const int* valid = TDemeCollection::validDemes;
  if (numValid == 1) {
    const int v = valid[0];
    s.jointAFS[v][v][0][countIn(x, v, s, complement)] += length;
    return;
  }
  // The valid demes are listed in increasing order, so valid[p] > valid[q]
  // below: the table of the pair is stored under valid[p].
  for (int p = 1; p < numValid; ++p) {
    const int a = valid[p];
    const int ka = countIn(x, a, s, complement);
    std::vector<sfsTable>& tablesOfA = s.jointAFS[a];
    for (int q = 0; q < p; ++q) {
      const int b = valid[q];
      tablesOfA[b][ka][countIn(x, b, s, complement)] += length;
    }
  }
}

void addJointMinorCells(AFS& s, const TNode* x, double length, int sampleSize, bool allDemes) {
  switch (minorSide(x->numDescSFS, sampleSize)) {
    case MinorSide::Tie:
      addJointCells(s, x, 0.5 * length, false, allDemes);
      addJointCells(s, x, 0.5 * length, true, allDemes);
      break;
    case MinorSide::Derived:
      addJointCells(s, x, length, false, allDemes);
      break;
    case MinorSide::Ancestral:
      addJointCells(s, x, length, true, allDemes);
      break;
  }
}

TSFSCoord& coordinate(TSFSCoord*& slot, const TDemeCollection& demes) {
  if (!slot) {
    slot = new TSFSCoord;  // owned by the collection
    slot->initDadiLike(demes);
  }
  return *slot;
}

double& multiCell(multiSFS& s, TSFSCoord& coord, const TNode* x, bool complement) {
  const int numValid = TDemeCollection::numValidDemes;
  const int* valid = TDemeCollection::validDemes;
  long index = 0;
  for (int p = 0; p < numValid; ++p) {
    const int v = valid[p];
    const int k = complement ? s.sampleSizes[v] - x->numDescPerPop[v] : x->numDescPerPop[v];
    coord.counts[v] = k;
    index += static_cast<long>(k) * coord.strides[v];
  }
  return s.multiJointSFS[index];
}

void addMultiMinorCells(multiSFS& s, TSFSCoord& coord, const TNode* x, double length,
                        int sampleSize) {
  switch (minorSide(x->numDescSFS, sampleSize)) {
    case MinorSide::Tie:
      multiCell(s, coord, x, false) += 0.5 * length;
      multiCell(s, coord, x, true) += 0.5 * length;
      break;
    case MinorSide::Derived:
      multiCell(s, coord, x, false) += length;
      break;
    case MinorSide::Ancestral:
      multiCell(s, coord, x, true) += length;
      break;
  }
}

void addPooledCell(AFS& s, const TNode* x, double length, bool minor) {
  if (!s.hasTables()) return;
  const int n = s.sampleSizes[0];
  int c = x->numDescSFS;
  if (minor && minorSide(c, n) == MinorSide::Ancestral) c = n - c;
  s.jointAFS[0][0][0][c] += length;
}

bool usable(const multiSFS* s) { return s && s->isCreated && !s->multiJointSFS.empty(); }

AFS* wantedDAF(TDemeCollection& demes) { return TSimSettings::compDAF ? demes.expDAF : nullptr; }
AFS* wantedMAF(TDemeCollection& demes) { return TSimSettings::compMAF ? demes.expMAF : nullptr; }
multiSFS* wantedMultiDAF(TDemeCollection& demes) {
  return TSimSettings::compDAF && usable(demes.expMultiDAF) ? demes.expMultiDAF : nullptr;
}
multiSFS* wantedMultiMAF(TDemeCollection& demes) {
  return TSimSettings::compMAF && usable(demes.expMultiMAF) ? demes.expMultiMAF : nullptr;
}

}  // namespace sfscells

using namespace sfscells;

void updateJointDSFS(const TNode* node, double length, TDemeCollection& demes) {
  if (!demes.expDAF) return;
  demes.expDAF->totTreeLength += length;
  addJointCells(*demes.expDAF, node, length, false, false);
}

void updateJointMSFS(const TNode* node, double length, TDemeCollection& demes) {
  if (!demes.expMAF) return;
  demes.expMAF->totTreeLength += length;
  addJointMinorCells(*demes.expMAF, node, length, demes.tree.sampleSize, false);
}

void updateMultiMSFS(const TNode* node, double length, TDemeCollection& demes) {
  if (!usable(demes.expMultiMAF)) return;
  demes.expMultiMAF->totTreeLength += length;
  addMultiMinorCells(*demes.expMultiMAF, coordinate(demes.sfsCoord, demes), node, length,
                     demes.tree.sampleSize);
}

void updateMultiDSFS(const TNode* node, double length, TDemeCollection& demes) {
  if (!usable(demes.expMultiDAF)) return;
  demes.expMultiDAF->totTreeLength += length;
  multiCell(*demes.expMultiDAF, coordinate(demes.sfsCoord, demes), node, false) += length;
}

void updateMultiDSFS(const TNode* node1, double length1, const TNode* node2, double length2,
                     TDemeCollection& demes) {
  if (!usable(demes.expMultiDAF)) return;
  multiSFS& s = *demes.expMultiDAF;
  s.totTreeLength += length1 + length2;
  multiCell(s, coordinate(demes.sfsCoordDesc1, demes), node1, false) += length1;
  multiCell(s, coordinate(demes.sfsCoordDesc2, demes), node2, false) += length2;
}

void TIncrementalSFS::prepare(TDemeCollection& demes, bool withTips) {
  tipsReady_ = withTips;
  if (withTips) {
    // Set by the first genealogy of the store; later ones only look.
    TTree& tree = demes.tree;
    const int numPop = TNode::numPop;
    for (int i = 0; i < tree.sampleSize; ++i) {
      TNode& tip = tree.nodes.items[i];
      if (!tipCountsAreSet(tip, numPop)) setTipCounts(tip);
    }
  }
  multi_ = TSimSettings::isMultiSFS;
  daf_ = multi_ ? nullptr : wantedDAF(demes);
  maf_ = !multi_ && wantedMAF(demes) != nullptr;
  numTables_ = 0;
  if (!daf_ || !daf_->hasTables()) return;
  const int numValid = TDemeCollection::numValidDemes;
  const int* valid = TDemeCollection::validDemes;
  if (numValid == 1) {
    // The 1-D spectrum as a table of one row: the cell is the count itself.
    tables_[numTables_++] = {daf_->jointAFS[valid[0]][valid[0]].cells.data(), 0, valid[0],
                             valid[0]};
    return;
  }
  // The valid demes are listed in increasing order, so valid[p] > valid[q]
  // below: the table of the pair is stored under valid[p].
  for (int p = 1; p < numValid; ++p)
    for (int q = 0; q < p; ++q) {
      if (numTables_ == MAX_TABLES) {
        numTables_ = -1;  // too many: every branch goes the general way
        return;
      }
      sfsTable& t = daf_->jointAFS[valid[p]][valid[q]];
      tables_[numTables_++] = {t.cells.data(), t.numCols, valid[p], valid[q]};
    }
}

// The cells of one branch, in the order of the general road (pairs p = 1 ..,
// q < p).
inline void TIncrementalSFS::addDerived(const int* counts, double length) const {
  for (int k = 0; k < numTables_; ++k) {
    const Table& t = tables_[k];
    t.cells[static_cast<size_t>(counts[t.rowDeme]) * t.numCols + counts[t.colDeme]] += length;
  }
}

void TIncrementalSFS::addChildren(TNode& node, TDemeCollection& demes) const {
  TNode* a = node.desc1;
  TNode* b = node.desc2;
  if (!a || !b) return;
  if (!tipsReady_) {
    if (!a->desc1) setTipCounts(*a);
    if (!b->desc1) setTipCounts(*b);
  }
  sumChildCounts(node);
  const double lengthA = node.time - a->time;
  const double lengthB = node.time - b->time;
  if (!multi_) {
    if (daf_) {
      // The total and the cells are separate sums; the 80-bit total is read
      // and written once.
      long double total = daf_->totTreeLength;
      total += lengthA;
      total += lengthB;
      daf_->totTreeLength = total;
      if (numTables_ >= 0) {
        addDerived(a->numDescPerPop, lengthA);
        addDerived(b->numDescPerPop, lengthB);
      } else {
        addJointCells(*daf_, a, lengthA, false, false);
        addJointCells(*daf_, b, lengthB, false, false);
      }
    }
    if (maf_) {
      updateJointMSFS(a, lengthA, demes);
      updateJointMSFS(b, lengthB, demes);
    }
    return;
  }
  if (wantedMultiDAF(demes)) updateMultiDSFS(a, lengthA, b, lengthB, demes);
  if (wantedMultiMAF(demes)) {
    updateMultiMSFS(a, lengthA, demes);
    updateMultiMSFS(b, lengthB, demes);
  }
}

void TNode::updateExpSFSFromAncestor(TDemeCollection& demes) {
  TIncrementalSFS spectra;
  spectra.prepare(demes, false);
  spectra.addChildren(*this, demes);
}
