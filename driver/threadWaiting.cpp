#include "driver/threadWaiting.h"

#include <cstring>

#include <sys/auxv.h>
#include <sys/mman.h>
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

void restartAtLoad(int argc, char** argv, char** envp) {
  if (!argv || userChoseWaitPolicy(valueIn(envp, kPolicy), valueIn(envp, kSpins))) return;
  if (!mayUseThreads(argc, argv)) return;
  // The loader's base address is 0 only when the loader itself is the program.
  if (getauxval(AT_BASE) == 0) return;
  // The C library is not started yet (setenv and malloc are not to be used):
  // the new environment is the given one plus the policy, in pages of its own.
  size_t n = 0;
  for (char** e = envp; e && *e; ++e) ++n;
  const size_t bytes = (n + 2) * sizeof(char*);
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return;
  char** environment = static_cast<char**>(block);
  for (size_t k = 0; k < n; ++k) environment[k] = envp[k];
  static char policy[] = "OMP_WAIT_POLICY=passive";  // also keeps the new image from a third start
  environment[n] = policy;
  environment[n + 1] = nullptr;
  static char path[4096];
  execve(ownImage(path), argv, environment);
  munmap(block, bytes);  // not restarted: the run goes on with the runtime's own policy
}
