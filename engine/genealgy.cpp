#include "engine/genealgy.h"

#include <iostream>
#include <new>
#include <utility>

#include "engine/deme.h"
#include "support/UniqueRandom.h"

int TNode::numPop = 0;

// ------------------------------------------------------------------ TNode

TNode::~TNode() { releaseOwned(); }

void TNode::releaseOwned() {
  delete polymSites;
  polymSites = nullptr;
  delete[] numDescPerPop;
  numDescPerPop = nullptr;
}

TNode& TNode::operator=(const TNode& other) {
  if (this == &other) return *this;
  MY_TArrayAsVector<short>* ownSites = polymSites;
  int* ownCounts = numDescPerPop;
  time = other.time;
  desc1 = other.desc1;
  desc2 = other.desc2;
  ancestor = other.ancestor;
  numDesc = other.numDesc;
  numDescSFS = other.numDescSFS;
  numMutations = other.numMutations;
  sampleDeme = other.sampleDeme;
  deme = other.deme;
  posInTree = other.posInTree;
  recBranchIndex = other.recBranchIndex;
  posInVNL = other.posInVNL;
  posInVNLR = other.posInVNLR;
  posInSMCPool = other.posInSMCPool;
  posInSMC2Pool = other.posInSMC2Pool;
  discarded = other.discarded;
  recombined = other.recombined;
  sampleTime = other.sampleTime;
  ascertainmentScore = other.ascertainmentScore;
  numRecsOnBranch = other.numRecsOnBranch;
  firstRecTime = other.firstRecTime;
  lastRecTime = other.lastRecTime;
  numLeftDesc = other.numLeftDesc;
  numRightDesc = other.numRightDesc;
  polymSites = ownSites;
  numDescPerPop = ownCounts;
  return *this;
}

namespace {

// The node of tree's store with the same index as node (null when it has none).
TNode* sameNodeIn(TTree& tree, const TNode* node) {
  if (!node || node->posInTree < 0 || node->posInTree >= tree.nodes.count) return nullptr;
  return &tree.nodes.items[node->posInTree];
}

}  // namespace

void TNode::copyNodePointers(const TNode& other, TTree& tree) {
  desc1 = sameNodeIn(tree, other.desc1);
  desc2 = sameNodeIn(tree, other.desc2);
  ancestor = sameNodeIn(tree, other.ancestor);
}

void TNode::copyNode(const TNode& other, TTree& tree) {
  releaseOwned();
  *this = other;
  copyNodePointers(other, tree);
}

double TNode::calcTreeSizeC() const {
  const double ownBranch = ancestor ? ancestor->time - time : 0.0;
  if (!desc1 || !desc2) return ownBranch;
  if (desc1 == this || desc2 == this) {
    std::cerr << "TNode::calcTreeSizeC(): descendent node is equal to parental node" << std::endl;
    return -1.0;
  }
  return desc1->calcTreeSizeC() + desc2->calcTreeSizeC() + ownBranch;
}

int TNode::countDescNew() {
  numLeftDesc = desc1 ? desc1->countDescNew() : 0;
  numRightDesc = desc2 ? desc2->countDescNew() : 0;
  numDesc = (desc1 || desc2) ? numLeftDesc + numRightDesc : 1;
  return numDesc;
}

// ------------------------------------------------------------------ TVecNodes

void TVecNodes::resize(int n) {
  if (n > capacity) {
    TNode* block = new TNode[n];
    for (int i = 0; i < capacity; ++i) {
      block[i] = items[i];
      std::swap(block[i].polymSites, items[i].polymSites);
      std::swap(block[i].numDescPerPop, items[i].numDescPerPop);
    }
    delete[] items;
    items = block;
    capacity = n;
  }
  if (count > n) count = n;
}

void TVecNodes::deleteArray() {
  delete[] items;  // each node frees its site list and count array
  items = nullptr;
  count = capacity = numPopAllocated = 0;
}

TVecNodes& TVecNodes::operator=(const TVecNodes& other) {
  if (this == &other) return *this;
  resize(other.count);
  for (int i = 0; i < other.count; ++i) items[i] = other.items[i];
  count = other.count;
  return *this;
}

void TVecNodes::copyVecTreeForRecs(const TVecNodes& other, TTree& tree) {
  resize(other.count);
  for (int i = 0; i < other.count; ++i) items[i].copyNode(other.items[i], tree);
  count = other.count;
}

// ------------------------------------------------------------------ TNodeArray

TNodeArray::TNodeArray(int n) : capacity(n > 0 ? n : 0) {
  if (capacity > 0) items = new TNode*[capacity]();
}

TNodeArray::TNodeArray(const TNodeArray& other) : TNodeArray(0) { *this = other; }

TNodeArray& TNodeArray::operator=(const TNodeArray& other) {
  if (this == &other) return *this;
  top = other.top;
  if (capacity < other.capacity) {
    delete[] items;
    items = new TNode*[other.capacity]();
    capacity = other.capacity;
  }
  for (int i = 0; i < other.capacity; ++i) items[i] = other.items[i];
  return *this;
}

void TNodeArray::Add(TNode* node) {
  if (top + 1 >= capacity) {
    const int n = 2 * capacity + 1;
    TNode** table = new TNode*[n]();
    for (int i = 0; i < capacity; ++i) table[i] = items[i];
    delete[] items;
    items = table;
    capacity = n;
  }
  items[++top] = node;
}

TNode* TNodeArray::removeAt(int pos) {
  if (pos < 0 || pos > top) return nullptr;
  TNode* removed = items[pos];
  items[pos] = items[top];
  items[top--] = nullptr;
  return removed;
}

void TNodeArray::coalesce(int i, int j, TNode* parent) {
  if (i < 0 || i > top || j < 0 || j > top || i == j) return;
  items[i] = parent;
  if (j != top) items[j] = items[top];
  items[top--] = nullptr;
}

void TNodeArray::clear() {
  for (int i = 0; i < capacity; ++i) items[i] = nullptr;
  top = -1;
}

// ------------------------------------------------------------------ TTree

TTree::TTree() : matchingNodes(1, 100, 0), matchingBranchLengths(0, 100) {}

TTree::TTree(int n) : TTree() { allocate_tree(n); }

TTree::~TTree() {
  deleteNodes();
  delete recLocations;
  delete recPositions;
}

int TTree::allocate_tree(int n) {
  if (nodes.capacity != 0) return 1;
  sampleSize = n;
  const int total = n > 0 ? 2 * n - 1 : 0;
  if (total == 0) return 1;
  nodes.items = new TNode[total];
  nodes.capacity = nodes.count = total;
  nodes.numPopAllocated = TNode::numPop;
  for (int i = 0; i < total; ++i) {
    nodes.items[i].posInTree = i;
    nodes.items[i].numDescPerPop = new int[TNode::numPop > 0 ? TNode::numPop : 0]();
  }
  return 1;
}

void TTree::deleteNodes() {
  nodes.deleteArray();
  newNodes.count = 0;
  // Nothing may keep pointing into the freed store.
  root = ascRoot = nullptr;
  matchingNodes.FlushFast();
}

void TTree::resetNodesStatus() {
  for (int i = 0; i < nodes.count; ++i) nodes.items[i].discarded = nodes.items[i].recombined = false;
}

void TTree::resetNodePolymSites() {
  for (int i = 0; i < nodes.count; ++i) {
    TNode& node = nodes.items[i];
    if (node.polymSites) {
      node.polymSites->numElems = node.polymSites->reserved = 0;
      continue;
    }
    try {
      node.polymSites = new MY_TArrayAsVector<short>(9, 1000);
    } catch (const std::bad_alloc&) {
      node.polymSites = nullptr;  // the node goes on without a site list
    }
  }
}

void TTree::resetStepPolymSites(long step) {
  // A step of 0 ("-k 0": no limit) or of millions would make every growth
  // either a copy per site or a huge block; the site code grows the lists
  // geometrically anyway, so the step only needs to be sane.
  constexpr long kMaxStep = 1L << 16;
  const int sane = static_cast<int>(step < 1 ? 1 : (step > kMaxStep ? kMaxStep : step));
  for (int i = 0; i < nodes.count; ++i)
    if (nodes.items[i].polymSites) nodes.items[i].polymSites->growStep = sane;
}

void TTree::flushPolymSites() {
  for (int i = 0; i < nodes.count; ++i)
    if (nodes.items[i].polymSites) nodes.items[i].polymSites->numElems = nodes.items[i].polymSites->reserved = 0;
}

TTree& TTree::operator=(const TTree& other) {
  if (this == &other) return *this;
  sampleSize = other.sampleSize;
  numLoci = other.numLoci;
  numCoalNodes = other.numCoalNodes;
  numRecBranches = other.numRecBranches;
  nodeOffset = other.nodeOffset;
  delete recLocations;
  recLocations = nullptr;
  numRecs = other.recLocations ? other.numRecs : 0;
  if (other.recLocations && other.numRecs > 0) {
    recLocations = new MY_TArrayAsVector<TRecLocation>(other.numRecs, 100);
    const int n = other.numRecs < other.recLocations->capacity ? other.numRecs : other.recLocations->capacity;
    for (int i = 0; i < n; ++i) (*recLocations)[i] = (*other.recLocations)[i];
    recLocations->numElems = n;
  }
  root = other.root;
  ascRoot = other.ascRoot;
  return *this;
}

// ------------------------------------------------------------------ branch for a SNP

void TTree::addMatchingNodes(TNode* node, double minFreq, bool withRoot, double& total) {
  if (!node) return;
  if ((withRoot || node->ancestor) &&
      minFreq <= static_cast<double>(node->numDesc) / static_cast<double>(sampleSize)) {
    const double length = node->ancestor
        ? (node->ancestor->time - node->time) * TDemeCollection::CTTimeUnit : 0.0;
    matchingNodes.Add(node);
    matchingBranchLengths.Add(length);
    total += length;
  }
  addMatchingNodes(node->desc1, minFreq, withRoot, total);
  addMatchingNodes(node->desc2, minFreq, withRoot, total);
}

namespace {

// Empties a list, growing its block to at least n slots (kept from tree to tree).
template <class List>
void emptyWithRoom(List& list, int n) {
  if (list.capacity < n) list.Reallocate(n);
  list.numElems = list.reserved = 0;
}

}  // namespace

// The nodes (the root too when withRoot) whose share of the sample is at least
// minFreq, with their branch lengths as proportions of the listed total.
void TTree::listMatchingNodes(double minFreq, bool withRoot) {
  const int n = sampleSize > 0 ? 2 * sampleSize - 1 : 1;
  emptyWithRoom(matchingNodes, n);
  emptyWithRoom(matchingBranchLengths, n);
  if (sampleSize <= 0) return;
  double total = 0.0;
  addMatchingNodes(root, minFreq, withRoot, total);
  if (total != 0.0)
    for (int i = 0; i < matchingBranchLengths.numElems; ++i) matchingBranchLengths[i] /= total;
}

void TTree::getListofMatchingNodesNoRec(double minFreq) { listMatchingNodes(minFreq, true); }

void TTree::getListofMatchingNodesRec(double minFreq) { listMatchingNodes(minFreq, false); }

TNode* TTree::drawMatchingNode(TDemeCollection* collection) {
  if (!collection || !collection->randomGenerator) return nullptr;
  const double u = collection->randomGenerator->takeUniform();
  double cumulative = 0.0;
  for (int i = 0; i < matchingNodes.numElems; ++i) {
    cumulative += matchingBranchLengths[i];
    if (cumulative >= u) return matchingNodes.elems[i];
  }
  return nullptr;
}

TNode* TTree::getRootNodeForMutation(double minFreq, TDemeCollection* collection) {
  if (matchingNodes.numElems == 0) getListofMatchingNodesNoRec(minFreq);
  return drawMatchingNode(collection);
}

TNode* TTree::getRootNodeForMutation(double minFreq, long /*locus*/, TDemeCollection* collection) {
  if (matchingNodes.numElems == 0) getListofMatchingNodesRec(minFreq);
  return drawMatchingNode(collection);
}
