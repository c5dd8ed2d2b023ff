// Copies of a parameter set, its echo, and the rows and value texts of its parameters.
#include <cmath>
#include <iomanip>
#include <iostream>

#include "estimation/paramText.h"
#include "estimation/parameters.h"
#include "model/simSettings.h"

namespace {

// Integers are written from a 64-bit truncation; this range converts without overflow.
bool fitsInt64(double v) { return v > -9.2233720368547758e18 && v < 9.2233720368547758e18; }

void writeValue(std::ostream& os, TParameter const& p) {
  if (p.isInt && fitsInt64(p.value)) {
    os << static_cast<long long>(p.value);
    return;
  }
  if (p.value > 10000 || !(p.value >= 0.001))
    os << std::scientific << std::setprecision(5) << p.value;
  else
    os << std::fixed << std::setprecision(7) << p.value;
}

}  // namespace

TSampleParameters::TSampleParameters() : paramArray(0, 10), ruleArray(0, 3) {}

TSampleParameters::TSampleParameters(TSampleParameters const& other)
    : paramArray(0, 10), ruleArray(0, 3) {
  *this = other;
}

TSampleParameters& TSampleParameters::operator=(TSampleParameters const& other) {
  if (this == &other) return *this;
  numSimpleParams = other.numSimpleParams;
  paramArray.numElems = 0;
  ruleArray.numElems = 0;
  for (int i = 0; i < other.paramArray.numElems; ++i) paramArray.Add(other.paramArray[i]);
  for (int i = 0; i < other.ruleArray.numElems; ++i) ruleArray.Add(other.ruleArray[i]);
  return *this;
}

void TParameter::write(std::ostream& os) const {
  os << isInt << "\t" << name << "\t";
  if (isComplex) {
    os << "=\t" << equation << (output ? "\toutput" : "\thide") << "\t(complex parameter)";
    return;
  }
  os << (distrType == 1 ? "log10unif" : "unif") << "\t" << min << "\t" << max
     << (output ? "\toutput" : "\thide") << "\t(simple parameter)";
}

std::ostream& operator<<(std::ostream& os, TParameter const& p) {
  if (p.isInt && fitsInt64(p.value)) return os << static_cast<long long>(p.value);
  return os << std::scientific << p.value;
}

void TSampleParameters::write(std::ostream& os) const {
  if (ruleArray.numElems > 0) {
    os << "[RULES]\n";
    for (int k = 0; k < ruleArray.numElems; ++k) {
      TRules const& r = ruleArray[k];
      os << "Rule " << k + 1 << ":\t" << r.leftTerm << " " << r.comparison << " " << r.rightTerm
         << "\n";
    }
  } else {
    os << "No rules defined\n";
  }
  if (paramArray.numElems == 0) {
    os << "No parameters defined\n";
    return;
  }
  os << "[PARAMETERS]\n";
  for (int k = 0; k < paramArray.numElems; ++k) {
    os << "Par. " << k + 1 << ":\t";
    paramArray[k].write(os);
    os << "\n";
  }
}

void TSampleParameters::writeParameters(int index, std::ostream& os, bool header,
                                        bool lhoodColumns) const {
  if (index >= 0) {
    if (header) os << "Param#\t";
    else os << index << "\t";
  }
  bool first = true;
  for (int i = 0; i < paramArray.numElems; ++i) {
    TParameter const& p = paramArray[i];
    if (!p.output) continue;
    if (!first) os << "\t";
    first = false;
    if (header) os << p.name;
    else writeValue(os, p);
  }
  if (TSimSettings::isReferenceParameters) {
    if (header) os << "\tRescaling_Factor";
    else {
      os << "\t" << rescalingFactor;
      return;
    }
  }
  if (header && lhoodColumns) os << "\tMaxEstLhood\tMaxObsLhood";
}

void TSampleParameters::writeAllParameters(std::ostream& os, bool header, bool lhoodColumns) const {
  for (int i = 0; i < paramArray.numElems; ++i) {
    if (i > 0) os << "\t";
    if (header) os << paramArray[i].name;
    else writeValue(os, paramArray[i]);
  }
  if (header && lhoodColumns) os << "\tMaxEstLhood\tMaxObsLhood";
}

void TSampleParameters::setInitialParameterRanges(double const& factor) {
  for (int i = 0; i < paramArray.numElems; ++i) {
    TParameter& p = paramArray[i];
    p.searchSpan = p.distrType == 1 ? factor * (std::log10(p.max) - std::log10(p.min))
                                    : factor * p.range;
  }
}

void TSampleParameters::resetParamValues(TSampleParameters const& other) {
  for (int i = 0; i < paramArray.numElems && i < other.paramArray.numElems; ++i)
    paramArray[i].value = other.paramArray[i].value;
}

std::string paramValueText(TParameter const& p) {
  if (!p.isInt) return paramtext::format("%.8e", p.value);
  if (!fitsInt64(p.value))
    paramtext::raise(paramtext::format("Value %g of integer parameter %s cannot be written as a "
                                       "64-bit integer", p.value, p.name.c_str()));
  return paramtext::format("%lld", static_cast<long long>(p.value));
}

TParamValues::TParamValues() : values(0, 10) {}

TParamValues::TParamValues(int numColumns) : values(numColumns > 0 ? numColumns - 1 : 0, 10) {
  for (int i = 0; i < numColumns; ++i) values.Add(my_string());
}

TParamValues::TParamValues(MY_TArrayAsVector<TParameter> const& params)
    : values(params.numElems > 0 ? params.numElems - 1 : 0, 10) {
  for (int i = 0; i < params.numElems; ++i) add(paramValueText(params[i]));
}

TParamValues::TParamValues(TParamValues const& other) : values(0, 10) { values = other.values; }

TParamValues& TParamValues::operator=(TParamValues const& other) {
  if (this != &other) values = other.values;
  return *this;
}

void TParamValues::add(std::string const& text) { values.Add(my_string(text.c_str())); }

std::unique_ptr<TParamValues> tightCopy(TParamValues const& row) {
  auto copy = std::make_unique<TParamValues>(row.size());
  for (int i = 0; i < row.size(); ++i) copy->values[i] = row.values[i];
  return copy;
}
