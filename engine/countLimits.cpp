// What one chromosome can hold. A data set keeps a record of 16 bytes for
// every recombination point until it is written, and the DNA mutations of a
// segment of loci are placed from one table of 8-byte positions: 2^28 of
// either (4 and 2 GiB, and minutes of walking) is more than a data set can be
// given, and below the 32-bit counts of sites and records. A MICROSAT locus
// walks every mutation of every branch (a step and a coin each), so its
// mutations are held to the same limit; so are those of STANDARD loci, whose
// allele is their count, for the same early message on a rate typo. Before the
// mutations of a chromosome are placed (and its markers walked) the counts
// that its rates make one expect on its first tree are compared with that
// limit, so that a rate typo fails the data set at once instead of running
// for hours or exhausting memory; counts drawn later on are held to the same
// limit by the same check.
#include <iomanip>
#include <sstream>

#include "engine/deme.h"
#include "model/simSettings.h"

namespace {

constexpr long long kMaxHeldCount = 1LL << 28;
constexpr double kMaxHeld = static_cast<double>(kMaxHeldCount);

// Expected counts of the blocks of one chromosome, and the block that adds most.
struct TExpectedCount {
  double total = 0.0;
  int block = -1;
  double largest = -1.0;
  double rate = 0.0;
  DataType type = DataType::STANDARD;

  void add(int b, double count, double blockRate, DataType blockType) {
    if (!(count > 0.0) && count == count) return;  // NaN is kept: it fails the check
    total += count;
    if (!(count <= largest)) {
      largest = count;
      block = b;
      rate = blockRate;
      type = blockType;
    }
  }
};

const char* mutationsName(DataType type) {
  switch (type) {
    case DataType::DNA:
      return "DNA mutations";
    case DataType::MICROSAT:
      return "MICROSAT mutations";
    case DataType::STANDARD:
      return "STANDARD mutations";
    default:
      return "SNP mutations";
  }
}

}  // namespace

bool TDemeCollection::countCanBeHeld(double count, bool expected, const char* what, int block,
                                     const char* rateKind, double rate) {
  if (count <= kMaxHeld) return true;  // NaN counts are refused too
  std::ostringstream m;
  m << "chromosome " << curChrom + 1;
  if (block >= 0) m << ", block " << block + 1;
  m << ": " << (expected ? "about " : "") << std::setprecision(3) << count << " " << what
    << (expected ? " expected" : " drawn") << " at a " << rateKind << " rate of "
    << std::setprecision(10) << rate << " are too many to hold (at most " << kMaxHeldCount
    << "); is the rate right?";
  failDataSet(m.str());
  return false;
}

bool TDemeCollection::checkExpectedCounts(const TSimSettings& settings, int structure) {
  if (!settings.blocks || !settings.numBlocks || !tree.root) return true;
  const MY_TArrayAsVector<TBlock>& blocks = settings.blocks[structure];
  const int n = settings.numBlocks[structure] < blocks.numElems ? settings.numBlocks[structure]
                                                                 : blocks.numElems;
  const double generations = tree.root->calcTreeSizeC() * CTTimeUnit;
  const bool infinite = TSimSettings::useInfiniteSiteModel != 0;
  TExpectedCount points, mutations;
  for (int b = 0; b < n; ++b) {
    const TBlock& block = blocks[b];
    const double loci = static_cast<double>(block.numLoci);
    // The intervals inside the block and the one after it (to the next block).
    if (isRecombining) {
      const double after = b + 1 < n ? blocks[b + 1].recRateToPrevious : 0.0;
      points.add(b, ((loci - 1.0) * block.recRate + after) * generations, block.recRate,
                 block.dataType);
    }
    // Types whose work grows with the mutations; SNP blocks without infinite
    // sites and RFLP blocks make one site per locus whatever the rate.
    const bool counted = block.dataType == DataType::DNA ||
                         block.dataType == DataType::MICROSAT ||
                         block.dataType == DataType::STANDARD ||
                         (block.dataType == DataType::SNP && infinite && block.mutRate > 0.0);
    if (counted)
      mutations.add(b, loci * block.mutRate * generations, block.mutRate, block.dataType);
  }
  const char* sites = mutationsName(mutations.type);
  return countCanBeHeld(points.total, true, "recombination points", points.block, "recombination",
                        points.rate) &&
         countCanBeHeld(mutations.total, true, sites, mutations.block, "mutation", mutations.rate);
}
