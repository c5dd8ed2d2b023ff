// The second tree of the four-gamete road: a number of recombination points
// thrown on a first tree, then one replay of its history, under SMC' its twin.
#include "engine/replayLoop.h"
#include "model/simSettings.h"

int TDemeCollection::implementRecombinationsOnSecondTree(const TSimSettings& settings, int n) {
  if (n == 0) return 1;
  if (tree.root == nullptr) return 0;
  // The cached length must describe this tree: refresh it rather than trust it.
  tree.treeLength = tree.root->calcTreeSizeC();
  tree.locateRecombinationsOnTreeC(n, tree.treeLength, this);
  const bool done = TSimSettings::SMC2 ? replayBuildTreeWithRecsOn2ndTreeSMC2(settings, 0)
                                       : replayBuildTreeWithRecsOn2ndTreeNew(settings, 0);
  return done ? 1 : 0;
}

bool TDemeCollection::replayBuildTreeWithRecsOn2ndTreeNew(const TSimSettings& settings, int locus) {
  const ReplayVariant variant{
      "TDemeCollection::replayBuildTreeWithRecsOn2ndTreeNew: ", plainReplayRule(), true};
  return replayWithVariant(settings.demeSizes, settings.growthRates, locus, variant);
}

bool TDemeCollection::replayBuildTreeWithRecsOn2ndTreeSMC2(const TSimSettings& settings,
                                                           int locus) {
  const ReplayVariant variant{
      "TDemeCollection::replayBuildTreeWithRecsOn2ndTreeSMC2: ", CutRule::smc2, true};
  return replayWithVariant(settings.demeSizes, settings.growthRates, locus, variant);
}
