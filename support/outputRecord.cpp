#include "support/outputRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <system_error>

#include "support/folderLock.h"
#include "support/outputRecordText.h"

namespace fs = std::filesystem;

const char* const kOutputRecordName = "written_by_brimvane.txt";

namespace {

struct TRecordState {
  std::mutex lock;
  std::string genericName;
  fs::path folder;         // absolute, links resolved; empty: no folder claimed
  fs::path folderAsNamed;  // absolute as named (the folder may be a link)
  int folderFd = -1;
  int recordFd = -1;
  bool listing = false;  // the new list is being written
  off_t recordEnd = 0;   // where the next line goes
  size_t linesSinceRewrite = 0;
  char route = kRouteOther;
  std::function<void()> beforeFirstOutput;
  std::vector<TRecordEntry> earlier;
  std::vector<TRecordEntry> entries;  // the new list
  std::map<std::string, size_t> index;
  std::set<std::string> made;     // paths this process may write: it made them
  std::set<std::string> refused;  // paths refused (said once)
  std::vector<TFileIdentity> inputs;
};

TRecordState& state() {
  static TRecordState s;
  return s;
}

fs::path absoluteLexical(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? fs::path() : p.lexically_normal();
}

// The path relative to the folder when it lies inside it (the folder itself
// and the list excluded); empty otherwise. Lexical: links below the folder
// are the gate's to judge, not resolved away.
std::string insideFolder(const TRecordState& s, const std::string& path) {
  if (s.folder.empty()) return "";
  const fs::path p = absoluteLexical(path);
  for (const fs::path& base : {s.folder, s.folderAsNamed}) {
    const fs::path rel = p.lexically_relative(base);
    if (rel.empty() || rel == "." || *rel.begin() == "..") continue;
    const std::string name = rel.generic_string();
    return name == kOutputRecordName ? "" : name;
  }
  return "";
}

// Why the run may not write the file below the folder; empty when it may
// (nothing there yet). Nothing is followed: a link on the way is a reason.
std::string whyKept(const TRecordState& s, const std::string& rel) {
  struct stat info;
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1))
    if (fstatat(s.folderFd, rel.substr(0, slash).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(info.st_mode))
      return "a folder on its path is a symbolic link";
  if (fstatat(s.folderFd, rel.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return "";
  if (S_ISLNK(info.st_mode)) return "it is a symbolic link";
  if (TFileIdentity::of(info).isAmong(s.inputs)) return "this run reads it";
  if (isWriteProtected(info)) return "it is write-protected";
  const auto listed = s.index.find(rel);
  if (listed != s.index.end() && !s.entries[listed->second].keptBecause.empty())
    return s.entries[listed->second].keptBecause;
  return "this run did not make it (a file of the user's, or one an earlier run left that was "
         "changed since or could not be proven that run's)";
}

bool writeAll(int fd, const std::string& text, off_t at) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = pwrite(fd, text.data() + done, text.size() - done, at + done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Empties the list, or removes it when it cannot be emptied, so that no
// later run acts on a list that does not describe the folder.
void invalidateRecord(TRecordState& s) {
  s.listing = false;
  const std::string name = (s.folder / kOutputRecordName).string();
  const bool emptied = s.recordFd >= 0 && ftruncate(s.recordFd, 0) == 0;
  struct stat info;
  const bool plainFile = fstatat(s.folderFd, kOutputRecordName, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISREG(info.st_mode);
  const bool removed = !emptied && plainFile && unlinkat(s.folderFd, kOutputRecordName, 0) == 0;
  const std::string old = emptied   ? "the old list is emptied"
                          : removed ? "the old list is removed"
                                    : "the old list could not be removed either";
  std::cerr << "\nUnable to write the list of output files \"" << name << "\": " << old
            << ", and the outputs of this run will not be removed by the next one" << std::endl;
}

void rewriteRecord(TRecordState& s);

// Each line goes out at once: a run that is killed still leaves the list of
// what it made. Files opened and closed again and again (spectra appended per
// data set) add a line each time: the list is written anew, one line a file,
// when those lines outnumber the files.
void appendLine(TRecordState& s, const TRecordEntry& e) {
  if (!s.listing) return;
  if (++s.linesSinceRewrite > 2 * s.entries.size() + 1000) {
    rewriteRecord(s);
    return;
  }
  const std::string line = lineOf(e);
  if (writeAll(s.recordFd, line, s.recordEnd))
    s.recordEnd += static_cast<off_t>(line.size());
  else
    invalidateRecord(s);
}

void rewriteRecord(TRecordState& s) {
  std::string text = headerText(s.genericName);
  for (const TRecordEntry& e : s.entries) text += lineOf(e);
  if (s.recordFd < 0 || ftruncate(s.recordFd, 0) != 0 || !writeAll(s.recordFd, text, 0)) {
    invalidateRecord(s);
    return;
  }
  s.recordEnd = static_cast<off_t>(text.size());
  s.linesSinceRewrite = 0;
}

std::string readAll(int fd) {
  std::string text;
  char buffer[65536];
  off_t at = 0;
  for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, n);
  return text;
}

int createRecord(const TRecordState& s) {
  return openat(s.folderFd, kOutputRecordName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
}

// Reads the earlier list through the descriptor the lock was taken with (a
// lock on it would go with any descriptor of it closed). A list that cannot be
// opened for writing is read, then removed; a link is neither.
void readEarlierRecord(TRecordState& s, int openError) {
  if (openError == ENOENT) return;  // no list yet: made when the outputs begin
  int readFd = s.recordFd;
  if (readFd < 0 && openError != ELOOP)
    readFd = openat(s.folderFd, kOutputRecordName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (readFd >= 0) parseOutputRecord(readAll(readFd), s.genericName, s.earlier);
  if (readFd >= 0 && readFd != s.recordFd) close(readFd);
  if (s.recordFd < 0) invalidateRecord(s);
}

void releaseFolder(TRecordState& s) {
  for (int* fd : {&s.recordFd, &s.folderFd})
    if (*fd >= 0) {
      close(*fd);
      *fd = -1;
    }
}

}  // namespace

FolderClaim claimOutputFolder(const std::string& folder, const std::string& genericName,
                              char route) {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  releaseFolder(s);
  mkdir(folder.c_str(), 0755);  // when absent
  s.folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (s.folderFd < 0) {
    std::cerr << "Unable to create the output folder \"" << genericName << "\": "
              << std::strerror(errno) << ". Exiting program." << std::endl;
    return FolderClaim::FAILED;
  }
  s.genericName = genericName;
  s.route = route;
  s.folderAsNamed = absoluteLexical(folder);
  std::error_code ec;
  s.folder = fs::canonical(s.folderAsNamed, ec);
  if (ec) s.folder = s.folderAsNamed;
  // The list is made only when the folder cannot be locked itself: a refused
  // run leaves no file.
  s.recordFd = openat(s.folderFd, kOutputRecordName, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  int openError = s.recordFd < 0 ? errno : 0;
  LockResult locked = lockFolder(s.folderFd, -1);
  if (locked == LockResult::UNSUPPORTED) {
    if (s.recordFd < 0 && openError == ENOENT) {
      s.recordFd = createRecord(s);
      openError = s.recordFd < 0 ? errno : 0;
    }
    locked = lockFolder(-1, s.recordFd);
  }
  if (locked == LockResult::BUSY) {
    std::cerr << "\nAnother run is writing into the output folder \"" << genericName
              << "\": two runs of a model must not share one folder. Wait until it ends, or "
                 "run this one from another folder. Exiting program."
              << std::endl;
    releaseFolder(s);
    s.folder.clear();
    return FolderClaim::BUSY;
  }
  if (locked == LockResult::UNSUPPORTED)
    std::cerr << "\nWarning: the output folder \"" << genericName
              << "\" cannot be locked here: make sure that no other run writes into it"
              << std::endl;
  readEarlierRecord(s, openError);
  return FolderClaim::CLAIMED;
}

int outputFolderDescriptor() {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.folderFd;
}

std::vector<TRecordEntry> earlierOutputs() {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.earlier;
}

void protectInputs(const std::vector<TFileIdentity>& inputs) {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.inputs = inputs;
}

bool isProtectedInput(const TFileIdentity& identity) {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  return identity.isAmong(s.inputs);
}

void armOutputRecord(std::function<void()> beforeFirstOutput) {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.beforeFirstOutput = std::move(beforeFirstOutput);
}

void beginOutputs() {
  TRecordState& s = state();
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    action.swap(s.beforeFirstOutput);
  }
  if (action) action();
}

bool startOutputRecord(const std::vector<TRecordEntry>& carried) {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.folderFd < 0) return false;
  if (s.recordFd < 0) s.recordFd = createRecord(s);
  s.entries.clear();
  s.index.clear();
  for (const TRecordEntry& e : carried)
    if (s.index.emplace(e.path, s.entries.size()).second) s.entries.push_back(e);
  s.listing = true;
  rewriteRecord(s);
  return s.listing;
}

bool noteOutputFile(const std::string& path) {
  TRecordState& s = state();
  std::string rel;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    rel = insideFolder(s, path);
    if (rel.empty()) {
      TFileIdentity id;
      if (!identityOf(path, id) || !id.isAmong(s.inputs)) return true;
      if (s.refused.insert(path).second)
        std::cerr << "\nThe file \"" << path << "\" is kept: this run reads it" << std::endl;
      return false;
    }
  }
  beginOutputs();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.made.count(rel) > 0) {  // opened again: its identity is to be taken anew
    const auto listed = s.index.find(rel);
    if (listed != s.index.end()) s.entries[listed->second].identified = false;
    return true;
  }
  const std::string why = whyKept(s, rel);
  if (!why.empty()) {
    if (s.refused.insert(rel).second)
      std::cerr << "\nThe file \"" << (s.folderAsNamed.filename() / rel).string()
                << "\" is kept: " << why << "; this run does not write it" << std::endl;
    return false;
  }
  s.made.insert(rel);
  if (!s.listing) return true;
  TRecordEntry e;
  e.path = rel;
  e.route = s.route;
  const auto [at, added] = s.index.emplace(rel, s.entries.size());
  if (added)
    s.entries.push_back(e);
  else
    s.entries[at->second] = e;
  appendLine(s, e);
  return true;
}

void noteOutputClosed(const std::string& path) {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  const std::string rel = insideFolder(s, path);
  const auto listed = s.index.find(rel);
  struct stat info;
  if (!s.listing || rel.empty() || s.made.count(rel) == 0 || listed == s.index.end() ||
      fstatat(s.folderFd, rel.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
    return;
  TRecordEntry& e = s.entries[listed->second];
  e.identified = true;
  e.identity = TFileIdentity::of(info);
  appendLine(s, e);  // a later line of a path replaces the earlier ones
}

bool openOutputFile(std::ofstream& os, const std::string& path, std::ios::openmode mode) {
  if (noteOutputFile(path))
    os.open(path, mode);
  else
    os.setstate(std::ios::failbit);
  return os.is_open();
}

void settleOutputRecord() {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.listing) return;
  std::vector<TRecordEntry> kept;
  for (TRecordEntry& e : s.entries) {
    struct stat info;
    if (fstatat(s.folderFd, e.path.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode))
      continue;  // gone: nothing to list
    if (s.made.count(e.path) > 0 && !e.identified) {  // not closed as a TOutputFile
      e.identified = true;
      e.identity = TFileIdentity::of(info);
    }
    kept.push_back(e);
  }
  s.entries.swap(kept);
  s.index.clear();
  for (size_t k = 0; k < s.entries.size(); ++k) s.index.emplace(s.entries[k].path, k);
  rewriteRecord(s);
}

void closeOutputRecord() {
  settleOutputRecord();
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  releaseFolder(s);
  s.listing = false;
  s.folder.clear();
  s.folderAsNamed.clear();
  s.earlier.clear();
  s.entries.clear();
  s.index.clear();
  s.made.clear();
  s.refused.clear();
  s.inputs.clear();
  s.beforeFirstOutput = nullptr;
}
