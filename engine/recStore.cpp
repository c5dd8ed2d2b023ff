#include "engine/recStore.h"

#include <new>

#include "engine/genealgy.h"

TRecNodeStore::~TRecNodeStore() = default;

TNode* TRecNodeStore::take() {
  if (count >= capacity) {
    try {
      chunks_.emplace_back(new TNode[chunkSize]);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    capacity += chunkSize;
  }
  const int k = count++;
  return &chunks_[k / chunkSize][k % chunkSize];
}

void TRecNodeStore::deleteArray() {
  chunks_.clear();
  count = capacity = numPopAllocated = 0;
}
