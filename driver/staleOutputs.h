#pragma once
// Outputs left by an earlier invocation in the output folder of the model: a
// new invocation with fewer simulations, runs or demes would otherwise leave
// the older project files, trees and spectra beside its own. Only what the
// list of an earlier invocation (support/outputList.h) names, with the
// identity it gives it, is removed: files and the temporary folders of a run
// that was killed. Everything that would make the run refuse is decided
// before the first file goes, so a refused run removes nothing.
#include <functional>
#include <string>
#include <vector>

#include "driver/runOptions.h"
#include "support/fileIdentity.h"
#include "support/outputList.h"

// What the removal needs, taken at the start of the process: the paths are
// absolute, since an estimation writes its files from inside the output folder.
struct TStaleOutputs {
  std::string genericName;    // empty when the model file name gives no output names
  std::string folder;         // the output folder
  std::string workingFolder;  // where the observed spectra are read
  char route = kRouteOther;   // the route of this invocation (estimation or other)
  std::vector<std::string> inputPaths;  // the input files named by the invocation, absolute
  std::vector<TFileIdentity> inputs;    // every file the invocation may read, by identity
  std::vector<std::string> ownNames;    // files it writes whatever happens, absolute
  bool folderMade = false;  // the claim made the output folder (removed again when left unused)
  // What the claim found of each entry of the earlier list (its fate, in
  // driver/staleOutputs.cpp), so that the removal looks again only at what goes.
  std::vector<unsigned char> fates;
};
TStaleOutputs prepareStaleOutputs(const RunOptions& run, const std::string& modelFileName);

// Whether writing a file of that name would replace an input: the same file,
// or the path of one that does not exist yet.
bool namesAnInput(const std::string& path, const TStaleOutputs& stale);

// Claims the output folder for this invocation (support/outputFolder.h),
// protects its inputs and checks what the earlier invocation left: false,
// with a message, when another run holds the folder, it cannot be opened, or
// the run would have to remove or write a file it cannot prove a run of the
// model made as it is now (changed by the user, a link, write-protected,
// never identified), or when a file it writes beside the folder cannot be
// made there. An output folder that is the working folder or one above it is
// refused before it is claimed. Without output names there is nothing to claim.
bool claimStaleOutputs(TStaleOutputs& stale);

// Once the first model of the invocation is read, before anything is removed:
// false, with a message, when a file the earlier list names and this run
// would keep (a link, write-protected, an input, the result of an estimation)
// has a name it writes (writes: path below the folder). The folder is then
// released, having had nothing removed or written.
bool acceptKeptOutputs(const TStaleOutputs& stale,
                       const std::function<bool(const std::string&)>& writes);

// Releases the claimed folder of an invocation that wrote nothing, removing
// the folder when the claim made it and it is still empty.
void forgetUnusedOutputFolder(const TStaleOutputs& stale);

// Removes from the claimed folder what the earlier invocation's list names and
// can be proven to be its own, and starts the list of this invocation with
// the listed files it kept (results of an estimation, which only an
// estimation removes). One line on the standard output says how many files
// went and one how many stayed and why; returns the number removed.
int removeStaleOutputs(const TStaleOutputs& stale);
