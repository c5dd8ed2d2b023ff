// The form of numeric option values: what reads as a number of an integer
// option and of a number option, and what is a missing value.
#include <gtest/gtest.h>

#include <string>

#include "driver/optionNumbers.h"

namespace {

struct FormCase {
  char const* text;
  NumberForm asInteger;
  NumberForm asNumber;
};

void PrintTo(FormCase const& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class NumberForms : public testing::TestWithParam<FormCase> {};

TEST_P(NumberForms, AreTold) {
  FormCase const& c = GetParam();
  EXPECT_EQ(numberFormOf(c.text, true), c.asInteger);
  EXPECT_EQ(numberFormOf(c.text, false), c.asNumber);
}

using F = NumberForm;

INSTANTIATE_TEST_SUITE_P(
    Table, NumberForms,
    testing::Values(FormCase{"40", F::NUMBER, F::NUMBER}, FormCase{"+7", F::NUMBER, F::NUMBER},
                    FormCase{"-5", F::NUMBER, F::NUMBER},  // -r -5: a value, not an option
                    FormCase{"99999999999", F::NUMBER, F::NUMBER},  // range is checked later
                    FormCase{"2.5", F::NOT_AN_INTEGER, F::NUMBER},
                    FormCase{"1e3", F::NOT_AN_INTEGER, F::NUMBER},
                    FormCase{"-.5", F::NOT_AN_INTEGER, F::NUMBER},
                    FormCase{"10x", F::NOT_A_NUMBER, F::NOT_A_NUMBER},
                    FormCase{"1.5.2", F::NOT_A_NUMBER, F::NOT_A_NUMBER},
                    FormCase{"abc", F::NOT_A_NUMBER, F::NOT_A_NUMBER},
                    FormCase{" 5", F::NOT_A_NUMBER, F::NOT_A_NUMBER},
                    FormCase{"5 ", F::NOT_A_NUMBER, F::NOT_A_NUMBER},
                    FormCase{"-", F::NOT_A_NUMBER, F::NOT_A_NUMBER},
                    FormCase{"-5x", F::NOT_A_NUMBER, F::NOT_A_NUMBER},
                    FormCase{"", F::EMPTY, F::EMPTY},
                    FormCase{"-L", F::NEXT_OPTION, F::NEXT_OPTION},
                    FormCase{"-qn", F::NEXT_OPTION, F::NEXT_OPTION},
                    FormCase{"--maxnumloops", F::NEXT_OPTION, F::NEXT_OPTION},
                    FormCase{"-infile", F::NEXT_OPTION, F::NEXT_OPTION},
                    FormCase{"nan", F::NOT_FINITE, F::NOT_FINITE},
                    FormCase{"-inf", F::NOT_FINITE, F::NOT_FINITE},
                    FormCase{"1e999", F::NOT_FINITE, F::NOT_FINITE}));

struct MessageCase {
  char letter;
  char const* text;
  bool integer;
  char const* message;  // empty: accepted
};

class NumberFormMessages : public testing::TestWithParam<MessageCase> {};

TEST_P(NumberFormMessages, NameTheOptionAndTheText) {
  MessageCase const& c = GetParam();
  testing::internal::CaptureStderr();
  bool const accepted = checkNumberForm(c.letter, c.text, c.integer);
  std::string const err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(accepted, std::string(c.message).empty());
  EXPECT_EQ(err, std::string(c.message).empty() ? "" : std::string(c.message) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberFormMessages,
    testing::Values(
        MessageCase{'r', "-5", false, ""},
        MessageCase{'M', "-L", false,
                    "Missing value after -M option: it is followed by the option -L. Aborting "
                    "program"},
        MessageCase{'r', "", false, "Missing value after -r option: its value is empty. Aborting "
                                    "program"},
        MessageCase{'b', "10x", true,
                    "Invalid value (10x) after -b option: it is not a number. Aborting program"},
        MessageCase{'L', "4.5", true,
                    "Invalid value (4.5) after -L option: it is not an integer. Aborting program"},
        MessageCase{'C', "inf", false,
                    "Invalid value (inf) after -C option: it is not a finite number. Aborting "
                    "program"}));

struct SeedCase {
  char const* text;
  long long seed;       // when accepted
  char const* message;  // empty: accepted
};

void PrintTo(SeedCase const& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class SeedValues : public testing::TestWithParam<SeedCase> {};

TEST_P(SeedValues, AreWholeNumbersOfAtMost92e17) {
  SeedCase const& c = GetParam();
  long long seed = -1;
  testing::internal::CaptureStderr();
  bool const accepted = readSeedOption(c.text, seed);
  std::string const err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(accepted, std::string(c.message).empty());
  EXPECT_EQ(err, std::string(c.message).empty() ? "" : std::string(c.message) + "\n");
  if (accepted) {
    EXPECT_EQ(seed, c.seed);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SeedValues,
    testing::Values(
        SeedCase{"13", 13, ""}, SeedCase{"-5", 5, ""}, SeedCase{"1e3", 1000, ""},
        SeedCase{"9200000000000000000", 9200000000000000000LL, ""},
        SeedCase{"13.7", 0,
                 "Invalid value (13.7) after -r option: it is not an integer. Aborting program"},
        SeedCase{"-0.5", 0,
                 "Invalid value (-0.5) after -r option: it is not an integer. Aborting program"},
        SeedCase{"1e30", 0,
                 "Invalid value (1e30) after -r option: it is too large for a seed (at most "
                 "9200000000000000000). Aborting program"}));

}  // namespace
