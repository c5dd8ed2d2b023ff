// The gate through which every output file is opened (support/outputFolder.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "support/checkedRemoval.h"
#include "support/outputFolder.h"
#include "support/outputFolderState.h"
#include "support/privateLeftovers.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

// Whether the file holds the one line of a seed file, and nothing else.
bool holdsSeedLine(int dir, const std::string& name) {
  const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  char text[64] = {};
  const ssize_t n = fd >= 0 ? read(fd, text, sizeof text - 1) : -1;
  if (fd >= 0) close(fd);
  long long seed = 0;
  char end = 0, extra = 0;
  return n > 0 && std::sscanf(text, "Random generator seed :%lld%c%c", &seed, &end, &extra) == 2 &&
         end == '\n';
}

// "seed.txt" of any run is known by its one line.
bool isSeedFile(int dir, const std::string& name) {
  return name == "seed.txt" && holdsSeedLine(dir, name);
}

// Why the run may not write over an existing file (info, reached without
// following a link); empty when this process made it and it is as the
// process left it, or, outside the folder, when an earlier run of the model
// listed it as it is now.
std::string whyKept(const TFolderState& s, const struct stat& info, const TFileIdentity& now,
                    const std::string& key, int dir, const std::string& name) {
  if (S_ISLNK(info.st_mode)) return "it is a symbolic link";
  if (!S_ISREG(info.st_mode)) return "it is " + kindOfFile(info.st_mode) + ", not a plain file";
  if (now.isAmong(s.inputs)) return "this run reads it";
  if (isWriteProtected(info)) return "it is write-protected";
  if (info.st_nlink > 1) return "it has another name too (a hard link)";
  const TFileIdentity* made = madeIdentity(s, key);
  if (made && made->sameFile(now))
    return made->describes(now) ? "" : "it was changed since this run wrote it";
  if (key[0] != '/') {
    const TRecordEntry* listed = listedEntry(s, key);
    if (listed && *listed->keptBecause != '\0') return listed->keptBecause;
    return "this run did not make it";
  }
  for (const TRecordEntry& e : s.earlier)
    if (e.path == key && e.identity.describes(now)) return "";
  return isSeedFile(dir, name) ? "" : "no run of this model made it";
}

// Lists the file just opened on fd by this process; false, with errno, when
// its line cannot be written (nothing of it is then known).
bool listOpened(TFolderState& s, const std::string& key, int fd) {
  struct stat info;
  TFileIdentity now;
  if (!statFile(fd, "", info, now)) return false;
  TRecordEntry e;
  e.path = key;
  e.route = s.route;
  e.identity = now.opened();
  if (!s.folder.empty() && !listEntry(s, e)) return false;
  setMade(s, key, e.identity);
  s.openFiles[{now.device, now.inode}] = key;
  return true;
}

// Takes back the entry of a file that could not be given its name: the line
// the entry had before, or a line that names no file.
void unlist(TFolderState& s, const std::string& key, int fd, const TRecordEntry* before) {
  struct stat info;
  if (fstat(fd, &info) == 0)
    s.openFiles.erase({static_cast<unsigned long long>(info.st_dev),
                       static_cast<unsigned long long>(info.st_ino)});
  forgetMade(s, key);
  TRecordEntry e = before ? *before : TRecordEntry();
  e.path = key;
  e.dropped = before == nullptr;
  listEntry(s, e);
}

// Renames from to to in one folder, failing when to exists (EEXIST); where
// the file system has no such rename, a second name made then the first
// removed.
bool renameNoReplace(int dir, const std::string& from, const std::string& to) {
  if (renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;  // EINVAL: not on this file system
  if (linkat(dir, from.c_str(), dir, to.c_str(), 0) != 0) return false;
  unlinkat(dir, from.c_str(), 0);
  return true;
}

// Made unnamed (O_TMPFILE), listed, then linked under its name, which fails
// when a file has it; -2 where the file system makes no unnamed files.
int createUnnamed(int dir, const std::string& name, TFolderState& s, const std::string& key,
                  bool hadEntry, const TRecordEntry& before) {
  const int fd = openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) return -2;
  if (!listOpened(s, key, fd)) {
    const int error = errno;
    close(fd);  // an unnamed file goes with its descriptor
    errno = error;
    return -1;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, self.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return fd;
  const int error = errno;
  unlist(s, key, fd, hadEntry ? &before : nullptr);
  close(fd);
  errno = error;
  return error == ENOENT ? -2 : -1;  // ENOENT: no /proc to name it through
}

// Made under a private name of this process's, listed, then given its name
// (support/privateLeftovers.h says what a kill in between leaves).
int createPrivate(int dir, const std::string& name, TFolderState& s, const std::string& key,
                  bool hadEntry, const TRecordEntry& before) {
  for (int k = 0; k < 100; ++k) {
    const std::string temporary = privateName(name, k);
    const int fd = openat(dir, temporary.c_str(), kCreate, 0644);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    const bool listed = listOpened(s, key, fd);
    if (listed && renameNoReplace(dir, temporary, name)) return fd;
    const int error = errno;
    if (listed) unlist(s, key, fd, hadEntry ? &before : nullptr);
    unlinkat(dir, temporary.c_str(), 0);
    close(fd);
    errno = error;
    return -1;
  }
  return -1;
}

// A new file in the folder, listed before it has a name: a run killed at any
// moment leaves no file under an output's name that its list does not name.
// -1 with errno EEXIST when a file has the name.
int createListed(int dir, const std::string& name, TFolderState& s, const std::string& key) {
  struct stat info;
  if (fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return -1;
  }
  const TRecordEntry* listed = listedEntry(s, key);
  const bool hadEntry = listed != nullptr;
  const TRecordEntry before = hadEntry ? *listed : TRecordEntry();
  const int fd = createUnnamed(dir, name, s, key, hadEntry, before);
  return fd == -2 ? createPrivate(dir, name, s, key, hadEntry, before) : fd;
}

// The existing file opened again, without truncation and following no link,
// and kept only when the run may write it: then emptied, or to be appended to.
// The name is looked at first (O_PATH) and opened for writing only when it
// is a plain file, without waiting: a named pipe or a device is never opened.
int reopen(int dir, const std::string& name, bool append, TFolderState& s, const std::string& key,
           std::string& problem) {
  const int look = openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  struct stat info;
  TFileIdentity now;
  const bool seen = look >= 0 && fstat(look, &info) == 0;
  if (look >= 0) close(look);
  if (!seen) return -1;
  if (S_ISDIR(info.st_mode)) {  // cannot be written, as a folder
    errno = EISDIR;
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    problem = "it is " + kindOfFile(info.st_mode) + ", not a plain file";
    errno = EPERM;
    return -1;
  }
  const int fd =
      openat(dir, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && (errno == ELOOP || errno == ENXIO)) problem = "it was replaced while this run looked at it";
  if (fd < 0 || !statFile(fd, "", info, now)) {
    if (fd >= 0) close(fd);
    return -1;
  }
  problem = whyKept(s, info, now, key, dir, name);
  if (problem.empty() && !listOpened(s, key, fd)) {  // as being written, before it changes
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  if (problem.empty() && fcntl(fd, F_SETFL, O_WRONLY) == 0 &&
      (append ? lseek(fd, 0, SEEK_END) >= 0 : ftruncate(fd, 0) == 0))
    return fd;
  close(fd);
  return -1;
}

// Opens the folder of a path below the claimed folder, making it when absent,
// and following no link; -1 with errno ELOOP or ENOTDIR for a link on the way.
int openParent(int folderFd, const std::string& rel, std::string& name) {
  int dir = dup(folderFd);
  size_t start = 0;
  for (size_t slash; dir >= 0 && (slash = rel.find('/', start)) != std::string::npos;
       start = slash + 1) {
    const std::string part = rel.substr(start, slash - start);
    mkdirat(dir, part.c_str(), 0755);
    const int next = openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    close(dir);
    dir = next;
  }
  name = rel.substr(start);
  return dir;
}

// Lists a file beside the folder under a path, or takes the path's line
// back; false, with errno, when the line cannot be written.
bool listOutside(TFolderState& s, const std::string& path, const TFileIdentity* identity) {
  if (s.folder.empty()) return true;
  TRecordEntry e;
  e.path = path;
  e.route = s.route;
  if (identity) e.identity = *identity;
  e.dropped = identity == nullptr;
  return listEntry(s, e);
}

// Checks the file that has the name beside the folder (u.old, u.replaces:
// there is one); false, the reason in problem, when the run may not replace
// it. Where the name changed while it was checked (another run replacing its
// seed file), it is checked again.
bool checkReplaced(const TFolderState& s, int dir, const std::string& name, const std::string& key,
                   TUnnamedFile& u, std::string& problem) {
  for (int look = 0; look < 5; ++look) {
    struct stat info;
    u.replaces = statFile(dir, name, info, u.old);
    problem = u.replaces ? whyKept(s, info, u.old, key, dir, name) : "";
    TFileIdentity after;
    const bool still = statFile(dir, name, info, after);
    if (problem.empty() || (still && after.sameFile(u.old))) break;
  }
  return problem.empty();
}

// Outside the folder: a new file under a name of this process's in the same
// folder, listed under that name, written whole, and given its own name only
// when its writer closes it (nameFile), so that a run killed at any moment
// leaves the old file or the new one complete, never one half written; to
// append, the file this process made, while it is there.
int replace(int dir, const std::string& name, bool append, TFolderState& s,
            const std::string& key, std::string& problem) {
  if (append && madeIdentity(s, key) != nullptr) {
    const int fd = reopen(dir, name, true, s, key, problem);
    if (fd >= 0 || !problem.empty() || errno != ENOENT) return fd;
  }
  TUnnamedFile u;
  if (!checkReplaced(s, dir, name, key, u, problem)) return -1;
  u.folder = fs::path(key).parent_path().string();
  u.name = name;
  u.key = key;
  for (int k = 0; k < 100; ++k) {
    u.temporary = privateName(name, k);
    const int fd = openat(dir, u.temporary.c_str(), kCreate, 0644);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    if (!listOpened(s, (fs::path(u.folder) / u.temporary).string(), fd)) {
      const int error = errno;  // not made when it cannot be listed
      unlinkat(dir, u.temporary.c_str(), 0);
      close(fd);
      errno = error;
      return -1;
    }
    struct stat made;
    if (fstat(fd, &made) == 0)
      s.unnamed[{static_cast<unsigned long long>(made.st_dev),
                 static_cast<unsigned long long>(made.st_ino)}] = u;
    return fd;
  }
  return -1;
}

// Moves the file that has the name aside to a private name and gives it
// back when it is not the one the run checked (a file the user saved
// meanwhile); true when the checked file is aside (held) or the name is free.
bool moveCheckedAside(int dir, const TUnnamedFile& u, const std::string& aside,
                      TFolderState& s, bool& held, std::string& problem) {
  const std::string asidePath = (fs::path(u.folder) / aside).string();
  const TFileIdentity old = u.old.opened();  // by device, inode and birth: renaming changes its status
  if (!listOutside(s, asidePath, &old)) {  // a run killed once it is aside leaves it listed
    problem = std::string("its line in the list of outputs cannot be written (") +
              std::strerror(errno) + ")";
    return false;
  }
  if (!renameNoReplace(dir, u.name, aside)) {
    const int error = errno;
    listOutside(s, asidePath, nullptr);
    if (error == ENOENT) return true;  // gone meanwhile: nothing to replace
    problem = std::string("the file it replaces cannot be moved aside (") + std::strerror(error) + ")";
    return false;
  }
  struct stat info;
  TFileIdentity moved;
  const bool there = statFile(dir, aside, info, moved);
  // The file checked (its status changed with the move), or the seed file
  // another run (of another model) wrote meanwhile.
  held = there && S_ISREG(info.st_mode) &&
         (u.old.describesContent(moved) ||
          (u.name == "seed.txt" && info.st_nlink == 1 && !isWriteProtected(info) &&
           holdsSeedLine(dir, aside)));
  if (held) return true;
  const bool back = renameNoReplace(dir, aside, u.name);
  listOutside(s, asidePath, nullptr);
  problem = back ? "it was replaced or changed while this run wrote it"
                 : "it was replaced or changed while this run wrote it; it is now \"" + asidePath +
                       "\"";
  return false;
}

// Gives the new file on fd its name, listed before the rename by what a
// rename keeps of it (content(): a rename sets its status change time, which
// no run can know before), so that a run killed right after the rename
// leaves it listed, and listed again whole after it; false, the reason in
// problem, when it does not get the name.
bool giveName(TFolderState& s, const TUnnamedFile& u, int dir, int fd, long long size,
              std::string& problem) {
  struct stat info;
  TFileIdentity now;
  if (!statFile(fd, "", info, now)) {
    problem = std::strerror(errno);
    return false;
  }
  if (size >= 0 && now.size != size) now.size = size;  // written to by someone else too
  const TFileIdentity kept = now.content();
  if (!listOutside(s, u.key, &kept)) {
    problem = std::string("its line in the list of outputs cannot be written (") +
              std::strerror(errno) + ")";
    return false;
  }
  if (!renameNoReplace(dir, u.temporary, u.name)) {
    const int error = errno;
    problem = error == EEXIST ? "a file was saved under its name while this run wrote it"
                              : std::strerror(error);
    errno = error;
    return false;
  }
  if (statFile(fd, "", info, now)) {
    if (size >= 0 && now.size != size) now.size = size;
    listOutside(s, u.key, &now);  // when it cannot be, the line before the rename still tells
  }
  setMade(s, u.key, now);
  return true;
}

// Gives a complete file beside the folder its name: the old file, moved
// aside and found to be the one the run checked, goes; a file saved under
// the name meanwhile is kept and the new one removed (false, the reason in
// problem). Where the new file cannot take the name for another reason, the
// old one is given its name back.
bool nameFile(TFolderState& s, const TUnnamedFile& u, int fd, long long size,
              std::string& problem) {
  const int dir = open(u.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    problem = std::strerror(errno);
    return false;
  }
  const std::string temporaryPath = (fs::path(u.folder) / u.temporary).string();
  const std::string aside = asideName(u.temporary);
  const std::string asidePath = (fs::path(u.folder) / aside).string();
  const TRecordEntry* listed = listedEntry(s, u.key);
  const bool hadEntry = listed != nullptr;
  const TRecordEntry before = hadEntry ? *listed : TRecordEntry();
  bool held = false, named = false;
  for (int attempt = 0; problem.empty(); ++attempt) {
    if ((u.replaces || attempt > 0) && !moveCheckedAside(dir, u, aside, s, held, problem)) break;
    named = giveName(s, u, dir, fd, size, problem);
    // A seed file another run (of another model) wrote since the check is
    // moved aside and replaced the same way.
    if (named || errno != EEXIST || u.name != "seed.txt" || attempt == 2) break;
    problem.clear();
    if (held && unlinkat(dir, aside.c_str(), 0) == 0) listOutside(s, asidePath, nullptr);
    held = false;
  }
  if (!named) {
    unlinkat(dir, u.temporary.c_str(), 0);
    const bool back = held && renameNoReplace(dir, aside, u.name);  // the old file stays
    TRecordEntry e = before;
    if (back) e.identity = e.identity.content();  // its status changed with the moves
    if (hadEntry) listEntry(s, e);
    if (!hadEntry) listOutside(s, u.key, nullptr);
    if (back) listOutside(s, asidePath, nullptr);
    held = held && !back;
  }
  if (held && unlinkat(dir, aside.c_str(), 0) == 0)  // the checked file, this run's to replace
    listOutside(s, asidePath, nullptr);
  listOutside(s, temporaryPath, nullptr);
  forgetMade(s, temporaryPath);
  close(dir);
  return named;
}

// The descriptor of the folder a path names the file in, and the file's name
// there; -1 with the reason in problem when a link is on the way.
int folderOf(const TFolderState& s, bool inside, const std::string& key, std::string& name,
             std::string& problem) {
  if (!inside) {
    name = fs::path(key).filename().string();
    return open(fs::path(key).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  if (key == kOutputRecordName) {
    problem = "it is the list of outputs of the folder";
    return -1;
  }
  const int dir = openParent(s.folderFd, key, name);
  if (dir < 0 && (errno == ELOOP || errno == ENOTDIR))
    problem = "a folder on its path is a symbolic link";
  return dir;
}

}  // namespace

int openOutputDescriptor(const std::string& path, bool append, std::string& problem) {
  std::string rel;
  const bool inside = insideOutputFolder(path, rel);
  if (inside) beginOutputs();
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  problem = s.stopped.load() ? "the run is being interrupted" : "";
  const std::string key = inside ? rel : absolutePath(path);
  std::string name;
  const int dir = problem.empty() ? folderOf(s, inside, key, name, problem) : -1;
  int fd = -1;
  if (dir >= 0 && inside) {
    fd = createListed(dir, name, s, key);
    if (fd < 0 && errno == EEXIST) fd = reopen(dir, name, append, s, key, problem);
  } else if (dir >= 0) {
    fd = replace(dir, name, append, s, key, problem);
  }
  // Bytes another process adds meanwhile go after the run's, not under them.
  if (fd >= 0 && fcntl(fd, F_SETFL, O_WRONLY | O_APPEND) != 0) {
    close(fd);
    fd = -1;
  }
  const int error = fd < 0 && !problem.empty() ? EPERM : errno;  // refused, not failed
  if (dir >= 0) close(dir);
  if (fd < 0 && !problem.empty() && s.refused.insert(key).second)
    std::cerr << "\nThe file \"" << path << "\" is kept: " << problem
              << "; this run does not write it" << std::endl;
  errno = error;
  return fd;
}

namespace {

// Removes the file of key that this process made, while it is the file made
// (see checkedRemoval.h); true when it went.
bool removeMade(const TFolderState& s, bool inside, const std::string& key,
                const TFileIdentity& made) {
  std::string name, problem;
  const int dir = folderOf(s, inside, key, name, problem);
  const bool gone = dir >= 0 && removeCheckedFile(dir, name, made);
  if (dir >= 0) close(dir);
  return gone;
}

}  // namespace

bool outputDescriptorClosed(int fd, long long size) {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  struct stat info;
  TFileIdentity now;
  if (!statFile(fd, "", info, now)) return true;
  const auto unnamed = s.unnamed.find({now.device, now.inode});
  if (unnamed != s.unnamed.end()) {
    const TUnnamedFile u = unnamed->second;
    s.unnamed.erase(unnamed);
    s.openFiles.erase({now.device, now.inode});
    std::string problem = size >= 0 ? "" : "it could not be written whole";
    if (nameFile(s, u, fd, size, problem)) return true;
    std::cerr << "\nThe file \"" << u.key << "\" is kept: " << problem
              << "; this run does not write it" << std::endl;
    return false;
  }
  const auto open = s.openFiles.find({now.device, now.inode});
  if (open == s.openFiles.end()) return true;
  const std::string key = open->second;
  s.openFiles.erase(open);
  const TFileIdentity* made = madeIdentity(s, key);
  if (!made || !made->sameFile(now)) return true;
  TFileIdentity closed = now;
  // Written to by someone else too: listed with the size the run gave it,
  // which the file no longer has, so that no run takes it for its own.
  const bool othersBytes = size >= 0 && now.size != size;
  if (othersBytes) closed.size = size;
  const TRecordEntry* listed = listedEntry(s, key);
  if (s.folder.empty() || !listed) {
    setMade(s, key, closed);
    return true;
  }
  TRecordEntry e = *listed;
  e.identity = closed;
  const bool written = listEntry(s, e);
  const int error = errno;
  setMade(s, key, closed);
  if (written) return true;
  if (!othersBytes && key[0] != '/') {
    removeMade(s, true, key, now);
    forgetMade(s, key);
  }
  errno = error;
  return false;
}

std::string whyOutsideOutputKept(const std::string& path) {
  const fs::path full = absolutePath(path);
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  const int dir = open(full.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat info;
  TFileIdentity now;
  const std::string name = full.filename().string();
  const bool there = dir >= 0 && statFile(dir, name, info, now);
  const std::string why = there ? whyKept(s, info, now, full.string(), dir, name) : "";
  if (dir >= 0) close(dir);
  return why;
}

void removeOwnOutputFile(const std::string& path) {
  std::string rel;
  const bool inside = insideOutputFolder(path, rel);
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  const std::string key = inside ? rel : absolutePath(path);
  const TFileIdentity* made = madeIdentity(s, key);
  if (made && removeMade(s, inside, key, *made)) forgetMade(s, key);
}
