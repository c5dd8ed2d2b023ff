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

int TTree::locateRecombinationsOnTreeC(int n, double length, TDemeCollection* collection) {
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
  if (root) root->findRecTimesC(cumulative, *recPositions, *recLocations, n, next, collection, count);
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
  if (posInTree < 0 || posInTree >= collection->recBranchesSize) return true;
  TRecBranch& entry = *collection->recBranches[posInTree];
  recBranchIndex = posInTree;
  entry.node = this;
  entry.index = posInTree;
  if (ancestor == nullptr) {  // the root has no branch
    entry.time = time;
    return true;
  }
  const double branch = ancestor->time - time;
  cumulative += branch;
  entry.time = time > 0.0 ? time : NO_EVENT;
  bool received = false;
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
    received = true;
  }
  if (received) ++count;
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
