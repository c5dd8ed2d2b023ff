#pragma once
// Appends text and whole numbers to a borrowed string, for writers that build
// a line or a block of an output file in memory and write it in one piece:
// formatting each value through a stream costs far more.
#include <charconv>
#include <string>
#include <type_traits>

class TTextAppender {
 public:
  explicit TTextAppender(std::string& text) : text_(text) {}
  TTextAppender& operator<<(const char* s) {
    text_ += s;
    return *this;
  }
  TTextAppender& operator<<(char c) {
    text_ += c;
    return *this;
  }
  // Whole numbers in decimal, as a stream writes them by default.
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, char> &&
                                          !std::is_same_v<T, bool>,
                                      int> = 0>
  TTextAppender& operator<<(T v) {
    char buf[24];
    text_.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    return *this;
  }

 protected:
  std::string& text_;
};
