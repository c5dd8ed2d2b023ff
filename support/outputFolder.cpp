#include "support/outputFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <system_error>

#include "support/outputFolderState.h"

namespace fs = std::filesystem;

namespace {

const char* const kLockFileName = "written_by_brimvane.lock";

void report(const std::string& genericName, const std::string& what) {
  std::cerr << "\nThe output folder \"" << genericName << "\": " << what << ". Exiting program."
            << std::endl;
}

// Locks the folder, or where the file system cannot lock a folder (network
// file systems lock only files), a lock file in it. 0, or the errno.
int lockFolder(TFolderState& s) {
  if (flock(s.folderFd, LOCK_EX | LOCK_NB) == 0) return 0;
  if (errno == EWOULDBLOCK) return EWOULDBLOCK;
  s.lockFd = openat(s.folderFd, kLockFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (s.lockFd < 0 || flock(s.lockFd, LOCK_EX | LOCK_NB) == 0) return 0;
  return errno == EWOULDBLOCK ? EWOULDBLOCK : 0;
}

// The list an earlier run left; false, with a message, when this run could not
// replace it: a user's file of that name, a link, a write-protected list.
bool readEarlierList(TFolderState& s) {
  struct stat info;
  if (fstatat(s.folderFd, kOutputRecordName, &info, AT_SYMLINK_NOFOLLOW) != 0) return true;
  const std::string name = std::string("its list of outputs \"") + kOutputRecordName + "\" ";
  if (!S_ISREG(info.st_mode)) {
    report(s.genericName, name + "is not a plain file (a link?): remove it to run the model");
    return false;
  }
  if (isWriteProtected(info)) {
    report(s.genericName, name + "is write-protected: the runs of the model keep out of the "
                                 "folder until it is writable again (chmod u+w)");
    return false;
  }
  const int fd =
      openat(s.folderFd, kOutputRecordName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  const bool parsed = fd >= 0 && readOutputRecord(fd, s.genericName, s.earlier);
  if (fd >= 0) close(fd);
  if (!parsed)
    report(s.genericName, name + "was not written by brimvane for this model: move it elsewhere "
                                 "to run the model");
  return parsed;
}

// Closes the folder, its lock and its list, and forgets all of it.
void releaseFolder(TFolderState& s) {
  s.list.close();
  for (int* fd : {&s.lockFd, &s.folderFd})
    if (*fd >= 0) close(*fd);
  s.lockFd = s.folderFd = -1;
  s.listing = s.listBroken = s.listReported = false;
  s.stopped = false;
  s.folder.clear();
  s.folderAsNamed.clear();
  for (auto* v : {&s.earlier, &s.entries}) v->clear();
  s.index.clear();
  s.madeApart.clear();
  s.openFiles.clear();
  s.unnamed.clear();
  s.refused.clear();
  s.inputs.clear();
  s.beforeFirstOutput = nullptr;
}

int openFolder(const std::string& folder, const std::string& genericName) {
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    report(genericName, std::string("cannot be created: ") + std::strerror(errno));
    return -1;
  }
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) report(genericName, std::string("cannot be opened: ") + std::strerror(errno));
  return fd;
}


// Said once: from now on the files that cannot be listed are not made.
void reportListFailure(TFolderState& s, int error) {
  if (s.listReported) return;
  s.listReported = true;
  std::cerr << "\nUnable to write the list of output files \"" << s.genericName << "/"
            << kOutputRecordName << "\": " << std::strerror(error)
            << ". A file that cannot be listed is not made: this run leaves it out and ends "
               "with status 1"
            << std::endl;
}

// The list written anew, one line a file; false, with errno, when it cannot
// be (the list written last is then still open).
bool rewriteList(TFolderState& s,
                 const std::function<bool(const TRecordEntry&)>& keep = [](const TRecordEntry&) {
                   return true;
                 }) {
  if (!s.list.rewrite(s.folderFd, s.genericName, s.entries, keep)) return false;
  s.linesSinceRewrite = 0;
  return true;
}

size_t pathHash(const std::string& path) { return std::hash<std::string>()(path); }

uint32_t findPath(const TFolderState& s, size_t hash, const std::string& path) {
  return s.index.find(hash, [&](uint32_t at) { return s.entries[at].path == path; });
}

bool sameIdentity(const TFileIdentity& a, const TFileIdentity& b) {
  return a.device == b.device && a.inode == b.inode && a.generation == b.generation &&
         a.bornSeconds == b.bornSeconds && a.size == b.size && a.seconds == b.seconds &&
         a.changeSeconds == b.changeSeconds && a.bornNanoseconds == b.bornNanoseconds &&
         a.nanoseconds == b.nanoseconds && a.changeNanoseconds == b.changeNanoseconds &&
         a.born == b.born && a.generationKnown == b.generationKnown && a.closed == b.closed &&
         a.changeKnown == b.changeKnown;
}

// Takes back the change listEntry made to the entries: the entry as it was
// before, or none (the path was added last).
void restoreEntry(TFolderState& s, size_t at, bool added, const TRecordEntry& before) {
  if (!added) {
    s.entries[at] = before;
    return;
  }
  s.index.erase(pathHash(s.entries[at].path), static_cast<uint32_t>(at));
  s.entries.pop_back();
}

}  // namespace

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

TFolderState& folderState() {
  static TFolderState s;
  return s;
}

// Files opened and closed again and again (spectra appended per data set) add
// a line each time, and each file two: the list is written anew, one line a
// file, when the lines added since outnumber half its files.
bool listEntry(TFolderState& s, const TRecordEntry& e) {
  const size_t hash = pathHash(e.path);
  const uint32_t found = findPath(s, hash, e.path);
  const bool added = found == TEntryIndex::kNone;
  const size_t at = added ? s.entries.size() : found;
  const TRecordEntry before = added ? TRecordEntry() : s.entries[at];
  if (added) {
    s.entries.push_back(e);
    s.index.insert(hash, static_cast<uint32_t>(at));
  } else {
    s.entries[at] = e;
  }
  // Whether this process made the file is not the line's to say.
  TRecordEntry& now = s.entries[at];
  now.made = false;
  if (before.made && !sameIdentity(before.identity, now.identity))
    s.madeApart[e.path] = before.identity;
  else
    now.made = before.made;
  if (!s.listing) {
    if (!s.listBroken) return true;
    restoreEntry(s, at, added, before);
    errno = EIO;
    return false;
  }
  if (++s.linesSinceRewrite > s.entries.size() / 2 + 1000 && rewriteList(s)) return true;
  if (s.list.append(lineOf(e))) return true;
  const int error = errno;
  reportListFailure(s, error);
  restoreEntry(s, at, added, before);
  errno = error;
  return false;
}

TRecordEntry* listedEntry(TFolderState& s, const std::string& path) {
  const uint32_t at = findPath(s, pathHash(path), path);
  return at == TEntryIndex::kNone ? nullptr : &s.entries[at];
}

const TRecordEntry* listedEntry(const TFolderState& s, const std::string& path) {
  const uint32_t at = findPath(s, pathHash(path), path);
  return at == TEntryIndex::kNone ? nullptr : &s.entries[at];
}

const TFileIdentity* madeIdentity(const TFolderState& s, const std::string& path) {
  const auto apart = s.madeApart.find(path);
  if (apart != s.madeApart.end()) return &apart->second;
  const TRecordEntry* e = listedEntry(s, path);
  return e && e->made ? &e->identity : nullptr;
}

// Kept in the entry when it lists the file with that identity, else apart.
void setMade(TFolderState& s, const std::string& path, const TFileIdentity& identity) {
  TRecordEntry* e = listedEntry(s, path);
  if (e && !e->dropped && sameIdentity(e->identity, identity)) {
    e->made = true;
    s.madeApart.erase(path);
    return;
  }
  if (e) e->made = false;
  s.madeApart[path] = identity;
}

void forgetMade(TFolderState& s, const std::string& path) {
  s.madeApart.erase(path);
  if (TRecordEntry* e = listedEntry(s, path)) e->made = false;
}

FolderClaim claimOutputFolder(const std::string& folder, const std::string& genericName,
                              char route, const std::vector<TFileIdentity>& inputs) {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  releaseFolder(s);
  s.folderFd = openFolder(folder, genericName);
  if (s.folderFd < 0) return FolderClaim::FAILED;
  s.genericName = genericName;
  s.route = route;
  s.inputs = inputs;
  if (lockFolder(s) == EWOULDBLOCK) {
    std::cerr << "\nAnother run is writing into the output folder \"" << genericName
              << "\": two runs of a model must not share one folder. Wait until it ends, or "
                 "run this one from another folder. Exiting program."
              << std::endl;
    releaseFolder(s);
    return FolderClaim::BUSY;
  }
  if (!readEarlierList(s)) {
    releaseFolder(s);
    return FolderClaim::FAILED;
  }
  s.folderAsNamed = absolutePath(folder);
  std::error_code ec;
  s.folder = fs::canonical(s.folderAsNamed, ec);
  if (ec) s.folder = s.folderAsNamed;
  return FolderClaim::CLAIMED;
}

int outputFolderDescriptor() {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.folderFd;
}

const std::vector<TRecordEntry>& earlierOutputs() {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.earlier;
}

bool insideOutputFolder(const std::string& path, std::string& rel) {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.folder.empty()) return false;
  const fs::path p = absolutePath(path);
  for (const fs::path& base : {s.folder, s.folderAsNamed}) {
    const fs::path r = p.lexically_relative(base);
    if (r.empty() || r == "." || *r.begin() == "..") continue;
    rel = r.generic_string();
    return true;
  }
  return false;
}

void armOutputRecord(std::function<void()> beforeFirstOutput) {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  s.beforeFirstOutput = std::move(beforeFirstOutput);
}

void beginOutputs() {
  TFolderState& s = folderState();
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    action.swap(s.beforeFirstOutput);
  }
  if (action) action();
}

bool startOutputRecord(const std::vector<TRecordEntry>& carried) {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.folderFd < 0) return false;
  for (const TRecordEntry& e : s.entries)  // files made before the list is started
    if (e.made) s.madeApart[e.path] = e.identity;
  s.entries.clear();
  s.index.clear();
  for (const TRecordEntry& e : carried) {
    const size_t hash = pathHash(e.path);
    if (findPath(s, hash, e.path) != TEntryIndex::kNone) continue;
    s.entries.push_back(e);
    s.entries.back().made = false;
    s.index.insert(hash, static_cast<uint32_t>(s.entries.size() - 1));
  }
  s.listing = rewriteList(s);
  if (!s.listing) {
    s.listBroken = true;
    reportListFailure(s, errno);
  }
  return s.listing;
}

bool noteTempFolder(const std::string& rel, const TFileIdentity& identity) {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  TRecordEntry e;
  e.path = rel;
  e.route = kRouteTempFolder;
  e.identity = identity;
  return listEntry(s, e);
}

void stopOutputs() { folderState().stopped = true; }

void closeOutputRecord() {
  TFolderState& s = folderState();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.listing) {  // one line a file, none for a temporary folder removed already
    rewriteList(s, [&](const TRecordEntry& e) {
      struct stat info;
      return !e.dropped && (e.route != kRouteTempFolder ||
                            fstatat(s.folderFd, e.path.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0);
    });  // where it cannot be, the lines written so far still tell
  }
  releaseFolder(s);
}
