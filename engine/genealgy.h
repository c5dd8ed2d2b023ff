#pragma once
// Gene trees: the nodes of a genealogy held by value in a store owned by the
// tree, the lists of node pointers that make a deme's lineage lists, and the
// tree-wide measures (branch length, descendant counts, branch for a SNP).
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "engine/locus.h"
#include "engine/recStore.h"
#include "support/containers.h"

class TDemeCollection;
class TTree;

// Kind of branch length written into a Newick tree.
enum class tree_output_type { NumGen = 0, MutRate = 1, NumMut = 2, AscNumGen = 3 };

// One node of a gene tree. Nodes live in whole arrays (TVecNodes); a node owns
// its site list and its per-deme count array.
struct TNode {
  double time = 0.0;              // age in continuous-time units
  TNode* desc1 = nullptr;         // first child; null for a tip
  TNode* desc2 = nullptr;         // second child
  TNode* ancestor = nullptr;      // parent; null at the root and for an unjoined node
  int numDesc = 0;                // sampled tips below (countDescNew)
  int numDescSFS = 0;             // sampled tips below, as counted by the spectrum code
  MY_TArrayAsVector<short>* polymSites = nullptr;  // allele state at each site (owned)
  long numMutations = 0;          // mutations on the branch above
  int sampleDeme = -1;            // deme in which the tip was sampled
  int deme = -1;                  // deme in which the lineage currently is
  int posInTree = -1;             // index in its store
  int recBranchIndex = -1;        // entry of the recombination branch table
  int posInVNL = -1;              // position in the deme's current lineages
  int posInVNLR = -1;             // position in the deme's list with recombinants
  int posInSMCPool = -1;
  int posInSMC2Pool = -1;
  bool discarded = false;         // stretch of history no longer ancestral
  bool recombined = false;        // cut by a recombination point, waiting in a pool
  double sampleTime = 0.0;        // time at which a tip enters the process
  int ascertainmentScore = 0;     // ascertainment-panel tips below
  int numRecsOnBranch = 0;
  double firstRecTime = 0.0;
  double lastRecTime = 0.0;
  int numLeftDesc = 0;            // sampled tips below desc1
  int numRightDesc = 0;           // sampled tips below desc2
  int* numDescPerPop = nullptr;   // per-deme sampled tips below, numPop entries (owned)

  static int numPop;  // number of demes: the length of every numDescPerPop

  TNode() = default;
  TNode(const TNode&) = delete;
  ~TNode();
  // Copies values and links; each node keeps its own site list and count array.
  TNode& operator=(const TNode& other);
  // Copies the values, drops the owned arrays and re-points the links into tree's store.
  void copyNode(const TNode& other, TTree& tree);
  void copyNodePointers(const TNode& other, TTree& tree);  // only the three links

  double calcTreeSizeC() const;  // total branch length of the subtree
  int countDescNew();            // sets numDesc, numLeftDesc, numRightDesc below
  void releaseOwned();           // frees the site list and the count array

  // SNP ascertainment panel (engine/ascertainment.cpp).
  void resetBranchAscertainmentScores();               // this node and every node below: 0
  void computeWholeTreelength(TDemeCollection& demes);  // adds every branch below to wholeTreeLength
  // Adds the panel branches below (lower node with a non-zero score) to ascertainedTreeLength.
  void computeAscertainedTreelength(TDemeCollection& demes);
  // Branch of an ascertained SNP below this node: the panel branch at which the
  // running length reaches target; mutationNode is left unchanged when none does.
  void locateRootNodeForAscertainedSNP(const double& target, double& cumulative,
                                       TNode*& mutationNode, TDemeCollection* demes);

  // Expected spectra (sfs/expSFSUpdate.cpp, sfs/expSFSTree.cpp). On a new
  // node: counts of its children and itself, then both child branches.
  void updateExpSFSFromAncestor(TDemeCollection& demes);
  // Whole subtree below this node (its own branch excluded): pooled,
  // multi-dimensional, or 1-D and joint spectra.
  void updatePooledExpSFS(TDemeCollection& demes);
  void updateExpSFS(TDemeCollection& demes);
  void updateExpAFSfromNodeForDNASNPs(TDemeCollection& demes);
  // Counts of every node below and every branch length into the totals of the
  // 1-D/joint/pooled, or multi-dimensional, expected spectra.
  void calcCurrentPopTreeSizesAndDescNodeCounts(TDemeCollection& demes);
  void calcCurrentTotTreeSizeAndDescNodeCountsmultiSFS(TDemeCollection& demes);
  // Panel branches below the node (and its own unless isTopNode) into the spectra.
  void updateExpAFSfromNodeAscForDNASNPsNew(bool isTopNode, TDemeCollection& demes);
  void updatePooledExpSFSAsc(bool isTopNode, TDemeCollection& demes);
  void updateExpSFSAscNew(bool isTopNode, TDemeCollection& demes);

  // Newick text of the subtree (engine/newick.cpp); the root adds ";" and a line break.
  void print_tree_structure(std::ostream& os, const tree_output_type& kind,
                            const double& rate) const;
  // Diagnostic variant: lengths measured to the given parent, ";" at the given root.
  void print_tree_structure(std::ostream& os, const tree_output_type& kind, const double& rate,
                            const TNode* root, const TNode* parent, const int& precision) const;
  int print_info(std::ostream& os) const;  // dumps the node and its subtree

  // Recombination points (engine/recPoints.cpp): post-order walk that points
  // every node's branch-table entry at it and turns the sorted positions
  // positions[next..n-1] into points on the branches where the running length
  // first exceeds them. False when a point came out at a negative time.
  bool findRecTimesC(double& cumulative, MY_TArrayAsVector<double>& positions,
                     MY_TArrayAsVector<TRecLocation>& locations, int n, int& next,
                     TDemeCollection* collection, int& count);
  // The points positions[next..] that fall on this node's branch (at least one).
  bool placeRecPoints(double cumulative, double branch, TRecBranch& entry,
                      MY_TArrayAsVector<double>& positions,
                      MY_TArrayAsVector<TRecLocation>& locations, int n, int& next, int& count);
};

// A store of nodes held by value; never reallocated while its nodes are linked.
class TVecNodes {
 public:
  TNode* items = nullptr;
  int count = 0;
  int capacity = 0;
  int numPopAllocated = 0;  // length of the count arrays given to the nodes

  TVecNodes() = default;
  TVecNodes(const TVecNodes&) = delete;
  ~TVecNodes() { deleteArray(); }
  TVecNodes& operator=(const TVecNodes& other);

  void resize(int n);
  void deleteArray();
  void copyVecTreeForRecs(const TVecNodes& other, TTree& tree);
};

// A list of node pointers (a deme's lineage list); the nodes are not owned.
class TNodeArray {
 public:
  int capacity = 0;
  TNode** items = nullptr;  // owned table of pointers
  int top = -1;             // index of the last used slot; -1 when empty

  explicit TNodeArray(int n = 0);
  TNodeArray(const TNodeArray& other);
  TNodeArray& operator=(const TNodeArray& other);
  ~TNodeArray() { delete[] items; }

  // Position rules shared by every operation on lineage lists (recorded
  // histories store positions): a lineage is added at the end; a removal moves
  // the last entry into the freed slot; in a coalescence of the lineages at i
  // and j the parent takes slot i, then j is removed as above (so when i is the
  // last slot the parent itself moves into j).
  // Inline: they are steps of every coalescence and migration.
  void Add(TNode* node) {
    if (top + 1 >= capacity) grow();
    items[++top] = node;
  }
  TNode* removeAt(int pos) {  // returns the removed lineage
    if (pos < 0 || pos > top) return nullptr;
    TNode* removed = items[pos];
    items[pos] = items[top];
    items[top--] = nullptr;
    return removed;
  }
  void coalesce(int i, int j, TNode* parent) {
    if (i < 0 || i > top || j < 0 || j > top || i == j) return;
    items[i] = parent;
    if (j != top) items[j] = items[top];
    items[top--] = nullptr;
  }
  void clear();
  int count() const { return top + 1; }
  TNode*& operator[](int i) { return items[i]; }
  TNode* operator[](int i) const { return items[i]; }

 private:
  void grow();  // to 2 x capacity + 1 entries
};

// One gene tree: tips 0..n-1 in sample order, then internal nodes in order of creation.
class TTree {
 public:
  int sampleSize = 0;
  int numLoci = 0;
  TNode* root = nullptr;
  TNode* ascRoot = nullptr;
  MY_TIArrayAsVector<TNode> matchingNodes;          // branches eligible for a SNP (not owning)
  MY_TArrayAsVector<double> matchingBranchLengths;  // their lengths, then probabilities
  TVecNodes nodes;     // the 2n - 1 nodes of the tree
  TRecNodeStore newNodes;  // discarded copies made by recombination points during a replay
  int numCoalNodes = 0;
  int numRecBranches = 0;
  int nodeOffset = 0;
  MY_TArrayAsVector<TRecLocation>* recLocations = nullptr;  // owned
  MY_TArrayAsVector<double>* recPositions = nullptr;        // owned
  int numRecs = 0;
  double treeLength = 0.0;

  TTree();
  explicit TTree(int n);
  TTree(const TTree&) = delete;
  ~TTree();
  TTree& operator=(const TTree& other);

  int allocate_tree(int n);
  void deleteNodes();
  void resetNodesStatus();
  void resetNodePolymSites();
  void resetStepPolymSites(long step);
  void flushPolymSites();

  // Places n recombination points uniformly on the branches of this tree of
  // total length `length` (engine/recPoints.cpp); returns the points made.
  // With postOrder (this tree's nodes in post-order) the list is walked
  // instead of the tree.
  int locateRecombinationsOnTreeC(int n, double length, TDemeCollection* collection,
                                  const std::vector<TNode*>* postOrder = nullptr);

  TNode* getRootNodeForMutation(double minFreq, TDemeCollection* collection);
  TNode* getRootNodeForMutation(double minFreq, long locus, TDemeCollection* collection);
  void getListofMatchingNodesNoRec(double minFreq);
  void getListofMatchingNodesRec(double minFreq);

  // SNP ascertainment panel (engine/ascertainment.cpp): marks the panel tree
  // (scores must be 0 beforehand) and returns the panel's common ancestor.
  TNode* flagSNPAscertainedBranchesNoShuffling(TDemeCollection& demes);
  TNode* flagSNPAscertainedBranchesIndirectAccessToNodes(TDemeCollection& demes);
  // The same with the panel tips taken as the deme's sampled nodes order[0..size-1].
  void flagSNPAscertainedBranchesIndirectAccessToNodes(TDemeCollection& demes,
                                                       std::vector<int>& order);
  // Shuffles order with rand() first.
  TNode* flagSNPAscertainedBranches(TDemeCollection& demes, std::vector<int>& order);
  // Every branch below top into the expected spectra of the run's shape.
  void updateExpAFSForDNASNPs(TNode* top, TDemeCollection& demes);

 private:
  TNode* drawMatchingNode(TDemeCollection* collection);
  void addMatchingNodes(TNode* node, double minFreq, bool withRoot, double& total);
  void listMatchingNodes(double minFreq, bool withRoot);
};
