#pragma once
// Conversions of option value texts to the ints the run needs. Integer options
// read the leading integer of their text as strtol does (0 when there is none),
// number options as strtod does; both are computed in 64 bits or in double and
// range-checked before they become an int, so no value is converted undefinedly.
// A refused value is reported on the standard error stream with a message that
// names the option:
//   "Invalid value (<text>) after -<letter> option: <reason>. Aborting program"

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

// Seed option: the absolute value of the truncated strtod value, in 64 bits.
bool readSeedOption(char const* text, long long& seed);

// Writes the refusal message.
void refuseOptionValue(char letter, char const* text, char const* reason);
