// The chromosomes of one batch of a simulated data set, and the merge of a
// finished batch into the run's collection. A batch simulates a consecutive
// range of chromosomes on its own collection and generator; the run's
// collection takes the batches over in batch order, moving their genotype
// blocks (slot = chromosome) rather than copying them.
#include <algorithm>
#include <iostream>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

namespace {

// Trees rejected in a row by the SNP ascertainment panel before a chromosome
// is given up (a panel that never spans the tree would loop for ever).
constexpr long kMaxRejectedTrees = 1000000;

DataType firstBlockType(const TSimSettings& s) {
  if (!s.blocks || s.numChromStructures < 1 || s.blocks[0].numElems == 0)
    return DataType::STANDARD;
  return s.blocks[0][0].dataType;
}

// Growth step of the site lists of a chromosome: at least 1, at most the
// sites kept in memory (when there is such a limit).
long siteListStep(long numSites) {
  long step = numSites / 5;
  const long keep = TSimSettings::numPolSitesToKeepInMemory;
  if (keep > 0) step = std::min(step, keep);
  return std::max(1L, std::min(step, 100000L));
}

// Chromosomes are numbered from 1 in messages, as in the driver's report.
void reportFailedTree(int chromosome) {
#pragma omp critical
  std::cerr << "Unable to build coalescent tree for chromosome " << chromosome + 1 << std::endl;
}

}  // namespace

// Keeps trees with probability proportional to the share of their length on
// the panel tree; false when none is kept in kMaxRejectedTrees draws or a
// tree cannot be built.
static bool acceptTreeForAscertainment(TDemeCollection& c, const TSimSettings& s, int chromosome) {
  for (long rejected = 0;; ++rejected) {
    TTree& tree = c.tree;
    tree.ascRoot = nullptr;
    c.wholeTreeLength = 0.0;
    tree.root->computeWholeTreelength(c);
    tree.root->resetBranchAscertainmentScores();
    TNode* ancestor = tree.flagSNPAscertainedBranchesNoShuffling(c);
    c.ascertainedTreeLength = 0.0;
    ancestor->computeAscertainedTreelength(c);
    const double u = c.randomGenerator->takeUniform();
    if (c.ascertainedTreeLength / c.wholeTreeLength > u) {
      tree.ascRoot = ancestor;
      return true;
    }
    if (rejected + 1 >= kMaxRejectedTrees) {
#pragma omp critical
      std::cerr << "\nChromosome " << chromosome + 1 << ": " << kMaxRejectedTrees
                << " trees in a row were rejected by the SNP ascertainment panel ("
                << TSimSettings::ascertainedSize << " genes of deme "
                << TSimSettings::ascertainedDeme << "); the chromosome cannot be simulated"
                << std::endl;
      return false;
    }
    c.reset(s.demeSizes, s.growthRates);
    if (c.buildTreeNoRecContinousTime() != 1) {
      reportFailedTree(chromosome);
      return false;
    }
  }
}

// The MRCA record line of a non-recombining chromosome, kept with the batch's
// trees so that the record is written in chromosome order.
static void recordMRCA(TDemeCollection& c, int i) {
  const TNode* root = c.tree.root;
  c.treeTexts.mrcaLines << i << "\t" << c.numSites << "\t" << "data unknown\t"
                        << (root ? root->time * TDemeCollection::CTTimeUnit : 0.0) << "\t"
                        << (root ? root->deme : -1) << "\t" << c.numMutations << "\n";
}

// The tree and mutations of a non-recombining chromosome; false on failure (reported).
static bool simulateNonRecombining(TDemeCollection& c, TSimSettings& s, int structure, int i,
                                   long step) {
  if (c.buildTreeNoRecContinousTime() != 1) {
    reportFailedTree(i);
    return false;
  }
  if (TSimSettings::SNPascertainment) {
    const DataType type = firstBlockType(s);
    if (type == DataType::SNP) {
      if (!acceptTreeForAscertainment(c, s, i)) return false;
    } else if (type != DataType::DNA) {
#pragma omp critical
      std::cerr << "\nImpossible to simulate ascertainment on non-SNP or non-DNA data\n";
    }
  }
  c.tree.resetStepPolymSites(step);
  c.curPolSitesInfo->growStep = static_cast<int>(step);
  c.numMutations = 0;
  if (c.sprinkleMutationsNoRec(s, structure, i) < 0) return false;
  if (TSimSettings::recordMRCAs) recordMRCA(c, i);
  if (TSimSettings::outputTree) s.writePAUPTrees(0, c);
  return true;
}

static bool simulateRecombining(TDemeCollection& c, TSimSettings& s, int structure, int i,
                                long step) {
  if (c.buildFirstTreeForRecCT(i) != 1) {
    reportFailedTree(i);
    return false;
  }
  c.tree.resetStepPolymSites(step);
  c.curPolSitesInfo->growStep = static_cast<int>(step);
  return c.sprinkleMutationsRec(s, structure) == 1;
}

// Chromosome i's settings: sites, blocks, sample sizes, recombination.
static int prepareChromosome(TDemeCollection& c, const TSimSettings& s, int i) {
  const int structure = s.differentStructurePerLocus ? i : 0;
  c.curChrom = i;
  c.curPolSitesInfo = &TDemeCollection::polSitesInfo[i];
  c.numSites = s.totalNumLoci[structure];
  c.numBlocks = s.numBlocks[structure];
  if (s.sampleSizes.numElems == c.numDemes)
    for (int d = 0; d < c.numDemes; ++d)
      c.demes[d].sampleSize = c.demes[d].numLineages = s.sampleSizes[d];
  c.isRecombining = s.totalRecRate[structure] != 0.0;
  c.tree.resetNodePolymSites();
  c.numTempFileFlushes = 0;
  c.treeCounter = 0;  // tree names restart with every chromosome
  return structure;
}

int TDemeCollection::simulateIndependentChroms(int /*simIndex*/, int first, int last,
                                               TSimSettings& settings) {
  anyChromRecombines = false;
  for (int i = first; i < last; ++i) {
    const int structure = prepareChromosome(*this, settings, i);
    anyChromRecombines = anyChromRecombines || isRecombining;
    const long step = siteListStep(numSites);
    const bool ok = isRecombining ? simulateRecombining(*this, settings, structure, i, step)
                                  : simulateNonRecombining(*this, settings, structure, i, step);
    if (!ok || !storeChromosomeStates()) {
      failedChromosome = i;
      return 0;
    }
    numSitesPerChrom[i] = static_cast<int>(numSites);
    totNumSites += numSites;
    numPolymSitesPerChrom[i] = curPolSitesInfo->numElems;
    numPolymSites += curPolSitesInfo->numElems;
    reset(settings.demeSizes, settings.growthRates);
  }
  return 1;
}

// Appends the batch's recombination records in one step; more records than
// a list can count is an allocation that cannot be made.
static void appendRecords(MY_TArrayAsVector<TRecPosInfo>& to,
                          const MY_TArrayAsVector<TRecPosInfo>& from) {
  const long long needed = static_cast<long long>(to.numElems) + from.numElems;
  to.reserveRoom(needed, needed + to.growStep);
  std::copy(from.elems, from.elems + from.numElems, to.elems + to.numElems);
  to.numElems = static_cast<int>(needed);
}

void TDemeCollection::collectSimulatedDataInBatch(TDemeCollection& batch, int first, int last) {
  totNumSites += std::max<long long>(batch.totNumSites, batch.numPolymSites);
  totNumRecs += batch.totNumRecs;
  if (first == 0)
    recPosInfo = batch.recPosInfo;
  else
    appendRecords(recPosInfo, batch.recPosInfo);
  numPolymSites += batch.numPolymSites;
  numUsedPolymSites = numPolymSites;
  for (int c = first; c < last; ++c) {
    numSitesPerChrom[c] = batch.numSitesPerChrom[c];
    numPolymSitesPerChrom[c] = batch.numPolymSitesPerChrom[c];
  }
  takeChromosomeStates(batch, first, last);  // blocks by pointer, spilled segments, folders
  // Whether the data set recombines, from every chromosome of every batch
  // (a batch's own switch tells only of its last chromosome).
  isRecombining = (first != 0 && isRecombining) || batch.anyChromRecombines;
}
