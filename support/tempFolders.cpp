#include "support/tempFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "support/outputFolder.h"

namespace {

struct TTempFolders {
  std::mutex lock;
  std::map<int, std::string> made;  // batch -> absolute path
};

TTempFolders& tempFolders() {
  static TTempFolders folders;
  return folders;
}

// "Ind_<digits>_<digits>.tmp": the only names the writers of temporary files give.
bool isTempFileName(const char* name) {
  if (std::strncmp(name, "Ind_", 4) != 0) return false;
  const char* p = name + 4;
  for (int part = 0; part < 2; ++part) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (part == 0 && *p++ != '_') return false;
  }
  return std::strcmp(p, ".tmp") == 0;
}

// Unlinks the temporary files of an open folder, and closes it.
void removeTempFilesIn(int fd) {
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return;
  }
  for (bool unlinked = true; unlinked;) {  // list again after unlinking
    unlinked = false;
    rewinddir(dir);
    while (const dirent* e = readdir(dir))
      if (isTempFileName(e->d_name) && unlinkat(fd, e->d_name, 0) == 0) unlinked = true;
  }
  closedir(dir);
}

int openFolder(int parentFd, const std::string& name) {
  return openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

bool removeTempFolderAt(int parentFd, const std::string& name) {
  const int fd = openFolder(parentFd, name);
  if (fd < 0) return errno == ENOENT;
  removeTempFilesIn(fd);
  return unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT;
}

bool makeOwnTempFolder(const std::string& parent, int batch, std::string& path,
                       std::string& problem) {
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  const auto known = f.made.find(batch);
  struct stat info;
  if (known != f.made.end() && lstat(known->second.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    path = known->second;
    return true;
  }
  std::string name = absolutePath(parent + "garbage" + std::to_string(batch) + ".XXXXXX");
  if (!mkdtemp(name.data())) {
    problem = "cannot create a temporary folder in \"" + (parent.empty() ? "." : parent) +
              "\": " + std::strerror(errno);
    return false;
  }
  std::string rel;
  TFileIdentity made;
  if (statFile(AT_FDCWD, name, info, made) && insideOutputFolder(name, rel) &&
      !noteTempFolder(rel, made.opened())) {  // not kept when it cannot be listed
    const int error = errno;
    rmdir(name.c_str());
    problem = "cannot list the temporary folder \"" + name + "\" among the outputs: " +
              std::strerror(error);
    return false;
  }
  f.made[batch] = path = name;
  return true;
}

std::string ownTempFolder(int batch) {
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  const auto known = f.made.find(batch);
  return known == f.made.end() ? std::string() : known->second;
}

void emptyOwnTempFolder(int batch) {
  const std::string path = ownTempFolder(batch);
  const int fd = path.empty() ? -1 : openFolder(AT_FDCWD, path);
  if (fd >= 0) removeTempFilesIn(fd);
}

void removeOwnTempFolders() {
  TTempFolders& f = tempFolders();
  std::lock_guard<std::mutex> guard(f.lock);
  for (const auto& [batch, path] : f.made) removeTempFolderAt(AT_FDCWD, path);
  f.made.clear();
}
