// Removal of the outputs an earlier invocation left in the model's output
// folder. Each entry of the earlier list meets one fate (TFate): removed,
// gone already, or kept for a reason. A file changed since its run listed
// it, or never identified, makes the run refuse before anything is removed:
// the run would write the name again without proof that a run made the file.
// Links, write-protected files, inputs and the results of an estimation (for
// a run of another kind) are kept, and the run goes on. Everything is reached relative to the descriptor of the
// claimed folder, with no link followed.
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
#include "model/simSettings.h"
#include "support/interruptCleanup.h"
#include "support/outputFolder.h"

namespace fs = std::filesystem;

namespace {

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// A listed entry below the folder: a name in it or in one of its folders
// (spectra of -j); empty when it is neither.
fs::path listedPath(const std::string& entry) {
  const fs::path rel = fs::path(entry).lexically_normal();
  if (rel.empty() || rel.has_root_path() || rel.string() == kOutputRecordName) return fs::path();
  int depth = 0;
  for (const fs::path& part : rel)
    if (part == ".." || part == "." || ++depth > 2) return fs::path();
  return rel;
}

// The results an estimation leaves: its tables, best model and spectra.
bool isEstimationResultName(const std::string& name) {
  auto endsWith = [&name](const std::string& end) {
    return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
  };
  for (const char* end : {".bestlhoods", ".brent_lhoods", "_maxL.par", "_maxL.rsf"})
    if (endsWith(end)) return true;
  for (const char* spectrum : {"AFpop", "AFpooled", "DSFS", "MSFS", "numPolymSites"})
    if (name.find(spectrum) != std::string::npos) return true;
  return false;
}

enum class TFate { REMOVED, GONE, LINK, PROTECTED, INPUT, ESTIMATION, FAILED, CHANGED, UNPROVEN };
constexpr int kNumFates = static_cast<int>(TFate::UNPROVEN) + 1;
// A file changed since its run listed it, or never identified, is one the run
// would write again without proof that a run made it: the run refuses.
bool refuses(TFate fate) { return fate >= TFate::CHANGED; }

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
    {"results of an estimation, which only an estimation of this model removes",
     "it is a result of an estimation, which only an estimation of this model replaces (move "
     "it elsewhere to let this run write it)"},
    {"could not be removed", "it could not be removed"},
    {"changed or replaced since that run wrote them",
     "it was changed or replaced since the run that listed it wrote it"},
    {"never identified", "it was listed by a run of an older version, which gave no identity"}};

class TListedRemoval {
 public:
  TListedRemoval(int folderFd, char route) : folderFd_(folderFd), route_(route) {}
  ~TListedRemoval() {
    for (const auto& [name, fd] : subFolders_)
      if (fd >= 0) close(fd);
  }
  TListedRemoval(const TListedRemoval&) = delete;
  TListedRemoval& operator=(const TListedRemoval&) = delete;

  // What becomes of the entry; removes it when remove is set and it may go.
  TFate judge(const TRecordEntry& e, const fs::path& rel, bool remove) {
    const int dir = rel.has_parent_path() ? subFolder(rel.parent_path().string()) : folderFd_;
    if (dir == kLinked) return TFate::LINK;
    const std::string name = rel.filename().string();
    struct stat info;
    if (dir < 0 || fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return TFate::GONE;
    const TFate fate = fateOf(e, name, info);
    if (fate != TFate::REMOVED || !remove) return fate;
    if (e.route == kRouteTempFolder) return removeTempFolderAt(dir, name) ? fate : TFate::GONE;
    if (unlinkat(dir, name.c_str(), 0) != 0) {
      std::cerr << "\nUnable to remove the output file \"" << rel.string()
                << "\" left by an earlier run" << std::endl;
      return TFate::FAILED;
    }
    if (dir != folderFd_) emptied_.insert(rel.parent_path().string());
    return TFate::REMOVED;
  }

  // Folders of spectra that the removal left empty go too.
  void removeEmptiedFolders() {
    for (const std::string& sub : emptied_) unlinkat(folderFd_, sub.c_str(), AT_REMOVEDIR);
  }

 private:
  static constexpr int kLinked = -2;

  TFate fateOf(const TRecordEntry& e, const std::string& name, const struct stat& info) const {
    const TFileIdentity now = TFileIdentity::of(info);
    if (e.route == kRouteTempFolder)  // its process is gone: the folder holds the lock
      return S_ISDIR(info.st_mode) && e.identity.sameFile(now) ? TFate::REMOVED : TFate::GONE;
    if (S_ISLNK(info.st_mode)) return TFate::LINK;
    if (!S_ISREG(info.st_mode)) return TFate::CHANGED;
    if (isProtectedInput(now)) return TFate::INPUT;
    if (!e.identity.known()) return TFate::UNPROVEN;
    if (!e.identity.describes(now)) return TFate::CHANGED;
    if (e.route == kRouteEstimation && route_ != kRouteEstimation && isEstimationResultName(name))
      return TFate::ESTIMATION;
    if (isWriteProtected(info)) return TFate::PROTECTED;
    return TFate::REMOVED;
  }

  // The folder opened without following a link: kLinked when it is one, -1
  // when it is not there.
  int subFolder(const std::string& name) {
    auto found = subFolders_.find(name);
    if (found != subFolders_.end()) return found->second;
    int fd = openat(folderFd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) fd = kLinked;
    subFolders_.emplace(name, fd);
    return fd;
  }

  const int folderFd_;
  const char route_;
  std::map<std::string, int> subFolders_;
  std::set<std::string> emptied_;
};

// A file outside the folder that an earlier run listed, still as it left it:
// carried, so that this run may replace it.
bool isListedOutside(const TRecordEntry& e) {
  struct stat info;
  return !e.path.empty() && e.path[0] == '/' && lstat(e.path.c_str(), &info) == 0 &&
         S_ISREG(info.st_mode) && e.identity.describes(TFileIdentity::of(info));
}

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
// file, and the observed spectra of the model in the working folder (whatever
// their links point to).
void collectInputs(TStaleOutputs& stale) {
  for (const std::string& path : stale.inputPaths) {
    TFileIdentity id;
    if (identityOf(path, id)) stale.inputs.push_back(id);
  }
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(stale.workingFolder, ec)) {
    TFileIdentity id;
    if (isObservedSpectrumName(e.path().filename().string(), stale.genericName) &&
        identityOf(e.path().string(), id))
      stale.inputs.push_back(id);
  }
}

// What makes the run refuse, one line per file; empty when nothing does:
// listed files changed since, and files the run writes whatever happens (its
// tables, its seed file) that it may not write.
std::string refusals(const TStaleOutputs& stale) {
  std::string lines;
  std::map<std::string, TFate> fates;
  TListedRemoval removal(outputFolderDescriptor(), stale.route);
  const auto refuse = [&](const std::string& name, const std::string& why) {
    lines += "  \"" + name + "\": " + why + "\n";
  };
  for (const TRecordEntry& e : earlierOutputs()) {
    const fs::path rel = listedPath(e.path);
    if (rel.empty()) continue;
    const TFate fate = fates[rel.string()] = removal.judge(e, rel, false);
    if (refuses(fate)) refuse(stale.genericName + "/" + rel.string(), kKeptWhy[static_cast<int>(fate)].one);
  }
  for (const std::string& own : stale.ownNames) {
    std::string rel;
    struct stat info;
    const auto listed = insideOutputFolder(own, rel) ? fates.find(rel) : fates.end();
    if (rel.empty()) {
      const std::string why = whyOutsideOutputKept(own);
      if (!why.empty()) refuse(own, why);
    } else if (listed == fates.end()) {
      if (fstatat(outputFolderDescriptor(), rel.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        refuse(stale.genericName + "/" + rel, "no run of this model made it");
    } else if (listed->second != TFate::REMOVED && listed->second != TFate::GONE &&
               !refuses(listed->second)) {
      refuse(stale.genericName + "/" + rel, kKeptWhy[static_cast<int>(listed->second)].one);
    }
  }
  return lines;
}

}  // namespace

TStaleOutputs prepareStaleOutputs(const RunOptions& run, const std::string& modelFileName) {
  TStaleOutputs stale;
  stale.genericName = genericNameOf(modelFileName.c_str()).c_str();
  if (modelFileName.empty() || stale.genericName.empty()) {
    stale.genericName.clear();
    return stale;
  }
  stale.folder = absolutePath(stale.genericName);
  stale.workingFolder = absolutePath(".");
  stale.route = run.maximizeLikelihood ? kRouteEstimation : kRouteOther;
  for (const my_string* n :
       {&run.modelFileName, &run.templateFileName, &run.defFileName, &run.priorFileName})
    if (!n->is_null()) stale.inputPaths.push_back(absolutePath(n->c_str()));
  if (!run.startFolder.is_null())
    stale.inputPaths.push_back((fs::path(run.startFolder.c_str()) / kRunFileName).string());
  // What the run writes whatever its model: checked before anything is removed.
  stale.ownNames.push_back((fs::path(stale.workingFolder) / "seed.txt").string());
  if (!run.lhoodFileName.is_null())
    stale.ownNames.push_back(absolutePath(run.lhoodFileName.c_str()));
  if (run.useTemplate && run.priorFileGiven && !run.paramFileName.is_null())
    stale.ownNames.push_back(absolutePath(run.paramFileName.c_str()));
  collectInputs(stale);
  return stale;
}

bool namesAnInput(const std::string& path, const TStaleOutputs& stale) {
  const std::string full = absolutePath(path);
  for (const std::string& input : stale.inputPaths)
    if (input == full) return true;
  TFileIdentity id;
  return identityOf(path, id) && id.isAmong(stale.inputs);
}

bool claimStaleOutputs(const TStaleOutputs& stale) {
  if (stale.genericName.empty()) return true;
  if (claimOutputFolder(stale.folder, stale.genericName, stale.route) != FolderClaim::CLAIMED)
    return false;
  protectInputs(stale.inputs);
  const std::string lines = refusals(stale);
  if (lines.empty()) return true;
  std::cerr << "\nThe output folder \"" << stale.genericName
            << "\" holds files that this run would remove or write again, but that it cannot "
               "prove a run of the model made as they are now:\n"
            << lines
            << "Move them elsewhere (or remove them), then run again; nothing was removed or "
               "written. Exiting program."
            << std::endl;
  closeOutputRecord();
  return false;
}

int removeStaleOutputs(const TStaleOutputs& stale) {
  const int folderFd = outputFolderDescriptor();
  if (stale.genericName.empty() || folderFd < 0) return 0;
  std::vector<TRecordEntry> carried;
  int count[kNumFates] = {};
  TListedRemoval removal(folderFd, stale.route);
  for (const TRecordEntry& e : earlierOutputs()) {
    if (isListedOutside(e)) carried.push_back(e);
    const fs::path rel = listedPath(e.path);
    if (rel.empty()) continue;
    const TFate fate = removal.judge(e, rel, true);
    ++count[static_cast<int>(fate)];
    if (fate == TFate::REMOVED || fate == TFate::GONE) continue;
    carried.push_back(e);
    carried.back().keptBecause = kKeptWhy[static_cast<int>(fate)].one;
  }
  removal.removeEmptiedFolders();
  startOutputRecord(carried);
  reportRemoval(stale.genericName, count);
  return count[static_cast<int>(TFate::REMOVED)];
}
