#pragma once
// Sites on trees from the engine: a model of coalModel.h with a settings
// object holding one chromosome structure of given blocks, the per-chromosome
// site records, and the switches the mutation code reads (restored at the end).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/coalModel.h"
#include "model/simSettings.h"
#include "support/globals.h"
#include "support/tempFolders.h"

inline TBlock makeBlock(DataType type, long numLoci, double mutRate, long firstLocus = 0) {
  TBlock b;
  b.dataType = type;
  b.numLoci = numLoci;
  b.mutRate = mutRate;
  b.firstLocus = firstLocus;
  b.lastLocus = firstLocus + numLoci - 1;
  return b;
}

// The process-wide switches of the mutation and storage code, restored on exit.
class SiteSwitches {
 public:
  SiteSwitches()
      : infinite_(TSimSettings::useInfiniteSiteModel),
        keep_(TSimSettings::numPolSitesToKeepInMemory),
        asc_(TSimSettings::SNPascertainment),
        ascDeme_(TSimSettings::ascertainedDeme),
        ascSize_(TSimSettings::ascertainedSize),
        console_(consoleOutput),
        sites_(TDemeCollection::polSitesInfo) {
    std::memcpy(dir_, TSimSettings::workingDirectory, sizeof dir_);
    consoleOutput = false;
  }
  ~SiteSwitches() {
    TSimSettings::useInfiniteSiteModel = infinite_;
    TSimSettings::numPolSitesToKeepInMemory = keep_;
    TSimSettings::SNPascertainment = asc_;
    TSimSettings::ascertainedDeme = ascDeme_;
    TSimSettings::ascertainedSize = ascSize_;
    consoleOutput = console_;
    TDemeCollection::polSitesInfo = sites_;
    std::memcpy(TSimSettings::workingDirectory, dir_, sizeof dir_);
  }

 private:
  int infinite_, keep_;
  bool asc_;
  int ascDeme_, ascSize_;
  bool console_;
  MY_TArrayAsVector<TPolymSiteInfo>* sites_;
  char dir_[sizeof TSimSettings::workingDirectory];
};

// A fresh folder under the system's temporary folder that the storage code
// uses as its working folder; removed with everything in it, the process's
// temporary folders forgotten.
class WorkFolder {
 public:
  explicit WorkFolder(const std::string& tag) {
    static int counter = 0;
    path_ = std::filesystem::path(testing::TempDir()) /
            ("bv_sites_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    removeOwnTempFolders();
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::snprintf(TSimSettings::workingDirectory, sizeof TSimSettings::workingDirectory, "%s/",
                  path_.c_str());
  }
  ~WorkFolder() {
    removeOwnTempFolders();
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  // Files left below the folder (the temporary folders serve the process
  // until it ends; their files go with each data set).
  int entries() const {
    int n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_))
      n += e.is_regular_file() ? 1 : 0;
    return n;
  }

 private:
  std::filesystem::path path_;
};

// A model whose chromosomes carry the given blocks, simulated one tree each.
class SiteRun {
 public:
  CoalModel model;
  TSimSettings settings;
  std::vector<MY_TArrayAsVector<TPolymSiteInfo>> records;

  SiteRun(const ModelDesc& desc, long seed, const std::vector<TBlock>& blocks, int numChrom = 1)
      : model(desc, seed), records(numChrom) {
    setBlocks(blocks);
    model.demes.numChromosomes = numChrom;
    model.demes.ReserveLoci(numChrom);
  }

  TDemeCollection& demes() { return model.demes; }

  void setBlocks(const std::vector<TBlock>& blocks) {
    settings.numChromStructures = 1;
    settings.blocks.reset(new MY_TArrayAsVector<TBlock>[1]);
    settings.numBlocks.reset(new int[1]);
    settings.numBlocks[0] = static_cast<int>(blocks.size());
    long first = 0;
    for (TBlock b : blocks) {
      b.firstLocus = first;
      b.lastLocus = first + b.numLoci - 1;
      first += b.numLoci;
      settings.blocks[0].Add(b);
    }
  }

  // Starts chromosome c with an empty site list and builds its tree; true
  // when the tree has a root.
  bool newTree(int c = 0) {
    TDemeCollection& d = model.demes;
    d.curChrom = c;
    records[c].numElems = 0;
    d.curPolSitesInfo = &records[c];
    d.tree.resetNodePolymSites();
    d.numTempFileFlushes = 0;
    d.numMutations = 0;
    const bool ok = model.build() == 1;
    d.treeChanged();
    return ok;
  }

  // Chromosome c whole: tree, every block, storage. False on any failure.
  bool chromosome(int c) {
    if (!newTree(c)) return false;
    if (TSimSettings::SNPascertainment) acceptForAscertainment();
    if (model.demes.sprinkleMutationsNoRec(settings, 0, c) < 0) return false;
    return model.demes.storeChromosomeStates();
  }

  // Keeps a tree with probability (panel length / tree length), as the
  // chromosome loop does under SNP ascertainment.
  void acceptForAscertainment() {
    TDemeCollection& d = model.demes;
    for (;;) {
      d.tree.ascRoot = nullptr;
      d.wholeTreeLength = 0.0;
      d.tree.root->computeWholeTreelength(d);
      d.tree.root->resetBranchAscertainmentScores();
      TNode* anc = d.tree.flagSNPAscertainedBranchesNoShuffling(d);
      d.ascertainedTreeLength = 0.0;
      anc->computeAscertainedTreelength(d);
      if (d.ascertainedTreeLength / d.wholeTreeLength > d.randomGenerator->takeUniform()) {
        d.tree.ascRoot = anc;
        d.treeChanged();
        return;
      }
      model.build();
      d.treeChanged();
    }
  }

  // State of tip g (tree order) at in-memory site s.
  short state(int g, int s) const { return model.demes.tree.nodes.items[g].polymSites->elems[s]; }
  int sitesInMemory() const { return model.demes.tree.nodes.items[0].polymSites->numElems; }
  // Tips carrying a non-ancestral state at site s.
  int derivedCount(int s) const {
    int n = 0;
    for (int g = 0; g < model.demes.tree.sampleSize; ++g) n += state(g, s) != 0;
    return n;
  }
};

// The second Watterson constant, sum of 1 / i^2 for i < n.
inline double harmonic2(int n) {
  double h = 0.0;
  for (int i = 1; i < n; ++i) h += 1.0 / (static_cast<double>(i) * i);
  return h;
}
