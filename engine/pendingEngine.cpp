// PENDING: placeholders of the recombination and storage work in progress,
// removed when that work is merged.
#include <ostream>

#include "engine/deme.h"

int TDemeCollection::buildFirstTreeForRecCT(int) { return 0; }
void TDemeCollection::resetSiteStorage(int) {}
bool TDemeCollection::storeChromosomeStates() { return false; }
void TDemeCollection::removeTempFiles() {}
void TDemeCollection::takeChromosomeStates(TDemeCollection&, int, int) {}
bool TDemeCollection::anySitesSpilled() const { return false; }
void TDemeCollection::writePolSiteInfo(std::ostream&, const int&) const {}
long TDemeCollection::sprinkleMutationsNoRec(const TSimSettings&, int, int) { return -1; }
int TDemeCollection::sprinkleMutationsRec(TSimSettings&, int) { return 0; }
