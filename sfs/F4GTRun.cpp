// The four-gamete facility in a run: the test of every chromosome of a
// simulated data set while its genotype blocks exist, the observed
// distribution of an estimation, and the expected-spectrum simulation on two
// trees a Poisson number of recombinations apart.
#include <cmath>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "model/simSettings.h"
#include "sfs/F4GT.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"
#include "support/outputFile.h"
#include "support/outputFile.h"

namespace {

const char* const kClassFile = "recDist_4gt.txt";

template <class T>
void writeJoined(std::ostream& os, const T* values, int n) {
  for (int c = 0; c < n; ++c) os << (c ? "\t" : "") << values[c];
  os << "\n";
}

// The genotype block of a deme for a chromosome; null when it has none (never
// made, or its states went to temporary files).
const TLocusAsShortIntArray* blockOf(const TDeme& deme, int chromosome) {
  const MY_TIArrayAsVector<TLocusAsShortIntArray>& loci = deme.loci;
  if (chromosome < 0 || chromosome >= loci.numElems) return nullptr;
  const TLocusAsShortIntArray* block = loci[chromosome];
  if (!block || (block->numSites > 0 && !block->rows)) return nullptr;
  return block;
}

}  // namespace

bool TDemeCollection::compute4GTFailures(const MY_TArrayAsVector<double>& classes, int chromosome,
                                         const my_string& fileName) {
  const int numClasses = classes.numElems;
  std::vector<long long> failures(numClasses > 0 ? numClasses : 1),
      passes(numClasses > 0 ? numClasses : 1), pairs(numClasses > 0 ? numClasses : 1);
  std::vector<double> shares(numClasses > 0 ? numClasses : 1);
  TOutputFile os;
  for (int d = 0; d < numDemes; ++d) {
    if (demes[d].sampleSize <= 0) continue;
    const TLocusAsShortIntArray* block = blockOf(demes[d], chromosome);
    const MY_TArrayAsVector<TPolymSiteInfo>* sites =
        polSitesInfo && chromosome >= 0 && chromosome < numChromosomes ? &polSitesInfo[chromosome]
                                                                       : nullptr;
    if (!block || !sites || sites->numElems < block->numSites) {
      std::cerr << "Four-gamete test: deme " << d << " has no genotype block for chromosome "
                << chromosome << " (its states are not held in memory); skipped" << std::endl;
      continue;
    }
    countF4GTFailures(*block, chromosome, *sites, classes, failures.data(), passes.data());
    for (int c = 0; c < numClasses; ++c) {
      pairs[c] = failures[c] + passes[c];
      shares[c] = pairs[c] > 0 ? static_cast<double>(failures[c]) / pairs[c] : 0.0;
    }
    if (!os.is_open()) {
      os.open(fileName.c_str(), std::ios::app);
      if (!os) {
        std::cerr << "Four-gamete test: cannot open \"" << fileName << "\" for writing"
                  << std::endl;
        return false;
      }
    }
    os << "Deme " << d << ", Chromosome " << chromosome << " : " << numSitePairs(block->numSites)
       << " pairs of loci compared\n";
    writeJoined(os, classes.elems, numClasses);
    writeJoined(os, pairs.data(), numClasses);
    writeJoined(os, shares.data(), numClasses);
  }
  if (!os.is_open()) return true;
  os.close();
  if (os) return true;
  std::cerr << "Four-gamete test: unable to write \"" << fileName << "\"" << std::endl;
  return false;
}

void TSimSettings::computeF4GTstats() {
  for (int c = 0; c < numIndependentLoci; ++c) create4GTArraysAndCompute4GTFailures(c);
}

void TSimSettings::create4GTArraysAndCompute4GTFailures(int chromosome) {
  MY_TArrayAsVector<double> classes(10, 10);
  if (!readDistanceClasses(kClassFile, classes))
    std::cerr << "TSimSettings::create4GTArraysAndCompute4GTFailures: Cannot open file "
              << kClassFile
              << " containing distance classes for the computation of the 4GT failure "
                 "distribution\n"
              << std::endl;
  demeCollection.compute4GTFailures(classes, chromosome, f4GTFileName);
}

bool TSimSettings::readObs4GTDistr(bool upDir) {
  if (!F4GTDistr) F4GTDistr = new TF4GTDistr();
  const std::string name = std::string(upDir ? "../" : "") + f4GTFileName.c_str();
  std::ifstream is(name);
  if (!is) return false;
  if (F4GTDistr->readObsFGTDistr(is)) return true;
  std::cerr << "The observed four-gamete distribution \"" << name << "\" could not be read"
            << std::endl;
  return false;
}

int TSimSettings::updateSFSand4GTDistributions() {
  TDemeCollection& c = demeCollection;
  if (c.buildRandomFirstTreeForRecCTFast() <= 0) return 0;
  if (!c.tree2) {
    c.tree2 = new TTree();
    *c.tree2 = c.tree;
  }
  c.tree2->nodes.copyVecTreeForRecs(c.tree.nodes, *c.tree2);
  const double T1 = c.tree.root->calcTreeSizeC();
  c.tree.treeLength = T1;
  const int D = testValue > 0 ? static_cast<int>(testValue) : 1000;
  const int n = static_cast<int>(
      c.randomGenerator->PoissonDistributionValue(T1 * TDemeCollection::CTTimeUnit * recRate * D));
  if (!c.implementRecombinationsOnSecondTree(*this, n)) {
    std::cerr << "updateSFSand4GTDistributions::generateTreeAndUpdateSFSFast: Unable to implement "
                 "recombinations on second tree\n"
              << std::endl;
    return 1;
  }
  const double T2 = c.tree.root->calcTreeSizeC();
#pragma omp critical
  if (tmrcas && tmrcas->openDeferred()) {
    *tmrcas << T1 * TDemeCollection::CTTimeUnit << "\t" << D << "\t" << recRate << "\t" << n << "\t"
            << T2 * TDemeCollection::CTTimeUnit << "\n";
  }
  c.tree.updateExpAFSForDNASNPs(c.tree.root, c);
  return 0;
}

int TSimSettings::computeNumRecs() {
  const double maxDistance = F4GTDistr ? static_cast<double>(F4GTDistr->maxDistance) : 0.0;
  double x = demeCollection.tree.treeLength * maxDistance * TDemeCollection::CTTimeUnit * recRate;
  if (!(x > 0.0)) return 0;  // no distance or no recombination: no point
  x += 2.326348 * std::sqrt(x);
  const double u = demeCollection.randomGenerator->takeUniform();
  return static_cast<int>(std::pow(10.0, u * std::log10(x)));
}
