#pragma once
// Outputs left by an earlier invocation in the output folder of the model: a
// new invocation with fewer simulations, runs or demes would otherwise leave
// the older project files, trees and spectra beside its own. Only files that
// the list of an earlier invocation (support/outputRecord.h) names, with the
// identity it gives them, are removed, and never a file that a run reads.
#include <string>
#include <vector>

#include "driver/outputShapes.h"
#include "driver/runOptions.h"
#include "support/fileIdentity.h"
#include "support/outputRecord.h"

// What the removal needs, taken at the start of the process: the paths are
// absolute, since an estimation writes its files from inside the output folder.
struct TStaleOutputs {
  std::string genericName;    // empty when the model file name gives no output names
  std::string folder;         // the output folder
  std::string workingFolder;  // where the observed spectra are read
  char route = kRouteOther;   // the route of this invocation (estimation or other)
  std::vector<std::string> inputPaths;  // the input files named by the invocation, absolute
  std::vector<TFileIdentity> inputs;    // every file the invocation may read, by identity
};
TStaleOutputs prepareStaleOutputs(const RunOptions& run, const std::string& modelFileName);

// Whether a run reads the file (links followed): an input file of the
// invocation, a run file, a template, definition or prior file, or an observed
// spectrum of the model in the folder spectra are read from.
bool isInputFile(const std::string& path, const TStaleOutputs& stale);
// Whether writing a file of that name would replace an input: the same file,
// or the path of one that does not exist yet (the model made from a template).
bool namesAnInput(const std::string& path, const TStaleOutputs& stale);

// Claims the output folder for this invocation (support/outputRecord.h) and
// protects its inputs; false, with a message, when another run holds the
// folder or it cannot be opened. Without output names there is nothing to claim.
bool claimStaleOutputs(const TStaleOutputs& stale);

// Removes from the claimed output folder every file that the earlier
// invocation's list names and can be proven to be its own: an output's name
// (directly in the folder or in a spectrum folder, removed when left empty),
// the identity the list gives it, not write-protected, no link on its way,
// not read by this run, and not the result of an estimation unless this
// invocation estimates too. Then starts the list of this invocation with the
// listed files it kept. Writes one line on the standard output for the files
// removed and one for those kept (how many and why); returns the number removed.
int removeStaleOutputs(const TStaleOutputs& stale);
