#include "support/outputList.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <sstream>

const char* const kOutputRecordName = "written_by_brimvane.txt";

namespace {

std::string firstHeaderLine(const std::string& genericName) {
  return "# Files brimvane wrote in this folder for the model \"" + genericName +
         "\", one per line.";
}

bool isRoute(char c) { return c == kRouteEstimation || c == kRouteOther || c == kRouteTempFolder; }

// A line of the list; a line of an older version (a bare path, or "-" for the
// identity) gives an entry without identity, which nothing removes.
bool parseLine(const std::string& line, TRecordEntry& e) {
  e = TRecordEntry();
  const size_t first = line.find('\t'), last = line.rfind('\t');
  if (first == std::string::npos) {
    e.path = line;
    return true;
  }
  if (first != 1 || last == first || !isRoute(line[0])) return false;
  e.route = line[0];
  e.path = line.substr(last + 1);
  const std::string identity = line.substr(first + 1, last - first - 1);
  e.dropped = identity == "x";
  TFileIdentity::parse(identity, e.identity);
  return !e.path.empty();
}

}  // namespace

bool writeAll(int fd, const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string headerText(const std::string& genericName) {
  return firstHeaderLine(genericName) + "\n# The next run of \"" + genericName +
         "\" removes those it can prove it made (route, identity, path); other files stay.\n";
}

std::string lineOf(const TRecordEntry& e) {
  const std::string identity = e.dropped ? "x" : e.identity.known() ? e.identity.text() : "-";
  return std::string(1, e.route) + "\t" + identity + "\t" + e.path + "\n";
}

bool parseOutputRecord(const std::string& text, const std::string& genericName,
                       std::vector<TRecordEntry>& entries) {
  entries.clear();
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != firstHeaderLine(genericName)) return false;
  std::map<std::string, size_t> index;
  while (std::getline(in, line)) {
    TRecordEntry e;
    if (in.eof() || line.empty() || line[0] == '#' || !parseLine(line, e)) continue;
    // A file beside the folder is replaced by a new one under its name: the
    // line of the new one comes before the rename, so both stay listed.
    const std::string key = e.path[0] == '/' ? e.path + "\t" + std::to_string(e.identity.inode)
                                             : e.path;
    const auto [at, added] = index.emplace(key, entries.size());
    if (added)
      entries.push_back(e);
    else
      entries[at->second] = e;
  }
  std::vector<TRecordEntry> named;
  for (const TRecordEntry& e : entries)
    if (!e.dropped) named.push_back(e);
  entries.swap(named);
  return true;
}

bool TListFile::rewrite(int folderFd, const std::string& text) {
  // A name of this process's own, never an existing file: one left by a
  // process killed while it wrote the list is left alone.
  std::string temporary;
  int fd = -1;
  for (int k = 0; fd < 0 && k < 100; ++k) {
    temporary = std::string(".") + kOutputRecordName + "." + std::to_string(getpid()) + "." +
                std::to_string(k) + ".new";
    fd = openat(folderFd, temporary.c_str(),
                O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  if (!writeAll(fd, text.data(), text.size()) || renameat(folderFd, temporary.c_str(), folderFd, kOutputRecordName)) {
    ::close(fd);
    unlinkat(folderFd, temporary.c_str(), 0);
    return false;
  }
  close();
  fd_ = fd;
  return true;
}

bool TListFile::append(const std::string& line) {
  return fd_ >= 0 && writeAll(fd_, line.data(), line.size());
}

void TListFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
