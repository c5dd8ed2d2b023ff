#pragma once
// Store of the discarded copies made by recombination points during one
// replayed tree. It grows in chunks whose addresses never move (lineage lists
// and the recombination branch table point into them), is emptied before
// every replay and keeps its chunks for the next one.
#include <memory>
#include <vector>

struct TNode;

class TRecNodeStore {
 public:
  static constexpr int chunkSize = 1000;

  int count = 0;            // copies handed out since the last emptying
  int capacity = 0;         // nodes held by the chunks
  int numPopAllocated = 0;  // copies carry no per-deme count arrays

  TRecNodeStore() = default;
  TRecNodeStore(const TRecNodeStore&) = delete;
  TRecNodeStore& operator=(const TRecNodeStore&) = delete;
  ~TRecNodeStore();

  // The next free node, a new chunk when all are taken; null when memory runs out.
  TNode* take();
  void deleteArray();  // frees every chunk

 private:
  std::vector<std::unique_ptr<TNode[]>> chunks_;
};
