// The pieces of one parameter step of the estimation: search values as
// parameter values, the interval of a search and the widening of the next one,
// and the layout every model of the estimation must keep.
#include <algorithm>
#include <cmath>

#include "estimation/brentMinimization.h"
#include "model/simSettings.h"

double searchValueToParameter(double x, bool logScale, bool isInt) {
  double v = logScale ? std::pow(10.0, x) : x;
  if (!isInt) return v;
  // pow(10, log10(v)) may land just below the integer v.
  const double nearest = std::nearbyint(v);
  if (std::fabs(v - nearest) <= 1e-9 * std::max(1.0, std::fabs(nearest))) v = nearest;
  return std::trunc(v);
}

TSearchInterval searchIntervalOf(const TParameter& p) {
  TSearchInterval in;
  in.lo = p.lowerFromRule ? p.ruleLowerBound : p.min;
  in.hi = p.upperFromRule ? p.ruleUpperBound : p.searchMax;
  if (in.lo > in.hi) std::swap(in.lo, in.hi);
  in.empty = p.min == p.max || in.lo == in.hi;
  return in;
}

const TParameter& prepareSearchOf(TSampleParameters& params, int j) {
  for (int k = 0; k < params.numSimpleParams; ++k)
    params.paramArray[k].searchMin = params.paramArray[k].min;
  params.defineSearchRangesBoundariesAccordingToRules();
  return params.paramArray[j];
}

double nextSearchMax(const TParameter& p, double v) {
  if (p.isBounded) return p.max;
  const bool nearTop = v > p.max - 0.2 * std::fabs(p.max);
  return nearTop ? std::max(p.max, v + p.searchSpan / 3.0) : p.max;
}

int nextNumSimsPerLhood(int n, int max) {
  constexpr int kAddedPerCycle = 5000;
  return n >= max - kAddedPerCycle ? max : n + kAddedPerCycle;
}

TRunLayout TRunLayout::of(const TSimSettings& s) {
  TRunLayout l;
  l.numDemes = s.numDemes;
  for (int i = 0; i < s.sampleSizes.numElems; ++i) l.sampleSizes.push_back(s.sampleSizes[i]);
  l.numIndependentLoci = s.numIndependentLoci;
  l.numChromStructures = s.numChromStructures;
  l.lociOfFirstStructure = s.totalNumLoci ? s.totalNumLoci[0] : 0;
  l.blocksOfFirstStructure = s.numBlocks ? s.numBlocks[0] : 0;
  l.dataType = static_cast<int>(s.dataType);
  return l;
}

namespace {

std::string listOf(const std::vector<int>& v) {
  std::string text;
  for (int n : v) text += (text.empty() ? "" : " ") + std::to_string(n);
  return text;
}

}  // namespace

std::string TRunLayout::differenceFrom(const TRunLayout& run) const {
  if (numDemes != run.numDemes)
    return "it has " + std::to_string(numDemes) + " demes instead of " +
           std::to_string(run.numDemes);
  if (sampleSizes != run.sampleSizes)
    return "its sample sizes are " + listOf(sampleSizes) + " instead of " +
           listOf(run.sampleSizes);
  if (numIndependentLoci != run.numIndependentLoci)
    return "it has " + std::to_string(numIndependentLoci) +
           " independent chromosomes instead of " + std::to_string(run.numIndependentLoci);
  if (numChromStructures != run.numChromStructures || lociOfFirstStructure !=
      run.lociOfFirstStructure || blocksOfFirstStructure != run.blocksOfFirstStructure)
    return "its chromosome structure differs from the one of the run's model";
  if (dataType != run.dataType) return "its data type differs from the one of the run's model";
  return "";
}
