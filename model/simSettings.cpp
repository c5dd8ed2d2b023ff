// Construction, deep copies and chromosome structures of the settings.
#include "model/simSettings.h"

#include <memory>

TSimSettings::TSimSettings() = default;

TSimSettings::TSimSettings(const TSimSettings& other) : TSimSettings() {
  *this = other;
  treeCounter = 0;
}

TSimSettings::~TSimSettings() { clean(); }

void TSimSettings::clean() {
  lociPerBlock.reset();
  blocks.reset();
  totalNumLoci.reset();
  totalRecRate.reset();
  totalMutRate.reset();
  mixedDataTypes.reset();
  numBlocks.reset();
  numChromStructures = 0;
}

namespace {

void zeroBlockLineFields(TSimSettings& s) {
  s.transitionRate = 0;
  s.recRate = 0;
  s.mutRate = 0;
  s.geometricParam = 0;
  s.rangeConstraint = 0;
}

template <class T>
void emptyArray(T& array) {
  array.numElems = 0;
  array.reserved = 0;
}

template <class T>
std::unique_ptr<T[]> copyOf(const std::unique_ptr<T[]>& source, int n) {
  if (!source) return nullptr;
  auto copy = std::make_unique<T[]>(n);
  for (int k = 0; k < n; ++k) copy[k] = source[k];
  return copy;
}

template <class T>
std::unique_ptr<MY_TArrayAsVector<T>[]> copyArrays(
    const std::unique_ptr<MY_TArrayAsVector<T>[]>& source, int n) {
  if (!source) return nullptr;
  auto copy = std::make_unique<MY_TArrayAsVector<T>[]>(n);
  for (int k = 0; k < n; ++k) copy[k].directMemCopy(source[k]);
  return copy;
}

}  // namespace

void TSimSettings::createNewChromStructures(int n) {
  clean();
  if (n > 0) {
    totalNumLoci = std::make_unique<long[]>(n);
    totalRecRate = std::make_unique<double[]>(n);
    totalMutRate = std::make_unique<double[]>(n);
    mixedDataTypes = std::make_unique<bool[]>(n);
    lociPerBlock = std::make_unique<MY_TArrayAsVector<int>[]>(n);
    blocks = std::make_unique<MY_TArrayAsVector<TBlock>[]>(n);
    numBlocks = std::make_unique<int[]>(n);
    numChromStructures = n;
  }
  zeroBlockLineFields(*this);
}

int TSimSettings::resetChromStructures() {
  if (blocks) {
    for (int k = 0; k < numChromStructures; ++k) {
      emptyArray(lociPerBlock[k]);
      emptyArray(blocks[k]);
      totalNumLoci[k] = 0;
      totalRecRate[k] = 0;
      totalMutRate[k] = 0;
      mixedDataTypes[k] = false;
    }
  }
  zeroBlockLineFields(*this);
  return 1;
}

TSimSettings& TSimSettings::operator=(const TSimSettings& other) {
  if (this == &other) return *this;
  parFileName = other.parFileName;
  genFileName = other.genFileName;
  qdbFileName = other.qdbFileName;
  runPrefix = other.runPrefix;
  batFileName = other.batFileName;
  projectFilePrefix = other.projectFilePrefix;
  paupFileName = other.paupFileName;
  logFileName = other.logFileName;
  trueTreesFileName = other.trueTreesFileName;
  mutTreesFileName = other.mutTreesFileName;
  ascTreesFileName = other.ascTreesFileName;
  simparamFileName = other.simparamFileName;
  genericName = other.genericName;
  tplFileName = other.tplFileName;
  tplParFileName = other.tplParFileName;
  numDemes = other.numDemes;
  numChromStructures = other.numChromStructures;
  numIndependentLoci = other.numIndependentLoci;
  differentStructurePerLocus = other.differentStructurePerLocus;
  numMigrationMatrices = other.numMigrationMatrices;
  numHistoricalEvents = other.numHistoricalEvents;

  demeCollection = other.demeCollection;
  historicalEvents = other.historicalEvents;
  demeSizes.directMemCopy(other.demeSizes);
  sampleAges.directMemCopy(other.sampleAges);
  growthRates.directMemCopy(other.growthRates);
  inbreedingCoefs.directMemCopy(other.inbreedingCoefs);
  sampleSizes.directMemCopy(other.sampleSizes);
  migrationMatrices = other.migrationMatrices;

  const int n = numChromStructures;
  lociPerBlock = copyArrays(other.lociPerBlock, n);
  blocks = copyArrays(other.blocks, n);
  totalNumLoci = copyOf(other.totalNumLoci, n);
  totalRecRate = copyOf(other.totalRecRate, n);
  totalMutRate = copyOf(other.totalMutRate, n);
  mixedDataTypes = copyOf(other.mixedDataTypes, n);
  numBlocks = copyOf(other.numBlocks, n);

  dataType = other.dataType;
  outputExpSFS = other.outputExpSFS;
  transitionRate = other.transitionRate;
  recRate = other.recRate;
  mutRate = other.mutRate;
  geometricParam = other.geometricParam;
  rangeConstraint = other.rangeConstraint;

  copyParameterTables(other);
  totalSampleSize = other.totalSampleSize;
  simulationCounter = other.simulationCounter;
  return *this;
}

void TSimSettings::copyParameterTables(const TSimSettings& from) {
  parameters = from.parameters;
  paramNames = from.paramNames;
  paramValueRows = from.paramValueRows;
  numParamColumns = from.numParamColumns;
  numValueRows = from.numValueRows;
  templateText = from.templateText;
  modelText = from.modelText;
}

void TSimSettings::copyEssentialStuff(const TSimSettings& master) {
  if (this == &master) return;
  copyParameterTables(master);
  tplFileName = master.tplFileName;
  tplParFileName = master.tplParFileName;
  f4GTFileName = master.f4GTFileName;
}

DataType TSimSettings::getDataType(long locus, int chromosome) const {
  const int s = differentStructurePerLocus ? chromosome : 0;
  if (!numBlocks || s < 0 || s >= numChromStructures) return DataType::STANDARD;
  const int n = numBlocks[s] < lociPerBlock[s].numElems ? numBlocks[s] : lociPerBlock[s].numElems;
  long sum = 0;
  for (int b = 0; b < n; ++b) {
    sum += lociPerBlock[s][b];
    if (sum > locus) return blocks[s][b].dataType;
  }
  return DataType::STANDARD;
}
