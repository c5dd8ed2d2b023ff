// Steps of the expected-spectrum coalescent on one deme. They are the steps of
// the plain coalescent, keeping TDemeCollection::totMigrationRate equal to the
// sum over listed demes of numLineages x emigrationRate, and, in the variants
// named AndUpdateSFS, adding the branches of every new node into the spectra.
#include <iostream>

#include "engine/deme.h"
#include "support/UniqueRandom.h"

namespace {

// The internal node made by the latest coalescence of the tree.
TNode* latestNode(TTree& tree) {
  return &tree.nodes.items[tree.sampleSize + tree.numCoalNodes - 1 - tree.nodeOffset];
}

}  // namespace

bool TDeme::implementCoalEventCTForFreqData(TDemeCollection& collection, const double& t,
                                            bool record) {
  if (!implementCoalEventCT(collection, t, record)) return false;
  collection.totMigrationRate -= emigrationRate;
  return true;
}

bool TDeme::implementCoalEventCTForFreqDataAndUpdateSFS(TDemeCollection& collection,
                                                        const double& t, bool record) {
  if (!implementCoalEventCTForFreqData(collection, t, record)) return false;
  latestNode(collection.tree)->updateExpSFSFromAncestor(collection);
  return true;
}

int TDeme::implementMigrEventCTForFreqData(TDemeCollection& collection, const double& t,
                                           bool record) {
  const int dest = implementMigrEventCT(collection, t, record);
  if (dest >= 0 && dest != demeId)
    collection.totMigrationRate += collection.demes[dest].emigrationRate - emigrationRate;
  return dest;
}

int TDeme::migrateNoRecForFreqData(TDeme& sink, TDemeCollection& collection) {
  const bool sinkWasEmpty = sink.numLineages == 0;
  const int p = migrateNoRec(sink, &collection);
  if (p < 0) return p;
  if (sinkWasEmpty && collection.migrationOn) updateMigrProbaToOtherDemes(sink, collection);
  collection.totMigrationRate += sink.emigrationRate - emigrationRate;
  return p;
}

void TDeme::implementInbreedingAndUpdateSFS(TDemeCollection& collection, const double& t) {
  const int individuals = inbredIndividuals();
  if (individuals < 0) return;
  if (!inbredPairs)
    inbredPairs = new MY_TArrayAsVector<int>(individuals, 10);
  else
    inbredPairs->numElems = 0;
  GlobalRandom& rng = *collection.randomGenerator;
  for (int ind = 0; ind < individuals; ++ind)
    if (rng.takeUniform() <= inbreedingCoef) inbredPairs->Add(ind);
  implementMultipLeCoalEventsCTForInbreedingAndUpdateSFS(collection, t, *inbredPairs, false);
}

void TDeme::implementMultipLeCoalEventsCTForInbreedingAndUpdateSFS(
    TDemeCollection& collection, const double& t, const MY_TArrayAsVector<int>& individuals,
    bool record) {
  for (int k = 0; k <= VNL.top; ++k) VNL.items[k]->posInVNL = k;
  for (int p = 0; p < individuals.numElems; ++p) {
    const int ind = individuals[p];
    if (!coalesceInbredPair(collection, t, ind)) continue;
    if (record) collection.recordTinyEvent(0, t, 2 * ind, 2 * ind + 1, demeId, -1, -1);
    latestNode(collection.tree)->updateExpSFSFromAncestor(collection);
  }
}
