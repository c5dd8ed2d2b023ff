// Checks of -n and of the options that set simulations, outputs, batches,
// threads and the seed, in the order they are read.
#include <climits>
#include <iostream>

#include "driver/optionChecks.h"
#include "driver/optionNumbers.h"
#include "driver/runOptions.h"
#include "driver/runSeeding.h"
#include "driver/usageText.h"
#include "model/simSettings.h"
#include "support/anyoption.h"
#include "support/globals.h"
#include "support/public.h"

namespace {

bool checkNumSims(AnyOption& opt, RunOptions& run) {
  char const* text = optionValue(opt, 'n');
  if (text == nullptr) {
    std::cerr << "Need to specify how many simulations to perform using -n option\n";
    opt.printUsage();
    return false;
  }
  if (!isInteger(text)) {
    std::cerr << "Need to specify how many simulations to perform after -n option\n";
    opt.printUsage();
    return false;
  }
  long long const value = integerOf(text);
  if (value < 1) {
    std::cerr << "Invalid number of simulation to be performed after -n option. Aborting program"
              << std::endl;
    return false;
  }
  if (!checkIntValue('n', text, value, 1, run.numSims)) return false;
  run.maxNumSims = run.numSims;
  return true;
}

bool readAscertainment(AnyOption& opt) {
  if (char const* text = optionValue(opt, 'a')) {
    TSimSettings::SNPascertainment = true;
    if (!readIntOption('a', text, INT_MIN, TSimSettings::ascertainedDeme)) return false;
  }
  if (char const* text = optionValue(opt, 'A')) {
    TSimSettings::SNPascertainment = true;
    if (!readIntOption('A', text, INT_MIN, TSimSettings::ascertainedSize)) return false;
  }
  return true;
}

bool readDnaAsSnp(AnyOption& opt) {
  char const* text = optionValue(opt, 's');
  if (text == nullptr) return true;
  OUTPUT_DNA_AS_SNP = true;
  if (!isInteger(text)) {
    std::cerr << "Unspecified number of SNPs to output after -s option. Aborting program."
              << std::endl;
    opt.printUsage();
    return false;
  }
  int value = 0;
  if (!checkIntValue('s', text, integerOf(text), INT_MIN, value)) return false;
  TSimSettings::maxNumSNPs = value < 1 ? 0 : value;
  return true;
}

bool readSiteOutputs(AnyOption& opt, RunOptions& run) {
  if (optionFlag(opt, 'S')) TSimSettings::printAllSites = true;
  if (optionFlag(opt, 'P')) TSimSettings::computePooledSFS = true;
  if (optionFlag(opt, 'D')) run.dadiOutput = true;
  if (optionValue(opt, 'j') != nullptr) run.folderPerSFS = true;
  if (char const* text = optionValue(opt, 'k')) {
    if (!readTruncatedOption('k', text, 0, true, TSimSettings::numPolSitesToKeepInMemory))
      return false;
  }
  if (optionFlag(opt, 'I')) TSimSettings::useInfiniteSiteModel = 1;
  // The pooled spectrum takes precedence over the multidimensional one.
  if (optionFlag(opt, 'u') && !TSimSettings::computePooledSFS) TSimSettings::isMultiSFS = true;
  if (optionFlag(opt, 'd')) TSimSettings::compDAF = true;
  if (optionFlag(opt, 'm')) TSimSettings::compMAF = true;
  if (char const* text = optionValue(opt, 'o')) run.lhoodFileName = text;
  return true;
}

// -B: out-of-range batch counts are repaired, not refused.
bool readBatches(AnyOption& opt) {
  char const* text = optionValue(opt, 'B');
  if (text == nullptr) return true;
  if (!isInteger(text)) {
    std::cerr << "Invalid number of batches (" << text << "), setting it to default value of "
              << TSimSettings::numBatches << "\n";
    return true;
  }
  int value = 0;
  if (!checkIntValue('B', text, integerOf(text), INT_MIN, value)) return false;
  if (value == 0) {
    std::cerr << "Chosen no. of batches is zero, setting it to 1\n";
    value = 1;
  } else if (value < 0) {
    std::cerr << "Chosen no. of batches (" << value << ") is negative, setting it to 1\n";
    value = 1;
  } else if (value > MAX_NUM_BATCHES) {
    std::cerr << "Chosen no. of batches (" << value
              << ") is too large, setting it to maximum allowed value of " << MAX_NUM_BATCHES
              << "\n";
    value = MAX_NUM_BATCHES;
  }
  TSimSettings::numBatches = value;
  return true;
}

// -c: at most one thread per batch; 0 lets the OpenMP runtime choose.
bool readThreads(AnyOption& opt) {
  char const* text = optionValue(opt, 'c');
  if (text == nullptr) return true;
  int threads = 1;
  if (!readIntOption('c', text, 0, threads)) return false;
  if (threads > TSimSettings::numBatches) {
    std::cerr << "Adjusting number of threads (" << threads << ") to number of defined  batches ("
              << TSimSettings::numBatches << ")\n";
    threads = TSimSettings::numBatches;
  }
  TSimSettings::numThreads = threads;
  return true;
}

bool readRunSwitches(AnyOption& opt, RunOptions& run) {
  if (optionFlag(opt, 'x')) OUTPUT_QUENDREL = false;
  if (char const* text = optionValue(opt, 'b')) {
    if (!readIntOption('b', text, 0, run.numBoot)) return false;
  }
  consoleOutput = !optionFlag(opt, 'q');
  TSimSettings::outputTree = optionFlag(opt, 'T');
  if (char const* text = optionValue(opt, 'r')) {
    if (!readSeedOption(text, run.seed)) return false;
    run.seedGiven = true;
  }
  return true;
}

// Every simulated data set and bootstrap gets its own entry (and -j folder):
// their number must fit an int.
bool checkDataSetCount(const RunOptions& run) {
  const long long count = static_cast<long long>(run.numSims) * (run.numBoot + 1LL);
  if (fitsInt(count)) return true;
  std::cerr << "Invalid numbers of simulations (-n " << run.numSims << ") and bootstraps (-b "
            << run.numBoot << "): they give " << count << " data sets, more than the "
            << INT_MAX << " allowed. Aborting program" << std::endl;
  return false;
}

}  // namespace

bool checkNumericOptions(AnyOption& opt, RunOptions& run) {
  if (!checkNumSims(opt, run) || !readAscertainment(opt)) return false;
  run.genotypic = optionFlag(opt, 'g');
  run.phased = optionFlag(opt, 'p');
  optionFlag(opt, 'H');  // accepted, no effect
  return readDnaAsSnp(opt) && readSiteOutputs(opt, run) && readBatches(opt) &&
         readThreads(opt) && readRunSwitches(opt, run) && checkDataSetCount(run);
}
