#include "cliRunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> readLines(fs::path const& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

ProgramRun runProgram(std::string const& label, std::vector<std::string> const& args,
                      std::vector<std::pair<std::string, std::string>> const& files) {
  fs::path const base = fs::path(testing::TempDir()) /
                        ("brv_cli_" + label + "_" + std::to_string(getpid()));
  fs::remove_all(base);
  fs::path const folder = base / "run";
  fs::create_directories(folder);
  for (auto const& [name, content] : files) {
    fs::path const path = folder / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  fs::path const outPath = base / "stdout.txt";
  fs::path const errPath = base / "stderr.txt";

  std::vector<std::string> words{BRIMVANE_EXE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);

  ProgramRun result;
  result.folder = fs::canonical(folder).string();
  pid_t const child = fork();
  if (child == 0) {
    int const out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int const err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || chdir(folder.c_str()) != 0) _exit(127);
    dup2(out, 1);
    dup2(err, 2);
    execv(BRIMVANE_EXE, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = readLines(outPath);
  result.err = readLines(errPath);
  fs::remove_all(base);
  return result;
}
