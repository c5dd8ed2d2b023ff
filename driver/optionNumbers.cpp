#include "driver/optionNumbers.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>

#include "support/public.h"

namespace {

char const* const kNotAnInt = "it does not fit in a 32-bit integer";
char const* const kNotFinite = "it is not a finite number";
char const* const kNotAnInteger = "it is not an integer";
// Leaves room for the per-batch offsets the run loop adds to the seed.
double const kLargestSeed = 9.2e18;

std::string atLeast(long long minimum) {
  return "it must be at least " + std::to_string(minimum);
}

}  // namespace

NumberForm numberFormOf(char const* text, bool integer) {
  if (text[0] == '\0') return NumberForm::EMPTY;
  char* end = nullptr;
  double const number = std::strtod(text, &end);
  bool const readWhole = !std::isspace(static_cast<unsigned char>(text[0])) && *end == '\0';
  if (readWhole) {
    if (!std::isfinite(number)) return NumberForm::NOT_FINITE;
    return integer && !isInteger(text) ? NumberForm::NOT_AN_INTEGER : NumberForm::NUMBER;
  }
  unsigned char const second = static_cast<unsigned char>(text[1]);
  if (text[0] == '-' && (std::isalpha(second) || second == '-')) return NumberForm::NEXT_OPTION;
  return NumberForm::NOT_A_NUMBER;
}

void refuseMissingValue(char const* option, char const* reason) {
  std::cerr << "Missing value after " << option << " option: " << reason << ". Aborting program"
            << std::endl;
}

bool checkNumberForm(char letter, char const* text, bool integer) {
  std::string const option = std::string("-") + letter;
  switch (numberFormOf(text, integer)) {
    case NumberForm::NUMBER:
      return true;
    case NumberForm::EMPTY:
      refuseMissingValue(option.c_str(), "its value is empty");
      return false;
    case NumberForm::NEXT_OPTION:
      refuseMissingValue(option.c_str(),
                         ("it is followed by the option " + std::string(text)).c_str());
      return false;
    case NumberForm::NOT_AN_INTEGER:
      refuseOptionValue(letter, text, kNotAnInteger);
      return false;
    case NumberForm::NOT_FINITE:
      refuseOptionValue(letter, text, kNotFinite);
      return false;
    case NumberForm::NOT_A_NUMBER:
    default:
      refuseOptionValue(letter, text, "it is not a number");
      return false;
  }
}

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
  if (number != std::trunc(number)) {
    refuseOptionValue('r', text, kNotAnInteger);
    return false;
  }
  double const magnitude = std::fabs(number);
  if (magnitude > kLargestSeed) {
    refuseOptionValue('r', text, "it is too large for a seed (at most 9200000000000000000)");
    return false;
  }
  seed = static_cast<long long>(magnitude);
  return true;
}
