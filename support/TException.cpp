#include "support/TException.h"

#include <ostream>

TException::TException(my_string message_, EXCEPTION kind_) : kind(kind_) {
  message = message_;
}

TException::~TException() = default;

std::ostream& operator<<(std::ostream& os, TException const& e) {
  switch (e.kind) {
    case EXCEPTION::ERROR: os << "\nERROR: "; break;
    case EXCEPTION::FATAL_ERROR: os << "\nFATAL ERROR: "; break;
    default: os << "\nWARNING: "; break;
  }
  return os << e.message;
}
