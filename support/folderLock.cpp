#include "support/folderLock.h"

#include <sys/file.h>

#include <cerrno>

namespace {

LockResult tryLock(int fd) {
  if (fd < 0) return LockResult::UNSUPPORTED;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return LockResult::LOCKED;
  return errno == EWOULDBLOCK ? LockResult::BUSY : LockResult::UNSUPPORTED;
}

}  // namespace

LockResult lockFolder(int folderFd, int recordFd) {
  const LockResult onFolder = tryLock(folderFd);
  return onFolder == LockResult::UNSUPPORTED ? tryLock(recordFd) : onFolder;
}
