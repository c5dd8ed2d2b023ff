#pragma once
// Outputs left by an earlier invocation in the output folder of the model: a
// new invocation with fewer simulations, runs or demes would otherwise leave
// the older project files, trees and spectra beside its own.
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

// Removes from the output folder of the model (the folder named after the
// model file's generic name) every regular file that isOutputFileName names,
// also inside spectrum folders (removed when they are left empty), except the
// input files of the run. Writes one line on the standard output when it
// removed any, one error line for a file it could not remove; returns the
// number of files removed.
int removeStaleOutputs(const RunOptions& run, const std::string& modelFileName);
