// The names a process writes in its output folder, as the removal of
// earlier outputs tells them before it removes anything.
#include <gtest/gtest.h>

#include <string>

#include "driver/runOutputNames.h"

namespace {

TRunWrites frequencyRun() {
  TRunWrites w;
  w.genericName = "g";
  w.numRuns = 3;
  w.frequencyData = true;
  w.expectedSpectra = true;
  w.derived = true;
  return w;
}

TRunWrites geneticRun() {
  TRunWrites w = frequencyRun();
  w.frequencyData = w.expectedSpectra = false;
  w.numSims = 4;
  w.spectrumFolders = 8;
  return w;
}

struct NameCase {
  const char* label;
  TRunWrites writes;
  const char* name;
  bool written;
};

TEST(RunOutputNames, TellTheNamesOfTheOutputsTheRunWrites) {
  TRunWrites minorOnly = frequencyRun();
  minorOnly.derived = false;
  minorOnly.minor = true;
  TRunWrites noProjectFiles = geneticRun();
  noProjectFiles.projectFiles = false;
  TRunWrites estimation = frequencyRun();
  estimation.estimation = true;
  const NameCase cases[] = {
      {"model echo of a run", frequencyRun(), "g_3.simparam", true},
      {"model echo beyond the runs", frequencyRun(), "g_4.simparam", false},
      {"expected spectrum", frequencyRun(), "g_jointDAFpop1_0.txt", true},
      {"expected spectrum of a kind not computed", minorOnly, "g_jointDAFpop1_0.txt", false},
      {"estimation result, plain run", frequencyRun(), "g.bestlhoods", false},
      {"estimation result, estimation", estimation, "g_maxL.par", true},
      {"likelihood table", frequencyRun(), "g.lhoods", true},
      {"spectrum of simulated data", geneticRun(), "g_DAFpop0.obs", true},
      {"dadi spectrum", geneticRun(), "g_jointDAFpop1_0_dadi.obsSFS", true},
      {"simulated spectrum, frequency run", frequencyRun(), "g_DAFpop0.obs", false},
      {"project file", geneticRun(), "g_2_4.qdp", true},
      {"project file beyond the data sets", geneticRun(), "g_2_5.qdp", false},
      {"project file with -x", noProjectFiles, "g_2_4.qdp", false},
      {"trees without -T", geneticRun(), "g_1_true_trees.trees", false},
      {"folder of spectra", geneticRun(), "g_8/g_DAFpop0.obs", true},
      {"folder of spectra beyond the data sets", geneticRun(), "g_9/g_DAFpop0.obs", false},
      {"another model's name", geneticRun(), "h_1.simparam", false},
      {"a name of the user's", frequencyRun(), "notes.txt", false},
      {"temporary folder", geneticRun(), "garbage0.abcdef", false},
  };
  for (const NameCase& c : cases)
    EXPECT_EQ(runWritesName(c.writes, c.name), c.written) << c.label << ": " << c.name;
}

}  // namespace
