#pragma once
// Waiting time to the next coalescence in a deme, shared by the tree builder
// and the replay of recombining trees.
#include <cmath>

#include "engine/deme.h"

// The largest single-precision value: no finite waiting time.
constexpr double NO_EVENT = 3.4028234663852886e38;

// Waiting time for an exponential draw e when pairFactor = 1 / (number of
// pairs that may coalesce). A growing deme has the size s exp(gamma x) at x
// time units further back, so the waiting time solves
// (1 - exp(-gamma w)) / (pairFactor s gamma) = e; without a solution (the
// whole remaining coalescence pressure is below e) the deme does not coalesce.
inline double coalescenceWaitingTime(const TDeme& deme, double pairFactor, double e) {
  if (!deme.isGrowing) return pairFactor * deme.relSizeCT * e;
  const double gamma = deme.growthRateCT;
  const double x = e * pairFactor * deme.relSizeCT * gamma;
  if (!(x < 1.0)) return NO_EVENT;
  return -std::log1p(-x) / gamma;
}
