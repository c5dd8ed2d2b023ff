#pragma once
// Small hand-built models and file helpers for the tests of the spectrum
// readers and writers.
#include "tests/support/scratchFolders.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/containers.h"

// A deme collection holding only demes with sample sizes.
struct SampleModel {
  TDemeCollection demes;
  explicit SampleModel(const std::vector<int>& sizes) {
    demes.demes = new TDeme[sizes.size()];
    demes.numDemes = static_cast<int>(sizes.size());
    for (size_t d = 0; d < sizes.size(); ++d) demes.demes[d].sampleSize = sizes[d];
  }
};

// Puts the process-wide switches used by the readers and writers back to their defaults.
inline void resetSpectrumStatics() {
  delete[] TDemeCollection::validDemes;
  TDemeCollection::validDemes = nullptr;
  TDemeCollection::numValidDemes = 0;
  TDemeCollection::lastNumValidDemesIndex = 0;
  delete multiSFS::validSFSEntries;
  multiSFS::validSFSEntries = nullptr;
  multiSFS::totNumObsSites = 0.0;
  multiSFS::totInvalidObsSites = 0.0;
  AFS::foldedSFS = false;
  AFS::minValidSFSEntry = 1.0;
  TSimSettings::SNPascertainment = false;
  TSimSettings::ascertainedSize = 0;
  TSimSettings::maxNumSNPs = 0;
  TSimSettings::computePooledSFS = false;
  TSimSettings::isMultiSFS = false;
  TSimSettings::compMAF = false;
  TSimSettings::compDAF = false;
}

// A fresh, empty folder for one test.
inline std::string freshFolder(const std::string& name) {
  return scratchFolder("bv_files_" + name);
}

inline std::string readText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

inline bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Fills a 1-D spectrum or a joint table, row after row.
inline void fill(sfsTable& table, const std::vector<double>& values) {
  ASSERT_EQ(table.cells.size(), values.size());
  table.cells = values;
}
