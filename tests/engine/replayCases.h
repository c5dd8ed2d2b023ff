#pragma once
// Models that use every kind of event, for the tests that replay a recorded
// history: one deme, migration, whole and fractional moves, growth, ancient
// samples, inbreeding and the end of migration.
#include <utility>
#include <vector>

#include "tests/engine/coalModel.h"

inline THistoricalEvent noMigrationEvent(long time) {
  THistoricalEvent e = makeEvent(time, 0, 0, 0.0);
  e.noMigration = true;
  return e;
}

struct ReplayCase {
  const char* name;
  ModelDesc desc;
};

inline ModelDesc withEvents(ModelDesc d, std::vector<THistoricalEvent> events, double migration = 0.0) {
  d.events = std::move(events);
  d.migration = migration;
  return d;
}

inline ModelDesc withAges(ModelDesc d, std::vector<double> ages, std::vector<double> inbreeding = {}) {
  d.ages = std::move(ages);
  d.inbreeding = std::move(inbreeding);
  return d;
}

inline std::vector<ReplayCase> replayCases() {
  return {
      {"OneDeme", ModelDesc{{1000}, {6}}},
      {"Island", ModelDesc{{1000, 1000}, {3, 3}, {}, 0.001}},
      {"WholeAndFractionalMoves",
       withEvents(ModelDesc{{1000, 1000, 1000}, {3, 3, 0}},
                  {makeEvent(200, 1, 0, 0.5), makeEvent(400, 0, 2, 1.0), makeEvent(450, 1, 2, 1.0)},
                  0.0005)},
      {"Growth", withEvents(ModelDesc{{10000, 5000}, {3, 2}, {-0.001, -0.0005}, 0.001},
                            {makeEvent(3000, 1, 1, 0.0, 1.0, 0.0, false)}, 0.001)},
      {"AncientSampleWithFractionalAge",
       withEvents(withAges(ModelDesc{{1000, 1000}, {2, 2}}, {0, 150.5}),
                  {makeActivation(150, 1), makeEvent(150, 1, 0, 1.0)})},
      {"InbredAtTimeZero", withAges(ModelDesc{{1000}, {4}}, {0}, {1.0})},
      {"InbredAtActivation",
       withEvents(withAges(ModelDesc{{1000, 1000}, {2, 4}}, {0, 200}, {0, 1.0}),
                  {makeActivation(200, 1), makeEvent(300, 1, 0, 1.0)})},
      {"NoMigrationEvent",
       withEvents(ModelDesc{{1000, 1000}, {2, 2}},
                  {noMigrationEvent(500), makeEvent(800, 1, 0, 1.0)}, 0.002)},
  };
}
