// Reader of definition files: a header of column names, then one row of values per run.
#include <cmath>
#include <iostream>
#include <set>

#include "estimation/paramText.h"
#include "estimation/templates.h"
#include "support/TException.h"

using paramtext::format;

namespace {

class DefinitionReader {
 public:
  DefinitionReader(std::string const& fileName, bool recompute, TSampleParameters& params,
                   TDefinitionTable& table)
      : file_(fileName), recompute_(recompute), params_(params), table_(table) {}

  void run(std::istream& in) {
    std::string line;
    bool haveHeader = false;
    while (std::getline(in, line)) {
      ++lineNumber_;
      if (paramtext::isBlankLine(line)) continue;
      std::vector<std::string> fields = paramtext::splitFields(line);
      if (!haveHeader) {
        header(fields);
        haveHeader = true;
      } else {
        row(fields);
      }
    }
    if (!haveHeader) paramtext::raise("Definition file \"" + file_ + "\" holds no column names");
  }

 private:
  [[noreturn]] void fail(std::string const& what) const {
    paramtext::raise(format("Definition file \"%s\", line %d: %s", file_.c_str(), lineNumber_,
                            what.c_str()));
  }

  void header(std::vector<std::string> const& names) {
    std::set<std::string> seen;
    for (std::string const& n : names)
      if (!seen.insert(n).second) fail("the column name \"" + n + "\" appears twice");
    columns_ = names;
    table_.names.clear();
    if (!recompute_) {
      table_.names = names;
      return;
    }
    // Map each column to a simple parameter of the prior file.
    columnParam_.assign(names.size(), -1);
    std::vector<char> covered(size_t(params_.numSimpleParams), 0);
    for (size_t c = 0; c < names.size(); ++c) {
      int id = params_.findParam(names[c]);
      if (id < 0) fail("the column \"" + names[c] + "\" names no parameter of the prior file");
      if (id < params_.numSimpleParams) {
        columnParam_[c] = id;
        covered[size_t(id)] = 1;
      }
    }
    for (int i = 0; i < params_.numSimpleParams; ++i)
      if (!covered[size_t(i)])
        fail(std::string("no column for the simple parameter ") + params_.paramArray[i].name.c_str());
    for (int i = 0; i < params_.numParams(); ++i)
      table_.names.push_back(params_.paramArray[i].name.c_str());
  }

  void row(std::vector<std::string> const& values) {
    if (values.size() != columns_.size())
      fail(format("%d value(s) for %d column(s)", int(values.size()), int(columns_.size())));
    ++rowNumber_;
    // Values stand where the model file needs numbers: a bad one is named here,
    // not later against the generated model file.
    std::vector<double> numbers(values.size());
    for (size_t c = 0; c < values.size(); ++c) numbers[c] = number(values[c], c);
    TParamValues r;
    if (!recompute_) {
      for (std::string const& v : values) r.add(v);
    } else {
      recomputedRow(values, r);
    }
    table_.rows.push_back(*tightCopy(r));
  }

  double number(std::string const& value, size_t column) const {
    double v = 0;
    if (!paramtext::parseNumber(value, v))
      fail(format("value row %d, column %d (%s): the value \"%s\" is not a finite number",
                  rowNumber_, int(column) + 1, columns_[column].c_str(), value.c_str()));
    return v;
  }

  void recomputedRow(std::vector<std::string> const& values, TParamValues& r) {
    std::vector<std::string> texts(size_t(params_.numParams()));
    for (size_t c = 0; c < values.size(); ++c) {
      int id = columnParam_[c];
      if (id < 0) continue;
      params_.paramArray[id].value = number(values[c], c);
      texts[size_t(id)] = values[c];
    }
    for (int i = params_.numSimpleParams; i < params_.numParams(); ++i) {
      TParameter& p = params_.paramArray[i];
      try {
        p.calcEquation(params_.paramArray);
      } catch (TException& e) {
        fail(e.message.c_str());
      }
      if (!std::isfinite(p.value))
        fail(format("the complex parameter %s = %s is %g, not a finite number", p.name.c_str(),
                    p.equation.c_str(), p.value));
      try {
        texts[size_t(i)] = paramValueText(p);
      } catch (TException& e) {
        fail(e.message.c_str());
      }
    }
    for (std::string const& t : texts) r.add(t);
  }

  std::string file_;
  bool recompute_;
  TSampleParameters& params_;
  TDefinitionTable& table_;
  int lineNumber_ = 0;
  int rowNumber_ = 0;  // value rows read, the current one included
  std::vector<std::string> columns_;
  std::vector<int> columnParam_;  // recompute: simple parameter of each column, -1 none
};

}  // namespace

void readDefinitionTable(std::istream& in, std::string const& fileName, bool recompute,
                         TSampleParameters& params, TDefinitionTable& table) {
  table.names.clear();
  table.rows.clear();
  DefinitionReader(fileName, recompute, params, table).run(in);
}

void echoDefinitionTable(std::ostream& os, TDefinitionTable const& table,
                         TSampleParameters const& params) {
  os << "\n\nDefinition file contains...\n";
  for (std::string const& n : table.names) os << n << "\t";
  os << "\n";
  for (TParamValues const& r : table.rows) {
    for (int i = 0; i < r.size(); ++i) os << r.values[i] << "\t";
    os << "\n";
  }
  os << "\n";
  params.write(os);
}

my_string computeParamValue(MY_TArrayAsVector<my_string> const& names, int index,
                            my_string* valueTexts, int n) {
  std::string entry = names[index].c_str();
  std::string text = entry.size() > 3 ? paramtext::removeBlanks(entry.substr(2, entry.size() - 3))
                                      : std::string();
  double result = 0;
  char op = '+';
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of("*+-/", pos);
    if (end == std::string::npos) end = text.size();
    std::string term = text.substr(pos, end - pos);
    double v = 0;
    int column = -1;
    for (int j = 0; j < n && column < 0; ++j)
      if (term == names[j].c_str()) column = j;
    bool ok = column >= 0 ? paramtext::parseNumber(valueTexts[column].c_str(), v)
                          : paramtext::parseNumber(term, v);
    if (!ok)
      paramtext::raise(format("Invalid keyword %s in complex parameter %s", term.c_str(),
                              entry.c_str()));
    switch (op) {
      case '+': result += v; break;
      case '-': result -= v; break;
      case '*': result *= v; break;
      default: result /= v; break;
    }
    if (end == text.size()) break;
    op = text[end];
    pos = end + 1;
  }
  return my_string(format("%.8e", result).c_str());
}
