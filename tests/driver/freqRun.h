#pragma once
// A frequency-data run set up from a model text the way the run loop does it
// (deme collection, empty expected spectra, valid demes, batch generators),
// and the spectra of a collection flattened for exact comparison.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace freqtest {

struct FreqShape {
  bool daf, maf, multi, pooled;
};

// Saves the switches a frequency-data run reads and restores them on exit.
struct FreqSwitches {
  bool daf = TSimSettings::compDAF, maf = TSimSettings::compMAF;
  bool multi = TSimSettings::isMultiSFS, pooled = TSimSettings::computePooledSFS;
  int threads = TSimSettings::numThreads, batches = TSimSettings::numBatches;
  ~FreqSwitches() {
    TSimSettings::compDAF = daf;
    TSimSettings::compMAF = maf;
    TSimSettings::isMultiSFS = multi;
    TSimSettings::computePooledSFS = pooled;
    TSimSettings::numThreads = threads;
    TSimSettings::numBatches = batches;
  }
};

// Seeds batch generator i with seed + 1000 + i, creating them at first use.
inline void seedBatchGenerators(long seed) {
  static std::unique_ptr<GlobalRandom[]> generators;
  if (!generators) {
    generators = std::make_unique<GlobalRandom[]>(100);
    ranGenArray = generators.get();
  }
  for (int i = 0; i < 100; ++i) ranGenArray[i].InitializeGenerator(seed + 1000 + i);
}

// The settings of one run read from a model text, ready for expected spectra.
class FreqRun {
 public:
  FreqSwitches saved;
  TSimSettings s;

  FreqRun(const std::string& modelText, FreqShape shape, long seed) {
    TSimSettings::compDAF = shape.daf;
    TSimSettings::compMAF = shape.maf;
    TSimSettings::isMultiSFS = shape.multi;
    TSimSettings::computePooledSFS = shape.pooled;
    TSimSettings::numBatches = 12;
    std::istringstream is(modelText);
    const bool console = consoleOutput;
    consoleOutput = false;
    const int read = s.readInputFile(is, true, 0, false);
    consoleOutput = console;
    EXPECT_EQ(read, 1) << "the model text was not accepted";
    setUpCollection(shape);
    seedBatchGenerators(seed);
  }

 private:
  void setUpCollection(FreqShape shape) {
    TDemeCollection& c = s.demeCollection;
    c.create_demes(&s.migrationMatrices);
    c.initialize_deme_size(s.demeSizes);
    c.initialize_growth_rates(s.growthRates);
    c.initialize_events(s.historicalEvents);
    c.initialize_samp_size(s.sampleSizes);
    c.initialize_sample_ages(s.sampleAges);
    c.initialize_inbreeding_coefficients(s.inbreedingCoefs);
    TNode::numPop = s.numDemes;
    c.migrationOn = true;
    c.create_lineagesNoRec(s.sampleSizes, static_cast<int>(s.totalNumLoci[0]));
    for (bool minor : {true, false})
      if (minor ? shape.maf : shape.daf) createSpectrum(minor, shape);
    TDemeCollection::releaseInvNChoose2();
    TDemeCollection::calcInvNChoose2(s.totalSampleSize);
    TDemeCollection::iniNumLineages = c.count_all_lineages();
    TDemeCollection::isFreqDataType = true;
    delete[] TDemeCollection::validDemes;
    TDemeCollection::validDemes = nullptr;
    buildValidDemes(c);
  }

  void createSpectrum(bool minor, FreqShape shape) {
    TDemeCollection& c = s.demeCollection;
    if (shape.multi) {
      (minor ? c.expMultiMAF : c.expMultiDAF) = new multiSFS(c, minor);
      return;
    }
    AFS* spectrum = new AFS(minor);
    if (shape.pooled)
      spectrum->createPooledArray(c);
    else
      spectrum->createArrays(c);
    (minor ? c.expMAF : c.expDAF) = spectrum;
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

// Redirects a standard stream into a string for the lifetime of the object.
class StreamCapture {
 public:
  explicit StreamCapture(std::ostream& os) : os_(os), old_(os.rdbuf(text_.rdbuf())) {}
  ~StreamCapture() { os_.rdbuf(old_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostream& os_;
  std::ostringstream text_;
  std::streambuf* old_;
};

inline int countOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
  return n;
}

}  // namespace freqtest
