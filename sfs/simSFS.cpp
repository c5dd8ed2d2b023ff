// Observed spectra of a simulated data set (or of a bootstrap resample of its
// sites): each used site is classified by its alleles over the whole sample,
// then counted into the 1-D and joint, pooled or multi-dimensional spectra of
// the flavours asked for. The states are read once per data set, into the
// allele counts of its sites (sfs/siteAlleleCounts.h).
#include <iostream>
#include <limits>
#include <vector>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"

namespace {

// Counts of the alleles 0 .. 3 among the genes of one deme at site k of
// chromosome c.
void countAlleles(const TDeme& deme, const TDemeCollection& c, int chrom, int k, int counts[4]) {
  const int* n = c.siteAlleles.of(deme.demeId, chrom, k);
  for (int a = 0; a < 4; ++a) counts[a] = n[a];
}

// Global index of every used site: sites of the earlier chromosomes + index.
std::vector<int> chromosomeOffsets(const TDemeCollection& c) {
  std::vector<int> offsets(c.numChromosomes > 0 ? c.numChromosomes : 1, 0);
  for (int chrom = 1; chrom < c.numChromosomes; ++chrom)
    offsets[chrom] = offsets[chrom - 1] + TDemeCollection::polSitesInfo[chrom - 1].numElems;
  return offsets;
}

// The used sites that enter the spectra, in used order: all of them, or under
// SNP ascertainment those whose own site is polymorphic in the panel; at most
// the -s limit.
std::vector<int> selectedSites(const TDemeCollection& c) {
  const int m = TSimSettings::maxNumSNPs;
  const int limit = m > 0 ? m : c.numUsedPolymSites;
  std::vector<int> selected;
  if (!TSimSettings::SNPascertainment) {
    for (int i = 0; i < c.numUsedPolymSites && i < limit; ++i) selected.push_back(i);
    return selected;
  }
  std::vector<bool> inPanel(c.numPolymSites > 0 ? c.numPolymSites : 1, false);
  for (int a = 0; a < c.ascertainedSites.numElems; ++a) {
    const int site = c.ascertainedSites[a];
    if (site >= 0 && site < c.numPolymSites) inPanel[site] = true;
  }
  const std::vector<int> offsets = chromosomeOffsets(c);
  for (int i = 0; i < c.numUsedPolymSites && static_cast<int>(selected.size()) < limit; ++i) {
    const std::pair<int, int>& site = c.usedPolymSitePos[i];
    if (inPanel[offsets[site.first] + site.second]) selected.push_back(i);
  }
  return selected;
}

// The monomorphic class of every spectrum: sites simulated but not counted.
double monomorphicCount(const TDemeCollection& c, const std::vector<int>& selected) {
  return static_cast<double>(c.totNumSites - static_cast<long long>(selected.size()));
}

void prepareAFS(AFS*& slot, bool requested, bool pooled, const TDemeCollection& c, bool isMAF) {
  if (!slot && requested) {
    slot = new AFS(isMAF);
    if (pooled)
      slot->createPooledArray(c);
    else
      slot->createArrays(c);
  } else if (slot) {
    if (pooled)
      slot->resetPooledArray();
    else
      slot->resetArrays();
  }
}

void prepareMulti(multiSFS*& slot, bool requested, TDemeCollection& c, bool isMAF) {
  if (!slot && requested)
    slot = new multiSFS(c, isMAF);
  else if (slot)
    slot->resetSFS();
}

}  // namespace

bool TDemeCollection::determineAllelicSiteProperties() {
  if (!siteAlleles.counted() && !siteAlleles.count(*this, dataSetStates(*this))) return false;
  const int n = numUsedPolymSites > 0 ? numUsedPolymSites : 0;
  for (auto* list : {&isMinorDerived, &isMinorAtHalf, &isFixedDerived, &isAncestralOnly,
                     &isMultiAllelic, &isSingleAllele})
    list->Reallocate(n > 0 ? n : 1);
  minorAllele.Reallocate(n > 0 ? n : 1);
  numMultiAllelicSites = numAncestralOnlySites = numFixedDerivedSites = 0;
  int totalGenes = 0;
  for (int d = 0; d < numDemes; ++d) totalGenes += demes[d].sampleSize > 0 ? demes[d].sampleSize : 0;
  for (int i = 0; i < n; ++i) {
    int counts[4] = {0, 0, 0, 0};
    for (int d = 0; d < numDemes; ++d) {
      const int* a = siteAlleles.of(d, usedPolymSitePos[i].first, usedPolymSitePos[i].second);
      for (int s = 0; s < 4; ++s) counts[s] += a[s];
    }
    int present = 0, minor = -1;
    for (int a = 0; a < 4; ++a) {
      if (counts[a] == 0) continue;
      ++present;
      if (minor < 0 || counts[a] < counts[minor]) minor = a;
    }
    const int derived = counts[1] + counts[2] + counts[3];
    const bool multi = present >= 3;
    isMultiAllelic.Add(multi);
    isSingleAllele.Add(!multi && present == 1);
    minorAllele.Add(minor);
    isMinorDerived.Add(minor != 0);
    isMinorAtHalf.Add(!multi && minor >= 0 && 2 * counts[minor] == totalGenes);
    isFixedDerived.Add(derived == totalGenes);
    isAncestralOnly.Add(derived == 0);
    if (multi) ++numMultiAllelicSites;
    if (derived == totalGenes) ++numFixedDerivedSites;
    if (derived == 0) ++numAncestralOnlySites;
  }
  return true;
}

bool TDemeCollection::computeObsMAFSandDAFS(int replicate) {
  if (!determineAllelicSiteProperties()) return false;
  const bool maf = TSimSettings::compMAF, daf = TSimSettings::compDAF;
  if (TSimSettings::isMultiSFS) {
    prepareMulti(obsMultiMAF, maf, *this, true);
    prepareMulti(obsMultiDAF, daf, *this, false);
    computeObsMultiSFS(maf ? obsMultiMAF : nullptr, daf ? obsMultiDAF : nullptr);
    return true;
  }
  if (TSimSettings::computePooledSFS) {
    prepareAFS(obsPooledMAF, maf, true, *this, true);
    prepareAFS(obsPooledDAF, daf, true, *this, false);
    computePooledSFS(replicate);
    return true;
  }
  prepareAFS(obsMAF, maf, false, *this, true);
  prepareAFS(obsDAF, daf, false, *this, false);
  AFS* m = maf ? obsMAF : nullptr;
  AFS* dd = daf ? obsDAF : nullptr;
  for (int i = 0; i < numDemes; ++i) {
    if (demes[i].sampleSize > 0) demes[i].computeObsMAFandDAFnew3(m, dd, replicate, *this);
    for (int j = 0; j < i; ++j)
      if (demes[j].sampleSize > 0) computeObsJointMAFandDAFnew3(i, j, m, dd, replicate);
  }
  return true;
}

void TDemeCollection::markObservedSpectraUnmade() {
  const bool maf = TSimSettings::compMAF, daf = TSimSettings::compDAF;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  numMultiAllelicSites = numAncestralOnlySites = numFixedDerivedSites = 0;
  if (TSimSettings::isMultiSFS) {
    prepareMulti(obsMultiMAF, maf, *this, true);
    prepareMulti(obsMultiDAF, daf, *this, false);
    for (multiSFS* m : {maf ? obsMultiMAF : nullptr, daf ? obsMultiDAF : nullptr})
      if (m) m->multiJointSFS.assign(m->multiJointSFS.size(), nan);
    return;
  }
  const bool pooled = TSimSettings::computePooledSFS;
  AFS*& mafSlot = pooled ? obsPooledMAF : obsMAF;
  AFS*& dafSlot = pooled ? obsPooledDAF : obsDAF;
  prepareAFS(mafSlot, maf, pooled, *this, true);
  prepareAFS(dafSlot, daf, pooled, *this, false);
  for (AFS* a : {maf ? mafSlot : nullptr, daf ? dafSlot : nullptr})
    if (a)
      for (auto& row : a->jointAFS)
        for (sfsTable& table : row) table.cells.assign(table.cells.size(), nan);
}

void TDeme::computeObsMAFandDAFnew3(AFS* maf, AFS* daf, int /*replicate*/,
                                    const TDemeCollection& c) {
  const std::vector<int> selected = selectedSites(c);
  const int n = sampleSize;
  const double mono = monomorphicCount(c, selected);
  double* m = maf ? maf->spectrum(demeId) : nullptr;
  double* dd = daf ? daf->spectrum(demeId) : nullptr;
  if (m) m[0] = mono;
  if (dd) dd[0] = mono;
  for (int i : selected) {
    if (c.isMultiAllelic[i]) continue;
    int a[4];
    countAlleles(*this, c, c.usedPolymSitePos[i].first, c.usedPolymSitePos[i].second, a);
    if (dd && !c.isAncestralOnly[i] && !c.isFixedDerived[i]) dd[n - a[0]] += 1.0;
    if (!m) continue;
    const int x = c.minorAllele[i] >= 0 ? a[c.minorAllele[i]] : 0;
    if (c.isMinorAtHalf[i]) {
      m[x] += 0.5;
      m[n - x] += 0.5;
    } else if (c.isSingleAllele[i]) {
      m[0] += 1.0;
    } else {
      m[x] += 1.0;
    }
  }
}

void TDemeCollection::computeObsJointMAFandDAFnew3(int i, int j, AFS* maf, AFS* daf,
                                                   int /*replicate*/) {
  const std::vector<int> selected = selectedSites(*this);
  const int ni = demes[i].sampleSize > 0 ? demes[i].sampleSize : 0;
  const int nj = demes[j].sampleSize;
  const double mono = monomorphicCount(*this, selected);
  sfsTable* m = maf ? &(*maf)(i, j) : nullptr;
  sfsTable* dd = daf ? &(*daf)(i, j) : nullptr;
  if (m) (*m)[0][0] = mono;
  if (dd) (*dd)[0][0] = mono;
  for (int s : selected) {
    if (isMultiAllelic[s]) continue;
    const int c = usedPolymSitePos[s].first, k = usedPolymSitePos[s].second;
    int a[4], b[4];
    countAlleles(demes[i], *this, c, k, a);
    countAlleles(demes[j], *this, c, k, b);
    if (dd && !isAncestralOnly[s] && !isFixedDerived[s]) (*dd)[ni - a[0]][nj - b[0]] += 1.0;
    if (!m) continue;
    const int minor = minorAllele[s];
    const int xi = minor >= 0 ? a[minor] : 0, xj = minor >= 0 ? b[minor] : 0;
    if (isMinorAtHalf[s]) {
      (*m)[xi][xj] += 0.5;
      (*m)[ni - xi][nj - xj] += 0.5;
    } else if (isSingleAllele[s]) {
      (*m)[0][0] += 1.0;
    } else {
      (*m)[xi][xj] += 1.0;
    }
  }
}

void TDemeCollection::computePooledSFS(int /*replicate*/) {
  const std::vector<int> selected = selectedSites(*this);
  const double mono = monomorphicCount(*this, selected);
  AFS* maf = TSimSettings::compMAF ? obsPooledMAF : nullptr;
  AFS* daf = TSimSettings::compDAF ? obsPooledDAF : nullptr;
  double* m = maf ? maf->spectrum(0) : nullptr;
  double* dd = daf ? daf->spectrum(0) : nullptr;
  int total = 0;
  for (int d = 0; d < numDemes; ++d) total += demes[d].sampleSize > 0 ? demes[d].sampleSize : 0;
  if (m) m[0] = mono;
  if (dd) dd[0] = mono;
  for (int s : selected) {
    if (isMultiAllelic[s]) continue;
    int c0 = 0;
    for (int d = 0; d < numDemes; ++d) {
      int a[4];
      countAlleles(demes[d], *this, usedPolymSitePos[s].first, usedPolymSitePos[s].second, a);
      c0 += a[0];
    }
    if (dd && !isAncestralOnly[s] && !isFixedDerived[s]) dd[total - c0] += 1.0;
    if (m) m[isMinorDerived[s] ? total - c0 : c0] += 1.0;
  }
}

void TDemeCollection::computeObsMultiSFS(multiSFS* maf, multiSFS* daf) {
  const std::vector<int> selected = selectedSites(*this);
  const double mono = monomorphicCount(*this, selected);
  if (maf) maf->multiJointSFS[0] = mono;
  if (daf) daf->multiJointSFS[0] = mono;
  TSFSCoord coord;
  coord.initDadiLike(*this);
  std::vector<int> a(4 * static_cast<size_t>(numDemes));
  for (int s : selected) {
    if (isMultiAllelic[s]) continue;
    for (int d = 0; d < numDemes; ++d)
      countAlleles(demes[d], *this, usedPolymSitePos[s].first, usedPolymSitePos[s].second,
                   &a[4 * d]);
    if (maf) {
      const int minor = minorAllele[s];
      for (int d = 0; d < numDemes; ++d)
        coord.counts[d] = isSingleAllele[s] || minor < 0 ? 0 : a[4 * d + minor];
      if (isMinorAtHalf[s]) {
        maf->incSFSHalf(coord);
        for (int d = 0; d < numDemes; ++d)
          coord.counts[d] = (demes[d].sampleSize > 0 ? demes[d].sampleSize : 0) - coord.counts[d];
        maf->incSFSHalf(coord);
      } else {
        maf->incSFS(coord);
      }
    }
    if (daf && !isFixedDerived[s] && !isAncestralOnly[s]) {
      for (int d = 0; d < numDemes; ++d)
        coord.counts[d] = (demes[d].sampleSize > 0 ? demes[d].sampleSize : 0) - a[4 * d];
      daf->incSFS(coord);
    }
  }
}
