#include "driver/threadWaiting.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace {

const char kPolicy[] = "OMP_WAIT_POLICY";
const char kSpins[] = "GOMP_SPINCOUNT";

// The value of a thread option written after its name, or nullptr: "-c8",
// "--cores=8" (the value in the same word).
const char* attachedValue(const std::string& word) {
  if (word.rfind("--cores=", 0) == 0) return word.c_str() + 8;
  if (word.size() > 2 && word.rfind("-c", 0) == 0 && word[1] != '-') return word.c_str() + 2;
  return nullptr;
}

bool isThreadOption(const std::string& word) { return word == "-c" || word == "--cores"; }

}  // namespace

bool userChoseWaitPolicy(const char* waitPolicy, const char* spinCount) {
  return waitPolicy != nullptr || spinCount != nullptr;
}

bool argumentsMayUseThreads(const std::vector<std::string>& args) {
  if (args.size() <= 1) return true;  // the run file holds the options
  for (size_t k = 1; k < args.size(); ++k) {
    const char* value = attachedValue(args[k]);
    if (!value && isThreadOption(args[k]) && k + 1 < args.size()) value = args[k + 1].c_str();
    if (value && std::strcmp(value, "1") != 0) return true;
  }
  return false;
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
  // The program's own path, so that the process keeps its name ("exe"
  // otherwise, in ps, top and the job tools of a cluster); the link itself
  // when the path cannot be had or the file is gone.
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  const char* image = "/proc/self/exe";
  if (n > 0) {
    path[n] = '\0';
    if (access(path, X_OK) == 0) image = path;
  }
  execv(image, argv);
  unsetenv(kPolicy);  // not restarted: the environment stays as it was given
}
