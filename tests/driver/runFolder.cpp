#include "runFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

RunFolder::RunFolder(const std::string& label) {
  static int counter = 0;
  dir_ = fs::path(testing::TempDir()) /
         ("brv_run_" + label + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
  fs::remove_all(dir_);
  fs::create_directories(dir_);
}

RunFolder::~RunFolder() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void RunFolder::write(const std::string& name, const std::string& text) const {
  const fs::path p = dir_ / name;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

void RunFolder::copyExample(const std::string& example) const {
  for (const auto& entry : fs::directory_iterator(fs::path(EXAMPLES_DIR) / example))
    if (entry.is_regular_file()) fs::copy_file(entry.path(), dir_ / entry.path().filename());
}

RunOutput RunFolder::run(const std::vector<std::string>& args, unsigned timeLimit) const {
  return finish(start(args, timeLimit));
}

int RunFolder::start(const std::vector<std::string>& args, unsigned timeLimit) const {
  const fs::path outPath = dir_.string() + ".stdout";
  const fs::path errPath = dir_.string() + ".stderr";
  std::vector<std::string> words{BRIMVANE_EXE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || chdir(dir_.c_str()) != 0) _exit(127);
    dup2(out, 1);
    dup2(err, 2);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGUSR1, SIGUSR2, SIGXCPU, SIGALRM})
      signal(sig, SIG_DFL);
    const struct rlimit noCore = {0, 0};  // SIGQUIT and SIGXCPU leave no core file
    setrlimit(RLIMIT_CORE, &noCore);
    if (timeLimit > 0) alarm(timeLimit);  // kept across execv
    execv(BRIMVANE_EXE, argv.data());
    _exit(127);
  }
  return child;
}

RunOutput RunFolder::finish(int pid, int* waitStatus) const {
  const fs::path outPath = dir_.string() + ".stdout";
  const fs::path errPath = dir_.string() + ".stderr";
  int status = 0;
  waitpid(pid, &status, 0);
  if (waitStatus) *waitStatus = status;
  RunOutput result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = slurp(outPath);
  result.err = slurp(errPath);
  fs::remove(outPath);
  fs::remove(errPath);
  return result;
}

std::string RunFolder::read(const std::string& name) const { return slurp(dir_ / name); }

bool RunFolder::exists(const std::string& name) const { return fs::exists(dir_ / name); }

std::map<std::string, std::string> RunFolder::files() const {
  std::map<std::string, std::string> all;
  for (const auto& entry : fs::recursive_directory_iterator(dir_))
    if (entry.is_regular_file())
      all[fs::relative(entry.path(), dir_).string()] = slurp(entry.path());
  return all;
}

std::map<std::string, std::string> RunFolder::outputs() const {
  std::map<std::string, std::string> all = files();
  // The list of outputs holds the files' identities (inodes, times): no output.
  for (auto it = all.begin(); it != all.end();)
    it = it->first.find("written_by_brimvane.txt") != std::string::npos ? all.erase(it) : ++it;
  for (auto& [name, text] : all) {
    if (name.find(".simparam") == std::string::npos) continue;
    std::string kept;
    for (const std::string& line : linesOf(text))
      if (line.find("done in ") == std::string::npos) kept += line + "\n";
    text = kept;
  }
  return all;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int countOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + part.size()))
    ++n;
  return n;
}
