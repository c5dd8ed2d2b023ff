#include "driver/optionNumbers.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

char const* const kNotAnInt = "it does not fit in a 32-bit integer";
char const* const kNotFinite = "it is not a finite number";
// Leaves room for the per-batch offsets the run loop adds to the seed.
double const kLargestSeed = 9.2e18;

std::string atLeast(long long minimum) {
  return "it must be at least " + std::to_string(minimum);
}

}  // namespace

long long integerOf(char const* text) {
  errno = 0;
  return std::strtoll(text, nullptr, 10);  // saturates at LLONG_MIN / LLONG_MAX
}

bool fitsInt(long long value) { return value >= INT_MIN && value <= INT_MAX; }

void refuseOptionValue(char letter, char const* text, char const* reason) {
  std::cerr << "Invalid value (" << text << ") after -" << letter << " option: " << reason
            << ". Aborting program" << std::endl;
}

bool checkIntValue(char letter, char const* text, long long converted, long long minimum,
                   int& value) {
  if (!fitsInt(converted)) {
    refuseOptionValue(letter, text, kNotAnInt);
    return false;
  }
  if (converted < minimum) {
    refuseOptionValue(letter, text, atLeast(minimum).c_str());
    return false;
  }
  value = static_cast<int>(converted);
  return true;
}

bool readIntOption(char letter, char const* text, long long minimum, int& value) {
  return checkIntValue(letter, text, integerOf(text), minimum, value);
}

bool readTruncatedOption(char letter, char const* text, double minimum, bool roundDown,
                         int& value) {
  double const number = std::strtod(text, nullptr);
  if (!std::isfinite(number)) {
    refuseOptionValue(letter, text, kNotFinite);
    return false;
  }
  double const whole = roundDown ? std::floor(number) : std::trunc(number);
  if (whole < static_cast<double>(INT_MIN) || whole > static_cast<double>(INT_MAX)) {
    refuseOptionValue(letter, text, kNotAnInt);
    return false;
  }
  if (whole < minimum) {
    refuseOptionValue(letter, text, atLeast(static_cast<long long>(minimum)).c_str());
    return false;
  }
  value = static_cast<int>(whole);
  return true;
}

bool readSeedOption(char const* text, long long& seed) {
  double const number = std::strtod(text, nullptr);
  if (!std::isfinite(number)) {
    refuseOptionValue('r', text, kNotFinite);
    return false;
  }
  double const magnitude = std::fabs(std::trunc(number));
  if (magnitude > kLargestSeed) {
    refuseOptionValue('r', text, "it is too large for a seed (at most 9200000000000000000)");
    return false;
  }
  seed = static_cast<long long>(magnitude);
  return true;
}
