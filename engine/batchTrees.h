#pragma once
// The NEXUS tree statements of the chromosomes one collection simulates. A
// batch keeps its own (numbered by the collection's own tree counter), so that
// the tree files never depend on how batches share threads; the driver writes
// them in batch order.
#include <string>

struct TBatchTrees {
  std::string trueTrees;  // statements for the genealogies file
  std::string mutTrees;   // statements for the mutation-count file

  void clear() {
    trueTrees.clear();
    mutTrees.clear();
  }
};
