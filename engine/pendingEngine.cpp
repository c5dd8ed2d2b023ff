// PENDING: placeholders of the recombination work in progress, removed when
// that work is merged.
#include "engine/deme.h"

int TDemeCollection::buildFirstTreeForRecCT(int) { return 0; }
int TDemeCollection::sprinkleMutationsRec(TSimSettings&, int) { return 0; }
