#include "engine/lineageMeeting.h"

#include <sstream>
#include <string>
#include <vector>

#include "engine/deme.h"

namespace {

// A lineage can go straight from deme i to deme j under the matrix in force.
struct MigrationEdge {
  const TMigrationMatrix* m;
  bool operator()(int i, int j) const {
    return m != nullptr && i != j && i < m->size && j < m->size && m->elems[i][j] > 0.0;
  }
};

MigrationEdge edgeInForce(const TDemeCollection& c) {
  if (!c.migrationOn || !c.migMatrices || c.curMigMatrix < 0 ||
      c.curMigMatrix >= c.migMatrices->numElems)
    return {nullptr};
  const TMigrationMatrix& m = (*c.migMatrices)[c.curMigMatrix];
  return {m.elems ? &m : nullptr};
}

// Two lineages can coalesce in a deme unless its size is exactly zero.
bool canCoalesce(const TDeme& d) { return d.relSizeCT != 0.0; }

// A deme of size 0 where a coalescence is drawn gets it at once, and the tree
// ends there with the message of that coalescence: no need to say more. In a
// replay only cut lineages draw coalescences.
bool failsAtNextStep(const TDeme& d, bool replay) {
  if (canCoalesce(d)) return false;
  if (!replay) return d.numLineages >= 2;
  return d.numRecLineages >= 1 && d.numRecLineages + d.VNL.count() >= 2;
}

}  // namespace

bool lineagesCanNeverMeet(TDemeCollection& c, bool replay) {
  TDemeSearch& s = c.meetingSearch;
  s.size(c.numDemes);
  s.from.clear();
  for (int k = 0; k < c.numActiveDemes; ++k) {
    const TDeme& d = c.demes[c.activeDemes[k]];
    if (failsAtNextStep(d, replay)) return false;
    if (d.numLineages > 0) s.from.push_back(d.demeId);
  }
  if (s.from.empty()) return false;
  const MigrationEdge edge = edgeInForce(c);

  // Usual case first: every deme holding lineages can reach the first one.
  const int first = s.from[0];
  if (canCoalesce(c.demes[first])) {
    int found = 0;
    const int wanted = static_cast<int>(s.from.size());
    searchDemes(c.numDemes, first, true, edge,
                [&](int d) { return !(c.demes[d].numLineages > 0 && ++found == wanted); }, s);
    if (found == wanted) return false;
  }
  if (!commonReach(c.numDemes, s.from, edge, s)) return true;
  for (int d = 0; d < c.numDemes; ++d)
    if (s.common[d] && canCoalesce(c.demes[d])) return false;
  return true;
}

std::string whereLineagesAreStuck(const TDemeCollection& c) {
  std::vector<int> held;
  for (int d = 0; d < c.numDemes; ++d)
    if (c.demes[d].numLineages > 0) held.push_back(d);
  return " in " + demeList(held) +
         ", which migration can no longer bring together in a deme of non-zero size";
}

std::string whyNothingCanHappen(TDemeCollection& c, bool replay) {
  if (lineagesCanNeverMeet(c, replay)) return whereLineagesAreStuck(c);
  std::string text = ", none of which can coalesce or migrate any more";
  if (c.anyGrowth) text += ": the demes that hold them grow too fast back in time";
  return text;
}

std::string infiniteSizeReason(int deme, double t) {
  std::ostringstream os;
  os << "the size of deme " << deme << " is no longer finite at generation "
     << t * TDemeCollection::CTTimeUnit;
  return os.str();
}
