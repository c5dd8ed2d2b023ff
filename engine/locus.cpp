#include "engine/locus.h"

#include <algorithm>

TLocusAsShortIntArray::TLocusAsShortIntArray(int genes, int sites)
    : numGenes(genes > 0 ? genes : 0), numSites(sites > 0 ? sites : 0) {
  rows = new short*[numGenes]();
  if (numSites > 0)
    for (int g = 0; g < numGenes; ++g) rows[g] = new short[numSites]();
}

TLocusAsShortIntArray::TLocusAsShortIntArray(const TLocusAsShortIntArray& other) { *this = other; }

TLocusAsShortIntArray& TLocusAsShortIntArray::operator=(const TLocusAsShortIntArray& other) {
  if (this == &other) return *this;
  deleteLocus();
  if (!other.rows) return *this;
  numGenes = other.numGenes;
  numSites = other.numSites;
  rows = new short*[numGenes]();
  for (int g = 0; g < numGenes; ++g)
    if (other.rows[g]) {
      rows[g] = new short[numSites];
      std::copy(other.rows[g], other.rows[g] + numSites, rows[g]);
    }
  return *this;
}

void TLocusAsShortIntArray::deleteLocus() {
  if (rows)
    for (int g = 0; g < numGenes; ++g) delete[] rows[g];
  delete[] rows;
  rows = nullptr;
  numGenes = numSites = 0;
}
