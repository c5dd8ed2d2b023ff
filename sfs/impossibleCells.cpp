// Observed sites in cells of a spectrum that no genealogy can give, and the
// warning that names them.
#include "sfs/impossibleCells.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace {

// Counts along each axis of the cell at a row-major index.
std::vector<int> countsOf(long index, const std::vector<int>& sizes) {
  std::vector<int> counts(sizes.size(), 0);
  for (size_t k = sizes.size(); k-- > 0;) {
    counts[k] = static_cast<int>(index % (sizes[k] + 1));
    index /= sizes[k] + 1;
  }
  return counts;
}

std::string sitesText(double sites) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", sites);
  return std::string(text) + (sites == 1.0 ? " site" : " sites");
}

constexpr size_t kCellsNamed = 3;  // a longer list names the first ones only

}  // namespace

TImpossibleSites impossibleSites(const std::vector<int>& sizes, const double* cells,
                                 int totalSample, bool minor) {
  TImpossibleSites found;
  long numCells = 1;
  for (int n : sizes) numCells *= n + 1;
  const int tableGenes = std::accumulate(sizes.begin(), sizes.end(), 0);
  for (long c = 0; c < numCells; ++c) {
    if (!(cells[c] > 0.0)) continue;
    std::vector<int> counts = countsOf(c, sizes);
    const int carried = std::accumulate(counts.begin(), counts.end(), 0);
    const bool impossible = minor ? 2 * carried > totalSample
                                  : carried == tableGenes && tableGenes == totalSample;
    if (!impossible) continue;
    found.cells.push_back(std::move(counts));
    found.sites.push_back(cells[c]);
    found.total += cells[c];
  }
  return found;
}

std::string impossibleSitesWarning(const std::string& fileName, int obs,
                                   const TImpossibleSites& found,
                                   const std::vector<std::string>& cellNames, bool minor,
                                   int totalSample) {
  if (found.cells.empty()) return "";
  std::string where;
  for (size_t c = 0; c < found.cells.size() && c < kCellsNamed; ++c)
    where += std::string(c ? ", " : "") + sitesText(found.sites[c]) + " in " + cellNames[c];
  const size_t more = found.cells.size() - std::min(found.cells.size(), kCellsNamed);
  if (more > 0)
    where += " and sites in " + std::to_string(more) + " other cell" + (more > 1 ? "s" : "") +
             " (" + sitesText(found.total) + " in all)";
  const std::string why =
      minor ? "where the minor allele would be carried by more than half of the " +
                  std::to_string(totalSample) + " sampled genes"
            : "where every one of the " + std::to_string(totalSample) +
                  " sampled genes carries the derived allele (fixed in the sample, not "
                  "polymorphic)";
  return "Warning: observed SFS file \"" + fileName + "\", observation " +
         std::to_string(obs + 1) + ": sites stand in cells that no genealogy can give: " + where +
         ", " + why + ". The model gives them probability 0, and the likelihood scores them "
         "against a floor. Write 0 there (a masked cell of a dadi or moments spectrum holds "
         "sites that are not to be scored).\n";
}
