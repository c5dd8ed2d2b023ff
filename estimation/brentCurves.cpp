// Helpers around the searches: the relative change of a parameter set, the
// likelihood profile of one parameter on a grid, the vertex of a bracketing
// parabola and the narrowing of a bracket. Degenerate input is refused.
#include <cmath>
#include <cstdio>
#include <iostream>

#include "estimation/brentMinimization.h"
#include "estimation/paramText.h"
#include "model/simSettings.h"

double TSampleParameters::relativeDifference(TSampleParameters const& other) const {
  const int n = numSimpleParams;
  if (n <= 0) return 0.0;
  double sum = 0.0;
  for (int i = 0; i < n && i < other.paramArray.numElems && i < paramArray.numElems; ++i) {
    const double a = paramArray[i].value, b = other.paramArray[i].value;
    const double mean = (std::fabs(a) + std::fabs(b)) * 0.5;
    if (mean != 0.0) sum += std::fabs(a - b) / mean;
  }
  return sum / n;
}

SParamLhoodArrays TBrentMinimization::computeLogCurve(int n, const double& lo, const double& hi,
                                                      double& minL, double& maxL,
                                                      double& argMax) {
  if (n < 2) paramtext::raise(paramtext::format("A likelihood curve needs at least 2 points, not %d", n));
  if (lo == hi) paramtext::raise("A likelihood curve needs an interval of non-zero width");
  if (logScale && !(lo > 0.0 && hi > 0.0))
    paramtext::raise("A likelihood curve in log10 units needs positive ends");
  if (curParamIdx < 0 || !curParams || curParamIdx >= curParams->numParams())
    paramtext::raise("A likelihood curve needs a parameter to vary");
  SParamLhoodArrays out;
  out.values.Reallocate(n);
  out.lhoods.Reallocate(n);
  const double from = logScale ? std::log10(lo) : lo;
  const double step = ((logScale ? std::log10(hi) : hi) - from) / (n - 1);
  for (int k = 0; k < n; ++k) {
    const double t = from + k * step;
    const double v = logScale ? std::pow(10.0, t) : t;
    const double L = computeLhoodForParameterNew(curParamIdx, v);
    if (!std::isfinite(L)) paramtext::raise("A point of the likelihood curve failed: " + failure);
    out.values.Add(v);
    out.lhoods.Add(L);
    if (k == 0 || L < minL) minL = L;
    if (k == 0 || L > maxL) {
      maxL = L;
      argMax = v;
    }
  }
  return out;
}

void TBrentMinimization::printLogCurve(const SParamLhoodArrays& a, const SParamLhoodArrays& b,
                                       std::ostream& os) const {
  os << curParamIdx << "\t"
     << (curParams && curParamIdx >= 0 ? curParams->paramArray[curParamIdx].name : my_string())
     << "\t" << a.values.numElems << "\t" << b.values.numElems;
  for (const SParamLhoodArrays* arrays : {&a, &b}) {
    for (int i = 0; i < arrays->values.numElems; ++i) os << "\t" << arrays->values[i];
    for (int i = 0; i < arrays->lhoods.numElems; ++i) {
      char text[64];
      std::snprintf(text, sizeof text, "%.3f", arrays->lhoods[i]);
      os << "\t" << text;
    }
  }
  os << "\n";
}

double minBracketedQuadratic(const triplet& t) {
  const double d10 = t.x1 - t.x0, d12 = t.x1 - t.x2;
  const double denominator = d10 * (t.f1 - t.f2) - d12 * (t.f1 - t.f0);
  if (denominator == 0.0 || !std::isfinite(denominator))
    paramtext::raise("No parabola passes through the three points (collinear or coincident)");
  const double numerator = d10 * d10 * (t.f1 - t.f2) - d12 * d12 * (t.f1 - t.f0);
  return t.x1 - 0.5 * numerator / denominator;
}

void getNewSearchBoundaries(const double& x, const double& a, const double& b, const double& c,
                            const double& d, double& lo, double& hi, bool logScale, bool flag) {
  if (a == b) paramtext::raise("The bracket of a search has no width");
  const double r = (x - a) / (b - a);
  auto g = [&](double y) {
    const double v = 0.6180339887498547 * (y + 0.6180339887499999 * x);
    return logScale ? std::pow(10.0, v) : v;
  };
  if (r < 0.1) {
    if (c != lo) lo = c;
    else hi = g(b);
  } else if (r <= 0.9) {
    if (b - x < x - a) lo = g(a);
    else hi = g(b);
  } else if (d > hi) {
    hi = d;
  } else if (flag) {
    lo = g(a);
  } else {
    const double wider = b + 0.25 * (b - a);
    hi = logScale ? std::pow(10.0, wider) : wider;
    lo = g(a);
  }
}
