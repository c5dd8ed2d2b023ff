#pragma once
// Where the writers of a data set (project file, ascertainment panel, spectra)
// find the allele states of a sampled gene at the sites of one chromosome.
#include <functional>

class TDemeCollection;

// The states of gene `gene` (index within its deme) of deme `deme` at the sites
// of chromosome `chromosome`: one state per entry of that chromosome's site
// list, or null when they cannot be had (the data set then fails).
using TGeneStates = std::function<const short*(int deme, int gene, int chromosome)>;

// The states held in the collection's genotype blocks (TDeme::loci, slot =
// chromosome).
TGeneStates statesInMemory(const TDemeCollection& collection);

// The states of the merged data set, wherever each chromosome keeps them (a
// row stays valid until the next call); a state that cannot be read is
// reported on the error stream.
TGeneStates dataSetStates(const TDemeCollection& collection);

// Whether some chromosome of the merged data set spilled its states to
// temporary files (they are then read back from there).
bool dataSetSpilled(const TDemeCollection& collection);
