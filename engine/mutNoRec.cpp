// Mutations of a non-recombining chromosome: every block of its structure,
// in order, on the chromosome's single tree.
#include <iostream>
#include <new>
#include <sstream>

#include "engine/siteCreation.h"
#include "model/simSettings.h"
#include "support/globals.h"

long TDemeCollection::sprinkleMutationsNoRec(const TSimSettings& settings, int structure,
                                             int chromosome) {
  treeChanged();
  if (consoleOutput) {
#pragma omp critical
    {
      if (tree.root)
        std::cout << "MRCA time for non-recombining chromosome structure " << chromosome << ": "
                  << generationsOf(tree.root->time) << "\n";
      else
        std::cerr << "Simulations did not converge. No MRCA found!" << std::endl;
    }
  }
  if (!tree.root) {
    std::ostringstream m;
    m << "chromosome " << chromosome + 1 << " has no tree to place mutations on";
    failDataSet(m.str());
    return -1;
  }
  if (siteStorage.failed() || !settings.blocks || !settings.numBlocks) return -1;
  if (!checkExpectedCounts(settings, structure)) return -1;
  const MY_TArrayAsVector<TBlock>& blocks = settings.blocks[structure];
  const int numBlocks = settings.numBlocks[structure] < blocks.numElems
                            ? settings.numBlocks[structure] : blocks.numElems;
  long total = 0;
  try {
    for (int b = 0; b < numBlocks; ++b) {
      const TBlock& block = blocks[b];
      curBlock = b;
      long placed = 0;
      switch (block.dataType) {
        case DataType::MICROSAT:
          placed = sprinkleMicrosatMutationsNoRec(block);
          break;
        case DataType::DNA:
          placed = sprinkleDNAMutationsNoRec(block);
          break;
        case DataType::SNP:
          placed = sprinkleSNPMutationsNoRec(block);
          break;
        case DataType::STANDARD:
          placed = sprinkleStandardMutationsNoRec(block);
          break;
        default:
          break;  // RFLP loci get no site
      }
      if (placed < 0 || siteStorage.failed()) return -1;
      total += placed;
    }
  } catch (const std::bad_alloc&) {
    std::ostringstream m;
    m << "chromosome " << chromosome + 1 << ": not enough memory for its sites";
    failDataSet(m.str());
    return -1;
  }
  return total;
}
