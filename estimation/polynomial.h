#pragma once
// Smoothing of a likelihood profile of one parameter: a least-squares
// polynomial of the likelihood in log10 of the parameter, and the maximum of
// that polynomial on a grid. Input outside the limits of the fit (values that
// are not positive, likelihoods that are not finite, arrays of unequal length,
// too few coefficients or grid points, negative degrees) is refused with a
// TException naming the problem.
#include <Eigen/Dense>

struct SParamLhoodArrays;

// The Vandermonde matrix of x: entry (i, k) = x_i^k, k = 0 .. degree.
class TPolyMat {
 public:
  int degree = 0;
  Eigen::MatrixXd matrix;

  TPolyMat(const Eigen::VectorXd& x, int degree);
};

// A grid point of a profile and its value.
struct TProfileMax {
  double value = 0;  // parameter value (10^t)
  double lhood = 0;  // polynomial value at t
};

// c_0 + c_1 t + ... + c_degree t^degree.
class TPolyFunc {
 public:
  int degree = 0;
  Eigen::VectorXd coeffs;

  TPolyFunc(const Eigen::VectorXd& coefficients, const int& degree, bool unused = false);

  double operator[](const double& t) const;
  // n grid points from t = lo to t = hi (log10 units) into out (values 10^t,
  // polynomial values); the first largest value wins.
  TProfileMax locateMax(const double& lo, const double& hi, int n, SParamLhoodArrays& out) const;
};

// The parameter values and their likelihoods of one profile.
class TLhoodProfile {
 public:
  Eigen::VectorXd values;
  Eigen::VectorXd lhoods;

  explicit TLhoodProfile(const SParamLhoodArrays& profile);

  // The polynomial of the given degree fitted to the likelihoods in log10 of
  // the values, and its maximum on n grid points between the first and the
  // last value of the profile.
  TProfileMax estimateLhoodProfile(int n, bool unused, int degree, SParamLhoodArrays& out) const;
};
