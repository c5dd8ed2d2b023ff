#pragma once
// A simulated data set written by hand: a model read from text, its demes set
// up as a run does it, and the sites of each chromosome with the states of
// every sampled gene, stored in the genotype blocks (slot = chromosome).
// Restores the switches of the spectra and of the project files on exit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/runDemes.h"
#include "engine/deme.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"
#include "tests/engine/freqModel.h"
#include "tests/model/modelTexts.h"

// A model of independent demes (no migration, no event).
inline std::string handModel(const std::vector<int>& samples, int chromosomes,
                             const std::vector<std::string>& blocks) {
  std::string t = "//Number of population samples (demes)\n" + std::to_string(samples.size()) +
                  "\n//Population effective sizes (number of genes)\n";
  for (size_t d = 0; d < samples.size(); ++d) t += "1000\n";
  t += "//Sample sizes\n";
  for (int n : samples) t += std::to_string(n) + "\n";
  t += "//Growth rates\n";
  for (size_t d = 0; d < samples.size(); ++d) t += "0\n";
  t += "//Number of migration matrices\n0\n//historical event\n0 historical event\n"
       "//Number of independent loci [chromosome]\n" +
       std::to_string(chromosomes) +
       " 0\n//Per chromosome: Number of linkage blocks\n" + std::to_string(blocks.size()) +
       "\n//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n";
  for (const std::string& b : blocks) t += b + "\n";
  return t;
}

// Switches read by the writers and the spectra, restored on exit.
struct OutputSwitches : SpectrumSwitches {
  bool dnaAsSnp = OUTPUT_DNA_AS_SNP, allSites = TSimSettings::printAllSites;
  int maxSnps = TSimSettings::maxNumSNPs;
  ~OutputSwitches() {
    OUTPUT_DNA_AS_SNP = dnaAsSnp;
    TSimSettings::printAllSites = allSites;
    TSimSettings::maxNumSNPs = maxSnps;
  }
};

class HandDataSet {
 public:
  OutputSwitches saved;
  GlobalRandom random;
  TSimSettings s;

  explicit HandDataSet(const std::string& modelText) {
    const ParseResult read = parseModel(s, modelText);
    EXPECT_EQ(read.result, 1) << read.errors;
    EXPECT_TRUE(setUpRunDemes(s));
    random.InitializeGenerator(7);
    s.demeCollection.randomGenerator = &random;
    delete[] TDemeCollection::polSitesInfo;
    TDemeCollection::polSitesInfo = new MY_TArrayAsVector<TPolymSiteInfo>[s.numIndependentLoci];
    states_.resize(s.numIndependentLoci);
  }
  ~HandDataSet() {
    delete[] TDemeCollection::polSitesInfo;
    TDemeCollection::polSitesInfo = nullptr;
  }

  // One site of chromosome c at locus pos: the states of all sampled genes,
  // deme after deme in gene order.
  void site(int c, long pos, DataType type, const std::vector<short>& states, int row = 0) {
    TPolymSiteInfo info;
    info.pos = pos;
    info.dataType = static_cast<int>(type);
    info.alphabetIndex = static_cast<int8_t>(row);
    TDemeCollection::polSitesInfo[c].Add(info);
    states_[c].push_back(states);
  }

  // The genotype blocks and counts of the data set, as after a merge.
  void store() {
    TDemeCollection& c = s.demeCollection;
    c.ReserveLoci(s.numIndependentLoci);
    c.numPolymSites = 0;
    c.totNumSites = 0;
    for (int chrom = 0; chrom < s.numIndependentLoci; ++chrom) {
      const int n = static_cast<int>(states_[chrom].size());
      c.numPolymSites += n;
      c.totNumSites += s.totalNumLoci[s.differentStructurePerLocus ? chrom : 0];
      int gene0 = 0;
      for (int d = 0; d < c.numDemes; ++d) {
        const int genes = c.demes[d].sampleSize;
        if (genes <= 0) continue;
        auto* block = new TLocusAsShortIntArray(genes, n);
        for (int g = 0; g < genes; ++g)
          for (int k = 0; k < n; ++k) block->rows[g][k] = states_[chrom][k][gene0 + g];
        c.demes[d].loci.ownsElems = 1;
        c.demes[d].loci[chrom] = block;
        gene0 += genes;
      }
    }
    c.numUsedPolymSites = c.numPolymSites;
  }

 private:
  std::vector<std::vector<std::vector<short>>> states_;
};
