// Brent's one-dimensional minimisation: parabolic steps through the three best
// points where they behave, golden sections otherwise.
#include <algorithm>
#include <cmath>

#include "estimation/brentMinimization.h"

namespace {

constexpr double CGOLD = 0.381966;

double withSignOf(double magnitude, double sign) {
  return sign >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// The state of one search: bracket [a, b], best point x, second best w,
// previous w in v, the last step d and the one before it in e.
struct TBracket {
  double a, b, x, w, v, fx, fw, fv;
  double d = 0.0, e = 0.0;

  bool converged(double tol, double& tol1, double& xm) const {
    xm = 0.5 * (a + b);
    tol1 = tol * std::fabs(x) + BRENT_ZEPS;
    return std::fabs(x - xm) <= 2.0 * tol1 - 0.5 * (b - a);
  }

  // The next point to evaluate.
  double nextPoint(double tol1, double xm) {
    const double tol2 = 2.0 * tol1;
    bool golden = true;
    if (std::fabs(e) > tol1) {
      const double r = (x - w) * (fx - fv);
      double q = (x - v) * (fx - fw);
      double p = (x - v) * q - (x - w) * r;
      q = 2.0 * (q - r);
      if (q > 0.0) p = -p;
      q = std::fabs(q);
      const double etemp = e;
      e = d;
      if (!(std::fabs(p) >= std::fabs(0.5 * q * etemp) || p <= q * (a - x) || p >= q * (b - x))) {
        d = p / q;
        const double u = x + d;
        if (u - a < tol2 || b - u < tol2) d = withSignOf(tol1, xm - x);
        golden = false;
      }
    }
    if (golden) {
      e = x >= xm ? a - x : b - x;
      d = CGOLD * e;
    }
    return std::fabs(d) >= tol1 ? x + d : x + withSignOf(tol1, d);
  }

  void accept(double u, double fu) {
    if (fu <= fx) {
      if (u >= x) a = x;
      else b = x;
      v = w, w = x, x = u;
      fv = fw, fw = fx, fx = fu;
      return;
    }
    if (u < x) a = u;
    else b = u;
    if (fu <= fw || w == x) {
      v = w, w = u;
      fv = fw, fw = fu;
    } else if (fu <= fv || v == x || v == w) {
      v = u;
      fv = fu;
    }
  }
};

}  // namespace

TBrentOutcome brentSearch(const std::function<double(double)>& f, double a, double b, double x0,
                          double tol, int maxIterations) {
  TBrentOutcome out;
  const double lo = std::min(a, b), hi = std::max(a, b);
  const double start = std::min(std::max(x0, lo), hi);
  const double f0 = f(start);
  out.numEvaluations = 1;
  out.x = start;
  out.fx = f0;
  if (!std::isfinite(f0)) {
    out.end = BrentEnd::FAILED_EVALUATION;
    return out;
  }
  TBracket s{lo, hi, start, start, start, f0, f0, f0};
  double tol1 = 0, xm = 0;
  for (int iter = 0; iter < maxIterations; ++iter) {
    if (s.converged(tol, tol1, xm)) break;
    const double u = s.nextPoint(tol1, xm);
    const double fu = f(u);
    ++out.numEvaluations;
    if (!std::isfinite(fu)) {
      out.end = BrentEnd::FAILED_EVALUATION;
      out.x = s.x;
      out.fx = s.fx;
      return out;
    }
    s.accept(u, fu);
  }
  out.x = s.x;
  out.fx = s.fx;
  // The test once more after the last evaluation allowed.
  out.end = s.converged(tol, tol1, xm) ? BrentEnd::CONVERGED : BrentEnd::TOO_MANY_ITERATIONS;
  return out;
}
