#pragma once
// A frequency-data run set up from a model text with the run loop's own steps
// (deme collection, valid demes, empty expected spectra, coalescent tables),
// batch generators, and the spectra of a collection flattened for exact
// comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/runDemes.h"
#include "driver/runSeeding.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"
#include "tests/driver/runFolder.h"
#include "tests/engine/freqModel.h"
#include "tests/model/modelTexts.h"

namespace freqtest {

// The spectrum switches and the thread and batch counts, restored on exit.
struct FreqSwitches : SpectrumSwitches {
  int threads = TSimSettings::numThreads, batches = TSimSettings::numBatches;
  ~FreqSwitches() {
    TSimSettings::numThreads = threads;
    TSimSettings::numBatches = batches;
  }
};

// The settings of one run read from a model text, ready for expected spectra.
class FreqRun {
 public:
  FreqSwitches saved;
  TSimSettings s;

  FreqRun(const std::string& modelText, SpectrumShape shape, long seed) {
    TSimSettings::compDAF = shape.daf;
    TSimSettings::compMAF = shape.maf;
    TSimSettings::isMultiSFS = shape.multi;
    TSimSettings::computePooledSFS = shape.pooled;
    TSimSettings::numBatches = 12;
    const ParseResult read = parseModel(s, modelText);
    EXPECT_EQ(read.result, 1) << "the model text was not accepted: " << read.errors;
    EXPECT_TRUE(setUpRunDemes(s));
    rebuildValidDemes(s.demeCollection);  // not the demes of an earlier model
    EXPECT_TRUE(createRunSpectra(s));
    setUpFreqCoalescent(s);
    seedBatchGenerators(seed, 100);
  }
};

// Every cell and total of the collection's expected spectra, in a fixed order.
inline std::vector<long double> flatSpectra(const TDemeCollection& c) {
  std::vector<long double> v;
  for (const AFS* a : {c.expMAF, c.expDAF}) {
    if (!a) continue;
    v.push_back(a->totTreeLength);
    for (const auto& row : a->jointAFS)
      for (const sfsTable& t : row) v.insert(v.end(), t.cells.begin(), t.cells.end());
  }
  for (const multiSFS* m : {c.expMultiMAF, c.expMultiDAF}) {
    if (!m) continue;
    v.push_back(m->totTreeLength);
    v.insert(v.end(), m->multiJointSFS.begin(), m->multiJointSFS.end());
  }
  return v;
}

}  // namespace freqtest
