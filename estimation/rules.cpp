// Rules between parameters: testing them, drawing parameter sets that obey them,
// and the search bounds they impose on the estimation.
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "engine/deme.h"
#include "estimation/paramText.h"
#include "estimation/parameters.h"
#include "support/UniqueRandom.h"

namespace {

int const MAX_DRAW_ATTEMPTS = 100;

double termValue(int id, double number, MY_TArrayAsVector<TParameter> const& params) {
  return id >= 0 ? params[id].value : number;
}

// An integer value must convert to a 64-bit integer when its text is written.
bool usableValue(TParameter const& p) {
  if (!std::isfinite(p.value)) return false;
  return !p.isInt || std::fabs(p.value) < 9.2233720368547758e18;
}

// Keeps the tighter of a new bound and the one already set by another rule.
void offerLower(TParameter& p, double bound, bool fromRule, bool& seen) {
  if (seen && !(bound > p.ruleLowerBound)) return;
  seen = true;
  p.ruleLowerBound = bound;
  p.lowerFromRule = fromRule;
}

void offerUpper(TParameter& p, double bound, bool fromRule, bool& seen) {
  if (seen && !(bound < p.ruleUpperBound)) return;
  seen = true;
  p.ruleUpperBound = bound;
  p.upperFromRule = fromRule;
}

}  // namespace

bool TRules::isOkay(MY_TArrayAsVector<TParameter> const& params) const {
  double l = termValue(leftParamId, leftValue, params);
  double r = termValue(rightParamId, rightValue, params);
  switch (ruleType) {
    case 0: return l > r;
    case 1: return l >= r;
    case 2: return l < r;
    case 3: return l <= r;
    default:
      paramtext::raise(paramtext::format("Rule %s %s %s has an unknown comparison type %d",
                                         leftTerm.c_str(), comparison.c_str(), rightTerm.c_str(),
                                         ruleType));
  }
}

void TParameter::generateRandomValue(GlobalRandom& generator) {
  if (min != max && !std::isnan(min) && !std::isnan(max)) {
    double u = generator.takeUniform();
    if (distrType == 1)
      value = std::pow(10.0, std::log10(min) + u * (std::log10(max) - std::log10(min)));
    else
      value = min + u * range;
  } else {
    value = min;
  }
  if (isInt) value = std::trunc(value);
}

void TParameter::generateRandomValue(TDemeCollection* demes) {
  generateRandomValue(*demes->randomGenerator);
}

bool TSampleParameters::rulesHold() const {
  for (int k = 0; k < ruleArray.numElems; ++k)
    if (!ruleArray[k].isOkay(paramArray)) return false;
  return true;
}

// One attempt: every parameter in array order. A complex value that is not a finite
// number (or an integer too large to write) makes the attempt fail.
bool TSampleParameters::drawOnce(GlobalRandom& generator) {
  bool usable = true;
  for (int i = 0; i < paramArray.numElems; ++i) {
    TParameter& p = paramArray[i];
    if (p.isComplex) {
      if (p.equation.is_null()) {
        std::cerr << "Equation for parameter " << p.name << " is empty " << std::endl;
        continue;
      }
      p.calcEquation(paramArray);
    } else {
      p.generateRandomValue(generator);
    }
    if (!usableValue(p)) usable = false;
  }
  return usable && rulesHold();
}

// The rules the current values break, as written in the prior file (blanks
// removed), or why the attempt failed when every rule holds.
std::string TSampleParameters::brokenRulesText() const {
  std::string text;
  for (int k = 0; k < ruleArray.numElems; ++k) {
    TRules const& r = ruleArray[k];
    if (r.isOkay(paramArray)) continue;
    text += text.empty() ? "" : ", ";
    text += std::string(r.leftTerm.c_str()) + r.comparison.c_str() + r.rightTerm.c_str();
  }
  if (!text.empty()) return "rule(s) failed on the last attempt: " + text;
  for (int i = 0; i < paramArray.numElems; ++i)
    if (!usableValue(paramArray[i]))
      return paramtext::format("every rule held on the last attempt, but %s = %g is not a usable "
                               "value", paramArray[i].name.c_str(), paramArray[i].value);
  return "every rule held on the last attempt";
}

bool TSampleParameters::drawParameterValues(GlobalRandom& generator) {
  for (int attempt = 0; attempt < MAX_DRAW_ATTEMPTS; ++attempt)
    if (drawOnce(generator)) return true;
  std::cerr << "Impossible to obey rules after 100 attempts,  stopping computations ("
            << brokenRulesText() << ")" << std::endl;
  return false;
}

bool TSampleParameters::drawParameterValues(TDemeCollection* demes) {
  return drawParameterValues(*demes->randomGenerator);
}

// Bounds from every rule naming a parameter; a parameter named by several rules
// keeps the tightest lower and upper bound of all of them.
void TSampleParameters::defineSearchRangesBoundariesAccordingToRules() {
  int n = paramArray.numElems;
  std::vector<char> lowerSeen(size_t(n), 0), upperSeen(size_t(n), 0);
  for (int i = 0; i < n; ++i) {
    paramArray[i].lowerFromRule = paramArray[i].upperFromRule = false;
    paramArray[i].ruleLowerBound = paramArray[i].ruleUpperBound = 0;
  }
  auto lower = [&](int id, double bound) {
    TParameter& p = paramArray[id];
    bool seen = lowerSeen[size_t(id)];
    if (p.searchMin > bound) offerLower(p, p.searchMin, false, seen);
    else offerLower(p, bound, true, seen);
    lowerSeen[size_t(id)] = seen;
  };
  auto upper = [&](int id, double bound, bool capped) {
    TParameter& p = paramArray[id];
    bool seen = upperSeen[size_t(id)];
    if (capped && p.isBounded && bound > p.searchMax) offerUpper(p, p.searchMax, false, seen);
    else offerUpper(p, bound, true, seen);
    upperSeen[size_t(id)] = seen;
  };
  for (int k = 0; k < ruleArray.numElems; ++k) {
    TRules const& r = ruleArray[k];
    bool greater = r.ruleType == 0 || r.ruleType == 1;
    // Rewrite as big > small.
    int big = greater ? r.leftParamId : r.rightParamId;
    int small = greater ? r.rightParamId : r.leftParamId;
    double bigNumber = greater ? r.leftValue : r.rightValue;
    double smallNumber = greater ? r.rightValue : r.leftValue;
    if (big >= 0 && small >= 0) {
      lower(big, paramArray[small].value);
      upper(small, paramArray[big].value, true);
    } else if (big >= 0) {
      lower(big, smallNumber);
    } else if (small >= 0) {
      // "A < c" has no cap for bounded parameters; "c > B" has.
      upper(small, bigNumber, greater);
    }
  }
}
