#pragma once
// The most steps one genealogy may take, shared by every builder: the tree of
// expected spectra, the plain and the recorded tree of genetic data, and the
// replay of a recombining chromosome. Lineages that drift apart faster than
// they meet (demes growing into the past while they exchange migrants, say)
// would otherwise migrate for minutes or for ever. A step is one turn of a
// builder's loop (a coalescence, a migration, the events of one time); in a
// replay, one new event of the cut lineages, as the records it replays are
// the steps of an earlier tree.
#include <string>

constexpr int MAX_COALESCENT_STEPS = 1000000;

// What a tree given up at the limit reports after its count of lineages left.
inline std::string stepLimitReason() {
  return " after " + std::to_string(MAX_COALESCENT_STEPS) +
         " steps, the most one genealogy may take: its lineages migrate far more often than "
         "they meet";
}
