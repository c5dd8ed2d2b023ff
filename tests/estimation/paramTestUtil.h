#pragma once
// Helpers of the parameter tests: prior files from text, captured error stream,
// fresh temporary folders.
#include "tests/support/scratchFolders.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>

#include "estimation/parameters.h"
#include <cstdlib>

// Redirects std::cerr into a buffer while alive.
class CerrCapture {
 public:
  CerrCapture() : old_(std::cerr.rdbuf(buf_.rdbuf())) {}
  ~CerrCapture() { std::cerr.rdbuf(old_); }
  std::string str() const { return buf_.str(); }

 private:
  std::ostringstream buf_;
  std::streambuf* old_;
};

// Reads a prior file from text; the error stream goes to *err when given.
inline int readPrior(TSampleParameters& p, std::string const& text, std::string* err = nullptr) {
  std::istringstream in(text);
  CerrCapture capture;
  int ok = p.readEstimationStream(in, my_string("test.est"));
  if (err) *err = capture.str();
  return ok;
}

// A fresh folder for one test.
inline std::string freshTempDir() {
  std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return scratchFolder("bv_params_" + name);
}
