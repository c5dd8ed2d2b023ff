#pragma once
// Checks and conversions of option value texts. The form of every numeric value
// is checked first (numberFormOf); integer options are then read as strtol does,
// number options as strtod does, in 64 bits or in double, and range-checked
// before they become an int, so no value is converted undefinedly.
// A refused value is reported on the standard error stream with a message that
// names the option:
//   "Invalid value (<text>) after -<letter> option: <reason>. Aborting program"

// How the value text of a numeric option reads. Integer options take an optional
// sign and digits only (no blank); the others any text strtod reads whole, so that
// "10x" is not read as 10. A text beginning with '-' and a letter or a second
// '-' that is not a number is the next option: the value itself is missing.
enum class NumberForm { NUMBER, EMPTY, NEXT_OPTION, NOT_A_NUMBER, NOT_AN_INTEGER, NOT_FINITE };
NumberForm numberFormOf(char const* text, bool integer);

// True when the text is a number of the option's kind; otherwise the message
// naming the option and the text (missing value or refusal) and false.
bool checkNumberForm(char letter, char const* text, bool integer);

// "Missing value after <option> option: <reason>. Aborting program".
void refuseMissingValue(char const* option, char const* reason);

// Leading integer of the text in 64 bits (saturating at the 64-bit limits).
long long integerOf(char const* text);

// True when the value fits an int.
bool fitsInt(long long value);

// Integer option: true and value stored when the leading integer of the text fits
// an int and is at least minimum; otherwise the refusal message and false.
bool readIntOption(char letter, char const* text, long long minimum, int& value);

// Same check for a value already converted (e.g. an integer text checked before).
bool checkIntValue(char letter, char const* text, long long converted, long long minimum,
                   int& value);

// Number option converted to int: the strtod value, truncated toward zero (or
// rounded down with roundDown), must be finite, fit an int and be at least minimum.
bool readTruncatedOption(char letter, char const* text, double minimum, bool roundDown,
                         int& value);

// Seed option: the absolute value of the strtod value, in 64 bits. The value
// must be whole ("-r 13.7" is refused, "-r 1e6" is a million).
bool readSeedOption(char const* text, long long& seed);

// Writes the refusal message.
void refuseOptionValue(char letter, char const* text, char const* reason);
