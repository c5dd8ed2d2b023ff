#pragma once
// Runs the built program in a fresh folder and captures what it writes.
#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
  std::string folder;  // real path of the folder the program started in
  std::vector<std::string> out;  // lines of the standard output
  std::vector<std::string> err;  // lines of the standard error stream
  int status = -1;
};

// Creates a fresh folder named after the label, writes the files (path relative to
// the folder, content), runs the program there with the arguments (program name
// excluded) and removes the folder again.
ProgramRun runProgram(std::string const& label, std::vector<std::string> const& args,
                      std::vector<std::pair<std::string, std::string>> const& files);
