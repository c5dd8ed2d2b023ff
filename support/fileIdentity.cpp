#include "support/fileIdentity.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

bool TFileIdentity::isAmong(const std::vector<TFileIdentity>& files) const {
  for (const TFileIdentity& f : files)
    if (sameFile(f)) return true;
  return false;
}

TFileIdentity TFileIdentity::opened() const {
  TFileIdentity id = *this;
  id.closed = id.changeKnown = false;
  id.size = id.seconds = id.changeSeconds = 0;
  id.nanoseconds = id.changeNanoseconds = 0;
  return id;
}

TFileIdentity TFileIdentity::content() const {
  TFileIdentity id = *this;
  id.changeKnown = false;
  id.changeSeconds = id.changeNanoseconds = 0;
  return id;
}

bool TFileIdentity::describesContent(const TFileIdentity& now) const {
  const bool sameBirth = !born || !now.born ||
                         (bornSeconds == now.bornSeconds && bornNanoseconds == now.bornNanoseconds);
  const bool sameGeneration =
      !generationKnown || !now.generationKnown || generation == now.generation;
  return known() && sameFile(now) && sameBirth && sameGeneration &&
         (!closed || (size == now.size && seconds == now.seconds && nanoseconds == now.nanoseconds));
}

bool TFileIdentity::describes(const TFileIdentity& now) const {
  const bool sameChange = !closed || !changeKnown || !now.changeKnown ||
                          (changeSeconds == now.changeSeconds &&
                           changeNanoseconds == now.changeNanoseconds);
  return describesContent(now) && sameChange;
}

namespace {

void appendField(std::string& text, bool known, long long value) {
  text += '\t';
  text += known ? std::to_string(value) : "-";
}

// The fields of a text separated by white space.
std::vector<std::string_view> fieldsOf(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == '\t' || text[at] == ' ')) ++at;
    size_t end = at;
    while (end < text.size() && text[end] != '\t' && text[end] != ' ') ++end;
    if (end > at) fields.push_back(text.substr(at, end - at));
    at = end;
  }
  return fields;
}

template <class T>
bool number(std::string_view word, T& value) {
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  return error == std::errc() && end == word.data() + word.size();
}

// A pair of fields, seconds and nanoseconds, both numbers or both "-" (then
// known is false).
bool pair(std::string_view a, std::string_view b, long long& x, int& y, bool& known) {
  known = a != "-";
  if (!known) return b == "-";
  return number(a, x) && number(b, y);
}

// The inode generation of the open file; false where the file system has none.
bool generationOf(int fd, unsigned long long& generation) {
  long buffer = 0;  // the file systems write an int here; room for a long
  if (ioctl(fd, FS_IOC_GETVERSION, &buffer) != 0) return false;
  std::uint32_t value = 0;
  std::memcpy(&value, &buffer, sizeof value);
  generation = value;
  return true;
}

// The generation of the file statted as x: read from a descriptor of it,
// opened for reading without following a link or waiting (plain files and
// folders only, whose opening does nothing).
void addGeneration(int dirFd, const std::string& name, const struct statx& x, TFileIdentity& id) {
  if (!S_ISREG(x.stx_mode) && !S_ISDIR(x.stx_mode)) return;
  if (name.empty() && generationOf(dirFd, id.generation)) {
    id.generationKnown = true;
    return;
  }
  const std::string path = name.empty() ? "/proc/self/fd/" + std::to_string(dirFd) : name;
  const int fd = openat(name.empty() ? AT_FDCWD : dirFd, path.c_str(),
                        O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (name.empty() ? 0 : O_NOFOLLOW));
  if (fd < 0) return;
  struct stat info;
  if (fstat(fd, &info) == 0 && info.st_ino == x.stx_ino &&
      info.st_dev == makedev(x.stx_dev_major, x.stx_dev_minor))
    id.generationKnown = generationOf(fd, id.generation);
  close(fd);
}

}  // namespace

std::string TFileIdentity::text() const {
  std::string t = std::to_string(device) + '\t' + std::to_string(inode);
  appendField(t, closed, size);
  appendField(t, closed, seconds);
  appendField(t, closed, nanoseconds);
  appendField(t, born, bornSeconds);
  appendField(t, born, bornNanoseconds);
  appendField(t, closed && changeKnown, changeSeconds);
  appendField(t, closed && changeKnown, changeNanoseconds);
  t += '\t';
  t += generationKnown ? std::to_string(generation) : "-";
  return t;
}

bool TFileIdentity::parse(const std::string& text, TFileIdentity& identity) {
  const std::vector<std::string_view> f = fieldsOf(text);
  if (f.size() != 5 && f.size() != 7 && f.size() != 10) return false;
  TFileIdentity id;
  long long size = 0;
  bool withSize = false, withSeconds = false, born = false, change = false;
  if (!number(f[0], id.device) || !number(f[1], id.inode) || !id.known()) return false;
  if (f[2] == "-") {
    withSize = false;
  } else if (!number(f[2], size)) {
    return false;
  } else {
    withSize = true;
  }
  if (!pair(f[3], f[4], id.seconds, id.nanoseconds, withSeconds) || withSize != withSeconds)
    return false;
  id.closed = withSize;
  id.size = size;
  if (f.size() >= 7 && !pair(f[5], f[6], id.bornSeconds, id.bornNanoseconds, born)) return false;
  id.born = born;
  if (f.size() == 10) {
    if (!pair(f[7], f[8], id.changeSeconds, id.changeNanoseconds, change) ||
        (change && !id.closed))
      return false;
    id.changeKnown = change;
    id.generationKnown = f[9] != "-";
    if (id.generationKnown && !number(f[9], id.generation)) return false;
  }
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
  info.st_ctim.tv_sec = x.stx_ctime.tv_sec;
  info.st_ctim.tv_nsec = x.stx_ctime.tv_nsec;
  identity = TFileIdentity();
  identity.device = static_cast<unsigned long long>(info.st_dev);
  identity.inode = static_cast<unsigned long long>(info.st_ino);
  identity.closed = true;
  identity.size = static_cast<long long>(x.stx_size);
  identity.seconds = x.stx_mtime.tv_sec;
  identity.nanoseconds = static_cast<int>(x.stx_mtime.tv_nsec);
  identity.changeKnown = true;
  identity.changeSeconds = x.stx_ctime.tv_sec;
  identity.changeNanoseconds = static_cast<int>(x.stx_ctime.tv_nsec);
  identity.born = (x.stx_mask & STATX_BTIME) != 0;
  if (identity.born) {
    identity.bornSeconds = x.stx_btime.tv_sec;
    identity.bornNanoseconds = static_cast<int>(x.stx_btime.tv_nsec);
  } else {
    addGeneration(dirFd, name, x, identity);
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

std::string kindOfFile(mode_t mode) {
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "a plain file";
}
