#pragma once
// Small text helpers shared by the readers of prior, rule, equation and definition texts.
#include <string>
#include <vector>

namespace paramtext {

// Blank, tab or carriage return.
inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Fields separated by runs of blanks, tabs and carriage returns.
std::vector<std::string> splitFields(std::string const& line);
std::string removeBlanks(std::string const& text);
std::string toLower(std::string text);
std::string cutComment(std::string const& line);  // text before the first "//"
bool isBlankLine(std::string const& line);

// Length of the decimal number (digits, optional point, optional exponent) starting
// at pos, 0 when none starts there. No sign, no "inf", "nan" or hexadecimal.
size_t numberLength(std::string const& text, size_t pos);
// True when the whole text is one finite decimal number, optionally signed.
bool parseNumber(std::string const& text, double& value);

// Characters that a parameter name may not contain (the operators of rules and equations).
bool isOperatorChar(char c);
// Empty when the name is acceptable, otherwise what is wrong with it.
std::string nameProblem(std::string const& name);

std::string format(char const* pattern, ...);

// Throws a TException of kind ERROR with the message.
[[noreturn]] void raise(std::string const& message);

}  // namespace paramtext
