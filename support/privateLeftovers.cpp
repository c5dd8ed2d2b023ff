#include "support/privateLeftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>

#include "support/fileIdentity.h"

namespace fs = std::filesystem;

namespace {

bool allDigits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

bool endsWith(const std::string& s, const char* end) {
  const size_t n = std::strlen(end);
  return s.size() > n && s.compare(s.size() - n, n, end) == 0;
}

// The name a private name was given for: ".<name>.<pid>.<k>.new" or ".old",
// ".<name>.removed"; empty when it is none.
std::string ownerName(const std::string& file) {
  const size_t n = file.size();
  if (n < 3 || file[0] != '.') return "";
  if (endsWith(file, ".removed")) return file.substr(1, n - 9);
  if (n < 9 || !(endsWith(file, ".new") || endsWith(file, ".old"))) return "";
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

// Where a sweep looks: a folder, the path its files are listed under (with
// "/"; empty for the output folder), and whether it is the output folder or
// one of its folders, which no user writes in.
struct TSweptFolder {
  int fd;
  std::string prefix;
  bool ownFolder;
};

// Whether the private file of a killed run can go: a copy of the list, an
// empty file (in the output folder), or the file the list names under that
// name or the one it was made for, but for its status change time.
bool isLeftover(const TSweptFolder& d, const std::string& file, const std::string& owner,
                const std::string& genericName, const std::vector<TRecordEntry>& listed) {
  struct stat info;
  TFileIdentity now;
  if (!statFile(d.fd, file, info, now) || !S_ISREG(info.st_mode)) return false;
  if (d.ownFolder && owner == kOutputRecordName)
    return startsWith(d.fd, file, listHeaderLine(genericName));
  if (d.ownFolder && info.st_size == 0 && info.st_nlink == 1) return true;
  for (const TRecordEntry& e : listed)
    if (e.route != kRouteTempFolder && (e.path == d.prefix + owner || e.path == d.prefix + file) &&
        e.identity.describesContent(now))
      return true;
  return false;
}

// Removes the leftovers of one folder; calls back for each folder of spectra
// in the output folder.
template <class EachSubfolder>
void sweep(const TSweptFolder& d, const std::string& genericName,
           const std::vector<TRecordEntry>& listed, EachSubfolder eachSubfolder) {
  const int copy = dup(d.fd);
  DIR* dir = copy >= 0 ? fdopendir(copy) : nullptr;
  if (!dir) {
    if (copy >= 0) close(copy);
    return;
  }
  std::vector<std::string> files, folders, subfolders;
  const std::string spectra = genericName + "_";
  const bool top = d.ownFolder && d.prefix.empty();
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (!ownerName(name).empty())
      files.push_back(name);
    else if (top && isTempFolderName(name))
      folders.push_back(name);
    else if (top && name.rfind(spectra, 0) == 0 && allDigits(name, spectra.size(), name.size()))
      subfolders.push_back(name);
  }
  closedir(dir);
  for (const std::string& f : files)
    if (isLeftover(d, f, ownerName(f), genericName, listed)) unlinkat(d.fd, f.c_str(), 0);
  for (const std::string& f : folders) unlinkat(d.fd, f.c_str(), AT_REMOVEDIR);  // when empty
  for (const std::string& f : subfolders) eachSubfolder(f);
}

}  // namespace

std::string privateName(const std::string& name, int k) {
  return "." + name + "." + std::to_string(getpid()) + "." + std::to_string(k) + ".new";
}

std::string asideName(const std::string& privateNameOfNew) {
  return privateNameOfNew.substr(0, privateNameOfNew.size() - 4) + ".old";
}

std::string removalName(const std::string& name) { return "." + name + ".removed"; }

bool isPrivateName(const std::string& name) { return !ownerName(name).empty(); }

void removePrivateLeftovers(int folderFd, const std::string& genericName,
                            const std::vector<TRecordEntry>& listed) {
  sweep({folderFd, "", true}, genericName, listed, [&](const std::string& sub) {
    const int dir = openat(folderFd, sub.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return;
    sweep({dir, sub + "/", true}, genericName, listed, [](const std::string&) {});
    close(dir);
  });
  std::set<std::string> beside;  // the folders of the files listed beside the folder
  for (const TRecordEntry& e : listed)
    if (!e.path.empty() && e.path[0] == '/') beside.insert(fs::path(e.path).parent_path().string());
  for (const std::string& folder : beside) {
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) continue;
    sweep({dir, folder + "/", false}, genericName, listed, [](const std::string&) {});
    close(dir);
  }
}
