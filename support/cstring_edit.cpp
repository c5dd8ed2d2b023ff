// Editing, searching and extraction members of my_string.
#include <cstring>
#include <string>

#include "support/cstring.h"

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\r'; }

int findIn(char const* text, int n, char const* pat, int m) {
  if (m <= 0 || m > n) return -1;
  for (int i = 0; i + m <= n; ++i)
    if (std::memcmp(text + i, pat, static_cast<size_t>(m)) == 0) return i;
  return -1;
}

my_string fromRange(char const* text, int len) {
  return my_string(std::string(text, static_cast<size_t>(len > 0 ? len : 0)).c_str());
}

int lastPathSeparator(char const* text, int n) {
  for (int i = n - 1; i >= 0; --i)
    if (text[i] == '/' || text[i] == '\\') return i;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------- editing

my_string& my_string::remove_blanks() {
  int out = 0;
  for (int i = 0; i < numChars; ++i)
    if (!isSeparator(chars[i])) chars[out++] = chars[i];
  setLength(out);
  return *this;
}

my_string& my_string::remove_repeated_seperators() {
  int out = 0;
  for (int i = 0; i < numChars; ++i)
    if (!(isSeparator(chars[i]) && i > 0 && isSeparator(chars[i - 1]))) chars[out++] = chars[i];
  setLength(out);
  return *this;
}

my_string& my_string::remove_trailing_blanks() {
  int n = numChars;
  while (n > 0 && (chars[n - 1] == ' ' || chars[n - 1] == '\t')) --n;
  setLength(n);
  return *this;
}

my_string& my_string::remove_comments() {
  int pos = findIn(chars, numChars, "//", 2);
  if (pos >= 0) setLength(pos);
  return *this;
}

my_string& my_string::remove_path() {
  int pos = lastPathSeparator(chars, numChars);
  if (pos >= 0) remove(0, pos + 1);
  return *this;
}

my_string& my_string::rm_path() {
  int pos = lastPathSeparator(chars, numChars);
  remove(0, pos >= 0 ? pos + 1 : 1);
  return *this;
}

// Cuts the extension at the end of the name: from the last '.' that
// follows the last path separator. A name without one stays as it is.
my_string& my_string::remove_extension() {
  int start = lastPathSeparator(chars, numChars) + 1;
  for (int i = numChars - 1; i >= start; --i)
    if (chars[i] == '.') {
      setLength(i);
      break;
    }
  return *this;
}

my_string& my_string::remove(int start, int count) {
  if (start < 0 || count <= 0 || start >= numChars) return *this;
  if (start + count >= numChars) {
    setLength(start);
    return *this;
  }
  std::memmove(chars + start, chars + start + count,
               static_cast<size_t>(numChars - start - count) + 1);
  numChars -= count;
  return *this;
}

my_string& my_string::Lower() {
  for (char* p = chars; *p; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  return *this;
}
my_string& my_string::to_lower() { return Lower(); }

my_string& my_string::Upper() {
  for (char* p = chars; *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  return *this;
}
my_string& my_string::to_upper() { return Upper(); }

// ---------------------------------------------------------------- queries

bool my_string::contains(char const* pattern) const {
  if (!pattern) return false;
  return findIn(chars, numChars, pattern, static_cast<int>(std::strlen(pattern))) >= 0;
}

bool my_string::contains(my_string const& pattern) const { return contains(pattern.chars); }

bool my_string::contains(char c) const {
  return std::memchr(chars, c, static_cast<size_t>(numChars)) != nullptr;
}

int my_string::rfind(my_string const& pattern) const {
  return findIn(chars, numChars, pattern.chars, static_cast<int>(std::strlen(pattern.chars)));
}

int my_string::find_first_of(char const& c) const {
  for (int i = 0; i < numChars; ++i)
    if (chars[i] == c) return i;
  return -1;
}

int my_string::find_first_of(char const& c, int start) const {
  if (start > numChars) return -1;
  return find_first_of(c);
}

// ---------------------------------------------------------------- extraction

my_string my_string::extract_after(char c) const {
  int pos = find_first_of(c);
  if (pos < 0) return *this;
  return fromRange(chars + pos + 1, numChars - pos - 1);
}

my_string my_string::extract_after(int pos) const {
  if (pos < 0 || pos >= numChars) return *this;
  return fromRange(chars + pos + 1, numChars - pos - 1);
}

my_string my_string::extract_before(char c) const {
  int pos = find_first_of(c);
  if (pos < 0) return *this;
  return fromRange(chars, pos);
}

my_string my_string::extract_before(int n) const {
  if (n < 0 || n >= numChars) return *this;
  return fromRange(chars, n);
}

my_string my_string::extract_before_doubleSlash() const {
  int pos = findIn(chars, numChars, "//", 2);
  if (pos < 0) return *this;
  return fromRange(chars, pos);
}

my_string my_string::extract_between(int from, int to) const {
  if (from < 0) from = 0;
  if (to > numChars) to = numChars;
  if (to <= from || from >= numChars) return my_string();
  return fromRange(chars + from, to - from);
}

// Skips leading c characters and returns the following run of other
// characters; this string keeps only the text from the c that ends the run.
my_string my_string::extract_sub_str(char c) {
  int begin = 0;
  while (begin < numChars && chars[begin] == c) ++begin;
  int end = begin;
  while (end < numChars && chars[end] != c) ++end;
  my_string run = fromRange(chars + begin, end - begin);
  if (end >= numChars)
    setLength(0);
  else
    remove(0, end);
  return run;
}
