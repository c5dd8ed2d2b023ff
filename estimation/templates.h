#pragma once
// Substitution of parameter values into model templates, and definition files
// (.def: a header of column names, then one row of values per run).
#include <deque>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "estimation/parameters.h"

// Replaces every occurrence of a name (inside words too, case-sensitive) by the value
// of its column, in one pass over the text: at each position the longest matching
// name wins, and an inserted value is never searched again. Empty names are ignored;
// a missing value replaces its name by nothing.
std::string substituteParameters(std::string const& text, std::vector<std::string> const& names,
                                 std::vector<std::string> const& values);
// The replacements of that pass, in text order: position in the text and column.
void forEachReplacement(std::string const& text, std::vector<std::string> const& names,
                        std::function<void(size_t, size_t)> const& replaced);
std::string substituteParameters(std::string const& text, MY_TArrayAsVector<my_string> const& names,
                                 int numColumns, TParamValues const& row);

// A whole file as bytes; false when the file cannot be opened.
bool readTextFile(std::string const& path, std::string& text);

// The model file of the best values in the current folder: name without folder and
// extension, followed by "_maxL.par".
std::string maxLParFileName(std::string const& tplParFileName);

// True when a line of the stream contains "FREQ".
bool textHoldsFreq(std::istream& in);

// The columns and rows of a definition file.
struct TDefinitionTable {
  std::vector<std::string> names;
  std::deque<TParamValues> rows;  // grows without copying the rows read
};

// Reads a definition file. Without recompute the columns are the header's names and the
// rows their texts as written. With recompute the header names map columns to the simple
// parameters of params (every simple parameter needs a column; a column naming a complex
// parameter is ignored), the complex parameters are computed for each row, and the
// columns are all parameters in array order; params keeps the values of the last row.
// Throws TException naming the file and the line on a bad header or row.
void readDefinitionTable(std::istream& in, std::string const& fileName, bool recompute,
                         TSampleParameters& params, TDefinitionTable& table);

// The console echo of a definition file that was read.
void echoDefinitionTable(std::ostream& os, TDefinitionTable const& table,
                         TSampleParameters const& params);
