// Recombination points on a tree: uniform positions along the total branch
// length, found on their branches by one post-order walk, and the branch table
// through which the replay finds the lineage that follows each branch.
#include <iostream>

#include "engine/coalWaiting.h"
#include "engine/deme.h"
#include "support/UniqueRandom.h"

void TDemeCollection::createRecBranchArray() {
  releaseRecBranches();
  const int size = 2 * tree.sampleSize;
  recBranches = new TRecBranch*[size];
  for (int i = 0; i < size; ++i) recBranches[i] = new TRecBranch();
  recBranchesSize = size;
}

namespace {

// The branch-table entry of node pointed at it and, when it has a branch, the
// points positions[next..] that fall on it, the running length having reached
// cumulative; false when a point came out at a negative time.
inline bool takeRecPoints(TNode* node, double& cumulative, MY_TArrayAsVector<double>& positions,
                          MY_TArrayAsVector<TRecLocation>& locations, int n, int& next,
                          TRecBranch* const* table, int tableSize, int& count) {
  const int k = node->posInTree;
  if (k < 0 || k >= tableSize) return true;
  TRecBranch& entry = *table[k];
  node->recBranchIndex = k;
  entry.node = node;
  entry.index = k;
  if (node->ancestor == nullptr) {  // the root has no branch
    entry.time = node->time;
    return true;
  }
  const double branch = node->ancestor->time - node->time;
  cumulative += branch;
  entry.time = node->time > 0.0 ? node->time : NO_EVENT;
  // Most branches receive no point: the points are placed out of line.
  if (next >= n || !(cumulative > positions[next])) return true;
  return node->placeRecPoints(cumulative, branch, entry, positions, locations, n, next, count);
}

// Empties a list, giving it room for n elements (n > 0) in one step.
template <class T>
void emptyWithRoom(MY_TArrayAsVector<T>*& list, int n) {
  if (list == nullptr) {
    list = new MY_TArrayAsVector<T>(n - 1, 100);
  } else if (list->capacity < n) {
    list->Reallocate(n);
  }
  list->numElems = list->reserved = 0;
}

}  // namespace

int TTree::locateRecombinationsOnTreeC(int n, double length, TDemeCollection* collection,
                                       const std::vector<TNode*>* postOrder) {
  numRecs = 0;
  if (n <= 0) {
    if (recLocations) recLocations->numElems = recLocations->reserved = 0;
    if (recPositions) recPositions->numElems = recPositions->reserved = 0;
    return 0;
  }
  emptyWithRoom(recLocations, n);
  emptyWithRoom(recPositions, n);
  numRecs = n;
  GlobalRandom& rng = *collection->randomGenerator;
  for (int i = 0; i < n; ++i) recPositions->Add(rng.takeUniform() * length);
  recPositions->quickSortArray();
  if (collection->recBranches == nullptr || collection->recBranchesSize != 2 * sampleSize)
    collection->createRecBranchArray();
  double cumulative = 0.0;
  int next = 0, count = 0;
  if (postOrder) {
    TRecBranch* const* table = collection->recBranches;
    const int tableSize = collection->recBranchesSize;
    for (TNode* node : *postOrder)
      if (!takeRecPoints(node, cumulative, *recPositions, *recLocations, n, next, table, tableSize,
                         count))
        break;
  } else if (root) {
    root->findRecTimesC(cumulative, *recPositions, *recLocations, n, next, collection, count);
  }
  recLocations->quickSortArray();
  numRecs = recLocations->numElems;
  return numRecs;
}

bool TNode::findRecTimesC(double& cumulative, MY_TArrayAsVector<double>& positions,
                          MY_TArrayAsVector<TRecLocation>& locations, int n, int& next,
                          TDemeCollection* collection, int& count) {
  if (desc1 && !desc1->findRecTimesC(cumulative, positions, locations, n, next, collection, count))
    return false;
  if (desc2 && !desc2->findRecTimesC(cumulative, positions, locations, n, next, collection, count))
    return false;
  return takeRecPoints(this, cumulative, positions, locations, n, next, collection->recBranches,
                       collection->recBranchesSize, count);
}

bool TNode::placeRecPoints(double cumulative, double branch, TRecBranch& entry,
                           MY_TArrayAsVector<double>& positions,
                           MY_TArrayAsVector<TRecLocation>& locations, int n, int& next,
                           int& count) {
  while (next < n && cumulative > positions[next]) {
    TRecLocation point;
    point.time = time + positions[next] - (cumulative - branch);
    point.bottomTime = time;
    point.bottomNode = &entry;
    if (point.time < 0.0) {
      std::cerr << "findRecTimes(): Adding recombination at negative time" << std::endl;
      return false;
    }
    locations.Add(point);
    ++next;
  }
  ++count;
  return true;
}

double TDemeCollection::computeTimeToNextRelevantRecEvent(int from) const {
  int k = from;
  return skipNextInvalidRecEvent(k);
}

double TDemeCollection::skipNextInvalidRecEvent(int& start) const {
  const MY_TArrayAsVector<TRecLocation>* points = tree.recLocations;
  const int n = points ? tree.numRecs : 0;
  if (start < 0) start = 0;
  for (; start < n; ++start) {
    const TRecBranch* entry = (*points)[start].bottomNode;
    if (entry && entry->node && !entry->node->discarded) return (*points)[start].time;
  }
  start = n;
  return NO_EVENT;
}
