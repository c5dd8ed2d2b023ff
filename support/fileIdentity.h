#pragma once
// What tells one file from another, and a file from its later versions: its
// device, inode and birth time (or, where the file system keeps no birth
// time, the inode's generation number), taken from the descriptor as soon as
// the program creates the file, then its size, last modification and last
// status change, taken when the writer closes it. The birth time or the
// generation tells a file from a later one that got the same inode number
// (file systems give a freed number again at once); the status change tells
// an edit whose modification time was set back, since no user can set it. A
// file the program wrote is recognised by this identity alone, never by its
// name, since a user may replace, edit or link a file under that name.
#include <sys/stat.h>

#include <string>
#include <vector>

// Kept for every file a list names, so laid out compactly: the numbers at
// their widths, what is known as single bits.
struct TFileIdentity {
  unsigned long long device = 0, inode = 0;  // inode 0: not known
  unsigned long long generation = 0;
  long long bornSeconds = 0, size = 0, seconds = 0, changeSeconds = 0;
  int bornNanoseconds = 0, nanoseconds = 0, changeNanoseconds = 0;
  bool born : 1;             // birth time known (not every file system keeps one)
  bool generationKnown : 1;  // inode generation known (where there is no birth time)
  bool closed : 1;           // size and times known
  bool changeKnown : 1;      // status change time known (lists of older versions have none)

  TFileIdentity() : born(false), generationKnown(false), closed(false), changeKnown(false) {}
  bool known() const { return inode != 0; }
  bool sameFile(const TFileIdentity& o) const { return device == o.device && inode == o.inode; }
  // Whether a later file that gets the same inode number can be told from this one.
  bool tellsLaterFiles() const { return born || generationKnown; }
  bool isAmong(const std::vector<TFileIdentity>& files) const;
  // The identity of a file still being written: without size and times.
  TFileIdentity opened() const;
  // The identity a rename keeps: without the status change time, which
  // renaming the file sets.
  TFileIdentity content() const;
  // Whether the file as it is now is the one recorded here: the same file,
  // born at the same time (of the same generation) where both tell, and,
  // when it was closed, with the size and times it had then.
  bool describes(const TFileIdentity& now) const;
  // The same but for the status change time, which a chmod changes too.
  bool describesContent(const TFileIdentity& now) const;

  // "device TAB inode TAB size TAB seconds TAB nanoseconds TAB born seconds
  // TAB born nanoseconds TAB change seconds TAB change nanoseconds TAB
  // generation", "-" for what is not known; and back (false: no identity in
  // the text). Texts of the first five or seven fields (older versions) are
  // read too.
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

// What a file is when it is not a plain file, for messages ("a named pipe").
std::string kindOfFile(mode_t mode);
