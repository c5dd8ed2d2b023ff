#include "support/public.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <utility>

bool isInteger(std::string const& text) {
  if (text.empty()) return false;
  char first = text[0];
  if (first != '+' && first != '-' && !std::isdigit(static_cast<unsigned char>(first))) return false;
  char* end = nullptr;
  std::strtol(text.c_str(), &end, 10);
  return end == text.c_str() + text.size();
}

void makeDir(char const* path) {
  struct stat info;
  if (stat(path, &info) != 0) mkdir(path, 0755);
}

bool checkDirExist(char const* path) {
  DIR* dir = opendir(path);
  if (!dir) return false;
  closedir(dir);
  return true;
}

double LnGamma(double x) {
  double b = 0.918938533204673;  // ln sqrt(2 pi)
  if (x < 7.0) {
    double p = 1.0;
    do {
      p *= x;
      x += 1.0;
    } while (x < 7.0);
    b -= std::log(p);
  }
  double c = 1.0 / (x * x);
  return (x - 0.5) * std::log(x) - x + b +
         (((-0.000595238095238 * c + 0.000793650793651) * c - 0.002777777777778) * c +
          0.083333333333333) / x;
}

namespace {

double incompleteGammaFraction(double x, double alpha, double factor) {
  double a = 1.0 - alpha, b = a + x + 1.0, term = 0.0;
  double pn1 = 1.0, pn2 = x, pn3 = x + 1.0, pn4 = x * b;
  double g = pn3 / pn4;
  for (;;) {
    a += 1.0;
    b += 2.0;
    term += 1.0;
    double an = a * term;
    double pn5 = b * pn3 - an * pn1;
    double pn6 = b * pn4 - an * pn2;
    if (pn6 != 0.0) {
      double rn = pn5 / pn6;
      double tolerance = std::fmin(1e-8, 1e-8 * rn);
      if (std::fabs(g - rn) <= tolerance) return 1.0 - factor * g;
      g = rn;
    }
    pn1 = pn3;
    pn2 = pn4;
    pn3 = pn5;
    pn4 = pn6;
    if (std::fabs(pn5) >= 1e30) {
      pn1 /= 1e30;
      pn2 /= 1e30;
      pn3 /= 1e30;
      pn4 /= 1e30;
    }
  }
}

double incompleteGammaSeries(double x, double alpha, double factor) {
  double a = alpha, c = 1.0, sum = 1.0;
  while (c > 1e-8) {
    a += 1.0;
    c *= x / a;
    sum += c;
  }
  return sum * factor / alpha;
}

}  // namespace

double IncompleteGamma(double x, double alpha) {
  if (x == 0.0) return 0.0;
  if (x < 0.0 || alpha <= 0.0) return -1.0;
  double factor = std::exp(alpha * std::log(x) - x - LnGamma(alpha));
  if (x > 1.0 && x >= alpha) return incompleteGammaFraction(x, alpha, factor);
  return incompleteGammaSeries(x, alpha, factor);
}

void quicksort(int left, int right, double* a) {
  while (left < right) {
    double pivot = a[right];
    int i = left;
    int j = right - 1;
    for (;;) {
      while (a[i] < pivot) ++i;
      while (j > left && a[j] > pivot) --j;
      if (i >= j) break;
      std::swap(a[i], a[j]);
      ++i;
      --j;
    }
    std::swap(a[i], a[right]);
    quicksort(left, i - 1, a);
    left = i + 1;
  }
}
