#pragma once
// What tells one file from another, and a file from its later versions: its
// device and inode, its size and the time it was last changed. A file that the
// program wrote is recognised by this identity alone, never by its name, since
// a user may replace, edit or link a file under the same name at any time.
#include <sys/stat.h>

#include <string>
#include <vector>

struct TFileIdentity {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  long long size = 0;
  long long modifiedSeconds = 0;
  long long modifiedNanoseconds = 0;

  static TFileIdentity of(const struct stat& info);
  // The same file (device and inode), whatever its contents.
  bool sameFile(const TFileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
  // The same file as one of those, whatever its contents.
  bool isAmong(const std::vector<TFileIdentity>& files) const {
    for (const TFileIdentity& f : files)
      if (sameFile(f)) return true;
    return false;
  }
  // The same file, unchanged.
  bool operator==(const TFileIdentity& other) const;

  // Five numbers separated by tabs, and back; false when the text holds no identity.
  std::string text() const;
  static bool parse(const std::string& text, TFileIdentity& identity);
};

// The identity of a file reached by its path, links followed; false when
// there is no such file.
bool identityOf(const std::string& path, TFileIdentity& identity);

// Write-protected by its owner (the owner's write bit clear), whatever the
// privileges of the process: root may write any file, yet the user's chmod
// still says to keep it.
inline bool isWriteProtected(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }
