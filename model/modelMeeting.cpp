// Refusal of a model whose sampled lineages can never meet, whatever is
// drawn. Over the whole past a lineage can only move along the positive
// rates of the migration matrices that may be in force and along the moves of
// the historical events; when the demes holding samples cannot all reach one
// deme through these moves together, no genealogy of the model can ever be
// completed. Deme sizes are left out: an event may change them, and a size
// never takes a path away. Models that fail only by chance (lineages that
// may still meet before a matrix isolates them) are left to the simulation,
// which stops such a tree as soon as its lineages can no longer meet.
#include <algorithm>
#include <string>
#include <vector>

#include "model/demeGraph.h"
#include "model/modelReader.h"
#include "model/simSettings.h"

namespace {

// The moves a lineage may ever make: edges[i * n + j] for i -> j.
struct ModelMoves {
  int n;
  std::vector<char> edges;
  bool operator()(int i, int j) const { return edges[static_cast<size_t>(i) * n + j] != 0; }

  void addMatrix(const MY_TArrayAsVector<TMigrationMatrix>& matrices, int m) {
    if (m < 0 || m >= matrices.numElems || !matrices[m].elems) return;
    const TMigrationMatrix& matrix = matrices[m];
    for (int i = 0; i < n && i < matrix.size; ++i)
      for (int j = 0; j < n && j < matrix.size; ++j)
        if (i != j && matrix.elems[i][j] > 0.0) edges[static_cast<size_t>(i) * n + j] = 1;
  }
};

// Two sampled demes that can reach no deme in common, or else every sampled
// deme when only all of them together cannot; empty when they may meet.
std::vector<int> demesThatNeverMeet(const std::vector<int>& sampled, const ModelMoves& moves) {
  TDemeSearch s;
  if (commonReach(moves.n, sampled, moves, s)) return {};
  std::vector<std::vector<char>> reach;
  const auto all = [](int) { return true; };
  for (int d : sampled) {
    searchDemes(moves.n, d, false, moves, all, s);
    reach.push_back(s.reached);
  }
  for (size_t a = 0; a < sampled.size(); ++a)
    for (size_t b = a + 1; b < sampled.size(); ++b) {
      bool shared = false;
      for (int d = 0; d < moves.n && !shared; ++d) shared = reach[a][d] && reach[b][d];
      if (!shared) return {sampled[a], sampled[b]};
    }
  return sampled;
}

}  // namespace

void TModelReader::checkLineagesCanMeet() const {
  const int n = s_.numDemes;
  std::vector<int> sampled;
  for (int d = 0; d < n && d < s_.sampleSizes.numElems; ++d)
    if (s_.sampleSizes[d] > 0) sampled.push_back(d);
  if (sampled.size() < 2) return;

  // The regime of the past, event by event in time order (equal times as read).
  std::vector<EventLine> events = eventLines_;
  std::stable_sort(events.begin(), events.end(),
                   [](const EventLine& a, const EventLine& b) { return a.event.time < b.event.time; });
  ModelMoves moves{n, std::vector<char>(static_cast<size_t>(n) * n, 0)};
  int matrix = 0, lastSetter = -1, switchOff = -1;
  moves.addMatrix(s_.migrationMatrices, 0);
  for (size_t k = 0; k < events.size(); ++k) {
    const THistoricalEvent& e = events[k].event;
    if (e.source != e.sink && e.migrants > 0.0 && e.source >= 0 && e.source < n && e.sink >= 0 &&
        e.sink < n)
      moves.edges[static_cast<size_t>(e.source) * n + e.sink] = 1;
    if (switchOff >= 0) continue;
    if (e.noMigration) {
      switchOff = static_cast<int>(k);  // the matrix it names never moves a lineage
    } else if (!e.keepMigMatrix) {
      matrix = e.newMigMatrix;
      lastSetter = static_cast<int>(k);
      moves.addMatrix(s_.migrationMatrices, matrix);
    }
  }
  const std::vector<int> apart = demesThatNeverMeet(sampled, moves);
  if (apart.empty()) return;

  // The line at fault: where the regime that stays for good is set.
  int line = matrixCountLine_;
  std::string regime = "the model has no migration matrix";
  if (switchOff >= 0) {
    line = events[switchOff].line;
    regime = "this historical event switches migration off";
  } else if (matrix >= 0 && matrix < static_cast<int>(matrixLines_.size())) {
    line = matrixLines_[matrix];
    regime = "migration matrix " + std::to_string(matrix) +
             (lastSetter >= 0 ? " is in force after the last historical event"
                              : " stays in force, no historical event changes it");
  }
  sc_.fail(line, "the lineages sampled in " + demeList(apart) +
                     (apart.size() == 2 ? " can never meet" : " can never all meet") +
                     ": no migration matrix and no historical event brings them into one deme (" +
                     regime + "), so no genealogy of the model can be completed");
}
