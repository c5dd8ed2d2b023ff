#include "engine/geneStates.h"

#include <iostream>
#include <memory>

#include "engine/deme.h"

TGeneStates statesInMemory(const TDemeCollection& c) {
  return [&c](int deme, int gene, int chromosome) -> const short* {
    const MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = c.demes[deme].loci;
    const TLocusAsShortIntArray* block = loci[chromosome];
    if (!block) return nullptr;
    static const short none = 0;  // a chromosome without sites has no rows
    if (block->numSites == 0) return &none;
    if (gene >= block->numGenes || !block->rows) return nullptr;
    return block->rows[gene];
  };
}

TGeneStates dataSetStates(const TDemeCollection& c) {
  auto reader = std::make_shared<TChromStateReader>(c);
  return [reader](int deme, int gene, int chromosome) -> const short* {
    const short* row = reader->states(deme, gene, chromosome);
    if (!row) {
#pragma omp critical
      std::cerr << "Error: " << reader->error() << std::endl;
    }
    return row;
  };
}

bool dataSetSpilled(const TDemeCollection& c) { return c.anySitesSpilled(); }
