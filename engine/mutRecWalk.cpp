// Mutations along a recombining chromosome: the first marker on the first
// tree, then marker after marker, recombination points drawn between adjacent
// markers and the next tree replayed from the recorded history. A DNA block
// places its own recombination points and segments of loci.
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

int recCount(double drawn) {
  if (!(drawn > 0)) return 0;
  return drawn >= INT_MAX ? INT_MAX : static_cast<int>(drawn);
}

void writeUnchangedTreeLine(const TDemeCollection& c, long long locus) {
  if (!consoleOutput || !c.tree.root) return;
#pragma omp critical
  std::cout << "MRCA time on tree at locus " << locus << ": "
            << static_cast<long long>(c.tree.root->time * TDemeCollection::CTTimeUnit) << "\t("
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
  if (!replayBuildTreeWithRecs(settings, static_cast<int>(locus)) || !tree.root) {
    std::ostringstream m;
    m << "chromosome " << curChrom + 1 << ": the tree of locus " << locus + 1
      << " could not be built";
    failDataSet(m.str());
    return false;
  }
  treeChanged();
  return true;
}

long TDemeCollection::sprinkleDNAMutationsRec(TSimSettings& settings, const TBlock& block) {
  GlobalRandom& rng = *randomGenerator;
  double length = sites::treeLength(*this);
  long p = block.firstLocus;
  long long left = block.numLoci;
  long total = 0;
  bool recombined = false;
  const double rate = block.recRate;
  auto place = [&](long first, long end) {
    const long placed = sprinkleDNAMutationsNoRec(first, end, block.mutRate,
                                                  block.transitionRate, length);
    if (placed >= 0) total += placed;
    return placed >= 0;
  };
  while (rate > 0 && left > 0) {
    const double h = rate * std::trunc(length * CTTimeUnit);
    if (h < 1) {
      // Loci up to and including the one after which the next point falls:
      // one geometric draw, in double so that a tiny h cannot overflow.
      const double x = std::trunc(rng.takeLogUniform() / std::log(1.0 - h));
      if (!(h > 0) || !std::isfinite(x) || x + 1 >= static_cast<double>(left)) break;
      const long k = static_cast<long>(x) + 1;
      if (!place(p, p + k)) return -1;
      if (TSimSettings::outputTree && !(treeCounter != 0 && p == block.firstLocus))
        writeTreeOfLocus(settings, p);
      p += k;
      left -= k;
      tree.locateRecombinationsOnTreeC(1, length, this);
    } else {
      // About one point per locus or more: a Poisson number per interval.
      // The last locus is left to the final segment: no point past the block.
      if (left <= 1) break;
      const int v = recCount(rng.PoissonDistributionValue(rate * length * CTTimeUnit));
      if (v == 0) {
        writeUnchangedTreeLine(*this, p);
        if (!place(p, p + 1)) return -1;
        ++p;
        --left;
        continue;
      }
      if (!place(p, p + 1)) return -1;
      if (TSimSettings::outputTree) writeTreeOfLocus(settings, p);
      tree.locateRecombinationsOnTreeC(v, length, this);
      ++p;
      --left;
    }
    if (!replayForLocus(settings, p)) return -1;
    recombined = true;
    length = sites::treeLength(*this);
  }
  if (p <= block.lastLocus && !place(p, block.lastLocus + 1)) return -1;
  if (TSimSettings::outputTree && (rate <= 0 ? p == 0 : recombined)) writeTreeOfLocus(settings, p);
  numMutations = total;
  return total;
}

int TDemeCollection::sprinkleMutationsRec(TSimSettings& settings, int structure) {
  treeCounter = 0;
  numMutations = 0;
  treeChanged();
  if (!tree.root || !settings.blocks || settings.blocks[structure].numElems < 1) {
    failDataSet("a recombining chromosome has no tree or no block");
    return 0;
  }
  const TBlock& first = settings.blocks[structure][0];
  long locus = 0;
  long placed = 0;
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
        if (sprinkleDNAMutationsRec(settings, first) < 0) return 0;
        return buildNextRecTreesCT(settings, structure, 1);
      default:
        break;  // an RFLP marker: no site, but the walk goes on
    }
  } catch (const std::bad_alloc&) {
    failDataSet("a recombining chromosome: not enough memory for its sites");
    return 0;
  }
  if (placed < 0 || siteStorage.failed()) return 0;
  if (TSimSettings::outputTree) writeTreeOfLocus(settings, 0);
  return buildNextRecTreesCT(settings, structure, 0);
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
      if (b < start) {
        locus += block.numLoci;
        continue;
      }
      while (index < block.numLoci) {
        const double rate = locus == block.firstLocus ? block.recRateToPrevious : block.recRate;
        const double length = sites::treeLength(*this);
        const int n = recCount(rng.PoissonDistributionValue(rate * length * CTTimeUnit));
        tree.locateRecombinationsOnTreeC(n, length, this);
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
        if (siteStorage.failed()) return 0;
        (void)placed;
        if (!sameTree && TSimSettings::outputTree) writeTreeOfLocus(settings, locus);
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
