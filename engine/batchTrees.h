#pragma once
// The NEXUS tree statements (and MRCA record lines) of the chromosomes one
// collection simulates. A
// batch keeps its own (numbered by the collection's own tree counter), so that
// the tree files never depend on how batches share threads; the driver writes
// them in batch order. The streams keep their buffers from tree to tree.
#include <sstream>
#include <string>

struct TBatchTrees {
  std::ostringstream trueTrees;  // statements for the genealogies file
  std::ostringstream mutTrees;   // statements for the mutation-count file
  std::ostringstream mrcaLines;  // lines of the MRCA record (when it is kept)

  void clear() {
    for (std::ostringstream* s : {&trueTrees, &mutTrees, &mrcaLines}) {
      s->str(std::string());
      s->clear();
    }
  }
  // Appends the statements of another collection (a batch merged after this one).
  void append(const TBatchTrees& other) {
    trueTrees << other.trueTrees.str();
    mutTrees << other.mutTrees.str();
    mrcaLines << other.mrcaLines.str();
  }
};
