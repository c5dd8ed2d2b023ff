#include "driver/threadWaiting.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace {

const char kPolicy[] = "OMP_WAIT_POLICY";
const char kSpins[] = "GOMP_SPINCOUNT";

// The value of a thread option written after its name, or nullptr: "-c8",
// "--cores=8" (the value in the same word).
const char* attachedValue(const char* word) {
  if (std::strncmp(word, "--cores=", 8) == 0) return word + 8;
  if (word[0] == '-' && word[1] == 'c' && word[2] != '\0') return word + 2;
  return nullptr;
}

bool isThreadOption(const char* word) {
  return std::strcmp(word, "-c") == 0 || std::strcmp(word, "--cores") == 0;
}

// Plain texts only: this also runs before the C++ runtime has started.
bool mayUseThreads(int argc, const char* const* argv) {
  if (argc <= 1) return true;  // the run file holds the options
  for (int k = 1; k < argc; ++k) {
    const char* value = attachedValue(argv[k]);
    if (!value && isThreadOption(argv[k]) && k + 1 < argc) value = argv[k + 1];
    if (value && std::strcmp(value, "1") != 0) return true;
  }
  return false;
}

// The value of a variable in an environment block, or nullptr.
const char* valueIn(char** envp, const char* name) {
  const size_t n = std::strlen(name);
  for (char** e = envp; e && *e; ++e)
    if (std::strncmp(*e, name, n) == 0 && (*e)[n] == '=') return *e + n + 1;
  return nullptr;
}

// The program's own path, so that the process keeps its name ("exe"
// otherwise, in ps, top and the job tools of a cluster); the link itself
// when the path cannot be had.
const char* ownImage(char (&path)[4096]) {
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "/proc/self/exe";
  path[n] = '\0';
  return access(path, X_OK) == 0 ? path : "/proc/self/exe";
}

}  // namespace

bool userChoseWaitPolicy(const char* waitPolicy, const char* spinCount) {
  return waitPolicy != nullptr || spinCount != nullptr;
}

bool argumentsMayUseThreads(const std::vector<std::string>& args) {
  std::vector<const char*> words;
  for (const std::string& a : args) words.push_back(a.c_str());
  return mayUseThreads(static_cast<int>(words.size()), words.data());
}

bool shouldRestartPassive(const std::vector<std::string>& args, const char* waitPolicy,
                          const char* spinCount) {
  return !userChoseWaitPolicy(waitPolicy, spinCount) && argumentsMayUseThreads(args);
}

void restartWithPassiveWaiting(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (!shouldRestartPassive(args, std::getenv(kPolicy), std::getenv(kSpins))) return;
  // Set before the new image loads the runtime; the variable also keeps the
  // new process from starting a third time.
  if (setenv(kPolicy, "passive", 0) != 0) return;
  char path[4096];
  execv(ownImage(path), argv);
  unsetenv(kPolicy);  // not restarted: the environment stays as it was given
}

void restartAtLoad(int argc, char** argv, char** envp) {
  if (!argv || valueIn(envp, kPolicy) || valueIn(envp, kSpins)) return;
  if (!mayUseThreads(argc, argv)) return;
  static char policy[] = "OMP_WAIT_POLICY=passive";
  static char* environment[4096];
  int n = 0;
  for (char** e = envp; e && *e; ++e) {
    if (n + 2 >= 4096) return;  // too large to copy here: main restarts instead
    environment[n++] = *e;
  }
  environment[n++] = policy;
  environment[n] = nullptr;
  static char path[4096];
  execve(ownImage(path), argv, environment);
}

