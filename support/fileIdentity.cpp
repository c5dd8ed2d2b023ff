#include "support/fileIdentity.h"

#include <cstdio>

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
  id.seconds = static_cast<long long>(info.st_mtim.tv_sec);
  id.nanoseconds = static_cast<long long>(info.st_mtim.tv_nsec);
  return id;
}

bool TFileIdentity::isAmong(const std::vector<TFileIdentity>& files) const {
  for (const TFileIdentity& f : files)
    if (sameFile(f)) return true;
  return false;
}

bool TFileIdentity::describes(const TFileIdentity& now) const {
  return known() && sameFile(now) &&
         (!closed || (size == now.size && seconds == now.seconds && nanoseconds == now.nanoseconds));
}

std::string TFileIdentity::text() const {
  char line[128];
  if (closed)
    std::snprintf(line, sizeof line, "%llu\t%llu\t%lld\t%lld\t%lld", device, inode, size, seconds,
                  nanoseconds);
  else
    std::snprintf(line, sizeof line, "%llu\t%llu\t-\t-\t-", device, inode);
  return line;
}

bool TFileIdentity::parse(const std::string& text, TFileIdentity& identity) {
  TFileIdentity id;
  int end = 0;
  const char* t = text.c_str();
  const bool open = std::sscanf(t, "%llu\t%llu\t-\t-\t-%n", &id.device, &id.inode, &end) == 2 &&
                    end > 0;
  if (!open && std::sscanf(t, "%llu\t%llu\t%lld\t%lld\t%lld%n", &id.device, &id.inode, &id.size,
                           &id.seconds, &id.nanoseconds, &end) != 5)
    return false;
  id.closed = !open;
  if (t[end] != '\0' || !id.known()) return false;
  identity = id;
  return true;
}

bool identityOf(const std::string& path, TFileIdentity& identity) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  identity = TFileIdentity::of(info);
  return true;
}
