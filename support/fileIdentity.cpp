#include "support/fileIdentity.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <sstream>

bool TFileIdentity::isAmong(const std::vector<TFileIdentity>& files) const {
  for (const TFileIdentity& f : files)
    if (sameFile(f)) return true;
  return false;
}

TFileIdentity TFileIdentity::opened() const {
  TFileIdentity id = *this;
  id.closed = false;
  id.size = id.seconds = id.nanoseconds = 0;
  return id;
}

bool TFileIdentity::describes(const TFileIdentity& now) const {
  const bool sameBirth = !born || !now.born ||
                         (bornSeconds == now.bornSeconds && bornNanoseconds == now.bornNanoseconds);
  return known() && sameFile(now) && sameBirth &&
         (!closed || (size == now.size && seconds == now.seconds && nanoseconds == now.nanoseconds));
}

std::string TFileIdentity::text() const {
  std::ostringstream os;
  os << device << '\t' << inode;
  if (closed)
    os << '\t' << size << '\t' << seconds << '\t' << nanoseconds;
  else
    os << "\t-\t-\t-";
  if (born)
    os << '\t' << bornSeconds << '\t' << bornNanoseconds;
  else
    os << "\t-\t-";
  return os.str();
}

namespace {

// The next field: a number, or "-" (then known is false).
bool field(std::istringstream& in, long long& value, bool& known) {
  std::string word;
  if (!(in >> word)) return false;
  known = word != "-";
  if (!known) return true;
  std::istringstream number(word);
  return static_cast<bool>(number >> value) && number.eof();
}

}  // namespace

bool TFileIdentity::parse(const std::string& text, TFileIdentity& identity) {
  std::istringstream in(text);
  TFileIdentity id;
  bool withSize = false, withSeconds = false, withNanoseconds = false;
  if (!(in >> id.device >> id.inode) || !field(in, id.size, withSize) ||
      !field(in, id.seconds, withSeconds) || !field(in, id.nanoseconds, withNanoseconds) ||
      withSize != withSeconds || withSize != withNanoseconds || !id.known())
    return false;
  id.closed = withSize;
  bool bornSeconds = false, bornNanoseconds = false;
  if (field(in, id.bornSeconds, bornSeconds) &&
      (!field(in, id.bornNanoseconds, bornNanoseconds) || bornSeconds != bornNanoseconds))
    return false;
  id.born = bornSeconds;
  std::string rest;
  if (in >> rest) return false;
  identity = id;
  return true;
}

bool statFile(int dirFd, const std::string& name, struct stat& info, TFileIdentity& identity) {
  struct statx x;
  const int flags = AT_SYMLINK_NOFOLLOW | (name.empty() ? AT_EMPTY_PATH : 0);
  if (statx(dirFd, name.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, &x) != 0) return false;
  info = {};
  info.st_dev = makedev(x.stx_dev_major, x.stx_dev_minor);
  info.st_ino = x.stx_ino;
  info.st_mode = x.stx_mode;
  info.st_nlink = x.stx_nlink;
  info.st_size = static_cast<off_t>(x.stx_size);
  info.st_mtim.tv_sec = x.stx_mtime.tv_sec;
  info.st_mtim.tv_nsec = x.stx_mtime.tv_nsec;
  identity = TFileIdentity();
  identity.device = static_cast<unsigned long long>(info.st_dev);
  identity.inode = static_cast<unsigned long long>(info.st_ino);
  identity.closed = true;
  identity.size = static_cast<long long>(x.stx_size);
  identity.seconds = x.stx_mtime.tv_sec;
  identity.nanoseconds = x.stx_mtime.tv_nsec;
  identity.born = (x.stx_mask & STATX_BTIME) != 0;
  if (identity.born) {
    identity.bornSeconds = x.stx_btime.tv_sec;
    identity.bornNanoseconds = x.stx_btime.tv_nsec;
  }
  return true;
}

bool identityOf(const std::string& path, TFileIdentity& identity) {
  const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);  // links followed
  struct stat info;
  const bool found = fd >= 0 && statFile(fd, "", info, identity);
  if (fd >= 0) close(fd);
  return found;
}
