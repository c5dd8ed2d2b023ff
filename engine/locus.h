#pragma once
// Records of what is simulated on a chromosome: the sites and genotype blocks
// kept for the output, the recorded events of a gene-tree history, and the
// recombination points placed on a tree.
#include <cstdint>

struct TNode;

// One simulated site of a chromosome.
struct TPolymSiteInfo {
  long pos = -1;              // index of the site's locus in its chromosome structure
  int dataType = -1;          // DataType of the site's block
  int8_t alphabetIndex = 0;   // row of the nucleotide table printing a DNA site
};

// Genotype block of one deme for one chromosome: one row of allele states per
// sampled gene, one state per site.
class TLocusAsShortIntArray {
 public:
  short** rows = nullptr;  // numGenes owned rows; a row is absent when numSites is 0
  int numGenes = 0;
  int numSites = 0;

  TLocusAsShortIntArray() = default;
  TLocusAsShortIntArray(int numGenes, int numSites);
  TLocusAsShortIntArray(const TLocusAsShortIntArray& other);
  TLocusAsShortIntArray& operator=(const TLocusAsShortIntArray& other);
  ~TLocusAsShortIntArray() { deleteLocus(); }

  void deleteLocus();  // frees all rows and the table; counts become 0
};

// One recorded event of a gene-tree history.
struct TTinyEvent {
  int type = 5;          // 0 coalescence, 1 migration, 2 historical event
  double time = -1.0;    // continuous time of the event
  int pick1 = -1;
  int pick2 = -1;
  int deme = -1;
  int sinkDeme = -1;
  int histEventIndex = -1;
};

// Entry of the recombination branch table: the lineage that follows the branch
// above one tree node.
struct TRecBranch {
  TNode* node = nullptr;
  double time = -1.0;
  int index = -1;
};

// One recombination point on a branch of a tree; ordered by time.
struct TRecLocation {
  double time = -1.0;
  double bottomTime = 0.0;
  TRecBranch* bottomNode = nullptr;
};
inline bool operator<(const TRecLocation& a, const TRecLocation& b) { return a.time < b.time; }
inline bool operator>(const TRecLocation& a, const TRecLocation& b) { return a.time > b.time; }

// One reported recombination event.
struct TRecPosInfo {
  int chromosome = -1;
  long locus = -1;
};
