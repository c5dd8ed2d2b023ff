#pragma once
// The run file "brv_run.txt": read when the program is started without arguments.
// Line 1 is the folder to change into, line 2 the options, split at white space.
#include <string>
#include <vector>

#include "support/cstring.h"

class AnyOption;

extern char const* const kRunFileName;  // "brv_run.txt"

// An argument vector built by the program; owns its texts.
class ArgumentVector {
 public:
  void assign(char const* programName, std::vector<std::string> const& tokens);
  int argc() const { return static_cast<int>(texts.size()); }
  char** argv() { return pointers.data(); }

 private:
  std::vector<std::string> texts;
  std::vector<char*> pointers;  // one per text, then a null
};

// Replaces argc and argv by the program name followed by the tokens of the line
// (kept in newArg). False, with a message, when the line holds no token.
bool assignNewCmdLine(my_string const& line, int& argc, char**& argv, ArgumentVector& newArg);

// Reads the run file of the current folder, changes into its folder and replaces
// argc and argv by its options. False after a message (and the usage text where
// it helps): the program then ends with status 1.
bool readRunFile(AnyOption& opt, my_string const& currentFolder, int& argc, char**& argv,
                 ArgumentVector& newArg);
