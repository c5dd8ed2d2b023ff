#pragma once
// Exception thrown by value by the parameter-file and equation code and
// caught by reference by the file readers.
#include <iosfwd>

#include "support/cstring.h"

enum class EXCEPTION : int { WARNING = 0, ERROR = 1, FATAL_ERROR = 2 };

class TException {
public:
  my_string message;
  EXCEPTION kind;

  TException(my_string message_, EXCEPTION kind_ = EXCEPTION::ERROR);
  ~TException();
};

// Writes "\nERROR: ", "\nFATAL ERROR: " or (any other kind) "\nWARNING: ", then the message.
std::ostream& operator<<(std::ostream& os, TException const& e);
