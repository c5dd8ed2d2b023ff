#include "driver/runFile.h"

#include <unistd.h>

#include <fstream>
#include <iostream>

#include "support/anyoption.h"

char const* const kRunFileName = "brv_run.txt";

namespace {

bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string> splitAtWhiteSpace(char const* text) {
  std::vector<std::string> tokens;
  std::string token;
  for (char const* p = text; *p != '\0'; ++p) {
    if (!isSeparator(*p)) {
      token += *p;
    } else if (!token.empty()) {
      tokens.push_back(token);
      token.clear();
    }
  }
  if (!token.empty()) tokens.push_back(token);
  return tokens;
}

}  // namespace

void ArgumentVector::assign(char const* programName, std::vector<std::string> const& tokens) {
  texts.clear();
  texts.push_back(programName);
  texts.insert(texts.end(), tokens.begin(), tokens.end());
  pointers.clear();
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
}

bool assignNewCmdLine(my_string const& line, int& argc, char**& argv, ArgumentVector& newArg) {
  std::vector<std::string> const tokens = splitAtWhiteSpace(line.c_str());
  if (tokens.empty()) {
    std::cerr << "No options specified on command line" << std::endl;
    return false;
  }
  newArg.assign(argc > 0 ? argv[0] : "brimvane", tokens);
  argc = newArg.argc();
  argv = newArg.argv();
  return true;
}

bool readRunFile(AnyOption& opt, my_string const& currentFolder, int& argc, char**& argv,
                 ArgumentVector& newArg) {
  std::cout << "brv was launched without any argument: attempting to read file \""
            << kRunFileName << "\"" << std::endl;
  std::ifstream runFile(kRunFileName);
  if (!runFile) {
    std::cerr << "Unable to find file \"" << kRunFileName << "\" in current directory("
              << currentFolder << ")" << std::endl;
    opt.printUsage();
    return false;
  }
  my_string path;
  my_string options;
  std::cout << "\"" << kRunFileName << "\" contains" << std::endl;
  path.read_line(runFile);
  std::cout << "   Path: " << path << "\n";
  options.read_line(runFile);
  std::cout << "   Command line options: " << options << "\n";
  runFile.close();
  if (path.is_null()) {
    std::cerr << "  No path specified in file \"" << kRunFileName << "\"" << std::endl;
    opt.printUsage();
    return false;
  }
  if (chdir(path.c_str()) != 0) {
    std::cerr << "\nUnable to find path \n"
              << path << " \n specified in file \"" << kRunFileName << "\"" << std::endl;
    return false;
  }
  if (!assignNewCmdLine(options, argc, argv, newArg)) {
    opt.printUsage();
    return false;
  }
  return true;
}
