#pragma once
// Adding the branches of a gene tree into expected spectra. A branch of node X
// with length L (time of X's parent - time of X) goes into the cell given by
// the numbers of sampled genes below X in each deme, and L into the
// spectrum's total tree length. Each function below adds one branch (two for
// the two-node form) into the collection's spectrum of its shape and flavour.
class AFS;
class TDemeCollection;
struct TNode;

// Derived allele, 1-D spectrum (one valid deme) or joint tables (every pair of
// valid demes).
void updateJointDSFS(const TNode* node, double length, TDemeCollection& demes);
// Minor allele, same tables; the allele is decided on the whole sample.
void updateJointMSFS(const TNode* node, double length, TDemeCollection& demes);
// Minor allele, multi-dimensional spectrum.
void updateMultiMSFS(const TNode* node, double length, TDemeCollection& demes);
// Derived allele, multi-dimensional spectrum: one branch, or two branches at
// once (the two children of a new node).
void updateMultiDSFS(const TNode* node, double length, TDemeCollection& demes);
void updateMultiDSFS(const TNode* node1, double length1, const TNode* node2, double length2,
                     TDemeCollection& demes);

// Which allele of a branch with `count` of `sampleSize` sampled genes below it
// is the minor one in the whole sample.
enum class MinorSide { Derived, Ancestral, Tie };
MinorSide minorSide(int count, int sampleSize);

// The incremental road (TNode::updateExpSFSFromAncestor) with the tables of
// the derived-allele spectrum looked up once per genealogy rather than at
// every branch. prepare() before the first coalescence of a genealogy; the
// collection's spectra must then stay where they are until its end.
class TIncrementalSFS {
 public:
  // withTips: the tips of the collection's tree (its first sampleSize nodes)
  // get their counts now rather than at their coalescence, the same values
  // once for all.
  void prepare(TDemeCollection& demes, bool withTips);
  // What TNode::updateExpSFSFromAncestor does on the new node: the same
  // additions in the same order.
  void addChildren(TNode& node, TDemeCollection& demes) const;

 private:
  // One table a derived-allele branch goes into: cell counts[rowDeme] x
  // numCols + counts[colDeme] (a 1-D spectrum has numCols 0).
  struct Table {
    double* cells;
    int numCols;
    int rowDeme;
    int colDeme;
  };
  static constexpr int MAX_TABLES = 28;  // the pairs of 8 demes
  bool tipsReady_ = false;
  bool multi_ = false;
  AFS* daf_ = nullptr;  // the derived-allele 1-D/joint spectrum when wanted
  bool maf_ = false;    // the minor-allele 1-D/joint spectrum is wanted
  int numTables_ = 0;   // -1: more tables than held, the general road
  Table tables_[MAX_TABLES];
  void addDerived(const int* counts, double length) const;
};
