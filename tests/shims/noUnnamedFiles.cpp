// Preloaded into the program by tests (LD_PRELOAD): the file system then
// seems to make no unnamed files (O_TMPFILE fails, as on network file
// systems), and a process can be held at one step for a test to kill it in
// that instant. Environment:
//   BRV_HOLD="create:<part>"   held after O_CREAT|O_EXCL made a file whose path holds <part>
//   BRV_HOLD="rename:<part>"   held before a file whose path holds <part> is renamed or linked
//   BRV_HOLD="mkdtemp:<part>"  held after mkdtemp made a folder whose path holds <part>
//   BRV_HOLD_MARK              a file made when the hold starts
//   BRV_NO_RENAME_FLAGS=1      renameat2 with flags fails, as where a file system has none
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>

namespace {

template <class F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Holds the process when the step and the path are those of BRV_HOLD.
void holdAt(const char* step, const char* path) {
  const char* hold = getenv("BRV_HOLD");
  const size_t n = strlen(step);
  if (!hold || !path || strncmp(hold, step, n) != 0 || hold[n] != ':' ||
      !strstr(path, hold + n + 1))
    return;
  if (const char* mark = getenv("BRV_HOLD_MARK")) {
    static auto openReal = real<int (*)(const char*, int, ...)>("open");
    const int fd = openReal(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) close(fd);
  }
  sleep(60);  // the test kills the process meanwhile
}

bool isUnnamed(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }

mode_t modeOf(int flags, va_list args) {
  return (flags & O_CREAT) || isUnnamed(flags) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

int afterOpen(int fd, const char* path, int flags) {
  if (fd >= 0 && (flags & O_CREAT) && (flags & O_EXCL)) holdAt("create", path);
  return fd;
}

}  // namespace

extern "C" {

int openat(int dir, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeOf(flags, args);
  va_end(args);
  if (isUnnamed(flags)) {
    errno = EOPNOTSUPP;
    return -1;
  }
  static auto next = real<int (*)(int, const char*, int, ...)>("openat");
  return afterOpen(next(dir, path, flags, mode), path, flags);
}

int openat64(int dir, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeOf(flags, args);
  va_end(args);
  return openat(dir, path, flags, mode);
}

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeOf(flags, args);
  va_end(args);
  return openat(AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeOf(flags, args);
  va_end(args);
  return openat(AT_FDCWD, path, flags, mode);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  const char* no = getenv("BRV_NO_RENAME_FLAGS");
  if (flags != 0 && no && strcmp(no, "1") == 0) {
    errno = EINVAL;
    return -1;
  }
  holdAt("rename", from);
  static auto next = real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  return next(fromDir, from, toDir, to, flags);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  holdAt("rename", from);
  static auto next = real<int (*)(int, const char*, int, const char*)>("renameat");
  return next(fromDir, from, toDir, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  holdAt("rename", from);
  static auto next = real<int (*)(int, const char*, int, const char*, int)>("linkat");
  return next(fromDir, from, toDir, to, flags);
}

char* mkdtemp(char* pattern) {
  static auto next = real<char* (*)(char*)>("mkdtemp");
  char* made = next(pattern);
  if (made) holdAt("mkdtemp", made);
  return made;
}

}  // extern "C"
