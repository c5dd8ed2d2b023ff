// Mutations along a recombining chromosome: the first marker on the first
// tree, then marker after marker, recombination points drawn between adjacent
// markers and the next tree replayed from the recorded history. A DNA block
// places its own recombination points and segments of loci. With trees asked
// for, each tree is written when its stretch of loci ends, named after the
// locus at which it took over and carrying the mutations of the whole stretch.
#include <climits>
#include <cmath>
#include <iostream>
#include <new>
#include <sstream>

#include "engine/siteCreation.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

void writeUnchangedTreeLine(const TDemeCollection& c, long long locus) {
  if (!consoleOutput || !c.tree.root) return;
#pragma omp critical
  std::cout << "MRCA time on tree at locus " << locus << ": "
            << generationsOf(c.tree.root->time) << "\t("
            << c.tree.numRecs << " recs)" << "\n";
}

}  // namespace

// Writes the current tree as the tree of a locus; the counter is this
// collection's, so whether a tree is written never depends on other batches.
void TDemeCollection::writeTreeOfLocus(TSimSettings& settings, long locus) {
  const int before = treeCounter;
#pragma omp critical
  settings.writePAUPTrees(static_cast<int>(locus), *this);
  // The NEXUS writer may count the trees on the collection itself; when it
  // does not, the count is kept here, once per tree.
  if (treeCounter == before) ++treeCounter;
}

// The next marker's tree after points were placed on the current one.
bool TDemeCollection::replayForLocus(TSimSettings& settings, long locus) {
  if (TSimSettings::outputTree) writeTreeOfLocus(settings, treeStartLocus);
  if (static_cast<long long>(recPosInfo.numElems) + tree.numRecs > INT_MAX) {
    std::ostringstream m;
    m << "chromosome " << curChrom + 1 << ", locus " << locus + 1
      << ": more recombination events than can be recorded (" << INT_MAX << ")";
    failDataSet(m.str());
    return false;
  }
  if (!replayBuildTreeWithRecs(settings, locus) || !tree.root) {
    std::ostringstream m;
    m << "chromosome " << curChrom + 1 << ": the tree of locus " << locus + 1
      << " could not be built";
    failDataSet(m.str());
    return false;
  }
  treeChanged();
  treeStartLocus = locus;
  return true;
}

// Recombination points of one interval between loci, drawn: false (data set
// failed) when more than can be held.
static bool pointsOfInterval(TDemeCollection& c, double drawn, double rate, int& n) {
  if (!c.countCanBeHeld(drawn, false, "recombination points", c.curBlock, "recombination", rate))
    return false;
  n = drawn > 0 ? static_cast<int>(drawn) : 0;
  return true;
}

// Points between adjacent loci of the block are Poisson(h), h = rate x tree
// length in generations, independently per interval given the tree. So the
// intervals before the next one holding a point are geometric with success
// 1 - e^-h: their number is floor(E / h), E exponential; that interval holds
// a zero-truncated Poisson(h) number of points, then the tree changes. One
// draw skips any number of empty intervals, whatever h.
long TDemeCollection::sprinkleDNAMutationsRec(TSimSettings& settings, const TBlock& block) {
  GlobalRandom& rng = *randomGenerator;
  double length = sites::treeLength(*this);
  long p = block.firstLocus;
  long left = block.numLoci;
  long total = 0;
  const double rate = block.recRate;
  auto place = [&](long first, long end) {
    const long placed = sprinkleDNAMutationsNoRec(first, end, block.mutRate,
                                                  block.transitionRate, length);
    if (placed >= 0) total += placed;
    return placed >= 0;
  };
  while (rate > 0 && left > 1) {
    const double h = rate * length * CTTimeUnit;
    if (!(h > 0)) break;
    const double empty = std::floor(-rng.takeLogUniform() / h);
    // No point before the block's last locus: the rest is one segment.
    if (!(empty < static_cast<double>(left - 1))) break;
    const long k = static_cast<long>(empty) + 1;  // loci up to the interval with points
    if (!place(p, p + k)) return -1;
    p += k;
    left -= k;
    int n = 0;
    if (!pointsOfInterval(*this, rng.ZeroTruncatedPoissonValue(h), rate, n)) return -1;
    tree.locateRecombinationsOnTreeC(n, length, this, sites::postOrder(*this));
    if (!replayForLocus(settings, p)) return -1;
    length = sites::treeLength(*this);
  }
  if (p <= block.lastLocus && !place(p, block.lastLocus + 1)) return -1;
  numMutations = total;
  return total;
}

// The first marker on the first tree, then the walk along the others; the
// last tree is written when the walk is done.
int TDemeCollection::sprinkleMutationsRec(TSimSettings& settings, int structure) {
  treeCounter = 0;
  numMutations = 0;
  treeStartLocus = 0;
  curBlock = 0;
  treeChanged();
  if (!tree.root || !settings.blocks || settings.blocks[structure].numElems < 1) {
    failDataSet("a recombining chromosome has no tree or no block");
    return 0;
  }
  if (!checkExpectedCounts(settings, structure)) return 0;
  const TBlock& first = settings.blocks[structure][0];
  long locus = 0;
  long placed = 0;
  int walked = 0;
  try {
    switch (first.dataType) {
      case DataType::MICROSAT:
        placed = sprinkleMicrosatMutationsRec(locus, first);
        break;
      case DataType::SNP:
        placed = sprinkleSNPMutationsRec(locus, first, false);
        break;
      case DataType::STANDARD:
        placed = sprinkleStandardMutationsRec(locus, first);
        break;
      case DataType::DNA:
        placed = sprinkleDNAMutationsRec(settings, first);
        break;
      default:
        break;  // an RFLP marker: no site, but the walk goes on
    }
    if (placed < 0 || siteStorage.failed()) return 0;
    // A DNA block is walked whole; other blocks give the first locus only.
    walked = buildNextRecTreesCT(settings, structure, first.dataType == DataType::DNA ? 1 : 0);
  } catch (const std::bad_alloc&) {
    failDataSet("a recombining chromosome: not enough memory for its sites");
    return 0;
  }
  if (walked == 1 && TSimSettings::outputTree) writeTreeOfLocus(settings, treeStartLocus);
  return walked;
}

int TDemeCollection::buildNextRecTreesCT(TSimSettings& settings, int structure, int start) {
  const MY_TArrayAsVector<TBlock>& blocks = settings.blocks[structure];
  const int numBlocksHere = numBlocks < blocks.numElems ? numBlocks : blocks.numElems;
  long locus = start == 0 ? 1 : 0;
  long index = start == 0 ? 1 : 0;
  GlobalRandom& rng = *randomGenerator;
  try {
    for (int b = 0; b < numBlocksHere; ++b) {
      const TBlock& block = blocks[b];
      curBlock = b;
      if (b < start) {
        locus += block.numLoci;
        continue;
      }
      while (index < block.numLoci) {
        const double rate = locus == block.firstLocus ? block.recRateToPrevious : block.recRate;
        const double length = sites::treeLength(*this);
        int n = 0;
        if (!pointsOfInterval(*this, rng.PoissonDistributionValue(rate * length * CTTimeUnit), rate,
                              n))
          return 0;
        tree.locateRecombinationsOnTreeC(n, length, this, sites::postOrder(*this));
        const bool sameTree = n == 0;
        if (!sameTree) {
          if (!replayForLocus(settings, locus)) return 0;
        } else {
          writeUnchangedTreeLine(*this, locus);
        }
        numMutations = 0;
        long placed = 0;
        switch (block.dataType) {
          case DataType::DNA:
            placed = sprinkleDNAMutationsRec(settings, block);
            locus += block.numLoci;
            index += block.numLoci;
            if (placed < 0) return 0;
            continue;
          case DataType::MICROSAT:
            placed = sprinkleMicrosatMutationsRec(locus, block);
            break;
          case DataType::SNP:
            placed = sprinkleSNPMutationsRec(locus, block, sameTree);
            break;
          case DataType::STANDARD:
            placed = sprinkleStandardMutationsRec(locus, block);
            break;
          default:
            break;  // RFLP loci get no site
        }
        if (placed < 0 || siteStorage.failed()) return 0;
        ++locus;
        ++index;
      }
      index = 0;
    }
  } catch (const std::bad_alloc&) {
    std::ostringstream m;
    m << "chromosome " << curChrom + 1 << ": not enough memory for its sites";
    failDataSet(m.str());
    return 0;
  }
  if (consoleOutput) {
#pragma omp critical
    std::cout << "\n";
  }
  return 1;
}
