#include "support/interruptCleanup.h"

#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "support/outputFolder.h"
#include "support/tempFolders.h"

namespace {

constexpr int kSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGPIPE, SIGQUIT,
                            SIGUSR1, SIGUSR2, SIGXCPU, SIGALRM};

std::atomic<bool> cleanupStarted{false};
// Shared by the creators of temporary files, taken whole by the cleanup.
std::shared_mutex creations;
std::atomic<pid_t> cleanupThread{0};  // thread id of the cleanup thread, once it runs

// Removes every temporary folder, once no creation is under way.
void removeAllTempFolders() {
  std::unique_lock<std::shared_mutex> noCreation(creations);
  removeOwnTempFolders();
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

