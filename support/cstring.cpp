#include "support/cstring.h"

#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>

namespace {

constexpr int DEFAULT_BUFFER = 10;

}  // namespace

// ---------------------------------------------------------------- lifetime

my_string::my_string()
    : chars(new char[DEFAULT_BUFFER]), growStep(100), numChars(0),
      bufSize(DEFAULT_BUFFER), tmpCopy(nullptr) {
  chars[0] = '\0';
}

my_string::my_string(char const* text) : growStep(100), tmpCopy(nullptr) {
  if (!text) text = "";
  numChars = static_cast<int>(std::strlen(text));
  bufSize = numChars + 2;
  chars = new char[bufSize];
  std::memcpy(chars, text, static_cast<size_t>(numChars) + 1);
}

my_string::my_string(my_string const& other) : my_string() { *this = other; }

my_string::~my_string() {
  delete[] chars;
  delete[] tmpCopy;
}

// Replaces the buffer by one of newSize bytes, carrying the text over
// through tmpCopy; bufSize records recordedSize.
void my_string::growBuffer(int newSize, int recordedSize) {
  int len = static_cast<int>(std::strlen(chars));
  delete[] tmpCopy;
  tmpCopy = new char[len + 2];
  std::memcpy(tmpCopy, chars, static_cast<size_t>(len) + 1);
  delete[] chars;
  chars = new char[newSize];
  bufSize = recordedSize;
  std::memcpy(chars, tmpCopy, static_cast<size_t>(len) + 1);
  delete[] tmpCopy;
  tmpCopy = nullptr;
}

void my_string::setLength(int n) {
  chars[n] = '\0';
  numChars = n;
}

// ---------------------------------------------------------------- assignment

my_string& my_string::operator=(my_string const& other) {
  if (this == &other) return *this;
  return *this = other.chars;
}

my_string& my_string::operator=(char const* text) {
  if (!text) text = "";
  size_t len = std::strlen(text);
  if (len > static_cast<size_t>(MY_STRING_MAX_LENGTH)) return *this;
  int L = static_cast<int>(len);
  if (L + 1 >= bufSize) {
    std::string keep(text, len);  // the source may live in our own buffer
    delete[] chars;
    bufSize = L + 2;
    chars = new char[bufSize];
    std::memcpy(chars, keep.c_str(), len + 1);
  } else {
    std::memmove(chars, text, len + 1);
  }
  numChars = L;
  return *this;
}

my_string& my_string::operator=(char const& c) {
  char text[2] = {c, '\0'};
  return *this = text;
}

my_string& my_string::operator=(int value) {
  if (bufSize < 22) growBuffer(22, 22);
  char text[32];
  std::snprintf(text, sizeof text, "%d", value);
  return *this = text;
}

my_string& my_string::operator=(double value) {
  if (bufSize < 42) growBuffer(42, 42);
  char text[400];
  std::snprintf(text, sizeof text, "%f", value);
  return *this = text;
}

// ---------------------------------------------------------------- append

void my_string::appendText(char const* text, int len) {
  int cur = static_cast<int>(std::strlen(chars));
  if (static_cast<long>(cur) + len > MY_STRING_MAX_LENGTH) return;
  int N = cur + len;
  if (N + 1 >= bufSize) {
    std::string keep(text, static_cast<size_t>(len));  // text may be our own buffer
    growBuffer(N + 2, N + 2);
    std::memcpy(chars + cur, keep.data(), static_cast<size_t>(len));
  } else {
    std::memmove(chars + cur, text, static_cast<size_t>(len));
  }
  setLength(N);
}

my_string& my_string::operator+=(my_string const& other) {
  appendText(other.chars, static_cast<int>(std::strlen(other.chars)));
  return *this;
}

my_string& my_string::operator+=(char const* text) {
  if (!text) return *this;
  size_t len = std::strlen(text);
  if (len > static_cast<size_t>(MY_STRING_MAX_LENGTH)) return *this;
  appendText(text, static_cast<int>(len));
  return *this;
}

my_string& my_string::operator+=(char c) {
  int N = static_cast<int>(std::strlen(chars)) + 1;
  if (N > MY_STRING_MAX_LENGTH) return *this;
  if (N + 1 >= bufSize) growBuffer(growStep + N + 1, growStep + N);
  chars[N - 1] = c;
  setLength(N);
  return *this;
}

my_string operator+(my_string const& a, my_string const& b) {
  if (static_cast<long>(a.numChars) + b.numChars > MY_STRING_MAX_LENGTH) return my_string();
  my_string result(a);
  result += b;
  return result;
}

my_string operator+(my_string const& a, char const* b) {
  if (!b) return my_string(a);
  if (static_cast<long>(a.numChars) + static_cast<long>(std::strlen(b)) > MY_STRING_MAX_LENGTH)
    return my_string();
  my_string result(a);
  result += b;
  return result;
}

// ---------------------------------------------------------------- comparison and output

bool operator==(my_string const& a, char const* b) { return std::strcmp(a.chars, b ? b : "") == 0; }
bool operator==(my_string const& a, my_string const& b) { return a == b.chars; }
bool operator!=(my_string const& a, my_string const& b) { return !(a == b); }
bool operator!=(my_string const& a, char const* b) { return !(a == b); }

std::ostream& operator<<(std::ostream& os, my_string const& s) { return os << s.chars; }

void my_strrev(char* text) {
  if (!text) return;
  size_t n = std::strlen(text);
  for (size_t i = 0; i + 1 < n - i; ++i) {
    char t = text[i];
    text[i] = text[n - 1 - i];
    text[n - 1 - i] = t;
  }
}
