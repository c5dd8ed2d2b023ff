// MICROSAT sites: the stepwise model. Every locus is a site; a node's state
// is its parent's, moved by each mutation on its branch by one repeat or,
// with a geometric parameter g, by 1 + floor(ln U / ln g) repeats, up or down
// with a fair coin. With a range constraint a state at a bound always moves
// inward (no coin is drawn there) and results are clamped into the range.
// States are computed in 64 bits and must fit the 16-bit storage.
#include <cmath>
#include <sstream>

#include "engine/siteCreation.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

namespace {

struct MicrosatModel {
  double g;
  bool constrained;
  long long min;
  long long max;
};

long long stepSize(GlobalRandom& rng, double g) {
  if (!(g >= 1e-10 && g < 1.0)) return 1;
  const double u = rng.takeUniform();
  if (u == 0.0) return 1;
  return sites::clampWide(1.0 + std::floor(std::log(u) / std::log(g)));
}

long long mutate(GlobalRandom& rng, const MicrosatModel& m, long long s) {
  if (m.g > 0) {
    const long long step = stepSize(rng, m.g);
    if (!m.constrained) return sites::saturatingAdd(s, rng.YesOrNo() ? step : -step);
    bool down;
    if (s == m.min)
      down = false;
    else if (s == m.max)
      down = true;
    else
      down = rng.YesOrNo();
    s = sites::saturatingAdd(s, down ? -step : step);
    return s < m.min ? m.min : (s > m.max ? m.max : s);
  }
  if (!m.constrained) return sites::saturatingAdd(s, rng.YesOrNo() ? -1 : 1);
  if (s == m.min) return s + 1;
  if (s == m.max) return s - 1;
  return rng.YesOrNo() ? s - 1 : s + 1;
}

// Sets the collection's bounds from the block; false (data set failed) for a
// negative range, which the model reader refuses.
bool setBounds(TDemeCollection& c, const TBlock& block, MicrosatModel& m) {
  const int x = block.rangeConstraint;
  if (x < 0) {
    std::ostringstream msg;
    msg << "chromosome " << c.curChrom + 1 << ": negative MICROSAT range constraint (" << x << ")";
    c.failDataSet(msg.str());
    return false;
  }
  if (x == 0) {
    c.microsatMinAllele = c.microsatMaxAllele = 0;
  } else if (x % 2 == 1) {
    c.microsatMinAllele = (1 - x) / 2;
    c.microsatMaxAllele = (x - 1) / 2;
  } else {
    c.microsatMinAllele = 1 - x / 2;
    c.microsatMaxAllele = x / 2;
  }
  m = MicrosatModel{block.geometricParam, x != 0, c.microsatMinAllele, c.microsatMaxAllele};
  return true;
}

// One locus at position p: returns the mutations placed, -1 on failure.
long long placeLocus(TDemeCollection& c, long p, const TBlock& block, const MicrosatModel& m) {
  const TTreeLayout& l = sites::layoutWithRate(c, block.mutRate);
  if (l.size() == 0 || !c.beginSite(p, DataType::MICROSAT, 0)) return -1;
  GlobalRandom& rng = *c.randomGenerator;
  std::vector<long long>& state = c.mutWork.layout.state;
  state[0] = 0;
  l.order[0]->numMutations = 0;
  long long total = 0;
  for (int i = 1; i < l.size(); ++i) {
    const long long count = sites::branchPoisson(c, l, i);
    l.order[i]->numMutations = count;
    long long s = state[l.parent[i]];
    for (long long k = 0; k < count; ++k) s = mutate(rng, m, s);
    state[i] = s;
    total = sites::saturatingAdd(total, count);
  }
  return sites::appendNodeStates(c, p) ? total : -1;
}

}  // namespace

long TDemeCollection::sprinkleMicrosatMutationsNoRec(const TBlock& block) {
  MicrosatModel m;
  if (!setBounds(*this, block, m)) return -1;
  long long total = 0;
  for (long p = block.firstLocus; p < block.firstLocus + block.numLoci; ++p) {
    const long long placed = placeLocus(*this, p, block, m);
    if (placed < 0) return -1;
    total = sites::saturatingAdd(total, placed);
  }
  return static_cast<long>(total);
}

long TDemeCollection::sprinkleMicrosatMutationsRec(long& locus, const TBlock& block) {
  MicrosatModel m;
  if (!setBounds(*this, block, m)) return -1;
  return static_cast<long>(placeLocus(*this, locus, block, m));
}
