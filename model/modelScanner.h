#pragma once
// Cursor over the text of a model, with the line reading rules of the model
// reader and error messages that name the source and the line.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A model that cannot be read; what() is the full message.
class TModelError : public std::runtime_error {
 public:
  explicit TModelError(const std::string& message, std::string notANumber = "")
      : std::runtime_error(message), notANumber(std::move(notANumber)) {}
  // The word that stood where a number belongs, when that is the problem (in
  // a model made from a template: often a name no value replaced).
  std::string notANumber;
};

// Result of reading a text as a decimal number.
enum class NumberStatus { OK, NOT_NUMBER, NOT_FINITE };

// Reads the whole text as a decimal number (sign, digits, point, exponent).
NumberStatus parseDecimal(const std::string& text, double& value);

// Splits a line at blanks, tabs and carriage returns, after cutting it at "//".
std::vector<std::string> splitValues(const std::string& line);

class TModelScanner {
 public:
  // source names the model in messages, e.g. model file "a.par".
  TModelScanner(std::string text, std::string source);

  void skipLine();                 // up to and including the next newline
  std::string readLine();          // blanks and tabs skipped, then up to the newline
  std::string readToDelim();       // up to the newline, nothing skipped
  std::string peekLine() const;    // the text up to the next newline, nothing consumed
  // Skips white space (line ends included) and takes the next run of other
  // characters, cut at "//". False at the end of the text.
  bool nextToken(std::string& token);
  bool atEnd() const { return pos_ >= text_.size(); }
  int line() const { return line_; }         // line of the cursor, from 1
  int tokenLine() const { return tokenLine_; }  // line of the last token
  long remainingLines() const;

  // A required number at the cursor; refused with a message naming the line.
  double number(const std::string& what);
  // A required whole number in [min, max].
  long integer(const std::string& what, long min, long max);

  [[noreturn]] void fail(int line, const std::string& problem) const;
  [[noreturn]] void fail(const std::string& problem) const;
  // A word where a number belongs.
  [[noreturn]] void failNotANumber(int line, const std::string& token,
                                   const std::string& what) const;
  // A value that is read all the same, reported on the standard error stream.
  void warn(int line, const std::string& problem) const;

 private:
  void advance();
  std::string text_;
  std::string source_;
  size_t pos_ = 0;
  int line_ = 1;
  int tokenLine_ = 1;
};

// Checks the text of one value; the messages name the line and what was expected.
double checkedNumber(const TModelScanner& sc, int line, const std::string& token,
                     const std::string& what);
long checkedInteger(const TModelScanner& sc, int line, const std::string& token,
                    const std::string& what, long min, long max);
