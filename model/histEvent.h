#pragma once
// One change of the demographic model at a time in the past: lineages moved
// from a source deme to a sink deme, a new relative size, growth rate and
// migration matrix for the sink, migration switched off, or the activation of
// an ancient sample.
#include <cstdint>
#include <iosfwd>

struct THistoricalEvent {
  int64_t time = 0;             // generations before present; the sort key
  double timeCT = 0.0;          // time in continuous-time units
  int32_t source = 0;           // deme whose lineages move (activation: the sampled deme)
  int32_t sink = 0;             // deme receiving them; its size, growth and matrix change
  double migrants = 0.0;        // proportion of the source's lineages moved
  double newSize = 0.0;         // factor applied to the sink's relative size
  double newGrowthRate = 0.0;   // new growth rate of the sink (0 when kept)
  bool keepGrowthRate = false;  // the sink keeps its growth rate
  int32_t newMigMatrix = 0;     // matrix in force after the event; -1 when kept
  bool keepMigMatrix = false;   // the current matrix stays in force
  bool noMigration = false;     // migration is off from this event on
  bool activateLineages = false;  // activation of an ancient sample
};

// Order by time, the key of the sorted event arrays.
inline bool operator<(const THistoricalEvent& a, const THistoricalEvent& b) { return a.time < b.time; }
inline bool operator>(const THistoricalEvent& a, const THistoricalEvent& b) { return a.time > b.time; }

// Reads one event line into an event the caller has zeroed; malformed tokens read as 0.
std::istream& operator>>(std::istream& is, THistoricalEvent& event);
// Writes the event text of the model echo.
std::ostream& operator<<(std::ostream& os, const THistoricalEvent& event);
