// Removal of the outputs an earlier invocation left in the model's output
// folder. The earlier invocation's list of written files says what may go; a
// listed file goes only when its name has the shape of a name the program's
// own name builders give (the same text with every number in it free), it
// still has the identity the list gives it, and nothing else keeps it (see
// TFate). Everything is reached relative to the descriptor of the claimed
// folder, with no link followed. Nothing else is touched: unlisted files,
// files of other names or models, folders (but empty spectrum folders) and
// every input file stay.
#include "driver/staleOutputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <system_error>

#include "driver/outputShapes.h"
#include "driver/runFile.h"
#include "support/outputRecord.h"

namespace fs = std::filesystem;

namespace {

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// A listed entry: a name in the folder or in one of its spectrum folders, with
// an output's name; empty when the entry is none of these.
fs::path listedOutput(const std::string& entry, const TOutputShapes& shapes) {
  const fs::path rel = fs::path(entry).lexically_normal();
  if (rel.empty() || rel.is_absolute() || rel.has_root_path()) return fs::path();
  std::vector<std::string> parts;
  for (const fs::path& part : rel) parts.push_back(part.string());
  if (parts.empty() || parts.size() > 2) return fs::path();
  if (parts.size() == 2 && !shapes.isFolder(parts[0])) return fs::path();
  if (!shapes.isFile(parts.back())) return fs::path();
  return rel;
}

// What becomes of a listed file; every fate but REMOVED and GONE keeps it.
enum class TFate { REMOVED, GONE, LINK, PROTECTED, INPUT, CHANGED, UNPROVEN, ESTIMATION, FAILED };
constexpr int kNumFates = static_cast<int>(TFate::FAILED) + 1;

// Why a kept file is kept: for the one line that counts them, and for the
// message of a run that would write one of them.
struct TKeptWhy {
  const char* many;
  const char* one;
};
const TKeptWhy kKeptWhy[kNumFates] = {
    {"", ""},  // removed
    {"", ""},  // gone
    {"symbolic links or in a linked folder", "it is a symbolic link or in a linked folder"},
    {"write-protected", "it is write-protected"},
    {"read by this run", "this run reads it"},
    {"changed or replaced since that run wrote them",
     "it was changed or replaced since the run that listed it wrote it"},
    {"never identified (that run did not end, or its list is of an older version)",
     "it was never identified (the run that listed it did not end, or its list is of an older "
     "version): remove it if it is not needed"},
    {"results of an estimation, which only an estimation of this model removes",
     "it is a result of an estimation, which only an estimation of this model replaces (move "
     "it elsewhere to let this run write it)"},
    {"could not be removed", "it could not be removed"}};

class TListedRemoval {
 public:
  TListedRemoval(int folderFd, const TStaleOutputs& stale, const TOutputShapes& shapes)
      : folderFd_(folderFd), stale_(stale), shapes_(shapes) {}
  ~TListedRemoval() {
    for (const auto& [name, fd] : subFolders_)
      if (fd >= 0) close(fd);
  }
  TListedRemoval(const TListedRemoval&) = delete;
  TListedRemoval& operator=(const TListedRemoval&) = delete;

  TFate remove(const TRecordEntry& e, const fs::path& rel) {
    const int dir = rel.has_parent_path() ? subFolder(rel.parent_path().string()) : folderFd_;
    if (dir == kLinked) return TFate::LINK;
    if (dir < 0) return TFate::GONE;
    const std::string name = rel.filename().string();
    struct stat info;
    if (fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return TFate::GONE;
    const TFate fate = fateOf(e, name, info);
    if (fate != TFate::REMOVED) return fate;
    if (unlinkat(dir, name.c_str(), 0) != 0) {
      std::cerr << "\nUnable to remove the output file \"" << stale_.genericName << "/"
                << rel.string() << "\" left by an earlier run" << std::endl;
      return TFate::FAILED;
    }
    if (dir != folderFd_) emptied_.insert(rel.parent_path().string());
    return TFate::REMOVED;
  }

  // Spectrum folders that the removal left empty go too.
  void removeEmptiedFolders() {
    for (const std::string& sub : emptied_) unlinkat(folderFd_, sub.c_str(), AT_REMOVEDIR);
  }

 private:
  static constexpr int kLinked = -2;

  TFate fateOf(const TRecordEntry& e, const std::string& name, const struct stat& info) const {
    if (S_ISLNK(info.st_mode)) return TFate::LINK;
    if (!S_ISREG(info.st_mode)) return TFate::CHANGED;
    const TFileIdentity now = TFileIdentity::of(info);
    if (isProtectedInput(now)) return TFate::INPUT;
    if (e.route == kRouteEstimation && stale_.route != kRouteEstimation &&
        shapes_.isEstimationResult(name))
      return TFate::ESTIMATION;
    if (!e.identified) return TFate::UNPROVEN;
    if (!(now == e.identity)) return TFate::CHANGED;
    if (isWriteProtected(info)) return TFate::PROTECTED;
    return TFate::REMOVED;
  }

  // The spectrum folder opened without following a link: kLinked when it is
  // one, -1 when it is not there.
  int subFolder(const std::string& name) {
    auto found = subFolders_.find(name);
    if (found != subFolders_.end()) return found->second;
    int fd = openat(folderFd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) fd = kLinked;
    subFolders_.emplace(name, fd);
    return fd;
  }

  const int folderFd_;
  const TStaleOutputs& stale_;
  const TOutputShapes& shapes_;
  std::map<std::string, int> subFolders_;
  std::set<std::string> emptied_;
};

void reportRemoval(const std::string& genericName, const int (&count)[kNumFates]) {
  const int removed = count[static_cast<int>(TFate::REMOVED)];
  if (removed > 0)
    std::cout << "\nRemoved " << removed << (removed == 1 ? " output file" : " output files")
              << " of an earlier run from the output folder \"" << genericName << "\"\n";
  int kept = 0;
  std::string why;
  for (int f = static_cast<int>(TFate::LINK); f < kNumFates; ++f) {
    if (count[f] == 0) continue;
    kept += count[f];
    why += std::string(why.empty() ? "" : ", ") + std::to_string(count[f]) + " " + kKeptWhy[f].many;
  }
  if (kept > 0)
    std::cout << "\nKept " << kept << (kept == 1 ? " file" : " files")
              << " that an earlier run listed in the output folder \"" << genericName
              << "\": " << why << "\n";
}

// The files that runs may read: those named on the command line, the run
// file, the model made from a template, and the observed spectra of the model
// in the working folder (whatever their links point to).
void collectInputs(TStaleOutputs& stale, const TOutputShapes& shapes) {
  for (const std::string& path : stale.inputPaths) {
    TFileIdentity id;
    if (identityOf(path, id)) stale.inputs.push_back(id);
  }
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(stale.workingFolder, ec)) {
    TFileIdentity id;
    if (shapes.isObserved(e.path().filename().string()) && identityOf(e.path().string(), id))
      stale.inputs.push_back(id);
  }
}

}  // namespace

TStaleOutputs prepareStaleOutputs(const RunOptions& run, const std::string& modelFileName) {
  TStaleOutputs stale;
  TOutputShapes shapes;
  if (modelFileName.empty() || !shapes.build(modelFileName)) return stale;
  stale.genericName = shapes.generic();
  stale.folder = absolutePath(shapes.generic());
  stale.workingFolder = absolutePath(".");
  stale.route = run.maximizeLikelihood ? kRouteEstimation : kRouteOther;
  for (const my_string* n :
       {&run.modelFileName, &run.templateFileName, &run.defFileName, &run.priorFileName})
    if (!n->is_null()) stale.inputPaths.push_back(absolutePath(n->c_str()));
  if (run.useTemplate) stale.inputPaths.push_back(absolutePath(modelFileName));  // generated model
  if (!run.startFolder.is_null())
    stale.inputPaths.push_back((fs::path(run.startFolder.c_str()) / kRunFileName).string());
  collectInputs(stale, shapes);
  return stale;
}

bool isInputFile(const std::string& path, const TStaleOutputs& stale) {
  TFileIdentity id;
  return identityOf(path, id) && id.isAmong(stale.inputs);
}

bool namesAnInput(const std::string& path, const TStaleOutputs& stale) {
  const std::string full = absolutePath(path);
  for (const std::string& input : stale.inputPaths)
    if (input == full) return true;
  return isInputFile(path, stale);
}

bool claimStaleOutputs(const TStaleOutputs& stale) {
  if (stale.genericName.empty()) return true;
  if (claimOutputFolder(stale.folder, stale.genericName, stale.route) != FolderClaim::CLAIMED)
    return false;
  protectInputs(stale.inputs);
  return true;
}

int removeStaleOutputs(const TStaleOutputs& stale) {
  const int folderFd = outputFolderDescriptor();
  if (stale.genericName.empty() || folderFd < 0) return 0;
  TOutputShapes shapes;
  std::vector<TRecordEntry> carried;
  int count[kNumFates] = {};
  if (shapes.build(stale.genericName + ".par")) {
    TListedRemoval removal(folderFd, stale, shapes);
    for (const TRecordEntry& e : earlierOutputs()) {
      const fs::path rel = listedOutput(e.path, shapes);
      if (rel.empty()) continue;  // not an output's name: not the list's to judge
      const TFate fate = removal.remove(e, rel);
      ++count[static_cast<int>(fate)];
      if (fate == TFate::REMOVED || fate == TFate::GONE) continue;
      carried.push_back(e);
      carried.back().keptBecause = kKeptWhy[static_cast<int>(fate)].one;
    }
    removal.removeEmptiedFolders();
  }
  startOutputRecord(carried);
  reportRemoval(stale.genericName, count);
  return count[static_cast<int>(TFate::REMOVED)];
}
