// Least-squares polynomial fit of a likelihood profile and its grid maximum.
#include "estimation/polynomial.h"

#include <cmath>

#include "estimation/brentMinimization.h"
#include "estimation/paramText.h"

using paramtext::format;
using paramtext::raise;

TPolyMat::TPolyMat(const Eigen::VectorXd& x, int degree_) : degree(degree_) {
  if (degree < 0) raise(format("A polynomial cannot have the negative degree %d", degree));
  matrix.resize(x.size(), degree + 1);
  for (Eigen::Index i = 0; i < x.size(); ++i) {
    matrix(i, 0) = 1.0;
    for (int k = 1; k <= degree; ++k) matrix(i, k) = matrix(i, k - 1) * x(i);
  }
}

TPolyFunc::TPolyFunc(const Eigen::VectorXd& coefficients, const int& degree_, bool)
    : degree(degree_), coeffs(coefficients) {
  if (degree < 0) raise(format("A polynomial cannot have the negative degree %d", degree));
  if (coeffs.size() < degree + 1)
    raise(format("A polynomial of degree %d needs %d coefficients, not %d", degree, degree + 1,
                 static_cast<int>(coeffs.size())));
}

double TPolyFunc::operator[](const double& t) const {
  double sum = coeffs(0);
  double power = 1.0;
  for (int k = 1; k <= degree; ++k) {
    power *= t;
    sum += coeffs(k) * power;
  }
  return sum;
}

TProfileMax TPolyFunc::locateMax(const double& lo, const double& hi, int n,
                                 SParamLhoodArrays& out) const {
  if (n < 2) raise(format("The maximum of a polynomial needs a grid of at least 2 points, not %d", n));
  out.values.Reallocate(n);
  out.lhoods.Reallocate(n);
  const double step = (hi - lo) / (n - 1);
  TProfileMax best;
  double t = lo;
  for (int k = 0; k < n; ++k, t += step) {
    const double value = (*this)[t];
    out.values.Add(std::pow(10.0, t));
    out.lhoods.Add(value);
    if (k == 0 || value > best.lhood) {
      best.value = std::pow(10.0, t);
      best.lhood = value;
    }
  }
  return best;
}

TLhoodProfile::TLhoodProfile(const SParamLhoodArrays& profile) {
  const int n = profile.values.numElems;
  if (profile.lhoods.numElems < n)
    raise(format("A likelihood profile of %d values has only %d likelihoods", n,
                 profile.lhoods.numElems));
  values.resize(n);
  lhoods.resize(n);
  for (int i = 0; i < n; ++i) {
    values(i) = profile.values[i];
    lhoods(i) = profile.lhoods[i];
  }
}

TProfileMax TLhoodProfile::estimateLhoodProfile(int n, bool, int degree,
                                                SParamLhoodArrays& out) const {
  if (values.size() == 0) raise("A likelihood profile without values cannot be fitted");
  Eigen::VectorXd logs(values.size());
  for (Eigen::Index i = 0; i < values.size(); ++i) {
    if (!(values(i) > 0.0) || !std::isfinite(values(i)))
      raise(format("The parameter value %g of a likelihood profile is not a positive number",
                   values(i)));
    if (!std::isfinite(lhoods(i)))
      raise(format("The likelihood at the parameter value %g is not a finite number", values(i)));
    logs(i) = std::log10(values(i));
  }
  const TPolyMat vandermonde(logs, degree);
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(vandermonde.matrix,
                                              Eigen::ComputeThinU | Eigen::ComputeThinV);
  const Eigen::VectorXd c = svd.solve(lhoods);
  const TPolyFunc poly(c, degree);
  return poly.locateMax(logs(0), logs(logs.size() - 1), n, out);
}
