// Loaded into the program by tests only (LD_PRELOAD): holds one rename open
// so that a test can act inside the window between the program's check of
// a file and its rename, or kill the program there. The first rename whose
// source or target name is BRV_TEST_RENAME_NAME (after BRV_TEST_RENAME_SKIP
// such renames, 0 when not set) waits BRV_TEST_RENAME_MS milliseconds, after
// creating the file BRV_TEST_RENAME_MARK to tell the test that the window is
// open; with BRV_TEST_RENAME_AFTER set, it waits once the rename is done.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

std::atomic<int> seen{0};

bool endsWith(const char* path, const char* end) {
  const size_t n = std::strlen(path), m = std::strlen(end);
  return n >= m && std::strcmp(path + n - m, end) == 0 && (n == m || path[n - m - 1] == '/');
}

// Whether this rename is the one held, and held before it is done.
bool isHeld(const char* from, const char* to, bool& before) {
  const char* name = std::getenv("BRV_TEST_RENAME_NAME");
  if (!name || !(endsWith(from, name) || endsWith(to, name))) return false;
  const char* skip = std::getenv("BRV_TEST_RENAME_SKIP");
  before = std::getenv("BRV_TEST_RENAME_AFTER") == nullptr;
  return seen++ == (skip ? std::atoi(skip) : 0);
}

void hold() {
  if (const char* mark = std::getenv("BRV_TEST_RENAME_MARK")) {
    const int fd = open(mark, O_WRONLY | O_CREAT, 0644);
    if (fd >= 0) close(fd);
  }
  const char* ms = std::getenv("BRV_TEST_RENAME_MS");
  std::this_thread::sleep_for(std::chrono::milliseconds(ms ? std::atoi(ms) : 1000));
}

template <class F>
F next(const char* symbol) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, symbol));
}

}  // namespace

// Calls the rename, holding it before or after when it is the one held.
template <class Rename>
int held(const char* from, const char* to, Rename rename) {
  bool before = true;
  const bool isThisOne = isHeld(from, to, before);
  if (isThisOne && before) hold();
  const int result = rename();
  if (isThisOne && !before) {
    const int error = errno;
    hold();
    errno = error;
  }
  return result;
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned int flags) {
  using Fn = int (*)(int, const char*, int, const char*, unsigned int);
  return held(from, to, [&] { return next<Fn>("renameat2")(fromDir, from, toDir, to, flags); });
}

extern "C" int renameat(int fromDir, const char* from, int toDir, const char* to) {
  using Fn = int (*)(int, const char*, int, const char*);
  return held(from, to, [&] { return next<Fn>("renameat")(fromDir, from, toDir, to); });
}

extern "C" int rename(const char* from, const char* to) {
  using Fn = int (*)(const char*, const char*);
  return held(from, to, [&] { return next<Fn>("rename")(from, to); });
}
