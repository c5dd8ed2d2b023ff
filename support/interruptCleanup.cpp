#include "support/interruptCleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <map>
#include <shared_mutex>
#include <thread>

#include "support/outputFolder.h"

namespace {

constexpr int kPasses = 20;  // removal passes at most, 1 ms apart
constexpr int kSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGPIPE, SIGQUIT,
                            SIGUSR1, SIGUSR2, SIGXCPU, SIGALRM};

struct TTempFolders {
  std::mutex lock;
  std::map<int, std::string> made;  // batch -> absolute path of the folder this process made
};

TTempFolders& tempFolders() {
  static TTempFolders folders;
  return folders;
}

std::atomic<bool> cleanupStarted{false};
// Shared by the creators of temporary files, taken whole by the cleanup.
std::shared_mutex creations;
std::atomic<pid_t> cleanupThread{0};  // thread id of the cleanup thread, once it runs

std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

// "Ind_<digits>_<digits>.tmp": the only names the writers of temporary files give.
bool isTempFileName(const char* name) {
  if (std::strncmp(name, "Ind_", 4) != 0) return false;
  const char* p = name + 4;
  for (int part = 0; part < 2; ++part) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (part == 0 && *p++ != '_') return false;
  }
  return std::strcmp(p, ".tmp") == 0;
}

// Unlinks the temporary files of an open folder; true when there were none left.
bool removeTempFilesIn(int fd) {
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return false;
  }
  for (bool unlinked = true; unlinked;) {  // list again after unlinking
    unlinked = false;
    rewinddir(dir);
    while (const dirent* e = readdir(dir))
      if (isTempFileName(e->d_name) && unlinkat(fd, e->d_name, 0) == 0) unlinked = true;
  }
  closedir(dir);
  return true;
}

bool removeTempFilesOf(const std::string& path) { return removeTempFolderAt(AT_FDCWD, path); }

// Removes every folder this process made, once no creation is under way (a
// few passes all the same, for a file system slow to show an unlink).
void removeAllTempFolders() {
  std::unique_lock<std::shared_mutex> noCreation(creations);
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  for (int pass = 0; pass < kPasses; ++pass) {
    bool allGone = true;
    for (const auto& [batch, path] : f.made) allGone &= removeTempFilesOf(path);
    if (allGone) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Ends the process by the signal, with its default action.
[[noreturn]] void endBy(int signal) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  raise(signal);  // pending on this thread until it is unblocked
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  _exit(128 + signal);  // not reached: the signal ends the process
}

void acceptSignals(sigset_t signals) {
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // SIGPIPE too: it waits for sigwait here
  cleanupThread.store(static_cast<pid_t>(syscall(SYS_gettid)));
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
  cleanupStarted.store(true);
  stopOutputs();  // every file made so far is listed already; no new one is made
  removeAllTempFolders();
  endBy(signal);
}

// SIGPIPE comes to the thread that wrote: hand it to the cleanup thread.
extern "C" void forwardPipeSignal(int) {
  const int savedErrno = errno;
  const pid_t target = cleanupThread.load();
  if (target != 0) syscall(SYS_tgkill, getpid(), target, SIGPIPE);
  errno = savedErrno;
}

// Blocks the calling thread until the signal being handled ends the process.
[[noreturn]] void waitForInterruptEnd() {
  for (;;) pause();
}

bool isIgnored(int signal) {
  struct sigaction current;
  return sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN;
}

}  // namespace

bool removeTempFolderAt(int parentFd, const std::string& name) {
  const int fd = openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  removeTempFilesIn(fd);
  return unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT;
}

bool makeOwnTempFolder(const std::string& parent, int batch, std::string& path,
                       std::string& problem) {
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  const auto known = f.made.find(batch);
  struct stat info;
  if (known != f.made.end() && lstat(known->second.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    path = known->second;
    return true;
  }
  std::string name = absolute(parent + "garbage" + std::to_string(batch) + ".XXXXXX");
  if (!mkdtemp(name.data())) {
    problem = "cannot create a temporary folder in \"" + (parent.empty() ? "." : parent) +
              "\": " + std::strerror(errno);
    return false;
  }
  f.made[batch] = path = name;
  std::string rel;
  if (lstat(name.c_str(), &info) == 0 && insideOutputFolder(name, rel))
    noteTempFolder(rel, TFileIdentity::created(info));
  return true;
}

std::string ownTempFolder(int batch) {
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  const auto known = f.made.find(batch);
  return known == f.made.end() ? std::string() : known->second;
}

void emptyOwnTempFolder(int batch) {
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  const auto known = f.made.find(batch);
  if (known == f.made.end()) return;
  const int fd = open(known->second.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) removeTempFilesIn(fd);
}

void removeOwnTempFolders() {
  removeAllTempFolders();
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  f.made.clear();
}

void installInterruptCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kSignals)
      if (!isIgnored(signal)) sigaddset(&signals, signal);
    if (sigismember(&signals, SIGPIPE) == 1) {
      struct sigaction action;
      std::memset(&action, 0, sizeof action);
      action.sa_handler = forwardPipeSignal;
      sigemptyset(&action.sa_mask);
      sigaction(SIGPIPE, &action, nullptr);
    }
    // Blocked here and in every thread started from now on; SIGPIPE stays
    // open to the writers, whose handler passes it on.
    sigset_t blocked = signals;
    sigdelset(&blocked, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    std::thread(acceptSignals, signals).detach();
    while (cleanupThread.load() == 0) std::this_thread::yield();
  });
}

TTempFileCreation::TTempFileCreation() {
  creations.lock_shared();
  if (!cleanupStarted.load()) return;
  creations.unlock_shared();
  waitForInterruptEnd();
}

TTempFileCreation::~TTempFileCreation() { creations.unlock_shared(); }

