// The gate through which every output file is opened (support/outputFolder.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "support/outputFolder.h"
#include "support/outputFolderState.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

// Why an existing file may not be written again, its descriptor open on it;
// empty when this process made it and it is as the process left it.
std::string whyKeptOpen(const TFolderState& s, const std::string& key, int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return "it is not a plain file";
  const TFileIdentity now = TFileIdentity::of(info);
  if (now.isAmong(s.inputs)) return "this run reads it";
  if (isWriteProtected(info)) return "it is write-protected";
  const auto made = s.made.find(key);
  if (made == s.made.end() || !made->second.sameFile(now)) {
    const auto listed = s.index.find(key);
    if (listed != s.index.end() && !s.entries[listed->second].keptBecause.empty())
      return s.entries[listed->second].keptBecause;
    return "this run did not make it";
  }
  if (!made->second.describes(now)) return "it was changed since this run wrote it";
  if (info.st_nlink > 1) return "it has another name too (a hard link)";
  return "";
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

// Lists the file just opened on fd by this process.
void listOpened(TFolderState& s, const std::string& key, int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return;
  TRecordEntry e;
  e.path = key;
  e.route = s.route;
  e.identity = TFileIdentity::created(info);
  s.made[key] = e.identity;
  s.openFiles[e.identity.inode] = key;
  if (!s.folder.empty()) listEntry(s, e);
}

// Takes back the entry of a file that could not be given its name: the line
// the entry had before, or a line that names no file.
void unlist(TFolderState& s, const std::string& key, int fd, const TRecordEntry* before) {
  struct stat info;
  if (fstat(fd, &info) == 0) s.openFiles.erase(static_cast<unsigned long long>(info.st_ino));
  s.made.erase(key);
  TRecordEntry e;
  if (before) e = *before;
  e.path = key;
  e.dropped = before == nullptr;
  listEntry(s, e);
}

// A new file in the folder, listed before it has a name: made unnamed
// (O_TMPFILE), listed, then linked under its name, which fails when a file
// has it. A run killed at any moment leaves no file that its list does not
// name. Where the file system makes no unnamed files, O_CREAT|O_EXCL and the
// line right after.
int createListed(int dir, const std::string& name, TFolderState& s, const std::string& key) {
  struct stat info;
  if (fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return -1;
  }
  const auto listed = s.index.find(key);
  const TRecordEntry before = listed != s.index.end() ? s.entries[listed->second] : TRecordEntry();
  const bool hadEntry = listed != s.index.end();
  int fd = openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd >= 0) {
    listOpened(s, key, fd);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return fd;
    const int error = errno;
    unlist(s, key, fd, hadEntry ? &before : nullptr);
    close(fd);
    if (error != ENOENT) {  // ENOENT: no /proc to name it through
      errno = error;
      return -1;
    }
  }
  fd = openat(dir, name.c_str(), kCreate, 0644);
  if (fd >= 0) listOpened(s, key, fd);
  return fd;
}

// The file this process made, or the existing one it may write again.
int openInFolder(int dir, const std::string& name, bool append, TFolderState& s,
                 const std::string& key, std::string& problem) {
  int fd = createListed(dir, name, s, key);
  if (fd >= 0 || errno != EEXIST) return fd;
  fd = openat(dir, name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  problem = whyKeptOpen(s, key, fd);
  if (problem.empty() && (append ? lseek(fd, 0, SEEK_END) >= 0 : ftruncate(fd, 0) == 0)) {
    listOpened(s, key, fd);
    return fd;
  }
  if (problem.empty()) problem = std::strerror(errno);
  close(fd);
  return -1;
}

// Outside the folder: a file of the user's is one that no list of the model
// names with the identity it has now; "seed.txt" is known by its text too.
bool isSeedFile(int dir, const std::string& name) {
  if (name != "seed.txt") return false;
  const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  char text[80] = {};
  const ssize_t n = fd >= 0 ? read(fd, text, sizeof text - 1) : -1;
  if (fd >= 0) close(fd);
  const char* head = "Random generator seed :";
  if (n <= 0 || std::strncmp(text, head, std::strlen(head)) != 0) return false;
  const char* p = text + std::strlen(head);
  if (*p == '-') ++p;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') ++p;
  return p > digits && p[0] == '\n' && p[1] == '\0';
}

std::string whyKeptOutside(const TFolderState& s, int dir, const std::string& name,
                           const std::string& key) {
  struct stat info;
  if (fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return "";
  if (S_ISLNK(info.st_mode)) return "it is a symbolic link";
  if (!S_ISREG(info.st_mode)) return "it is not a plain file";
  if (info.st_nlink > 1) return "it has another name too (a hard link)";
  const TFileIdentity now = TFileIdentity::of(info);
  if (now.isAmong(s.inputs)) return "this run reads it";
  if (isWriteProtected(info)) return "it is write-protected";
  const auto made = s.made.find(key);
  if (made != s.made.end()) return made->second.describes(now) ? "" : "it was changed since";
  for (const TRecordEntry& e : s.earlier)
    if (e.path == key && e.identity.describes(now)) return "";
  if (isSeedFile(dir, name)) return "";
  return "no run of this model made it";
}

// A file this process made, opened again to append to it.
int appendOutside(int dir, const std::string& name, TFolderState& s, const std::string& key,
                  std::string& problem) {
  const int fd = openat(dir, name.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  problem = whyKeptOpen(s, key, fd);
  if (problem.empty()) return fd;
  close(fd);
  return -1;
}

// A new file under a name of this process's, renamed over the old one; or,
// to append, the file this process made.
int replaceOutside(const fs::path& path, bool append, TFolderState& s, std::string& problem) {
  const std::string key = path.string(), name = path.filename().string();
  const int dir = open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return -1;
  if (append && s.made.count(key) > 0) {
    const int fd = appendOutside(dir, name, s, key, problem);
    const int error = errno;
    if (fd >= 0 || !problem.empty() || error != ENOENT) {  // gone since: made anew
      close(dir);
      errno = error;
      return fd;
    }
  }
  problem = whyKeptOutside(s, dir, name, key);
  int fd = -1;
  std::string temporary;
  for (int k = 0; problem.empty() && fd < 0 && k < 100; ++k) {
    temporary = "." + name + "." + std::to_string(getpid()) + "." + std::to_string(k) + ".new";
    fd = openat(dir, temporary.c_str(), kCreate, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd >= 0 && renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) {
    const int error = errno;
    unlinkat(dir, temporary.c_str(), 0);
    close(fd);
    fd = -1;
    errno = error;
  }
  const int error = errno;
  close(dir);
  errno = error;
  return fd;
}

fs::path absolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? fs::path(path) : p.lexically_normal();
}

}  // namespace

int openOutputDescriptor(const std::string& path, bool append, std::string& problem) {
  std::string rel;
  const bool inside = insideOutputFolder(path, rel);
  if (inside) beginOutputs();
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  problem.clear();
  if (s.stopped) {
    problem = "the run is being interrupted";
    return -1;
  }
  int fd = -1;
  std::string key = inside ? rel : absolutePath(path).string();
  if (inside && rel == kOutputRecordName) {
    problem = "it is the list of outputs of the folder";
  } else if (inside) {
    std::string name;
    const int dir = openParent(s.folderFd, rel, name);
    if (dir < 0 && (errno == ELOOP || errno == ENOTDIR))
      problem = "a folder on its path is a symbolic link";
    if (dir >= 0) {
      fd = openInFolder(dir, name, append, s, key, problem);
      if (fd < 0 && problem.empty() && errno == ELOOP) problem = "it is a symbolic link";
      const int error = errno;
      close(dir);
      errno = error;
    }
  } else {
    fd = replaceOutside(absolutePath(path), append, s, problem);
    if (fd >= 0) listOpened(s, key, fd);
  }
  if (fd < 0 && !problem.empty() && s.refused.insert(key).second) {
    std::cerr << "\nThe file \"" << path << "\" is kept: " << problem
              << "; this run does not write it" << std::endl;
  }
  return fd;
}

void outputDescriptorClosed(int fd) {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  struct stat info;
  if (fstat(fd, &info) != 0) return;
  const auto open = s.openFiles.find(static_cast<unsigned long long>(info.st_ino));
  if (open == s.openFiles.end()) return;
  const std::string key = open->second;
  s.openFiles.erase(open);
  const auto made = s.made.find(key);
  if (made == s.made.end() || !made->second.sameFile(TFileIdentity::created(info))) return;
  made->second = TFileIdentity::of(info);
  if (s.folder.empty()) return;
  const auto listed = s.index.find(key);
  if (listed == s.index.end()) return;
  TRecordEntry e = s.entries[listed->second];
  e.identity = made->second;
  listEntry(s, e);
}

std::string whyOutsideOutputKept(const std::string& path) {
  const fs::path full = absolutePath(path);
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  const int dir = open(full.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return "";
  const std::string why = whyKeptOutside(s, dir, full.filename().string(), full.string());
  close(dir);
  return why;
}

void removeOwnOutputFile(const std::string& path) {
  std::string rel;
  const bool inside = insideOutputFolder(path, rel);
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  const std::string key = inside ? rel : absolutePath(path).string();
  const auto made = s.made.find(key);
  struct stat info;
  const int at = inside ? s.folderFd : AT_FDCWD;
  if (made == s.made.end() || fstatat(at, key.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(info.st_mode) || !made->second.describes(TFileIdentity::of(info)))
    return;
  if (unlinkat(at, key.c_str(), 0) == 0) s.made.erase(made);
}
