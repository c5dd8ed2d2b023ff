// Readers of one observation of an observed spectrum file. Each moves to the
// kept position (skipping the file's header at its start), reads and checks
// one observation and keeps the position reached. Tables are sized by the
// model, not by the file: a row or line with another number of values is an
// error, as is any value that is not a finite number of at least 0, and any
// value or running total of values that reaches 2^53 (whole counts are exact
// in a double only below it, and the totals become 64-bit site counts).
#include <cmath>
#include <istream>

#include "sfs/AFS.h"
#include "sfs/obsParse.h"
#include "sfs/obsSFS.h"

using namespace obsparse;

namespace {

// One line of n + 1 values into a 1-D table.
bool readSpectrumLine(std::istream& is, double* spectrum, int n, const std::string& what,
                      TObsReadState& state) {
  if (!seekObservation(is, state, 2)) return false;
  std::string line;
  if (!nextLine(is, line, state)) {
    state.problem = "the file ends before this observation";
    return false;
  }
  std::vector<double> values;
  const std::vector<std::string> tokens = splitTokens(line);
  double total = 0.0;
  if (!parseRow(tokens, 0, static_cast<size_t>(n) + 1, what, values, state) ||
      !addToRunningTotal(total, values, tokens, 0, what, "", state))
    return false;
  for (int k = 0; k <= n; ++k) spectrum[k] = values[k];
  storePosition(is, state);
  return true;
}

// A row labelled d<i>_<r> right after the table of deme i, with r beyond its
// last row: the data were made for a larger sample. Leaves the read position
// and the line count as they were when there is none.
bool extraLabelledRow(std::istream& is, int i, int ni, TObsReadState& state) {
  TObsReadState peek = state;
  std::string line;
  if (!nextLine(is, line, peek)) return false;
  std::vector<std::string> tokens = splitTokens(line);
  const long row = tokens.empty() ? -1 : rowOfLabel(tokens[0], i);
  if (row <= ni) return false;
  state.line = peek.line;
  state.problem = "row \"" + tokens[0] + "\" lies beyond the " + std::to_string(ni + 1) +
                  " rows (d" + std::to_string(i) + "_0 to d" + std::to_string(i) + "_" +
                  std::to_string(ni) + ") of deme " + std::to_string(i) + ", which has " +
                  std::to_string(ni) + " sampled genes in the model";
  return true;
}

}  // namespace

bool AFS::readObsPopAFS(std::istream& is, int deme, TObsReadState& state) {
  const int n = sampleSizes[deme];
  return readSpectrumLine(is, spectrum(deme), n,
                          "the spectrum of deme " + std::to_string(deme) + " (" +
                              std::to_string(n) + " genes)",
                          state);
}

bool AFS::readPooledObsPopAFS(std::istream& is, TObsReadState& state, int n) {
  if (numDemes != 1 || sampleSizes[0] != n) {
    state.problem = "the pooled spectrum was not built for " + std::to_string(n) + " genes";
    return false;
  }
  return readSpectrumLine(is, spectrum(0), n,
                          "the pooled spectrum (" + std::to_string(n) + " genes)", state);
}

bool AFS::readObsPopPairAFS(std::istream& is, int i, int j, TObsReadState& state) {
  if (!seekObservation(is, state, 2)) return false;
  sfsTable& table = (*this)(i, j);
  const int ni = sampleSizes[i], nj = sampleSizes[j];
  std::string line;
  std::vector<double> values;
  const std::string tableName =
      "the joint table of demes " + std::to_string(i) + " and " + std::to_string(j);
  double total = 0.0;
  double exactTotal = 0.0;  // the plain sum, held below 2^53
  for (int r = 0; r <= ni; ++r) {
    const std::string what = "row " + std::to_string(r) + " of " + tableName;
    if (!nextLine(is, line, state)) {
      state.problem = "the file ends before " + what;
      return false;
    }
    std::vector<std::string> tokens = splitTokens(line);
    double number = 0.0;
    if (tokens.empty() || parseNumber(tokens[0], number)) {
      state.problem = what + " does not begin with its label (such as d" + std::to_string(i) +
                      "_" + std::to_string(r) + ")";
      return false;
    }
    if (!parseRow(tokens, 1, static_cast<size_t>(nj) + 1, what, values, state) ||
        !addToRunningTotal(exactTotal, values, tokens, 1, tableName,
                           " of row " + std::to_string(r), state))
      return false;
    for (int c = 0; c <= nj; ++c) {
      table[r][c] = values[c];
      total = std::trunc(total + values[c]);  // the running total keeps whole sites
    }
  }
  totObsNumSites = static_cast<long long>(total);
  totObsNumPolymSites = static_cast<long long>(std::trunc(total - table[0][0]));
  storePosition(is, state);
  return !extraLabelledRow(is, i, ni, state);
}

bool multiSFS::readObsSFS(std::istream& is, TObsReadState& state) {
  if (!seekObservation(is, state, 1)) return false;
  std::string line;
  if (state.pos == 0) {  // the dimension line must describe the model
    if (!nextLine(is, line, state)) {
      state.problem = "the file ends before its line of deme number and sample sizes";
      return false;
    }
    std::vector<std::string> tokens = splitTokens(line);
    std::string model = std::to_string(numDemes);
    for (int k = 0; k < numDemes; ++k) model += " " + std::to_string(sampleSizes[k]);
    bool same = tokens.size() == static_cast<size_t>(numDemes) + 1;
    int v = 0;
    for (size_t k = 0; same && k < tokens.size(); ++k)
      same = parseInt(tokens[k], v) && v == (k == 0 ? numDemes : sampleSizes[k - 1]);
    if (!same) {
      state.problem = "the number of demes and sample sizes (\"" + line +
                      "\") differ from those of the model (" + model + ")";
      return false;
    }
  }
  const size_t n = static_cast<size_t>(totSFSEntries);
  size_t read = 0;
  double total = 0.0;
  while (read < n) {
    if (!nextLine(is, line, state)) {
      state.problem = "the file ends after " + std::to_string(read) + " of the " +
                      std::to_string(n) + " entries of this observation";
      return false;
    }
    std::vector<std::string> tokens = splitTokens(line);
    if (read + tokens.size() > n) {
      state.problem = "the observation holds more than the " + std::to_string(n) +
                      " entries of the model";
      return false;
    }
    for (const std::string& token : tokens) {
      double& value = multiJointSFS[read];
      // Named only when the entry is refused: a spectrum may hold a million.
      const auto entry = [&] { return "entry " + std::to_string(read) + " (\"" + token + "\")"; };
      if (!parseCount(token, value)) {
        state.problem = entry() + " is not a finite number of at least 0";
        return false;
      }
      if (!isExactCount(value)) {
        state.problem = beyondExactCounts(entry());
        return false;
      }
      total += value;
      if (!isExactCount(total)) {
        state.problem = beyondExactCounts("the running total of this observation", " at " + entry());
        return false;
      }
      ++read;
    }
  }
  storePosition(is, state);
  return true;
}
