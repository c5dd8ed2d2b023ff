#include "support/interruptCleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

constexpr int kSlots = 128;  // above the largest number of batches, one folder each
constexpr int kPathSize = 4096;
constexpr int kPasses = 20;  // removal passes at most, 1 ms apart

enum SlotState : int { FREE = 0, WRITING = 1, READY = 2 };

// States and paths stay zero-initialised static data (no initialiser runs at
// start-up), so that the table costs no memory until a slot is filled.
std::atomic<int> slotStates[kSlots];  // FREE
char slotPaths[kSlots][kPathSize];
std::atomic<bool> cleanupStarted{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handler reads these atomics");

// The entries of the folder unlinked; true when the folder is gone or was
// never there. Only async-signal-safe calls.
bool removeFolder(const char* path) {
  const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  alignas(8) static char buffer[8192];
  for (bool unlinked = true; unlinked;) {  // list again after unlinking
    unlinked = false;
    lseek(fd, 0, SEEK_SET);
    for (;;) {
      const ssize_t n = getdents64(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const dirent64* e = reinterpret_cast<const dirent64*>(buffer + at);
        at += e->d_reclen;
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (unlinkat(fd, name, 0) == 0) unlinked = true;
      }
    }
  }
  close(fd);
  return rmdir(path) == 0 || errno == ENOENT;
}

extern "C" void onInterrupt(int signal) {
  const int savedErrno = errno;
  cleanupStarted.store(true);
  for (int pass = 0; pass < kPasses; ++pass) {
    bool allGone = true;
    for (int k = 0; k < kSlots; ++k)
      if (slotStates[k].load() == READY && !removeFolder(slotPaths[k])) allGone = false;
    if (allGone && pass > 0) break;  // a second pass for files created meanwhile
    const timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
  }
  struct sigaction defaultAction;
  std::memset(&defaultAction, 0, sizeof defaultAction);
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
  errno = savedErrno;
  raise(signal);  // delivered when the handler returns: the process ends by it
}

}  // namespace

bool registerTempFolder(const std::string& path) {
  std::string full = path;
  if (full.empty() || full[0] != '/') {
    char cwd[kPathSize];
    if (!getcwd(cwd, sizeof cwd)) return false;
    full = std::string(cwd) + "/" + path;
  }
  if (full.size() >= static_cast<size_t>(kPathSize)) return false;
  for (int k = 0; k < kSlots; ++k) {
    int state = slotStates[k].load();
    if (state == READY && full == slotPaths[k]) return true;
    if (state == FREE && slotStates[k].compare_exchange_strong(state, WRITING)) {
      std::memcpy(slotPaths[k], full.c_str(), full.size() + 1);
      slotStates[k].store(READY);
      return true;
    }
  }
  return false;
}

void installInterruptCleanup() {
  for (const int signal : {SIGINT, SIGTERM}) {
    struct sigaction current;
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);  // one cleanup at a time
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(signal, &action, nullptr);
  }
}

bool interruptCleanupStarted() { return cleanupStarted.load(std::memory_order_relaxed); }

void waitForInterruptEnd() {
  for (;;) pause();
}
