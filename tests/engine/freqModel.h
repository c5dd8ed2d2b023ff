#pragma once
// A model set up for expected spectra the way a batch of frequency-data
// simulations does it: spectra of the chosen shape and flavours, batch
// emigration rates, valid demes; and a guard that restores the process-wide
// spectrum switches.
#include <memory>
#include <utility>
#include <vector>

#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "tests/engine/coalModel.h"

// Saves the spectrum switches of the settings and restores them on exit.
struct SpectrumSwitches {
  bool daf = TSimSettings::compDAF, maf = TSimSettings::compMAF;
  bool multi = TSimSettings::isMultiSFS, pooled = TSimSettings::computePooledSFS;
  bool asc = TSimSettings::SNPascertainment;
  int ascDeme = TSimSettings::ascertainedDeme, ascSize = TSimSettings::ascertainedSize;
  ~SpectrumSwitches() {
    TSimSettings::compDAF = daf;
    TSimSettings::compMAF = maf;
    TSimSettings::isMultiSFS = multi;
    TSimSettings::computePooledSFS = pooled;
    TSimSettings::SNPascertainment = asc;
    TSimSettings::ascertainedDeme = ascDeme;
    TSimSettings::ascertainedSize = ascSize;
  }
};

// The demes with a sample, rebuilt for this collection.
inline void rebuildValidDemes(const TDemeCollection& demes) {
  delete[] TDemeCollection::validDemes;
  TDemeCollection::validDemes = nullptr;
  buildValidDemes(demes);
}

struct SpectrumShape {
  bool daf, maf, multi, pooled;
  SpectrumShape(bool daf_ = true, bool maf_ = false, bool multi_ = false, bool pooled_ = false)
      : daf(daf_), maf(maf_), multi(multi_), pooled(pooled_) {}
};

// A model of demes of the given sizes and samples, without anything else.
inline ModelDesc makeDesc(std::vector<long> sizes, std::vector<int> samples,
                          std::vector<double> growth = {}) {
  return ModelDesc(std::move(sizes), std::move(samples), std::move(growth));
}

class FreqModel : public CoalModel {
 public:
  SpectrumSwitches saved;

  FreqModel(const ModelDesc& desc, long seed, SpectrumShape shape = {}) : CoalModel(desc, seed) {
    TSimSettings::compDAF = shape.daf;
    TSimSettings::compMAF = shape.maf;
    TSimSettings::isMultiSFS = shape.multi;
    TSimSettings::computePooledSFS = shape.pooled;
    TSimSettings::SNPascertainment = false;
    rebuildValidDemes(demes);
    if (shape.multi) {
      if (shape.daf) demes.expMultiDAF = new multiSFS(demes, false);
      if (shape.maf) demes.expMultiMAF = new multiSFS(demes, true);
    } else {
      if (shape.daf) create(demes.expDAF, false, shape.pooled);
      if (shape.maf) create(demes.expMAF, true, shape.pooled);
    }
    demes.rescaleEventsCT();
    demes.eventsRescaled = true;
    demes.anyMigration = false;
    for (int d = 0; d < demes.numDemes; ++d) {
      demes.demes[d].initEmigrationRate = demes.offDiagonalRowSum(d);
      if (demes.demes[d].initEmigrationRate > 0.0) demes.anyMigration = true;
    }
  }

  // Builds the next genealogy for expected spectra.
  int buildFreq() {
    if (treesBuilt++ > 0) demes.reset(sizes, rates);
    return demes.buildTreeNoRecContinousTimeForFreqData();
  }

 private:
  void create(AFS*& slot, bool minor, bool pooled) {
    slot = new AFS(minor);
    if (pooled)
      slot->createPooledArray(demes);
    else
      slot->createArrays(demes);
  }
};
