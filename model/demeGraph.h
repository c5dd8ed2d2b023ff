#pragma once
// Paths of lineages between demes. A lineage goes from deme i straight to
// deme j when edge(i, j) holds (a positive migration rate of row i, column j,
// or a historical event moving lineages from i to j). Lineages can have a
// common ancestor only in a deme that every deme holding one of them can
// reach: two lineages that meet continue as one from a deme both could reach,
// so by induction the last one stands in a deme all could reach.
#include <string>
#include <vector>

// Scratch tables of the searches, kept by their owner so that a repeated
// search allocates nothing once the tables have their size.
struct TDemeSearch {
  std::vector<char> reached;  // per deme: reached by the last search
  std::vector<char> common;   // per deme: reached from every deme searched from
  std::vector<int> queue;
  std::vector<int> from;      // demes to search from, filled by the caller

  void size(int numDemes) {
    if (static_cast<int>(reached.size()) == numDemes) return;
    reached.assign(numDemes, 0);
    common.assign(numDemes, 0);
    queue.assign(numDemes, 0);
    from.reserve(numDemes);
  }
};

// Marks in s.reached every deme reachable from `from` (itself included) along
// edge(i, j), or, with backward set, every deme from which `from` can be
// reached. visit(d) is called for each deme marked; the search stops when it
// returns false.
template <class Edge, class Visit>
void searchDemes(int numDemes, int from, bool backward, Edge edge, Visit visit, TDemeSearch& s) {
  s.size(numDemes);
  for (int d = 0; d < numDemes; ++d) s.reached[d] = 0;
  int head = 0, tail = 0;
  s.reached[from] = 1;
  s.queue[tail++] = from;
  if (!visit(from)) return;
  while (head < tail) {
    const int d = s.queue[head++];
    for (int k = 0; k < numDemes; ++k) {
      if (s.reached[k] || !(backward ? edge(k, d) : edge(d, k))) continue;
      s.reached[k] = 1;
      s.queue[tail++] = k;
      if (!visit(k)) return;
    }
  }
}

// s.common := the demes reachable from every deme of `from` (not empty);
// false when there is none.
template <class Edge>
bool commonReach(int numDemes, const std::vector<int>& from, Edge edge, TDemeSearch& s) {
  s.size(numDemes);
  const auto all = [](int) { return true; };
  bool any = false;
  for (size_t k = 0; k < from.size(); ++k) {
    searchDemes(numDemes, from[k], false, edge, all, s);
    any = false;
    for (int d = 0; d < numDemes; ++d) {
      s.common[d] = k == 0 ? s.reached[d] : static_cast<char>(s.common[d] && s.reached[d]);
      any = any || s.common[d];
    }
    if (!any) return false;
  }
  return any;
}

// "deme 2", "demes 0 and 2", "demes 0, 1 and 2": demes in messages.
inline std::string demeList(const std::vector<int>& demes) {
  std::string text = demes.size() == 1 ? "deme " : "demes ";
  for (size_t k = 0; k < demes.size(); ++k) {
    if (k > 0) text += k + 1 == demes.size() ? " and " : ", ";
    text += std::to_string(demes[k]);
  }
  return text;
}
