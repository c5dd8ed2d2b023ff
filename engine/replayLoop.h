#pragma once
// The variants of the one replay loop (TDemeCollection::replayWithVariant)
// behind every replay of a recombining chromosome: the plain replay of each
// next marker and the second tree of the four-gamete road, under the plain
// rules or a sequentially Markov variant.
#include "engine/deme.h"

enum class CutRule { plain, strictSMC, smc2 };

struct ReplayVariant {
  const char* prefix;  // beginning of the replay's messages
  CutRule rule;
  bool secondTree;  // strict SMC hands on the last history lineage; FREQ keeps no history
};

// The rule of the plain replays: strict SMC when its switch is set.
CutRule plainReplayRule();
