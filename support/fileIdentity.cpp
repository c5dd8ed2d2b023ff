#include "support/fileIdentity.h"

#include <sstream>

TFileIdentity TFileIdentity::of(const struct stat& info) {
  TFileIdentity id;
  id.device = static_cast<unsigned long long>(info.st_dev);
  id.inode = static_cast<unsigned long long>(info.st_ino);
  id.size = static_cast<long long>(info.st_size);
  id.modifiedSeconds = static_cast<long long>(info.st_mtim.tv_sec);
  id.modifiedNanoseconds = static_cast<long long>(info.st_mtim.tv_nsec);
  return id;
}

bool TFileIdentity::operator==(const TFileIdentity& other) const {
  return sameFile(other) && size == other.size && modifiedSeconds == other.modifiedSeconds &&
         modifiedNanoseconds == other.modifiedNanoseconds;
}

std::string TFileIdentity::text() const {
  std::ostringstream os;
  os << device << '\t' << inode << '\t' << size << '\t' << modifiedSeconds << '\t'
     << modifiedNanoseconds;
  return os.str();
}

bool TFileIdentity::parse(const std::string& text, TFileIdentity& identity) {
  std::istringstream in(text);
  TFileIdentity id;
  std::string rest;
  if (!(in >> id.device >> id.inode >> id.size >> id.modifiedSeconds >> id.modifiedNanoseconds) ||
      (in >> rest))
    return false;
  identity = id;
  return true;
}

bool identityOf(const std::string& path, TFileIdentity& identity) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  identity = TFileIdentity::of(info);
  return true;
}
