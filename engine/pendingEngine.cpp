// PENDING: placeholder of the mutation walk along a recombining chromosome
// (work in progress), removed when that work is merged.
#include "engine/deme.h"

int TDemeCollection::sprinkleMutationsRec(TSimSettings&, int) { return 0; }
