#include "support/privateLeftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>

#include "support/fileIdentity.h"

namespace {

bool allDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// The name a private name ".<name>.<pid>.<k>.new" was made for; empty when it
// is none.
std::string ownerName(const std::string& file) {
  const size_t n = file.size();
  if (n < 9 || file[0] != '.' || file.compare(n - 4, 4, ".new") != 0) return "";
  const size_t k = file.rfind('.', n - 5);
  if (k == std::string::npos || !allDigits(file, k + 1, n - 4)) return "";
  const size_t pid = file.rfind('.', k - 1);
  if (pid == std::string::npos || pid < 2 || !allDigits(file, pid + 1, k)) return "";
  return file.substr(1, pid - 1);
}

// "garbage<batch>.XXXXXX", as mkdtemp names a temporary folder.
bool isTempFolderName(const std::string& name) {
  const size_t dot = name.find('.');
  if (name.rfind("garbage", 0) != 0 || dot == std::string::npos || name.size() != dot + 7)
    return false;
  for (size_t i = dot + 1; i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  return allDigits(name, 7, dot);
}

bool startsWith(int dir, const std::string& name, const std::string& line) {
  const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  std::string text(line.size() + 1, '\0');
  const ssize_t n = read(fd, text.data(), text.size());
  close(fd);
  return n == static_cast<ssize_t>(text.size()) && text == line + "\n";
}

// Whether the private file dir/file of a killed run can go: a copy of the
// list, an empty file, or the file listed under the name it was made for.
bool isLeftover(int dir, const std::string& prefix, const std::string& file,
                const std::string& owner, const std::string& genericName,
                const std::vector<TRecordEntry>& listed) {
  struct stat info;
  TFileIdentity now;
  if (!statFile(dir, file, info, now) || !S_ISREG(info.st_mode)) return false;
  if (owner == kOutputRecordName) return startsWith(dir, file, listHeaderLine(genericName));
  if (info.st_size == 0 && info.st_nlink == 1) return true;
  for (const TRecordEntry& e : listed)
    if (e.route != kRouteTempFolder && e.path == prefix + owner && e.identity.describes(now))
      return true;
  return false;
}

// Removes the leftovers of one folder (prefix: its path below the output
// folder, with "/"); calls back for each folder of spectra in it.
template <class EachSubfolder>
void sweep(int dir, const std::string& prefix, const std::string& genericName,
           const std::vector<TRecordEntry>& listed, EachSubfolder eachSubfolder) {
  const int copy = dup(dir);
  DIR* d = copy >= 0 ? fdopendir(copy) : nullptr;
  if (!d) {
    if (copy >= 0) close(copy);
    return;
  }
  std::vector<std::string> files, folders, subfolders;
  const std::string spectra = genericName + "_";
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (!ownerName(name).empty())
      files.push_back(name);
    else if (prefix.empty() && isTempFolderName(name))
      folders.push_back(name);
    else if (prefix.empty() && name.rfind(spectra, 0) == 0 &&
             allDigits(name, spectra.size(), name.size()))
      subfolders.push_back(name);
  }
  closedir(d);
  for (const std::string& f : files)
    if (isLeftover(dir, prefix, f, ownerName(f), genericName, listed)) unlinkat(dir, f.c_str(), 0);
  for (const std::string& f : folders) unlinkat(dir, f.c_str(), AT_REMOVEDIR);  // when empty
  for (const std::string& f : subfolders) eachSubfolder(f);
}

}  // namespace

std::string privateName(const std::string& name, int k) {
  return "." + name + "." + std::to_string(getpid()) + "." + std::to_string(k) + ".new";
}

void removePrivateLeftovers(int folderFd, const std::string& genericName,
                            const std::vector<TRecordEntry>& listed) {
  sweep(folderFd, "", genericName, listed, [&](const std::string& sub) {
    const int dir = openat(folderFd, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return;
    sweep(dir, sub + "/", genericName, listed, [](const std::string&) {});
    close(dir);
  });
}
