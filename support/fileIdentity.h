#pragma once
// What tells one file from another, and a file from its later versions: its
// device, inode and birth time, taken from the descriptor as soon as the
// program creates the file, then its size and last change, taken when the
// writer closes it. The birth time tells a file from a later one that got the
// same inode number (file systems give a freed number again at once). A file
// the program wrote is recognised by this identity alone, never by its name,
// since a user may replace, edit or link a file under that name.
#include <sys/stat.h>

#include <string>
#include <vector>

struct TFileIdentity {
  unsigned long long device = 0, inode = 0;  // inode 0: not known
  long long bornSeconds = 0, bornNanoseconds = 0;
  bool born = false;    // birth time known (not every file system keeps one)
  bool closed = false;  // size and time known
  long long size = 0, seconds = 0, nanoseconds = 0;

  bool known() const { return inode != 0; }
  bool sameFile(const TFileIdentity& o) const { return device == o.device && inode == o.inode; }
  bool isAmong(const std::vector<TFileIdentity>& files) const;
  // The identity of a file still being written: without size and time.
  TFileIdentity opened() const;
  // Whether the file as it is now is the one recorded here: the same file,
  // born at the same time where both tell, and, when it was closed, with the
  // size and time it had then.
  bool describes(const TFileIdentity& now) const;

  // "device TAB inode TAB size TAB seconds TAB nanoseconds TAB born seconds
  // TAB born nanoseconds", "-" for what is not known; and back (false: no
  // identity in the text). A text of the first five fields is read too.
  std::string text() const;
  static bool parse(const std::string& text, TFileIdentity& identity);
};

// The status of the file dirFd/name, no link followed (name empty: the file
// open on dirFd), and its whole identity; false when there is no such file.
bool statFile(int dirFd, const std::string& name, struct stat& info, TFileIdentity& identity);

// The identity of a file reached by its path, links followed; false when
// there is no such file.
bool identityOf(const std::string& path, TFileIdentity& identity);

// Write-protected by its owner (the owner's write bit clear), whatever the
// privileges of the process: root may write any file, yet the user's chmod
// still says to keep it.
inline bool isWriteProtected(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }
