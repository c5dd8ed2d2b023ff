#include "estimation/paramText.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/TException.h"

namespace paramtext {

std::vector<std::string> splitFields(std::string const& line) {
  std::vector<std::string> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

std::string removeBlanks(std::string const& text) {
  std::string out;
  for (char c : text)
    if (!isBlank(c)) out += c;
  return out;
}

std::string toLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

std::string cutComment(std::string const& line) {
  size_t pos = line.find("//");
  return pos == std::string::npos ? line : line.substr(0, pos);
}

bool isBlankLine(std::string const& line) {
  for (char c : line)
    if (!isBlank(c)) return false;
  return true;
}

static size_t digitsAt(std::string const& text, size_t pos) {
  size_t n = 0;
  while (pos + n < text.size() && std::isdigit(static_cast<unsigned char>(text[pos + n]))) ++n;
  return n;
}

size_t numberLength(std::string const& text, size_t pos) {
  size_t p = pos;
  size_t intDigits = digitsAt(text, p);
  p += intDigits;
  size_t fracDigits = 0;
  if (p < text.size() && text[p] == '.') {
    fracDigits = digitsAt(text, p + 1);
    if (intDigits + fracDigits > 0) p += 1 + fracDigits;
  }
  if (intDigits + fracDigits == 0) return 0;
  if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
    size_t q = p + 1;
    if (q < text.size() && (text[q] == '+' || text[q] == '-')) ++q;
    size_t expDigits = digitsAt(text, q);
    if (expDigits > 0) p = q + expDigits;
  }
  return p - pos;
}

bool parseNumber(std::string const& text, double& value) {
  size_t start = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  size_t len = numberLength(text, start);
  if (len == 0 || start + len != text.size()) return false;
  value = std::strtod(text.c_str(), nullptr);
  return std::isfinite(value);
}

bool isOperatorChar(char c) { return c != '\0' && std::strchr("+*/-%?:<>!=()", c) != nullptr; }

std::string nameProblem(std::string const& name) {
  if (name.empty()) return "the name is empty";
  for (char c : name) {
    if (isBlank(c)) return "the name contains a blank";
    if (isOperatorChar(c)) return std::string("the name contains the character '") + c + "'";
  }
  double v;
  if (parseNumber(name, v)) return "the name is a number";
  return "";
}

std::string format(char const* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, pattern, copy);
  va_end(copy);
  std::string out(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) std::vsnprintf(&out[0], size_t(n) + 1, pattern, args);
  va_end(args);
  return out;
}

void raise(std::string const& message) {
  throw TException(my_string(message.c_str()), EXCEPTION::ERROR);
}

}  // namespace paramtext
