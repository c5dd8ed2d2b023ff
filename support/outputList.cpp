#include "support/outputList.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>

const char* const kOutputRecordName = "written_by_brimvane.txt";

std::string listHeaderLine(const std::string& genericName) {
  return "# Files brimvane wrote in this folder for the model \"" + genericName +
         "\", one per line.";
}

namespace {

bool isRoute(char c) { return c == kRouteEstimation || c == kRouteOther || c == kRouteTempFolder; }

// A line of the list; a line of an older version (a bare path, or "-" for the
// identity) gives an entry without identity, which nothing removes.
bool parseLine(std::string_view line, TRecordEntry& e) {
  e = TRecordEntry();
  const size_t first = line.find('\t'), last = line.rfind('\t');
  if (first == std::string::npos) {
    e.path = std::string(line);
    return true;
  }
  if (first != 1 || last == first || !isRoute(line[0])) return false;
  e.route = line[0];
  e.path = std::string(line.substr(last + 1));
  const std::string identity(line.substr(first + 1, last - first - 1));
  e.dropped = identity == "x";
  TFileIdentity::parse(identity, e.identity);
  return !e.path.empty();
}

}  // namespace

void TListReader::feed(const char* data, size_t size) {
  for (size_t at = 0; at < size && !refused_;) {
    const char* newline = static_cast<const char*>(std::memchr(data + at, '\n', size - at));
    const size_t end = newline ? static_cast<size_t>(newline - data) : size;
    if (!skipping_) pending_.append(data + at, end - at);
    if (pending_.size() > kLongestLine) {  // not a line of a list: skipped to its end
      pending_.clear();
      skipping_ = true;
    }
    if (!newline) return;
    if (!skipping_) take(pending_);
    pending_.clear();
    skipping_ = false;
    at = end + 1;
  }
}

namespace {

bool isOutside(const TRecordEntry& e) { return e.path[0] == '/'; }

size_t readerKeyHash(const TRecordEntry& e) {
  const size_t h = std::hash<std::string_view>()(e.path);
  return isOutside(e) ? h ^ (e.identity.inode * 0x9e3779b97f4a7c15ull) : h;
}

}  // namespace

void TListReader::take(const std::string& line) {
  if (!headerSeen_) {
    headerSeen_ = true;
    refused_ = line != listHeaderLine(genericName_);
    try {
      if (!refused_) entries_.reserve(expected_);
    } catch (const std::bad_alloc&) {  // then made as they come
    }
    return;
  }
  TRecordEntry e;
  if (line.empty() || line[0] == '#' || !parseLine(line, e)) return;
  const size_t hash = readerKeyHash(e);
  const uint32_t known = index_.find(hash, [&](uint32_t at) {
    const TRecordEntry& k = entries_[at];
    return k.path == e.path && (!isOutside(e) || k.identity.inode == e.identity.inode);
  });
  if (known != TEntryIndex::kNone) {  // the later line holds
    TRecordEntry& earlier = entries_[known];
    earlier.route = e.route;
    earlier.identity = e.identity;
    earlier.dropped = e.dropped;
    return;
  }
  entries_.push_back(std::move(e));
  index_.insert(hash, static_cast<uint32_t>(entries_.size() - 1));
}

bool TListReader::finish(std::vector<TRecordEntry>& entries) {
  // The last line without its line end was cut by a kill: left out.
  index_.clear();
  entries.clear();
  if (!headerSeen_ || refused_) {
    entries_.clear();
    return false;
  }
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [](const TRecordEntry& e) { return e.dropped; }),
                 entries_.end());
  entries.swap(entries_);
  std::vector<TRecordEntry>().swap(entries_);
  return true;
}

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
  return listHeaderLine(genericName) + "\n# The next run of \"" + genericName +
         "\" removes those it can prove it made (route, identity, path); other files stay.\n";
}

std::string lineOf(const TRecordEntry& e) {
  const std::string identity = e.dropped ? "x" : e.identity.known() ? e.identity.text() : "-";
  return std::string(1, e.route) + "\t" + identity + "\t" + e.path + "\n";
}

bool parseOutputRecord(const std::string& text, const std::string& genericName,
                       std::vector<TRecordEntry>& entries) {
  TListReader reader(genericName);
  reader.feed(text.data(), text.size());
  return reader.finish(entries);
}

namespace {

// Reads the whole file on fd from its start in pieces, handing each to take;
// false when it cannot be read.
template <class Take>
bool readPieces(int fd, std::vector<char>& buffer, Take take) {
  if (lseek(fd, 0, SEEK_SET) != 0) return false;
  ssize_t n;
  while ((n = read(fd, buffer.data(), buffer.size())) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    take(buffer.data(), static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

bool readOutputRecord(int fd, const std::string& genericName, std::vector<TRecordEntry>& entries) {
  TListReader reader(genericName);
  std::vector<char> buffer(1 << 20);
  // Its lines counted first, so that the entries are made in place once.
  size_t lines = 0;
  const bool read = readPieces(fd, buffer, [&](const char* data, size_t size) {
    lines += static_cast<size_t>(std::count(data, data + size, '\n'));
  }) && (reader.expect(lines), readPieces(fd, buffer, [&](const char* data, size_t size) {
    reader.feed(data, size);
  }));
  if (!read) {
    entries.clear();
    return false;
  }
  return reader.finish(entries);
}

bool TListFile::rewrite(int folderFd, const std::string& text) {
  return rewriteWith(folderFd, [&](int fd) { return writeAll(fd, text.data(), text.size()); });
}

bool TListFile::rewrite(int folderFd, const std::string& genericName,
                        const std::vector<TRecordEntry>& entries,
                        const std::function<bool(const TRecordEntry&)>& keep) {
  return rewriteWith(folderFd, [&](int fd) {
    constexpr size_t kPiece = 1 << 16;
    std::string piece = headerText(genericName);
    for (const TRecordEntry& e : entries) {
      if (!keep(e)) continue;
      piece += lineOf(e);
      if (piece.size() >= kPiece) {
        if (!writeAll(fd, piece.data(), piece.size())) return false;
        piece.clear();
      }
    }
    return writeAll(fd, piece.data(), piece.size());
  });
}

bool TListFile::rewriteWith(int folderFd, const std::function<bool(int fd)>& write) {
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
  if (!write(fd) ||
      renameat(folderFd, temporary.c_str(), folderFd, kOutputRecordName) != 0) {
    const int error = errno;
    ::close(fd);
    unlinkat(folderFd, temporary.c_str(), 0);
    errno = error;
    return false;
  }
  close();
  fd_ = fd;
  return true;
}

bool TListFile::append(const std::string& line) {
  if (fd_ < 0) return false;
  const off_t end = lseek(fd_, 0, SEEK_END);
  if (end < 0) return false;
  if (writeAll(fd_, line.data(), line.size())) return true;
  // A line cut by a full disk or a size limit is taken back, so that the
  // next line does not join it.
  const int error = errno;
  while (ftruncate(fd_, end) != 0 && errno == EINTR) {
  }
  errno = error;
  return false;
}

void TListFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
