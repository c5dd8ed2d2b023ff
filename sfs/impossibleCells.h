#pragma once
// Observed sites that stand in cells of a spectrum no genealogy can give: a
// derived allele carried by every sampled gene (fixed in the sample, not
// polymorphic), or a minor allele carried by more than half of the sampled
// genes. The model gives such cells probability 0, so their sites are scored
// against a floor; they usually come from a masked cell of a dadi or moments
// spectrum whose value was copied.
#include <string>
#include <vector>

struct TImpossibleSites {
  std::vector<std::vector<int>> cells;  // counts along each axis of each cell with sites
  std::vector<double> sites;            // the sites of each of them
  double total = 0.0;
};

// A table of prod(sizes[k] + 1) cells in row-major order (the last axis
// fastest), sizes[k] being the genes counted along axis k, from a model of
// totalSample sampled genes; minor: counts of minor alleles, else of derived
// alleles. The derived-allele cell of every gene is impossible only when the
// axes hold every sampled gene of the model (a table of a pair of demes in a
// model of three sampled demes can hold sites fixed in the pair).
TImpossibleSites impossibleSites(const std::vector<int>& sizes, const double* cells,
                                 int totalSample, bool minor);

// The warning for such sites of observation obs (from 0) of a file, or ""
// when there are none; cellNames[c] names cell c of found.cells.
std::string impossibleSitesWarning(const std::string& fileName, int obs,
                                   const TImpossibleSites& found,
                                   const std::vector<std::string>& cellNames, bool minor,
                                   int totalSample);
