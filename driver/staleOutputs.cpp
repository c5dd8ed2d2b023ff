// Removal of the outputs an earlier invocation left in the model's output
// folder. Each entry of the earlier list meets one fate (TFate): removed,
// gone already, or kept for a reason. A file changed since its run listed it,
// or never identified, makes the run refuse before anything is removed: the
// run would write the name again without proof that a run made the file.
// Links, write-protected files, inputs and the results of an estimation (for
// a run of another kind) are kept, and the run goes on. Everything is reached
// from the descriptor of the claimed folder, with no link followed.
#include "driver/staleOutputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <functional>
#include <map>
#include <set>
#include <system_error>

#include "driver/outputShapes.h"
#include "driver/runFile.h"
#include "model/simSettings.h"
#include "support/checkedRemoval.h"
#include "support/tempFolders.h"
#include "support/outputFolder.h"
#include "support/privateLeftovers.h"

namespace fs = std::filesystem;

namespace {

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
  for (const char* part : {".bestlhoods", ".brent_lhoods", "_maxL.", "AFpop", "AFpooled", "DSFS",
                           "MSFS", "numPolymSites"})
    if (name.find(part) != std::string::npos) return true;
  return false;
}

enum class TFate {
  REMOVED, GONE, LINK, PROTECTED, INPUT, ESTIMATION, FAILED, CHANGED, UNPROVEN, UNTOLD };
constexpr int kNumFates = static_cast<int>(TFate::UNTOLD) + 1;
bool refuses(TFate fate) { return fate >= TFate::CHANGED; }

// Why a kept file is kept: for the line that counts them, and for a run that
// would write one of them.
const char* const kKeptWhy[kNumFates][2] = {
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
    {"never identified", "it was listed by a run of an older version, which gave no identity"},
    {"being written by a killed run, on a file system that cannot tell them from later files",
     "its run was killed while it wrote it, and this file system keeps neither birth times nor "
     "inode generations to tell it from a file made since under its inode number"}};
const char* keptWhy(TFate fate) { return kKeptWhy[static_cast<int>(fate)][1]; }

TFate fateOf(const TRecordEntry& e, const std::string& name, const struct stat& info,
             const TFileIdentity& now, const TStaleOutputs& stale) {
  if (e.route == kRouteTempFolder)  // its process is gone: this one holds the lock
    return S_ISDIR(info.st_mode) && e.identity.describes(now.opened()) ? TFate::REMOVED
                                                                         : TFate::GONE;
  if (S_ISLNK(info.st_mode)) return TFate::LINK;
  if (!S_ISREG(info.st_mode)) return TFate::CHANGED;
  if (now.isAmong(stale.inputs)) return TFate::INPUT;
  if (!e.identity.known()) return TFate::UNPROVEN;
  if (!e.identity.closed && !e.identity.tellsLaterFiles()) return TFate::UNTOLD;
  // A chmod changes the status change time too: a file write-protected since
  // is kept below, not taken for an edited one.
  if (!e.identity.describes(now) && !(isWriteProtected(info) && e.identity.describesContent(now)))
    return TFate::CHANGED;
  if (e.route == kRouteEstimation && stale.route != kRouteEstimation &&
      isEstimationResultName(name))
    return TFate::ESTIMATION;
  return isWriteProtected(info) ? TFate::PROTECTED : TFate::REMOVED;
}

// What becomes of a listed entry; removed when remove is set and it may go,
// with its folder of spectra when that is left empty. Where the claim judged
// it already (known), only a file that goes is looked at again: its removal
// checks it once moved aside.
TFate judge(const TRecordEntry& e, const fs::path& rel, const TStaleOutputs& stale, bool remove,
            const TFate* known = nullptr) {
  if (known && *known != TFate::REMOVED) return *known;
  const int folderFd = outputFolderDescriptor();
  const bool sub = rel.has_parent_path();
  const int dir = sub ? openat(folderFd, rel.parent_path().c_str(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                      : folderFd;
  if (dir < 0) return errno == ELOOP || errno == ENOTDIR ? TFate::LINK : TFate::GONE;
  const std::string name = rel.filename().string();
  struct stat info;
  TFileIdentity now;
  // A file goes by removeCheckedFile, which checks what it moved aside against
  // the listed identity; a temporary folder is looked at again.
  const bool again = !known || e.route == kRouteTempFolder;
  TFate fate = !again                          ? *known
               : statFile(dir, name, info, now) ? fateOf(e, name, info, now, stale)
                                                : TFate::GONE;
  if (!again) now = e.identity;  // as listed: the file the claim found
  if (fate == TFate::REMOVED && remove) {
    const bool gone = e.route == kRouteTempFolder ? removeTempFolderAt(dir, name)
                                                  : removeCheckedFile(dir, name, now);
    if (!gone) fate = TFate::FAILED;
    if (sub) unlinkat(folderFd, rel.parent_path().c_str(), AT_REMOVEDIR);  // when left empty
  }
  if (sub) close(dir);
  return fate;
}

// A file beside the folder that an earlier run listed, still as it left it:
// carried, so that this run may replace it.
bool isListedOutside(const TRecordEntry& e) {
  struct stat info;
  TFileIdentity now;
  return !e.path.empty() && e.path[0] == '/' && statFile(AT_FDCWD, e.path, info, now) &&
         S_ISREG(info.st_mode) && e.identity.describes(now);
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
    why += std::string(why.empty() ? "" : ", ") + std::to_string(count[f]) + " " + kKeptWhy[f][0];
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
  std::vector<std::string> paths = stale.inputPaths;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(stale.workingFolder, ec))
    if (isObservedSpectrumName(e.path().filename().string(), stale.genericName))
      paths.push_back(e.path().string());
  for (const std::string& path : paths) {
    TFileIdentity id;
    if (identityOf(path, id)) stale.inputs.push_back(id);
  }
}

// Why no file can be made in the folder of a path outside the output folder
// (a folder the user cannot write, a read-only file system); empty when one can.
std::string whyFolderUnwritable(const std::string& path) {
  const fs::path folder = fs::path(path).parent_path();
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return "";
  return std::string("no file can be made in its folder (") + std::strerror(errno) + ")";
}

// Why the run may not write a file it writes whatever happens (its tables,
// its seed file); empty when it may.
std::string whyNotOwn(const std::string& own, const std::string& rel,
                      const std::map<std::string, TFate>& fates) {
  if (rel.empty()) return whyOutsideOutputKept(own);
  const auto listed = fates.find(rel);
  struct stat info;
  if (listed == fates.end())
    return fstatat(outputFolderDescriptor(), rel.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0
               ? "no run of this model made it"
               : "";
  const TFate fate = listed->second;
  return fate == TFate::REMOVED || fate == TFate::GONE || refuses(fate) ? "" : keptWhy(fate);
}

// What makes the run refuse, one line per file; empty when nothing does.
// Keeps the fate of each entry in stale.
std::string refusals(TStaleOutputs& stale) {
  std::string lines;
  std::set<std::string> own;  // the files below the folder the run writes whatever happens
  for (const std::string& path : stale.ownNames) {
    std::string rel;
    if (insideOutputFolder(path, rel)) own.insert(rel);
  }
  std::map<std::string, TFate> fates;  // of those the list names
  const std::vector<TRecordEntry>& earlier = earlierOutputs();
  stale.fates.assign(earlier.size(), static_cast<unsigned char>(TFate::GONE));
  for (size_t k = 0; k < earlier.size(); ++k) {
    const fs::path rel = listedPath(earlier[k].path);
    if (rel.empty()) continue;
    const TFate fate = judge(earlier[k], rel, stale, false);
    stale.fates[k] = static_cast<unsigned char>(fate);
    if (own.count(rel.string()) > 0) fates[rel.string()] = fate;
    if (refuses(fate)) lines += "  \"" + stale.genericName + "/" + rel.string() + "\": " +
                                keptWhy(fate) + "\n";
  }
  for (const std::string& own : stale.ownNames) {
    std::string rel;
    const bool inside = insideOutputFolder(own, rel);
    const std::string why = whyNotOwn(own, rel, fates);
    if (!why.empty())
      lines += "  \"" + (inside ? stale.genericName + "/" + rel : own) + "\": " + why + "\n";
  }
  return lines;
}

// The files the run writes beside the folder that cannot be made, one line each.
std::string unwritableOwnFiles(const TStaleOutputs& stale) {
  std::string lines;
  for (const std::string& own : stale.ownNames) {
    std::string rel;
    const std::string why = insideOutputFolder(own, rel) ? "" : whyFolderUnwritable(own);
    if (!why.empty()) lines += "  \"" + own + "\": " + why + "\n";
  }
  return lines;
}

// The output folder that is the working folder or a folder above it (a link
// to "." or ".."): its outputs would be the inputs and the files beside it.
std::string whyFolderRefused(const TStaleOutputs& stale) {
  std::error_code ec;
  const fs::path folder = fs::canonical(stale.folder, ec);
  if (ec) return "";
  const fs::path work = fs::canonical(stale.workingFolder, ec);
  if (ec) return "";
  const fs::path rel = work.lexically_relative(folder);
  if (rel.empty() || *rel.begin() == "..") return "";
  return "is the working folder or a folder above it (a link to \"" + folder.string() +
         "\"); make it a folder of its own";
}

void refuse(TStaleOutputs const& stale, const std::string& what, const std::string& lines) {
  std::cerr << "\nThe output folder \"" << stale.genericName << "\" holds files " << what
            << ":\n"
            << lines
            << "Move them elsewhere (or remove them), then run again; nothing was removed or "
               "written. Exiting program."
            << std::endl;
  forgetUnusedOutputFolder(stale);
}

}  // namespace

TStaleOutputs prepareStaleOutputs(const RunOptions& run, const std::string& modelFileName) {
  TStaleOutputs stale;
  stale.genericName = genericNameOf(modelFileName.c_str()).c_str();
  if (modelFileName.empty() || stale.genericName.empty()) return TStaleOutputs();
  stale.folder = absolutePath(stale.genericName);
  stale.workingFolder = absolutePath(".");
  stale.route = run.maximizeLikelihood ? kRouteEstimation : kRouteOther;
  for (const my_string* n :
       {&run.modelFileName, &run.templateFileName, &run.defFileName, &run.priorFileName})
    if (!n->is_null()) stale.inputPaths.push_back(absolutePath(n->c_str()));
  if (!run.startFolder.is_null())
    stale.inputPaths.push_back((fs::path(run.startFolder.c_str()) / kRunFileName).string());
  stale.ownNames.push_back((fs::path(stale.workingFolder) / "seed.txt").string());
  if (!run.lhoodFileName.is_null())
    stale.ownNames.push_back(absolutePath(run.lhoodFileName.c_str()));
  if (run.useTemplate && run.priorFileGiven && !run.paramFileName.is_null())
    stale.ownNames.push_back(absolutePath(run.paramFileName.c_str()));
  collectInputs(stale);
  return stale;
}

bool namesAnInput(const std::string& path, const TStaleOutputs& stale) {
  for (const std::string& input : stale.inputPaths)
    if (input == absolutePath(path)) return true;
  TFileIdentity id;
  return identityOf(path, id) && id.isAmong(stale.inputs);
}

bool claimStaleOutputs(TStaleOutputs& stale) {
  if (stale.genericName.empty()) return true;
  const std::string why = whyFolderRefused(stale);
  if (!why.empty()) {
    std::cerr << "\nThe output folder \"" << stale.genericName << "\" " << why
              << ": nothing was removed or written. Exiting program." << std::endl;
    return false;
  }
  struct stat info;
  stale.folderMade = lstat(stale.folder.c_str(), &info) != 0;
  if (claimOutputFolder(stale.folder, stale.genericName, stale.route, stale.inputs) !=
      FolderClaim::CLAIMED)
    return false;
  const std::string unwritable = unwritableOwnFiles(stale);
  if (!unwritable.empty()) {
    std::cerr << "\nThis run cannot write the files it writes beside the output folder \""
              << stale.genericName << "\":\n"
              << unwritable
              << "Make their folders writable (or name others), then run again; nothing was "
                 "removed or written. Exiting program."
              << std::endl;
    forgetUnusedOutputFolder(stale);
    return false;
  }
  const std::string lines = refusals(stale);
  if (lines.empty()) return true;
  refuse(stale, "that this run would remove or write again, but that it cannot prove a run of "
                "the model made as they are now",
         lines);
  return false;
}

bool acceptKeptOutputs(const TStaleOutputs& stale,
                       const std::function<bool(const std::string&)>& writes) {
  if (stale.genericName.empty() || outputFolderDescriptor() < 0) return true;
  std::string lines;
  const std::vector<TRecordEntry>& earlier = earlierOutputs();
  for (size_t k = 0; k < earlier.size(); ++k) {
    const TRecordEntry& e = earlier[k];
    const fs::path rel = listedPath(e.path);
    if (rel.empty() || !writes(rel.generic_string())) continue;
    const bool known = k < stale.fates.size();
    const TFate claimed = known ? static_cast<TFate>(stale.fates[k]) : TFate::GONE;
    const TFate fate = judge(e, rel, stale, false, known ? &claimed : nullptr);
    if (fate != TFate::REMOVED && fate != TFate::GONE && !refuses(fate))
      lines += "  \"" + stale.genericName + "/" + rel.string() + "\": " + keptWhy(fate) + "\n";
  }
  if (lines.empty()) return true;
  refuse(stale, "that this run keeps but would have to write again", lines);
  return false;
}

void forgetUnusedOutputFolder(const TStaleOutputs& stale) {
  if (stale.folderMade && !stale.folder.empty() && outputFolderDescriptor() >= 0)
    rmdir(stale.folder.c_str());  // still locked by this process; only when left empty
  closeOutputRecord();
}

int removeStaleOutputs(const TStaleOutputs& stale) {
  if (stale.genericName.empty() || outputFolderDescriptor() < 0) return 0;
  std::vector<TRecordEntry> carried;
  int count[kNumFates] = {};
  // What killed runs left under names of their own goes first (support/privateLeftovers.h).
  removePrivateLeftovers(outputFolderDescriptor(), stale.genericName, earlierOutputs());
  const std::vector<TRecordEntry>& earlier = earlierOutputs();
  for (size_t k = 0; k < earlier.size(); ++k) {
    const TRecordEntry& e = earlier[k];
    if (isPrivateName(fs::path(e.path).filename().string())) continue;  // dealt with above
    if (isListedOutside(e)) carried.push_back(e);
    const fs::path rel = listedPath(e.path);
    if (rel.empty()) continue;
    const bool known = k < stale.fates.size();
    const TFate claimed = known ? static_cast<TFate>(stale.fates[k]) : TFate::GONE;
    const TFate fate = judge(e, rel, stale, true, known ? &claimed : nullptr);
    ++count[static_cast<int>(fate)];
    if (fate == TFate::REMOVED || fate == TFate::GONE) continue;
    carried.push_back(e);
    carried.back().keptBecause = keptWhy(fate);
  }
  startOutputRecord(carried);
  reportRemoval(stale.genericName, count);
  return count[static_cast<int>(TFate::REMOVED)];
}
