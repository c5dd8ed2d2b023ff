// Stream readers of my_string: each reads one character at a time and has
// its own set of skipped blanks and terminators.
#include <istream>

#include "support/cstring.h"

namespace {

bool failed(std::istream& is) { return is.fail() || is.bad(); }
bool isEndByte(char c) { return static_cast<unsigned char>(c) == 0xFF; }
bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Reads the next character, skipping blanks and tabs when asked;
// false when the stream failed first.
bool firstChar(std::istream& is, char& c, bool skip) {
  for (;;) {
    is.get(c);
    if (failed(is)) return false;
    if (!skip || !isBlankOrTab(c)) return true;
  }
}

}  // namespace

// A buffer of at least 2 bytes holding the empty text.
void my_string::prepareForReading() {
  if (bufSize <= 1) {
    delete[] chars;
    chars = new char[2];
    bufSize = 2;
  }
  setLength(0);
}

// Skips blanks and tabs; ends at a newline, byte 0xFF or NUL (consumed).
// Carriage returns and tabs inside the line are kept.
int my_string::read_line(std::istream& is) {
  prepareForReading();
  char c;
  if (!firstChar(is, c, true)) return 0;
  for (;;) {
    if (c == '\n' || c == '\0' || isEndByte(c)) return 1;
    *this += c;
    is.get(c);
    if (failed(is)) return 0;
  }
}

// Ends at a newline, NUL, byte 0xFF or the end of the stream; keeps blanks.
std::istream& my_string::read_to_delim(std::istream& is) {
  return read_to_delim(is, '\n');
}

// As above, with one more terminator.
std::istream& my_string::read_to_delim(std::istream& is, char delim) {
  prepareForReading();
  char c;
  for (;;) {
    is.get(c);
    if (failed(is)) return is;
    if (c == delim || c == '\n' || c == '\0' || isEndByte(c)) return is;
    *this += c;
  }
}

// Skips blanks and tabs when asked; ends at a blank, tab, carriage return,
// newline, NUL, byte 0xFF or the end of the stream (terminator consumed).
std::istream& my_string::read_to_separator(std::istream& is, bool skipBlanks) {
  prepareForReading();
  char c;
  if (!firstChar(is, c, skipBlanks)) return is;
  for (;;) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || isEndByte(c)) return is;
    *this += c;
    is.get(c);
    if (failed(is)) return is;
  }
}

// Skips blanks, tabs and newlines; ends at a blank, tab or newline (a
// newline is put back). Starts from a fresh 10-byte buffer.
std::istream& my_string::read_token(std::istream& is) {
  delete[] chars;
  chars = new char[10];
  bufSize = 10;
  setLength(0);
  char c;
  do {
    is.get(c);
    if (failed(is)) return is;
  } while (c == ' ' || c == '\t' || c == '\n');
  for (;;) {
    if (c == '\n') {
      is.putback(c);
      return is;
    }
    if (c == ' ' || c == '\t') return is;
    *this += c;
    is.get(c);
    if (failed(is)) return is;
  }
}

// Skips blanks and tabs; ends at a blank, newline, NUL, byte 0xFF or the end
// of the stream. A newline is put back for the next line reader, so a token
// asked for at a line end is empty. Tabs and carriage returns after the
// first kept character stay in the token.
std::istream& operator>>(std::istream& is, my_string& s) {
  s.prepareForReading();
  char c;
  if (!firstChar(is, c, true)) return is;
  for (;;) {
    if (c == '\n') {
      is.putback(c);
      return is;
    }
    if (c == ' ' || c == '\0' || isEndByte(c)) return is;
    s += c;
    is.get(c);
    if (failed(is)) return is;
  }
}
