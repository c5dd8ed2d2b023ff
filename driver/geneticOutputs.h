#pragma once
// What the data sets of one run of genetic data write into, and what they
// report back to the run loop: the output switches, the batch list, the
// highest likelihoods of the simulated spectra and the count of data sets
// that failed.
#include <ostream>
#include <vector>

struct TGeneticRunOutputs {
  // Output switches of the run (from the command line).
  int genotypic = 0;
  int phased = 0;
  int numBoot = 0;
  int numSims = 0;
  bool dadi = false;
  bool folderPerSFS = false;
  int runIndex = 0;

  std::ostream* batchList = nullptr;  // the run's qdb; null without project files

  // Highest likelihood of each simulated spectrum, entry s x (numBoot + 1) + b;
  // "nan" until computed. Empty when that flavour is not asked for.
  std::vector<double> mafLhoods;
  std::vector<double> dafLhoods;
  bool spectraComputed = false;

  // Spectrum files: whether the process has written its first data set
  // (later ones append) and whether this run has written its header block.
  bool* processSpectraStarted = nullptr;
  bool runHeaderWritten = false;

  int numFailedDataSets = 0;

  int numDataSets() const { return numSims * (numBoot + 1); }
};
