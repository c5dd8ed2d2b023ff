#include "model/histEvent.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Each run of blanks, tabs and carriage returns becomes its first character;
// the comment from "//" on and trailing blanks and tabs are removed.
std::string cleanEventLine(const std::string& raw) {
  std::string line;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    const bool sep = isBlank(c) || c == '\r';
    const bool prevSep = i > 0 && (isBlank(raw[i - 1]) || raw[i - 1] == '\r');
    if (!(sep && prevSep)) line += c;
  }
  const size_t comment = line.find("//");
  if (comment != std::string::npos) line.erase(comment);
  while (!line.empty() && isBlank(line.back())) line.pop_back();
  return line;
}

std::vector<std::string> splitTokens(const std::string& line, size_t wanted) {
  std::vector<std::string> tokens(wanted);
  size_t k = 0;
  for (char c : line) {
    if (isBlank(c)) {
      if (++k >= wanted) break;
    } else {
      tokens[k] += c;
    }
  }
  return tokens;
}

double numberOf(const std::string& token) { return std::strtod(token.c_str(), nullptr); }

std::string lowerCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Truncates toward zero; values beyond the range of int (and NaN) become values
// no deme or matrix has, so that the deme collection refuses them.
int32_t truncToInt(double v) {
  if (std::isnan(v)) return INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int64_t truncTime(double v) {
  if (!(v > 0.0)) return 0;  // negative times (and NaN) are stored as 0
  if (v >= 9.2e18) return INT64_MAX;
  return static_cast<int64_t>(v);
}

// The growth rate the sink takes, in the default number format whatever the
// stream's (a small rate is not shown as -0.0000000), 0 without a sign.
std::string growthText(const THistoricalEvent& event) {
  if (event.keepGrowthRate) return "kept";
  std::ostringstream text;
  text << (event.newGrowthRate == 0.0 ? 0.0 : event.newGrowthRate);
  return text.str();
}

// What migration does from the event on.
std::string matrixText(const THistoricalEvent& event) {
  if (event.noMigration) return "no migration";
  if (event.keepMigMatrix) return "kept";
  return std::to_string(event.newMigMatrix);
}

}  // namespace

std::istream& operator>>(std::istream& is, THistoricalEvent& event) {
  while (isBlank(static_cast<char>(is.peek()))) is.get();
  std::string raw;
  std::getline(is, raw);
  const std::vector<std::string> tok = splitTokens(cleanEventLine(raw), 7);
  event.time = truncTime(numberOf(tok[0]));
  event.source = truncToInt(numberOf(tok[1]));
  event.sink = truncToInt(numberOf(tok[2]));
  event.migrants = numberOf(tok[3]);
  event.newSize = numberOf(tok[4]);
  const std::string growth = lowerCase(tok[5]);
  event.keepGrowthRate = growth.find("keep") != std::string::npos;
  event.newGrowthRate = event.keepGrowthRate ? 0.0 : numberOf(growth);
  const std::string matrix = lowerCase(tok[6]);
  event.keepMigMatrix = matrix.find("keep") != std::string::npos;
  event.newMigMatrix = event.keepMigMatrix ? -1 : truncToInt(numberOf(matrix));
  event.noMigration = matrix.find("nomig") != std::string::npos;
  return is;
}

std::ostream& operator<<(std::ostream& os, const THistoricalEvent& event) {
  if (event.activateLineages) {
    os << "\n#Make lineages of deme " << event.source << " active at time " << event.time << "\n";
    return os;
  }
  os << "\n#Time             : " << event.time
     << "\n#Source           : " << event.source
     << "\n#Sink             : " << event.sink
     << "\n#Migrants         : " << event.migrants
     << "\n#New size         : " << event.newSize
     << "\n#New growth rate  : " << growthText(event)
     << "\n#New migr. matrix : " << matrixText(event) << "\n";
  return os;
}
