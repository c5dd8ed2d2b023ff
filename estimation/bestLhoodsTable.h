#pragma once
// The table of best values of a process's estimations ("<generic>.bestlhoods"):
// one header, then one line per completed estimation. The table also
// remembers the highest likelihood among its lines: the files of best values
// (the model file, the rescaling factor and the expected spectra) are left by
// the estimation that beats every earlier one of the process, so that after
// several estimations they belong to the best line of the table, not to the
// last one.
#include <limits>
#include <string>

#include "support/outputFile.h"

class TSampleParameters;

class TBestLhoodsTable : public TOutputFile {
 public:
  explicit TBestLhoodsTable(const std::string& name) : TOutputFile(name, std::ios::trunc) {}
  double highestLhood = -std::numeric_limits<double>::infinity();
};

// Whether an estimation that reached lhood is higher than every line of the
// table; true while the slot holds no table.
bool beatsEarlierEstimations(const TOutputFile* table, double lhood);

// Adds the estimation's line: the best values, the best likelihood of its
// searches and the likelihood the observed spectra reach under themselves
// (3 decimals). The first call creates the table (truncated, with its header)
// through the empty slot, so that a file left by an earlier invocation never
// receives this process's lines. False with a message when the file cannot
// be written.
bool addBestLhoodsLine(TOutputFile*& table, const std::string& name,
                       const TSampleParameters& best, double lhood, double maxObsLhood);
