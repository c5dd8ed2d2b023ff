// The sites of a simulated data set that enter its observed spectra: the list
// of every polymorphic site, its bootstrap resamples, and the sites that are
// polymorphic in the SNP ascertainment panel.
#include <vector>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "support/UniqueRandom.h"

namespace {

bool isPanelType(int type) {
  // SNP sites are placed on the panel tree, so they are tested like DNA sites.
  return type == static_cast<int>(DataType::DNA) || type == static_cast<int>(DataType::SNP);
}

// Whether one of the panel genes 1 .. size - 1 differs from gene 0 at site k.
bool differsInPanel(const std::vector<std::vector<short>>& rows, int k) {
  for (size_t g = 1; g < rows.size(); ++g)
    if (rows[g][k] != rows[0][k]) return true;
  return false;
}

}  // namespace

bool TDeme::flagSitesMeetingAscertainmentCondition(TDemeCollection& c) {
  return flagSitesMeetingAscertainmentCondition(c, statesInMemory(c));
}

bool TDeme::flagSitesMeetingAscertainmentCondition(TDemeCollection& c,
                                                   const TGeneStates& states) {
  c.ascertainedSites.Reallocate(c.numPolymSites > 0 ? c.numPolymSites : 1);
  const int size = TSimSettings::ascertainedSize;
  if (!TSimSettings::SNPascertainment || size < 2 || size > sampleSize) return true;
  // The states of the panel genes, copied: a source may reuse its buffer.
  std::vector<std::vector<short>> rows(size);
  int offset = 0;
  for (int chrom = 0; chrom < c.numChromosomes; ++chrom) {
    const MY_TArrayAsVector<TPolymSiteInfo>& sites = TDemeCollection::polSitesInfo[chrom];
    if (sites.numElems > 0) {
      for (int g = 0; g < size; ++g) {
        const short* row = states(demeId, g, chrom);
        if (!row) return false;
        rows[g].assign(row, row + sites.numElems);
      }
      for (int k = 0; k < sites.numElems; ++k)
        if (isPanelType(sites[k].dataType) && differsInPanel(rows, k))
          c.ascertainedSites.Add(offset + k);
    }
    offset += sites.numElems;
  }
  return true;
}

void TDemeCollection::createPolymPosVector(int* /*ignored*/) {
  delete[] polymSitePos;
  delete[] usedPolymSitePos;
  polymSitePos = usedPolymSitePos = nullptr;
  siteAlleles.clear();  // a new data set: its sites are counted anew
  numUsedPolymSites = numPolymSites;
  if (numPolymSites <= 0) return;
  polymSitePos = new std::pair<int, int>[numPolymSites];
  usedPolymSitePos = new std::pair<int, int>[numPolymSites];
  int i = 0;
  for (int chrom = 0; chrom < numChromosomes && i < numPolymSites; ++chrom) {
    const int n = polSitesInfo[chrom].numElems;
    for (int k = 0; k < n && i < numPolymSites; ++k, ++i)
      polymSitePos[i] = usedPolymSitePos[i] = {chrom, k};
  }
}

// Under SNP ascertainment the data set is its ascertained sites (the others
// count as monomorphic), so a replicate resamples those: every replicate
// then holds as many sites as the data set, the number its site counts give.
void TDemeCollection::updateBootPolymPosVector() {
  numUsedPolymSites = numPolymSites;
  if (numPolymSites <= 0 || !polymSitePos) return;
  GlobalRandom& r = *randomGenerator;
  if (TSimSettings::SNPascertainment) {
    std::vector<int> panel;
    panel.reserve(static_cast<size_t>(ascertainedSites.numElems));
    for (int a = 0; a < ascertainedSites.numElems; ++a)
      if (ascertainedSites[a] >= 0 && ascertainedSites[a] < numPolymSites)
        panel.push_back(ascertainedSites[a]);
    const int n = static_cast<int>(panel.size());
    numUsedPolymSites = n;
    for (int i = 0; i < n; ++i)
      usedPolymSitePos[i] = polymSitePos[panel[static_cast<int>(r.takeUniform() * n)]];
    return;
  }
  for (int i = 0; i < numPolymSites; ++i)
    usedPolymSitePos[i] = polymSitePos[static_cast<int>(r.takeUniform() * numPolymSites)];
}
