#pragma once
// Outputs left by an earlier invocation in the output folder of the model: a
// new invocation with fewer simulations, runs or demes would otherwise leave
// the older project files, trees and spectra beside its own. Only files that
// the list of an earlier invocation (support/outputRecord.h) names are
// removed, and never a file that a run reads.
#include <string>
#include <vector>

#include "driver/runOptions.h"

// Whether a file name (without folder) is one that the program gives an output
// of the model with this generic name inside its output folder: a project file,
// batch list, model echo, tree file, kept model, spectrum file, likelihood,
// parameter or estimation table, whatever the run, simulation or deme numbers.
bool isOutputFileName(const std::string& fileName, const std::string& genericName);
// Whether a folder name (without its parent) is that of a spectrum folder (-j).
bool isSpectrumFolderName(const std::string& folderName, const std::string& genericName);

// What the removal needs, taken at the start of the process: the paths are
// absolute, since an estimation writes its files from inside the output folder.
struct TStaleOutputs {
  std::string genericName;    // empty when the model file name gives no output names
  std::string folder;         // the output folder
  std::string workingFolder;  // where the observed spectra are read
  std::vector<std::string> inputs;  // the input files of the invocation
};
TStaleOutputs prepareStaleOutputs(const RunOptions& run, const std::string& modelFileName);

// Whether a run reads the file: an input file of the invocation, a run file, a
// template, definition or prior file, or an observed spectrum of the model in
// the folder spectra are read from.
bool isInputFile(const std::string& path, const TStaleOutputs& stale);

// Removes from the output folder every file that the list of the earlier
// invocation names, when it has an output's name (directly in the folder or in
// a spectrum folder, removed when left empty) and is no input; then starts
// the list of this invocation with the files it could not remove. Writes one
// line on the standard output when it removed any, one error line for a file
// it could not remove; returns the number of files removed. Without a list
// nothing is removed.
int removeStaleOutputs(const TStaleOutputs& stale);
