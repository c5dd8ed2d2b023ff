#pragma once
// Parameters of a prior file (.est): simple parameters with their priors, complex
// parameters defined by a one-operation equation, rules between parameters, and
// rows of parameter values as text for template substitution.
#include <iosfwd>
#include <memory>
#include <string>

#include "support/containers.h"
#include "support/cstring.h"

class GlobalRandom;
class TDemeCollection;

// The one operation of a complex parameter's equation, found by the parser.
enum class EquationOp {
  NONE, ADD, MULTIPLY, DIVIDE, SUBTRACT, LOG10, LOG, POW10, EXP, ABS, MIN, MAX, CONDITIONAL
};

class TParameter {
 public:
  my_string name;
  my_string lowerName;
  int leftParamId = -1;
  int rightParamId = -1;
  double leftValue = 0;
  double rightValue = 0;
  int distrType = 0;  // 0 uniform, 1 log-uniform
  double min = 0;
  double max = 1.0;
  double searchMin = 0;
  double searchMax = 1.0;
  bool isLessCondition = false;
  bool isNotEqualCondition = false;
  int trueParamId = -1;
  int falseParamId = -1;
  double trueValue = 0;
  double falseValue = 0;
  double value = 0;
  double range = 0;
  double searchSpan = 0;
  int isInt = 0;
  bool output = true;
  bool isReference = false;
  bool isBounded = false;
  bool isComplex = false;
  my_string equation;
  bool isDissected = false;
  bool hasKnownParam = false;
  bool lowerFromRule = false;
  bool upperFromRule = false;
  double ruleLowerBound = 0;
  double ruleUpperBound = 0;
  EquationOp operation = EquationOp::NONE;  // set by dissectEquation

  TParameter() = default;
  TParameter(TParameter const&) = default;
  TParameter& operator=(TParameter const&) = default;

  // One line of the [PARAMETERS] section (comment already cut). False for a blank line;
  // throws TException on a bad field.
  bool readSimpleParameter(my_string const& line, int lineNumber);
  // One line of the [COMPLEX PARAMETERS] section against the parameters read so far.
  bool readComplexParameter(my_string& line, MY_TArrayAsVector<TParameter> const& params,
                            int lineNumber);
  // Parses the equation; throws TException when it cannot be read in full. Returns 1.
  int dissectEquation(MY_TArrayAsVector<TParameter> const& params);
  // Parses when needed, evaluates, stores and returns the value.
  double calcEquation(MY_TArrayAsVector<TParameter> const& params);
  // Draws the value of a simple parameter from its prior.
  void generateRandomValue(TDemeCollection* demes);
  void generateRandomValue(GlobalRandom& generator);
  void write(std::ostream& os) const;

 private:
  double evaluate(MY_TArrayAsVector<TParameter> const& params) const;
  bool checkEquationUsable() const;
};

std::ostream& operator<<(std::ostream& os, TParameter const& p);

class TRules {
 public:
  my_string leftTerm;
  my_string rightTerm;
  my_string comparison;
  int leftParamId = -1;
  int rightParamId = -1;
  double leftValue = 0;
  double rightValue = 0;
  int ruleType = 4;  // 0 ">", 1 ">=", 2 "<", 3 "<="

  // One line of the [RULES] section; 1 for a rule, 0 for a blank line; throws TException.
  int read(my_string& line, MY_TArrayAsVector<TParameter> const& params, int lineNumber);
  bool isOkay(MY_TArrayAsVector<TParameter> const& params) const;
};

class TSampleParameters {
 public:
  MY_TArrayAsVector<TParameter> paramArray;
  int numSimpleParams = 0;
  MY_TArrayAsVector<TRules> ruleArray;
  double rescalingFactor = 1.0;

  TSampleParameters();
  TSampleParameters(TSampleParameters const& other);
  TSampleParameters& operator=(TSampleParameters const& other);

  // Reads a prior file; 1 on success, 0 on failure (message on the error stream).
  int readEstimationFile(my_string const& fileName);
  // The same from an open stream; fileName only names the file in messages.
  int readEstimationStream(std::istream& in, my_string const& fileName);

  void write(std::ostream& os) const;
  void writeParameters(int index, std::ostream& os, bool header, bool lhoodColumns) const;
  void writeAllParameters(std::ostream& os, bool header, bool lhoodColumns) const;
  void setInitialParameterRanges(double const& factor);
  void resetParamValues(TSampleParameters const& other);
  // Mean over the simple parameters of |a - b| / ((|a| + |b|) / 2) against
  // another set of the same layout; a pair whose mean is 0 adds 0.
  double relativeDifference(TSampleParameters const& other) const;

  void computeComplexParameters();
  bool drawParameterValues(TDemeCollection* demes);
  bool drawParameterValues(GlobalRandom& generator);
  void defineSearchRangesBoundariesAccordingToRules();

  int numParams() const { return paramArray.numElems; }
  // Index of the parameter with exactly this name, -1 when none.
  int findParam(std::string const& name) const;

 private:
  bool drawOnce(GlobalRandom& generator);
  bool rulesHold() const;
  std::string brokenRulesText() const;
};

// Index of the parameter whose name is exactly the given text, -1 when none.
int getParamId(my_string const& text, MY_TArrayAsVector<TParameter> const& params);

// The text of a parameter value: integers from a 64-bit truncation, others "%.8e".
// Throws TException when an integer value is not finite or out of the 64-bit range.
std::string paramValueText(TParameter const& p);

// One row of parameter values as text, in column order.
class TParamValues {
 public:
  MY_TArrayAsVector<my_string> values;

  TParamValues();
  explicit TParamValues(int numColumns);  // numColumns empty texts
  explicit TParamValues(MY_TArrayAsVector<TParameter> const& params);  // may throw TException
  TParamValues(TParamValues const& other);
  TParamValues& operator=(TParamValues const& other);

  int size() const { return values.numElems; }
  void add(std::string const& text);
};

// A copy of a row with room for its values only (a copy of it is as tight): a
// definition file may hold hundreds of thousands of rows, which stay in memory
// for the whole process.
std::unique_ptr<TParamValues> tightCopy(TParamValues const& row);

// Evaluates a term list such as "x=a*b+c" over the first n names (see definition).
my_string computeParamValue(MY_TArrayAsVector<my_string> const& names, int index,
                            my_string* valueTexts, int n);
