#include "driver/runDemes.h"

#include <iostream>

#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/TException.h"

bool setUpRunDemes(TSimSettings& s) {
  TDemeCollection& demes = s.demeCollection;
  const long sites = s.totalNumLoci ? s.totalNumLoci[0] : 0;
  try {
    demes.create_demes(&s.migrationMatrices);
    demes.initialize_deme_size(s.demeSizes);
    demes.initialize_growth_rates(s.growthRates);
    demes.initialize_events(s.historicalEvents);
    demes.initialize_samp_size(s.sampleSizes);
    demes.initialize_sample_ages(s.sampleAges);
    demes.initialize_inbreeding_coefficients(s.inbreedingCoefs);
    TNode::numPop = demes.numDemes;
    demes.migrationOn = true;
    if (!demes.create_lineagesNoRec(s.sampleSizes, static_cast<int>(sites))) {
      std::cerr << "The model of \"" << s.parFileName << "\" has no sampled gene\n";
      return false;
    }
  } catch (const TException& e) {
    std::cerr << e << "\nThe model of \"" << s.parFileName << "\" cannot be simulated\n";
    return false;
  }
  demes.numChromosomes = s.numIndependentLoci;
  demes.numSites = sites;
  demes.numBlocks = s.numBlocks ? s.numBlocks[0] : 0;
  return true;
}

bool checkAscertainmentOptions(const TSimSettings& s) {
  if (!TSimSettings::SNPascertainment) return true;
  const int deme = TSimSettings::ascertainedDeme;
  const int numDemes = s.demeCollection.numDemes;
  if (deme < 0 || deme >= numDemes) {
    std::cerr << "\nThe ascertainment deme given with -a (" << deme
              << ") is not a deme of the model \"" << s.parFileName
              << "\": it must be at least 0 and below the number of demes (" << numDemes
              << ")\n";
    return false;
  }
  const int size = TSimSettings::ascertainedSize;
  const int sample = s.demeCollection.demes[deme].sampleSize;
  if (size < 2 || size > sample) {
    std::cerr << "\nThe ascertainment sample size given with -A (" << size
              << ") must be at least 2 and at most the sample size of deme " << deme << " ("
              << sample << ") in the model \"" << s.parFileName << "\"\n";
    return false;
  }
  return true;
}

void checkAscertainableData(const TSimSettings& s) {
  if (!TSimSettings::SNPascertainment || !s.blocks || s.blocks[0].numElems == 0) return;
  const DataType type = s.blocks[0][0].dataType;
  if (type != DataType::DNA && type != DataType::SNP && type != DataType::FREQ) {
    std::cerr << "\nImpossible to generate ascertained data for non-SNP or non-DNA data types\n";
    TSimSettings::SNPascertainment = false;
  } else if (type == DataType::SNP && s.totalRecRate && s.totalRecRate[0] != 0.0) {
    std::cerr << "\nImpossible to generate ascertained SNPs with recombination\n";
    TSimSettings::SNPascertainment = false;
  }
}

namespace {

// One flavour of expected spectrum into its slot of the collection.
bool createSpectrum(TDemeCollection& demes, bool isMAF) {
  if (TSimSettings::computePooledSFS) {
    AFS*& slot = isMAF ? demes.expMAF : demes.expDAF;
    delete slot;
    slot = new AFS(isMAF);
    slot->createPooledArray(demes);
    return true;
  }
  if (TSimSettings::isMultiSFS) {
    multiSFS*& slot = isMAF ? demes.expMultiMAF : demes.expMultiDAF;
    delete slot;
    slot = new multiSFS(demes, isMAF);
    return !slot->creationFailed && slot->isCreated;
  }
  AFS*& slot = isMAF ? demes.expMAF : demes.expDAF;
  delete slot;
  slot = new AFS(isMAF);
  slot->createArrays(demes);
  return true;
}

}  // namespace

bool createRunSpectra(TSimSettings& s) {
  buildValidDemes(s.demeCollection);  // the coordinates of the spectra refer to them
  if (TSimSettings::compMAF && !createSpectrum(s.demeCollection, true)) return false;
  if (TSimSettings::compDAF && !createSpectrum(s.demeCollection, false)) return false;
  return true;
}

void setUpCoalescent(TSimSettings& s, bool freqData) {
  TDemeCollection::calcInvNChoose2(s.totalSampleSize);
  TDemeCollection::iniNumLineages = s.demeCollection.count_all_lineages();
  TDemeCollection::isFreqDataType = freqData;
}

void resetRunCounters(TSimSettings& s) {
  TDemeCollection& demes = s.demeCollection;
  s.simulationCounter = 0;
  demes.totNumSites = 0;
  demes.ReserveLoci(s.numIndependentLoci);
  const int n = s.numIndependentLoci > 0 ? s.numIndependentLoci : 1;
  if (!demes.numSitesPerChrom) demes.numSitesPerChrom = new int[n]();
  if (!demes.numPolymSitesPerChrom) demes.numPolymSitesPerChrom = new int[n]();
}
