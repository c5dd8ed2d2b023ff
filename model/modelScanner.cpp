#include "model/modelScanner.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isSpace(char c) { return isBlank(c) || c == '\n' || c == '\v' || c == '\f'; }

// Digits, an optional point and exponent: the decimal forms a model may hold.
bool looksDecimal(const std::string& t) {
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == t.size();
}

}  // namespace

NumberStatus parseDecimal(const std::string& text, double& value) {
  if (text.empty()) return NumberStatus::NOT_NUMBER;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text.c_str(), &end);
  bool whole = end == text.c_str() + text.size();
  if (!looksDecimal(text)) {
    // "nan", "inf" and the like read as numbers but are not usable ones.
    return (whole && !std::isfinite(v)) ? NumberStatus::NOT_FINITE : NumberStatus::NOT_NUMBER;
  }
  if (!std::isfinite(v)) return NumberStatus::NOT_FINITE;
  value = v;
  return NumberStatus::OK;
}

std::vector<std::string> splitValues(const std::string& line) {
  std::string text = line.substr(0, line.find("//"));
  std::vector<std::string> values;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isSpace(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !isSpace(text[i])) ++i;
    if (i > start) values.push_back(text.substr(start, i - start));
  }
  return values;
}

TModelScanner::TModelScanner(std::string text, std::string source)
    : text_(std::move(text)), source_(std::move(source)) {}

void TModelScanner::advance() {
  if (text_[pos_] == '\n') ++line_;
  ++pos_;
}

void TModelScanner::skipLine() {
  while (!atEnd()) {
    bool newline = text_[pos_] == '\n';
    advance();
    if (newline) return;
  }
}

std::string TModelScanner::readToDelim() {
  size_t start = pos_;
  size_t end = text_.find('\n', pos_);
  if (end == std::string::npos) end = text_.size();
  std::string result = text_.substr(start, end - start);
  pos_ = end;
  if (!atEnd()) advance();
  return result;
}

std::string TModelScanner::readLine() {
  while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t')) advance();
  return readToDelim();
}

std::string TModelScanner::peekLine() const {
  size_t end = text_.find('\n', pos_);
  if (end == std::string::npos) end = text_.size();
  return text_.substr(pos_, end - pos_);
}

bool TModelScanner::nextToken(std::string& token) {
  while (!atEnd() && isSpace(text_[pos_])) advance();
  tokenLine_ = line_;
  if (atEnd()) return false;
  size_t start = pos_;
  while (!atEnd() && !isSpace(text_[pos_])) advance();
  token = text_.substr(start, pos_ - start);
  size_t comment = token.find("//");
  if (comment != std::string::npos && comment > 0) token.resize(comment);
  return true;
}

long TModelScanner::remainingLines() const {
  long lines = 0;
  for (size_t i = pos_; i < text_.size(); ++i)
    if (text_[i] == '\n') ++lines;
  return lines + 1;
}

double TModelScanner::number(const std::string& what) {
  std::string token;
  if (!nextToken(token)) fail(tokenLine_, "the model ends where " + what + " was expected");
  return checkedNumber(*this, tokenLine_, token, what);
}

long TModelScanner::integer(const std::string& what, long min, long max) {
  std::string token;
  if (!nextToken(token)) fail(tokenLine_, "the model ends where " + what + " was expected");
  return checkedInteger(*this, tokenLine_, token, what, min, max);
}

void TModelScanner::fail(int line, const std::string& problem) const {
  throw TModelError("Error in " + source_ + ", line " + std::to_string(line) + ": " + problem);
}

void TModelScanner::fail(const std::string& problem) const {
  throw TModelError("Error in " + source_ + ": " + problem);
}

void TModelScanner::failNotANumber(int line, const std::string& token,
                                   const std::string& what) const {
  throw TModelError("Error in " + source_ + ", line " + std::to_string(line) + ": \"" + token +
                        "\" is not a number (" + what + " expected)",
                    token);
}

void TModelScanner::warn(int line, const std::string& problem) const {
  std::cerr << "Warning in " << source_ << ", line " << line << ": " << problem << std::endl;
}

double checkedNumber(const TModelScanner& sc, int line, const std::string& token,
                     const std::string& what) {
  double value = 0;
  switch (parseDecimal(token, value)) {
    case NumberStatus::OK:
      return value;
    case NumberStatus::NOT_FINITE:
      sc.fail(line, "\"" + token + "\" is not a finite number (" + what + ")");
    case NumberStatus::NOT_NUMBER:
    default:
      sc.failNotANumber(line, token, what);
  }
}

long checkedInteger(const TModelScanner& sc, int line, const std::string& token,
                    const std::string& what, long min, long max) {
  double value = checkedNumber(sc, line, token, what);
  if (value != std::floor(value))
    sc.fail(line, "\"" + token + "\" is not a whole number (" + what + " expected)");
  if (value < static_cast<double>(min) || value > static_cast<double>(max))
    sc.fail(line, "\"" + token + "\" is out of range for " + what + " (" + std::to_string(min) +
                      " to " + std::to_string(max) + ")");
  return static_cast<long>(value);
}
