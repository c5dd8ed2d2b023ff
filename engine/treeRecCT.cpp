// First tree of a recombining chromosome: the plain continuous-time builder
// run with recording on, so the replay of the next markers can run its
// history again. It draws exactly what the plain builder draws.
#include <iostream>

#include "engine/deme.h"
#include "support/globals.h"

int TDemeCollection::buildFirstTreeForRecCT(int chrom) {
  numRecLineages = 0;
  if (curEvents == nullptr)
    curEvents = new MY_TArrayAsVector<TTinyEvent>(1000, 5000);
  else
    curEvents->numElems = curEvents->reserved = 0;
  if (buildTreeCT(true) != 1) return 0;
  if (consoleOutput) {
#pragma omp critical
    std::cout << "Chrom struct. : " << chrom << "\nMRCA time on tree at locus 0: "
              << generationsOf(tree.root->time) << "\t(0 recs)" << "\n";
  }
  return 1;
}
