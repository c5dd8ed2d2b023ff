#pragma once
// my_string: the program's own text type. It owns one NUL-terminated buffer,
// keeps the text length beside it and never holds more than
// MY_STRING_MAX_LENGTH characters (longer results are skipped silently).
// Its stream readers are the tokenizers of every input file.
#include <iosfwd>

constexpr int MY_STRING_MAX_LENGTH = 210000;

class my_string {
public:
  char* chars;     // owned, array-allocated, NUL-terminated; never null
  int growStep;    // bytes reserved ahead when one character is appended; 100
  int numChars;    // length of the text before its NUL
  int bufSize;     // size of chars as recorded for the fit test (L + 1 < bufSize)
  char* tmpCopy;   // scratch copy while the buffer is replaced; null otherwise

  my_string();
  my_string(char const* text);  // no length cap; a null pointer gives ""
  my_string(my_string const& other);
  ~my_string();

  // Assignment and append; a result longer than the cap leaves the text as it was.
  my_string& operator=(my_string const& other);
  my_string& operator=(char const* text);
  my_string& operator=(char const& c);
  my_string& operator=(int value);     // "%d"
  my_string& operator=(double value);  // "%f"
  my_string& operator+=(my_string const& other);
  my_string& operator+=(char const* text);
  my_string& operator+=(char c);

  // Stream readers (see the .cpp for the blank and terminator set of each).
  int read_line(std::istream& is);  // 1: a terminator ended the line; 0: the stream failed
  std::istream& read_to_delim(std::istream& is);
  std::istream& read_to_delim(std::istream& is, char delim);
  std::istream& read_to_separator(std::istream& is, bool skipBlanks);
  std::istream& read_token(std::istream& is);
  friend std::istream& operator>>(std::istream& is, my_string& s);

  // Editing in place.
  my_string& remove_blanks();
  my_string& remove_repeated_seperators();
  my_string& remove_trailing_blanks();
  my_string& remove_comments();
  my_string& remove_path();
  my_string& rm_path();
  my_string& remove_extension();
  my_string& remove(int start, int count);
  my_string& Lower();
  my_string& to_lower();
  my_string& Upper();
  my_string& to_upper();

  // Queries.
  bool is_null() const { return numChars == 0; }
  bool contains(char const* pattern) const;
  bool contains(my_string const& pattern) const;
  bool contains(char c) const;
  int rfind(my_string const& pattern) const;  // index of the FIRST occurrence, -1 if none
  int find_first_of(char const& c) const;
  int find_first_of(char const& c, int start) const;

  // Extraction (this string is left unchanged, except by extract_sub_str).
  my_string extract_after(char c) const;
  my_string extract_after(int pos) const;
  my_string extract_before(char c) const;
  my_string extract_before(int n) const;
  my_string extract_before_doubleSlash() const;
  my_string extract_between(int from, int to) const;
  my_string extract_sub_str(char c);

  // Conveniences.
  char const* c_str() const { return chars; }
  int length() const { return numChars; }
  char& operator[](int i) { return chars[i]; }
  char const& operator[](int i) const { return chars[i]; }

private:
  void growBuffer(int newSize, int recordedSize);
  void appendText(char const* text, int len);
  void prepareForReading();
  void setLength(int n);
};

my_string operator+(my_string const& a, my_string const& b);
my_string operator+(my_string const& a, char const* b);
std::ostream& operator<<(std::ostream& os, my_string const& s);
bool operator==(my_string const& a, my_string const& b);
bool operator==(my_string const& a, char const* b);
bool operator!=(my_string const& a, my_string const& b);
bool operator!=(my_string const& a, char const* b);

// Reverses a NUL-terminated character array in place.
void my_strrev(char* text);
