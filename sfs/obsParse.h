#pragma once
// Text helpers of the observed-spectrum readers: line reading with a line
// count, splitting into white-space separated tokens (blank, tab, carriage
// return), and strict number parsing.
#include <istream>
#include <string>
#include <vector>

#include "sfs/obsSFS.h"

namespace obsparse {

// Reads the next line into `line` and counts it; false at the end of the file.
bool nextLine(std::istream& is, std::string& line, TObsReadState& state);

// Moves to state.pos; at the start of a file skips `headerLines` lines. False
// (with state.problem set) when the file ends inside its header.
bool seekObservation(std::istream& is, TObsReadState& state, int headerLines);

// Stores in state.pos the position reached (the end of the file when the last
// line had no line end).
void storePosition(std::istream& is, TObsReadState& state);

std::vector<std::string> splitTokens(const std::string& line);

// From state.pos to the end of the file only blank lines are left. Otherwise
// false, with state.line at the first line that is not blank and `found`
// holding that line.
bool onlyBlankLinesLeft(std::istream& is, TObsReadState& state, std::string& found);

// The row number r of a label written "d<deme>_<r>" for the given deme; -1 for
// any other label.
long rowOfLabel(const std::string& label, int deme);

// Counts and running totals of counts must stay below 2^53: from there on a
// double no longer holds every whole number, and totals (converted to 64-bit
// site counts) would be wrong.
constexpr double kExactCountLimit = 9007199254740992.0;  // 2^53
bool isExactCount(double value);
// subject + " reaches 2^53 (9007199254740992)" + at + ", beyond which counts are
// not held exactly".
std::string beyondExactCounts(const std::string& subject, const std::string& at = "");

// Adds the values, read from tokens[first...], to a running total; false with
// state.problem set ("the running total of <table> reaches 2^53 ... at value
// "<token>"<where>, ...") when the total reaches kExactCountLimit.
bool addToRunningTotal(double& total, const std::vector<double>& values,
                       const std::vector<std::string>& tokens, size_t first,
                       const std::string& table, const std::string& where,
                       TObsReadState& state);

// The whole token is a decimal number; `value` receives it.
bool parseNumber(const std::string& token, double& value);
// The whole token is a finite number of at least 0.
bool parseCount(const std::string& token, double& value);
// The whole token is an integer that fits an int.
bool parseInt(const std::string& token, int& value);

// Fills values with the tokens from `first` on, each a finite number >= 0 and
// below kExactCountLimit; exactly `expected` of them. False with state.problem set otherwise; `what`
// names the row in the message.
bool parseRow(const std::vector<std::string>& tokens, size_t first, size_t expected,
              const std::string& what, std::vector<double>& values, TObsReadState& state);

}  // namespace obsparse
