#pragma once
// The migration of one lineage out of a deme: the sink drawn along the row of
// the matrix in force, a lineage of the deme drawn and moved. Inline, because
// it is a step of every migration of the tree builders;
// TDeme::implementMigrEventCT and the expected-spectrum coalescent both make it.
#include "engine/deme.h"
#include "support/UniqueRandom.h"

namespace migrstep {

// TDemeCollection::findMigrationSink: the first other column of the source's
// row whose running sum exceeds x; -1 when none does.
inline int findSink(const TDemeCollection& c, int source, double x) {
  if (!c.migMatrices || c.curMigMatrix < 0 || c.curMigMatrix >= c.migMatrices->numElems)
    return -1;
  const TMigrationMatrix& m = (*c.migMatrices)[c.curMigMatrix];
  if (!m.elems || source < 0 || source >= m.size) return -1;
  const double* row = m.elems[source];
  double sum = 0.0;
  for (int j = 0; j < m.size; ++j) {
    if (j == source) continue;
    sum += row[j];
    if (sum > x) return j;
  }
  return -1;
}

// TDeme::migrateNoRec: a lineage of from drawn uniformly moves to the end of
// sink's list; its former slot, or -1 when sink is from.
inline int moveLineage(TDeme& from, TDeme& sink, TDemeCollection& c) {
  if (&sink == &from) return -1;
  const int n = from.numLineages;
  const int p = n == 1 ? 0 : static_cast<int>(c.randomGenerator->takeUniform() * n);
  TNode* migrant = from.VNL.removeAt(p);
  if (p <= from.VNL.top) from.VNL.items[p]->posInVNL = p;  // the lineage moved into p
  if (--from.numLineages == 0) from.removeDemeFromActiveList(&c);

  if (sink.numLineages == 0) sink.addDemeToActiveList(&c);
  ++sink.numLineages;
  migrant->deme = sink.demeId;
  migrant->posInVNL = sink.VNL.top + 1;
  sink.VNL.Add(migrant);
  return p;
}

// TDeme::implementMigrEventCT: the sink, or -1 when none was found.
inline int migrate(TDeme& deme, TDemeCollection& c, const double& t, bool record) {
  const double x = c.randomGenerator->takeUniform() * deme.emigrationRate;
  const int dest = findSink(c, deme.demeId, x);
  if (dest < 0 || dest == deme.demeId) return -1;
  TDeme& sink = c.demes[dest];
  const bool sinkWasEmpty = sink.numLineages == 0;
  const int p = moveLineage(deme, sink, c);
  if (record) c.recordTinyEvent(1, t, p, -1, deme.demeId, dest, -1);
  if (sinkWasEmpty && c.migrationOn) updateMigrProbaToOtherDemes(sink, c);
  return dest;
}

}  // namespace migrstep
