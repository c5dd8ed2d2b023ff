#pragma once
// Model texts and helpers shared by the model tests.
#include <iostream>
#include <sstream>
#include <string>

#include "model/simSettings.h"
#include "support/globals.h"

// A two-deme model, section by section, so that a test can change one part.
struct ModelFile {
  std::string demes = "2";
  std::string sizes = "10000\n20000";
  std::string samples = "10\n8 300";
  std::string growth = "0\n-0.001";
  std::string matrices =
      "2\n//Migration matrix 0\n0 0.001\n0.002 0\n//Migration matrix 1\n0 0\n0 0";
  std::string events = "1 historical event\n300 1 0 1 1 0 1";
  std::string loci = "1 0";
  std::string structures =
      "//Per chromosome: Number of linkage blocks\n2\n"
      "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n"
      "DNA 1000 0 2.5e-8 0.33\nMICROSAT 3 0.001 0.0005 0 2";

  std::string text() const {
    return "//Number of population samples (demes)\n" + demes +
           "\n//Population effective sizes (number of genes)\n" + sizes + "\n//Sample sizes\n" +
           samples + "\n//Growth rates: negative growth implies population expansion\n" + growth +
           "\n//Number of migration matrices : 0 implies no migration between demes\n" + matrices +
           "\n//historical event: time, source, sink, migrants, new size, new growth rate, "
           "migr. matrix\n" +
           events + "\n//Number of independent loci [chromosome]\n" + loci + "\n" + structures +
           "\n";
  }
};

inline const char* kOneDemeModel =
    "//Number of population samples (demes)\n1\n"
    "//Population effective sizes (number of genes)\n1000\n"
    "//Sample sizes\n20\n"
    "//Growth rates\n0.5e-3\n"
    "//Number of migration matrices\n0\n"
    "//historical event\n0 historical event\n"
    "//Number of independent loci [chromosome]\n3 0\n"
    "//Per chromosome: Number of linkage blocks\n2\n"
    "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n"
    "SNP 10 0.00001 2e-8 0.05\n"
    "STANDARD 5 0 1e-7\n";

// Redirects a standard stream into a string for the lifetime of the object.
class StreamCapture {
 public:
  explicit StreamCapture(std::ostream& os) : os_(os), old_(os.rdbuf(text_.rdbuf())) {}
  ~StreamCapture() { os_.rdbuf(old_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostream& os_;
  std::ostringstream text_;
  std::streambuf* old_;
};

struct ParseResult {
  int result;
  std::string errors;
};

// Parses a model text without echo; the error stream is captured.
inline ParseResult parseModel(TSimSettings& s, const std::string& text) {
  std::istringstream is(text);
  bool console = consoleOutput;
  consoleOutput = false;
  StreamCapture err(std::cerr);
  int result = s.readInputFile(is, true, 0, false);
  consoleOutput = console;
  return {result, err.text()};
}

// Default formats on a stream, as on a fresh one.
inline void resetFormat(std::ostream& os) {
  os.flags(std::ios::dec | std::ios::skipws);
  os.precision(6);
  os.fill(' ');
}
