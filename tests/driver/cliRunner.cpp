#include "cliRunner.h"

#include <filesystem>

#include "runFolder.h"

ProgramRun runProgram(std::string const& label, std::vector<std::string> const& args,
                      std::vector<std::pair<std::string, std::string>> const& files) {
  RunFolder const folder("cli_" + label);
  for (auto const& [name, content] : files) folder.write(name, content);
  RunOutput const output = folder.run(args);
  ProgramRun result;
  result.folder = std::filesystem::canonical(folder.path()).string();
  result.status = output.status;
  result.out = linesOf(output.out);
  result.err = linesOf(output.err);
  return result;
}
