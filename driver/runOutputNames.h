#pragma once
// The names a process writes in its model's output folder, told from the
// kinds of outputs its options and its first model ask for. The removal of
// earlier outputs uses it to find, before it removes anything, a file it
// would keep (a link, a write-protected file, an input, an estimation's
// result) under a name the run writes again.
#include <string>

struct TRunWrites {
  std::string genericName;
  int numRuns = 0;               // runs of the process (rows, draws, repetitions)
  bool frequencyData = false;    // expected spectra (FREQ), not simulated genetic data
  bool estimation = false;       // -M
  bool expectedSpectra = false;  // FREQ with OUTEXP: the expected spectra as tables
  bool derived = false, minor = false;  // -d, -m
  bool projectFiles = true;      // genetic data without -x
  bool trees = false;            // -T
  int numSims = 0;               // -n: project files per run
  int spectrumFolders = 0;       // -j: one folder per data set and bootstrap
};

// Whether the process writes the path (below the output folder).
bool runWritesName(const TRunWrites& w, const std::string& rel);
