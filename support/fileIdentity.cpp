#include "support/fileIdentity.h"

#include <sstream>

TFileIdentity TFileIdentity::created(const struct stat& info) {
  TFileIdentity id;
  id.device = static_cast<unsigned long long>(info.st_dev);
  id.inode = static_cast<unsigned long long>(info.st_ino);
  return id;
}

TFileIdentity TFileIdentity::of(const struct stat& info) {
  TFileIdentity id = created(info);
  id.closed = true;
  id.size = static_cast<long long>(info.st_size);
  id.modifiedSeconds = static_cast<long long>(info.st_mtim.tv_sec);
  id.modifiedNanoseconds = static_cast<long long>(info.st_mtim.tv_nsec);
  return id;
}

bool TFileIdentity::describes(const TFileIdentity& now) const {
  if (!known() || !sameFile(now)) return false;
  return !closed || (size == now.size && modifiedSeconds == now.modifiedSeconds &&
                     modifiedNanoseconds == now.modifiedNanoseconds);
}

std::string TFileIdentity::text() const {
  std::ostringstream os;
  os << device << '\t' << inode << '\t';
  if (closed)
    os << size << '\t' << modifiedSeconds << '\t' << modifiedNanoseconds;
  else
    os << "-\t-\t-";
  return os.str();
}

bool TFileIdentity::parse(const std::string& text, TFileIdentity& identity) {
  std::istringstream in(text);
  TFileIdentity id;
  std::string size, seconds, nanoseconds, rest;
  if (!(in >> id.device >> id.inode >> size >> seconds >> nanoseconds) || (in >> rest) ||
      id.inode == 0)
    return false;
  id.closed = size != "-";
  if (id.closed) {
    std::istringstream numbers(size + " " + seconds + " " + nanoseconds);
    if (!(numbers >> id.size >> id.modifiedSeconds >> id.modifiedNanoseconds)) return false;
  }
  identity = id;
  return true;
}

bool identityOf(const std::string& path, TFileIdentity& identity) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  identity = TFileIdentity::of(info);
  return true;
}
