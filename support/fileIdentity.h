#pragma once
// What tells one file from another, and a file from its later versions: its
// device and inode, taken from the descriptor as soon as the program creates
// the file, then its size and the time it was last changed, taken from the
// descriptor when the writer closes it. A file the program wrote is
// recognised by this identity alone, never by its name, since a user may
// replace, edit or link a file under the same name at any time.
#include <sys/stat.h>

#include <string>
#include <vector>

struct TFileIdentity {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  bool closed = false;  // size and time known: the writer closed the file
  long long size = 0;
  long long modifiedSeconds = 0;
  long long modifiedNanoseconds = 0;

  // Device and inode only (a file still being written), or everything.
  static TFileIdentity created(const struct stat& info);
  static TFileIdentity of(const struct stat& info);
  bool known() const { return inode != 0; }
  // The same file (device and inode), whatever its contents.
  bool sameFile(const TFileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
  bool isAmong(const std::vector<TFileIdentity>& files) const {
    for (const TFileIdentity& f : files)
      if (sameFile(f)) return true;
    return false;
  }
  // Whether a file as it is now (now) is the one recorded (this): the same
  // file and, when it was closed, with the size and time it had then.
  bool describes(const TFileIdentity& now) const;

  // "device TAB inode TAB size TAB seconds TAB nanoseconds", the last three
  // "-" while the file is open; and back: false when the text holds no identity.
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
