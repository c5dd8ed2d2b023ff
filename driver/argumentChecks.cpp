// What the parser ignored (reported, the run goes on) and option values that
// cannot be what the user meant (refused before any other check).
#include <iostream>

#include "driver/optionChecks.h"
#include "driver/optionNumbers.h"
#include "driver/usageText.h"
#include "support/anyoption.h"

namespace {

// The options whose value is a number. Integer options take digits only; the
// others any number (read with strtod). Where the option's own check answers a
// value that is not a number with its own message (-n, -s) or repairs it (-B),
// only a missing value is refused here.
struct NumericOption {
  char letter;
  bool integer;
  bool ownCheck;
};

NumericOption const kNumericOptions[] = {
    {'n', true, true},   {'s', true, true},   {'B', true, true},   {'a', true, false},
    {'A', true, false},  {'b', true, false},  {'c', true, false},  {'l', true, false},
    {'L', true, false},  {'R', true, false},  {'k', false, false}, {'E', false, false},
    {'N', false, false}, {'M', false, false}, {'w', false, false}, {'C', false, false},
    {'r', false, false},
};

bool checkNumericValue(AnyOption& opt, NumericOption const& o) {
  char const* text = optionValue(opt, o.letter);
  if (text == nullptr) return true;
  if (!o.ownCheck) return checkNumberForm(o.letter, text, o.integer);
  NumberForm const form = numberFormOf(text, o.integer);
  if (form != NumberForm::EMPTY && form != NumberForm::NEXT_OPTION) return true;
  return checkNumberForm(o.letter, text, o.integer);
}

}  // namespace

void warnIgnoredArguments(AnyOption& opt) {
  for (AnyOption::UnknownOption const& u : opt.unknownOptions()) {
    std::cerr << "Warning: unknown option \"" << u.option << "\"";
    if (u.argument != u.option) std::cerr << " in \"" << u.argument << "\"";
    std::cerr << " is ignored" << std::endl;
  }
  for (int i = 0; i < opt.getArgc(); ++i)
    std::cerr << "Warning: argument \"" << opt.getArgv(i) << "\" follows no option and is ignored"
              << std::endl;
}

bool checkOptionValues(AnyOption& opt) {
  if (!opt.optionWithoutValue().empty()) {
    refuseMissingValue(opt.optionWithoutValue().c_str(), "it is the last argument");
    return false;
  }
  for (NumericOption const& o : kNumericOptions)
    if (!checkNumericValue(opt, o)) return false;
  return true;
}
