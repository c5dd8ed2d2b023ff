// Reader of parameter prior files (.est): simple parameters, rules and complex
// parameters, line by line, with a message naming the file, the line and the fault.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "estimation/paramText.h"
#include "estimation/parameters.h"
#include "model/simSettings.h"
#include "support/TException.h"
#include "support/globals.h"

using paramtext::format;
using paramtext::raise;

namespace {

std::string lineTag(int lineNumber) { return format("on line %d", lineNumber); }

// isInt must be the integer 0 or 1; anything else is reported on the error stream and thrown.
int readIsInt(std::string const& field, int lineNumber, char const* exceptionText) {
  char* end = nullptr;
  long v = std::strtol(field.c_str(), &end, 10);
  if (*end != '\0' || (v != 0 && v != 1)) {
    std::cerr << "Incorrect value for isInt in parameter definition on line " << lineNumber
              << std::endl;
    raise(format("%s(\"%s\" %s; it must be 0 or 1)", exceptionText, field.c_str(),
                 lineTag(lineNumber).c_str()));
  }
  return int(v);
}

double readBound(std::string const& field, char const* which, int lineNumber) {
  double v = 0;
  if (!paramtext::parseNumber(field, v))
    raise(format("Incorrect value for %s in parameter definition file %s: \"%s\" is not a finite "
                 "number", which, lineTag(lineNumber).c_str(), field.c_str()));
  return v;
}

void checkName(std::string const& name, int lineNumber) {
  std::string problem = paramtext::nameProblem(name);
  if (!problem.empty())
    raise(format("Invalid parameter name \"%s\" %s: %s (names may not contain blanks nor any "
                 "of + * / - %% ? : < > ! = ( ))", name.c_str(), lineTag(lineNumber).c_str(),
                 problem.c_str()));
}

bool holdsKeyword(std::string const& lowerField) {
  static char const* const keywords[] = {"output", "hide", "reference", "bounded"};
  for (char const* k : keywords)
    if (lowerField.find(k) != std::string::npos) return true;
  return false;
}

enum class Section { NONE, PARAMETERS, RULES, COMPLEX };

// A section header on the line that opens a later section than the current one.
Section headerOf(std::string const& line, Section current) {
  if (line.find("[COMPLEX PARAMETERS]") != std::string::npos && current < Section::COMPLEX)
    return Section::COMPLEX;
  if (line.find("[RULES]") != std::string::npos && current < Section::RULES) return Section::RULES;
  if (line.find("[PARAMETERS]") != std::string::npos && current < Section::PARAMETERS)
    return Section::PARAMETERS;
  return Section::NONE;
}

}  // namespace

bool TParameter::readSimpleParameter(my_string const& lineText, int lineNumber) {
  std::string line = lineText.c_str();
  if (paramtext::isBlankLine(line)) return false;
  std::string lower = paramtext::toLower(line);
  bool hasOutput = lower.find("output") != std::string::npos;
  output = hasOutput || lower.find("hide") == std::string::npos;
  isReference = lower.find("reference") != std::string::npos;
  if (isReference) TSimSettings::isReferenceParameters = true;
  isBounded = lower.find("bounded") != std::string::npos;

  std::vector<std::string> fields = paramtext::splitFields(line);
  if (fields.size() < 5)
    raise(format("Parameter definition %s has %d field(s); it needs isInt, name, distribution, "
                 "minimum and maximum", lineTag(lineNumber).c_str(), int(fields.size())));
  isInt = readIsInt(fields[0], lineNumber, "Incorrect value for parameter isInt ");
  checkName(fields[1], lineNumber);
  name = fields[1].c_str();
  std::string distr = paramtext::toLower(fields[2]);
  if (distr.find("logunif") != std::string::npos) {
    distrType = 1;
  } else if (distr.find("unif") != std::string::npos) {
    distrType = 0;
  } else {
    std::cerr << "Incorrect value for distrType in parameter definition file on line "
              << lineNumber << std::endl;
    raise(format("Incorrect value for distrType in parameter definition file (\"%s\" %s; use "
                 "unif or logunif)", fields[2].c_str(), lineTag(lineNumber).c_str()));
  }
  min = readBound(fields[3], "min", lineNumber);
  max = readBound(fields[4], "max", lineNumber);
  if (max < min) std::swap(min, max);
  if (distrType == 1 && !(min > 0))
    raise(format("Log-uniform prior of parameter %s %s needs a minimum above 0", name.c_str(),
                 lineTag(lineNumber).c_str()));
  range = distrType == 1 ? std::log10(max) - std::log10(min) : max - min;
  for (size_t i = 5; i < fields.size(); ++i)
    if (!holdsKeyword(paramtext::toLower(fields[i])))
      raise(format("Unknown field \"%s\" in parameter definition %s (after the five fields only "
                   "output, hide, reference or bounded may follow)", fields[i].c_str(),
                   lineTag(lineNumber).c_str()));
  return true;
}

bool TParameter::readComplexParameter(my_string& lineText,
                                      MY_TArrayAsVector<TParameter> const& params,
                                      int lineNumber) {
  std::string line = lineText.c_str();
  if (paramtext::isBlankLine(line)) return false;
  // The keywords are whole fields, so a name or an equation holding "hide" stays intact.
  std::vector<std::string> all = paramtext::splitFields(line), fields;
  bool hasOutput = false, hasHide = false;
  for (std::string const& f : all) {
    std::string lower = paramtext::toLower(f);
    if (lower == "output") hasOutput = true;
    else if (lower == "hide") hasHide = true;
    else fields.push_back(f);
  }
  output = hasOutput || !hasHide;
  if (fields.size() < 1) raise(format("Complex parameter definition %s has no fields",
                                      lineTag(lineNumber).c_str()));
  isInt = readIsInt(fields[0], lineNumber, "Incorrect value for isInt in parameter definition file ");
  if (fields.size() < 2)
    raise(format("Complex parameter definition %s has no name", lineTag(lineNumber).c_str()));
  checkName(fields[1], lineNumber);
  name = fields[1].c_str();
  if (fields.size() < 3 || fields[2][0] != '=') {
    std::cerr << "Missing \"=\" assignement of complex parameter on line " << lineNumber
              << std::endl;
    raise(format("Missing \"=\" assignement of complex parameter  %s (write: isInt name = "
                 "equation)", lineTag(lineNumber).c_str()));
  }
  std::string eq = fields[2].substr(1);
  for (size_t i = 3; i < fields.size(); ++i) eq += fields[i];
  equation = eq.c_str();
  isComplex = true;
  try {
    dissectEquation(params);
  } catch (TException& e) {
    raise(format("%s %s", e.message.c_str(), lineTag(lineNumber).c_str()));
  }
  if (!hasKnownParam)
    raise(format("Equation %s does not involve any previously defined parameter. Aborting "
                 "computations (%s)", equation.c_str(), lineTag(lineNumber).c_str()));
  return true;
}

int TRules::read(my_string& lineText, MY_TArrayAsVector<TParameter> const& params,
                 int lineNumber) {
  std::string text = paramtext::removeBlanks(paramtext::cutComment(lineText.c_str()));
  lineText = text.c_str();
  if (text.empty()) return 0;
  static char const* const comparisons[] = {">=", ">", "<=", "<"};
  static int const types[] = {1, 0, 3, 2};
  size_t pos = std::string::npos;
  int k = 0;
  for (; k < 4; ++k) {
    pos = text.find(comparisons[k]);
    if (pos != std::string::npos) break;
  }
  if (pos == std::string::npos) {
    std::cerr << "Parameter definition rule ill-defined on line " << lineNumber << std::endl;
    raise(format("Parameter definition rule ill-defined on line %i", lineNumber));
  }
  ruleType = types[k];
  comparison = comparisons[k];
  std::string left = text.substr(0, pos), right = text.substr(pos + std::string(comparisons[k]).size());
  leftTerm = left.c_str();
  rightTerm = right.c_str();
  leftParamId = getParamId(leftTerm, params);
  rightParamId = getParamId(rightTerm, params);
  struct Side { std::string const& term; int id; double& value; char const* word; };
  Side sides[] = {{left, leftParamId, leftValue, "left"}, {right, rightParamId, rightValue, "right"}};
  for (Side& s : sides) {
    if (s.id >= 0) continue;
    if (!paramtext::parseNumber(s.term, s.value)) {
      std::cerr << "Problem reading " << s.word << " term of parameter definition rule listed on line "
                << lineNumber << std::endl;
      raise(format("Problem reading %s term of parameter definition rule listed on line %i: %s",
                   s.word, lineNumber,
                   s.term.empty() ? "the term is missing"
                                  : ("unknown parameter \"" + s.term + "\"").c_str()));
    }
  }
  if (leftParamId < 0 && rightParamId < 0)
    raise(format("Rule \"%s\" does not contain any previously defined parameter (%s)",
                 text.c_str(), lineTag(lineNumber).c_str()));
  return 1;
}

int TSampleParameters::readEstimationFile(my_string const& fileName) {
  if (consoleOutput) std::cout << "Reading parameter settings file " << fileName << "...\n";
  std::ifstream in(fileName.c_str(), std::ios::binary);
  if (!in) {
    std::cerr << "Parameter settings file \"" << fileName
              << "\" cannot be found. Aborting procedure." << std::endl;
    return 0;
  }
  if (!readEstimationStream(in, fileName)) return 0;
  if (consoleOutput) std::cout << "done reading parameter settings file!\n";
  return 1;
}

int TSampleParameters::readEstimationStream(std::istream& in, my_string const& fileName) {
  Section section = Section::NONE;
  int lineNumber = 0;
  std::string line;
  try {
    while (std::getline(in, line)) {
      ++lineNumber;
      Section header = headerOf(line, section);
      if (header != Section::NONE) {
        section = header;
        continue;
      }
      if (section == Section::PARAMETERS || section == Section::COMPLEX) {
        TParameter p;
        my_string text(paramtext::cutComment(line).c_str());
        bool read = section == Section::PARAMETERS
                        ? p.readSimpleParameter(text, lineNumber)
                        : p.readComplexParameter(text, paramArray, lineNumber);
        if (!read) continue;
        if (findParam(p.name.c_str()) >= 0)
          raise(format("Parameter name \"%s\" on line %d is already used by another parameter",
                       p.name.c_str(), lineNumber));
        paramArray.Add(p);
        if (section == Section::PARAMETERS) ++numSimpleParams;
      } else if (section == Section::RULES) {
        TRules r;
        my_string text(line.c_str());
        if (r.read(text, paramArray, lineNumber)) ruleArray.Add(r);
      }
    }
  } catch (TException& e) {
    std::cerr << "\nProblem reading the parameter settings file \"" << fileName << "\"\n"
              << "Error message : " << e.message << "\n"
              << "...exiting" << std::endl;
    return 0;
  }
  if (paramArray.numElems == 0) {
    // A missing or misspelled section header would otherwise leave nothing to draw.
    std::cerr << "\nProblem reading the parameter settings file \"" << fileName << "\"\n"
              << "Error message : the file defines no parameter (it needs a [PARAMETERS] "
                 "section with at least one parameter line)\n"
              << "...exiting" << std::endl;
    return 0;
  }
  return 1;
}

int TSampleParameters::findParam(std::string const& paramName) const {
  for (int i = 0; i < paramArray.numElems; ++i)
    if (paramName == paramArray[i].name.c_str()) return i;
  return -1;
}

int getParamId(my_string const& text, MY_TArrayAsVector<TParameter> const& params) {
  for (int i = 0; i < params.numElems; ++i)
    if (params[i].name == text) return i;
  return -1;
}
