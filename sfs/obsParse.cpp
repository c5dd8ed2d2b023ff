// Text helpers of the observed-spectrum readers.
#include "sfs/obsParse.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace obsparse {

bool nextLine(std::istream& is, std::string& line, TObsReadState& state) {
  if (!std::getline(is, line)) return false;
  ++state.line;
  return true;
}

bool seekObservation(std::istream& is, TObsReadState& state, int headerLines) {
  is.clear();
  is.seekg(state.pos);
  if (state.pos != 0) return true;
  state.line = 0;
  std::string skipped;
  for (int k = 0; k < headerLines; ++k) {
    if (!nextLine(is, skipped, state)) {
      state.problem = "the file ends inside its " + std::to_string(headerLines) + " header lines";
      return false;
    }
  }
  return true;
}

void storePosition(std::istream& is, TObsReadState& state) {
  std::streamoff p = is.tellg();
  if (p < 0) {  // the last line had no line end
    is.clear();
    is.seekg(0, std::ios::end);
    p = is.tellg();
  }
  state.pos = p;
}

std::vector<std::string> splitTokens(const std::string& line) {
  std::vector<std::string> tokens;
  size_t k = 0;
  const char* blanks = " \t\r";
  while (k < line.size()) {
    size_t start = line.find_first_not_of(blanks, k);
    if (start == std::string::npos) break;
    size_t end = line.find_first_of(blanks, start);
    if (end == std::string::npos) end = line.size();
    tokens.push_back(line.substr(start, end - start));
    k = end;
  }
  return tokens;
}

bool onlyBlankLinesLeft(std::istream& is, TObsReadState& state, std::string& found) {
  is.clear();
  is.seekg(state.pos);
  std::string line;
  while (nextLine(is, line, state))
    if (!splitTokens(line).empty()) {
      found = line;
      return false;
    }
  return true;
}

long rowOfLabel(const std::string& label, int deme) {
  const std::string head = "d" + std::to_string(deme) + "_";
  if (label.compare(0, head.size(), head) != 0 || label.size() == head.size()) return -1;
  const std::string digits = label.substr(head.size());
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) return -1;
  return std::strtol(digits.c_str(), nullptr, 10);
}

bool isExactCount(double value) { return value < kExactCountLimit; }

std::string beyondExactCounts(const std::string& subject, const std::string& at) {
  return subject + " reaches 2^53 (9007199254740992)" + at +
         ", beyond which counts are not held exactly";
}

bool addToRunningTotal(double& total, const std::vector<double>& values,
                       const std::vector<std::string>& tokens, size_t first,
                       const std::string& table, const std::string& where,
                       TObsReadState& state) {
  for (size_t k = 0; k < values.size(); ++k) {
    total += values[k];
    if (!isExactCount(total)) {
      state.problem = beyondExactCounts("the running total of " + table,
                                        " at value \"" + tokens[first + k] + "\"" + where);
      return false;
    }
  }
  return true;
}

bool parseNumber(const std::string& token, double& value) {
  if (token.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(token.c_str(), &end);
  return end == token.c_str() + token.size();
}

bool parseCount(const std::string& token, double& value) {
  return parseNumber(token, value) && std::isfinite(value) && value >= 0.0;
}

bool parseInt(const std::string& token, int& value) {
  if (token.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(token.c_str(), &end, 10);
  if (end != token.c_str() + token.size() || errno == ERANGE || v < INT_MIN || v > INT_MAX)
    return false;
  value = static_cast<int>(v);
  return true;
}

bool parseRow(const std::vector<std::string>& tokens, size_t first, size_t expected,
              const std::string& what, std::vector<double>& values, TObsReadState& state) {
  size_t found = tokens.size() > first ? tokens.size() - first : 0;
  if (found != expected) {
    state.problem = what + " must hold " + std::to_string(expected) + " values, found " +
                    std::to_string(found);
    return false;
  }
  values.resize(expected);
  for (size_t k = 0; k < expected; ++k) {
    if (!parseCount(tokens[first + k], values[k])) {
      state.problem = "value \"" + tokens[first + k] + "\" of " + what +
                      " is not a finite number of at least 0";
      return false;
    }
    if (!isExactCount(values[k])) {
      state.problem =
          beyondExactCounts("value \"" + tokens[first + k] + "\" of " + what);
      return false;
    }
  }
  return true;
}

}  // namespace obsparse
