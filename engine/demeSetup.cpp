// The deme collection: construction, destruction and the set-up of a run
// (demes, sizes, growth rates, events, samples, tips of the gene tree).
#include <climits>
#include <cmath>
#include <iostream>
#include <sstream>
#include <string>

#include "engine/deme.h"
#include "sfs/AFS.h"
#include "support/TException.h"

bool TDemeCollection::initIsGrowthRate = false;
int TDemeCollection::iniNumLineages = 0;
double* TDemeCollection::invNChoose2 = nullptr;
bool TDemeCollection::isInbreeding = false;
bool TDemeCollection::bad_coalescence = false;
bool TDemeCollection::isFreqDataType = false;
MY_TArrayAsVector<TPolymSiteInfo>* TDemeCollection::polSitesInfo = nullptr;
int TDemeCollection::numValidDemes = 0;
int* TDemeCollection::validDemes = nullptr;
int TDemeCollection::lastNumValidDemesIndex = 0;
std::vector<int> TDemeCollection::indices(1000, 0);

namespace {

// Stops the set-up of an impossible model with one message naming the problem.
[[noreturn]] void refuseModel(const std::string& problem) {
  throw TException(my_string(("Invalid model: " + problem).c_str()), EXCEPTION::ERROR);
}

std::string demeRange(int numDemes) {
  std::ostringstream s;
  s << "the model has " << numDemes << " deme" << (numDemes == 1 ? "" : "s");
  if (numDemes > 0) s << " (0 to " << numDemes - 1 << ")";
  return s.str();
}

template <class List>
void requireOneEntryPerDeme(const List& list, int numDemes, const char* what) {
  if (list.numElems == numDemes) return;
  std::ostringstream s;
  s << "the list of " << what << " has " << list.numElems << " entries, but " << demeRange(numDemes);
  refuseModel(s.str());
}

void requireFinite(double v, const std::string& what) {
  if (!std::isfinite(v)) refuseModel(what + " is not a finite number");
}

void checkMatrix(const TMigrationMatrix& m, int index, int numDemes) {
  std::ostringstream where;
  where << "migration matrix " << index;
  if (!m.elems || m.size != numDemes) {
    std::ostringstream s;
    s << where.str() << " has " << m.size << " rows, but " << demeRange(numDemes);
    refuseModel(s.str());
  }
  for (int i = 0; i < m.size; ++i)
    for (int j = 0; j < m.size; ++j) {
      if (i == j) continue;  // the diagonal is never a rate
      std::ostringstream cell;
      cell << where.str() << ", rate [" << i << "][" << j << "]";
      requireFinite(m.elems[i][j], cell.str());
      if (m.elems[i][j] < 0.0) refuseModel(cell.str() + " is negative");
    }
}

void checkEvent(const THistoricalEvent& e, int index, int numDemes, int numMatrices) {
  std::ostringstream where;
  where << "historical event " << index << " (time " << e.time << ")";
  auto checkDeme = [&](int deme, const char* role) {
    if (deme >= 0 && deme < numDemes) return;
    std::ostringstream s;
    s << where.str() << " has " << role << " deme " << deme << ", but " << demeRange(numDemes);
    refuseModel(s.str());
  };
  checkDeme(e.source, "source");
  checkDeme(e.sink, "sink");
  requireFinite(e.migrants, where.str() + ": the proportion of migrants");
  requireFinite(e.newSize, where.str() + ": the new size factor");
  if (e.newSize < 0.0) refuseModel(where.str() + ": the new size factor is negative");
  if (!e.keepGrowthRate) requireFinite(e.newGrowthRate, where.str() + ": the new growth rate");
  if (!e.keepMigMatrix && (e.newMigMatrix < 0 || e.newMigMatrix >= numMatrices)) {
    std::ostringstream s;
    s << where.str() << " switches to migration matrix " << e.newMigMatrix << ", but the model has "
      << numMatrices << " matri" << (numMatrices == 1 ? "x" : "ces") << " (0 to " << numMatrices - 1 << ")";
    refuseModel(s.str());
  }
}

}  // namespace

TDemeCollection::TDemeCollection()
    : events(1, 10), ascertainedSites(0, 1000), recPosInfo(0, 1000), isMinorDerived(0, 0),
      minorAllele(0, 0), isMinorAtHalf(0, 0), isFixedDerived(0, 0), isAncestralOnly(0, 0),
      isMultiAllelic(0, 0), isSingleAllele(0, 0) {}

TDemeCollection::~TDemeCollection() {
  removeTempFiles();  // needs the demes' sample sizes for the file names
  delete[] demes;
  releaseSpectra();
  releaseRecBranches();
  delete[] activeDemes;
  delete[] numSitesPerChrom;
  delete[] numPolymSitesPerChrom;
  delete[] polymSitePos;
  delete[] usedPolymSitePos;
  delete curEvents;
  delete prevEvents;
  delete tree2;
}

void TDemeCollection::releaseSpectra() {
  delete obsMAF;
  delete obsDAF;
  delete obsPooledDAF;
  delete obsPooledMAF;
  delete obsMultiDAF;
  delete obsMultiMAF;
  delete expMultiMAF;
  delete expMultiDAF;
  delete expMAF;
  delete expDAF;
  delete sfsCoord;
  delete sfsCoordDesc1;
  delete sfsCoordDesc2;
  obsMAF = obsDAF = obsPooledDAF = obsPooledMAF = expMAF = expDAF = nullptr;
  obsMultiDAF = obsMultiMAF = expMultiMAF = expMultiDAF = nullptr;
  sfsCoord = sfsCoordDesc1 = sfsCoordDesc2 = nullptr;
}

void TDemeCollection::releaseRecBranches() {
  for (int i = 0; recBranches && i < recBranchesSize; ++i) delete recBranches[i];
  delete[] recBranches;
  recBranches = nullptr;
  recBranchesSize = 0;
}

int TDemeCollection::create_demes(const MY_TArrayAsVector<TMigrationMatrix>* matrices) {
  if (!matrices || matrices->numElems < 1) refuseModel("the model has no migration matrix");
  const int n = (*matrices)[0].size;
  if (n < 1) refuseModel("migration matrix 0 has no rows, so the model has no deme");
  for (int m = 0; m < matrices->numElems; ++m) checkMatrix((*matrices)[m], m, n);
  migMatrices = matrices;
  if (n != numDemes) {
    delete[] demes;
    demes = nullptr;
    numDemes = 0;
    delete[] activeDemes;  // its length is the number of demes
    activeDemes = nullptr;
    numActiveDemes = 0;
    demes = new TDeme[n];
    numDemes = n;
  }
  const TDeme defaultDeme;
  for (int i = 0; i < numDemes; ++i) {
    demes[i] = defaultDeme;
    demes[i].demeId = i;
  }
  if (TNode::numPop != numDemes) TNode::numPop = numDemes;
  return numDemes;
}

bool TDemeCollection::initialize_deme_size(const MY_TArrayAsVector<long>& sizes) {
  if (sizes.numElems != numDemes) return false;
  for (int i = 0; i < numDemes; ++i)
    if (sizes[i] < 0) {
      std::ostringstream s;
      s << "deme " << i << " has the negative size " << sizes[i];
      refuseModel(s.str());
    }
  for (int i = 0; i < numDemes; ++i) demes[i].demeSize = static_cast<double>(sizes[i]);
  return true;
}

void TDemeCollection::applyGrowthRates(const MY_TArrayAsVector<double>& rates) {
  for (int i = 0; i < numDemes; ++i) {
    demes[i].set_growth_rate(rates[i]);
    if (demes[i].isGrowing) anyGrowth = true;
  }
}

bool TDemeCollection::initialize_growth_rates(const MY_TArrayAsVector<double>& rates) {
  anyGrowth = false;
  if (rates.numElems != numDemes) return false;
  for (int i = 0; i < numDemes; ++i)
    requireFinite(rates[i], "the growth rate of deme " + std::to_string(i));
  applyGrowthRates(rates);
  initIsGrowthRate = anyGrowth;  // written here only: batches never write it
  return true;
}

int TDemeCollection::initialize_events(const MY_TSArrayAsVector<THistoricalEvent>& newEvents) {
  const int numMatrices = migMatrices ? migMatrices->numElems : 0;
  if (newEvents.numElems > 0 && numDemes == 0)
    refuseModel("historical events are given before the demes are created");
  for (int i = 0; i < newEvents.numElems; ++i) checkEvent(newEvents[i], i, numDemes, numMatrices);
  events.numElems = events.reserved = 0;
  for (int i = 0; i < newEvents.numElems; ++i) events.Add(newEvents[i]);
  eventsRescaled = false;  // new events get their continuous times at the next tree
  return 1;
}

bool TDemeCollection::applySampleSizes(const MY_TArrayAsVector<int>& sizes, const char* caller) {
  requireOneEntryPerDeme(sizes, numDemes, "sample sizes");
  for (int i = 0; i < numDemes; ++i)
    if (sizes[i] < 0) {
      std::ostringstream s;
      s << "deme " << i << " has the negative sample size " << sizes[i] << " (" << caller << ")";
      refuseModel(s.str());
    }
  for (int i = 0; i < numDemes; ++i) demes[i].sampleSize = demes[i].numLineages = sizes[i];
  return true;
}

bool TDemeCollection::initialize_samp_size(const MY_TArrayAsVector<int>& sizes) {
  return applySampleSizes(sizes, "sample sizes");
}

bool TDemeCollection::initialize_sample_ages(const MY_TArrayAsVector<double>& ages) {
  requireOneEntryPerDeme(ages, numDemes, "sample ages");
  for (int i = 0; i < numDemes; ++i) {
    const std::string what = "the sample age of deme " + std::to_string(i);
    requireFinite(ages[i], what);
    if (ages[i] < 0.0) refuseModel(what + " is negative");
    if (ages[i] >= 9.0e18) refuseModel(what + " is too large");
  }
  for (int i = 0; i < numDemes; ++i) demes[i].sampleAge = ages[i];
  return true;
}

bool TDemeCollection::initialize_inbreeding_coefficients(const MY_TArrayAsVector<double>& coefs) {
  requireOneEntryPerDeme(coefs, numDemes, "inbreeding coefficients");
  for (int i = 0; i < numDemes; ++i)
    requireFinite(coefs[i], "the inbreeding coefficient of deme " + std::to_string(i));
  for (int i = 0; i < numDemes; ++i) demes[i].inbreedingCoef = coefs[i];
  updateInbreedingSwitch();  // contemporary samples are inbred from time 0 on
  return true;
}

// Gives the tree a node store for total tips. A store made for another sample
// size or another number of demes is rebuilt (with everything that points into
// it), so a collection set up again for a larger model never overruns it.
bool TDemeCollection::prepareNodeStore(int total) {
  const bool otherSample = tree.sampleSize != total || tree.nodes.numPopAllocated != TNode::numPop;
  if (tree.nodes.capacity != 0 && otherSample) {
    releaseRecBranches();
    tree.deleteNodes();
    for (int i = 0; i < numDemes; ++i) {
      demes[i].VNL.clear();
      demes[i].VNLR.clear();
      demes[i].recombinantPool.clear();
      demes[i].sampledNodes.clear();
    }
  }
  if (tree.newNodes.capacity != 0 && tree.newNodes.numPopAllocated != TNode::numPop)
    tree.newNodes.deleteArray();
  tree.allocate_tree(total);
  return true;
}

bool TDemeCollection::handOutTips(int numTipDemes) {
  int nextNode = 0;
  for (int i = 0; i < numTipDemes; ++i) {
    demes[i].posInActiveList = -1;
    if (!demes[i].copy_node_pointers(tree, nextNode)) return false;
  }
  tree.numCoalNodes = tree.numRecBranches = tree.nodeOffset = 0;
  return true;
}

namespace {

long totalOf(const MY_TArrayAsVector<int>& sizes) {
  long total = 0;
  for (int i = 0; i < sizes.numElems; ++i) total += sizes[i];
  if (total > INT_MAX / 3) refuseModel("the total sample size " + std::to_string(total) + " is too large");
  return total;
}

}  // namespace

// An empty list of active demes, room for every deme.
void TDemeCollection::resetActiveDemes() {
  delete[] activeDemes;
  activeDemes = new int[numDemes];
  for (int i = 0; i < numDemes; ++i) activeDemes[i] = -1;
  numActiveDemes = 0;
}

// The tips of the samples of the first numTipDemes demes in a node store for total genes.
bool TDemeCollection::placeTips(int total, int numTipDemes) {
  if (total == 0) {
    std::cerr << "TDemeCollection::create_lineagesNoRec() : Tree is empty " << std::endl;
    return false;
  }
  prepareNodeStore(total);
  return handOutTips(numTipDemes);
}

bool TDemeCollection::create_lineagesNoRec(const MY_TArrayAsVector<int>& sampleSizes, const int& numSites_) {
  numSites = numSites_;
  applySampleSizes(sampleSizes, "lineages of the samples");
  const int total = static_cast<int>(totalOf(sampleSizes));
  resetActiveDemes();
  return placeTips(total, numDemes);
}

bool TDemeCollection::create_lineagesNoRecForBrent(const MY_TArrayAsVector<int>& sampleSizes,
                                                   const int& /*numSites*/) {
  applySampleSizes(sampleSizes, "lineages of the samples");
  const int total = static_cast<int>(totalOf(sampleSizes));
  if (!activeDemes) resetActiveDemes();
  return placeTips(total, sampleSizes.numElems);
}

int TDemeCollection::count_all_lineages() const {
  int total = 0;
  for (int i = 0; i < numDemes; ++i) total += demes[i].numLineages;
  return total;
}

int TDemeCollection::count_initially_active_lineages() const {
  int total = 0;
  for (int i = 0; i < numDemes; ++i)
    if (demes[i].sampleAge == 0.0) total += demes[i].numLineages;
  return total;
}
