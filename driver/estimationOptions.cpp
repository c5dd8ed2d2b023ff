// Estimation options (-M with -w, -N, -l, -L), the spectrum options -C and -0, and
// the repetitions of a plain model file (-R).
#include <climits>
#include <cstdlib>
#include <iostream>

#include "driver/optionChecks.h"
#include "driver/optionNumbers.h"
#include "driver/runOptions.h"
#include "driver/usageText.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "support/anyoption.h"

namespace {

constexpr double kMinBrentTol = 1e-5;
constexpr double kMaxBrentTol = 0.1;
constexpr int kDefaultMinLoops = 10;
constexpr int kDefaultMaxLoops = 20;

void readBrentTolerance(AnyOption& opt) {
  char const* text = optionValue(opt, 'w');
  if (text == nullptr) return;
  double tol = std::strtod(text, nullptr);
  if (tol < kMinBrentTol) {
    tol = kMinBrentTol;
    std::cerr << "Warning: parameter -w set to too small value. Resetting it to min value of 1e-5"
              << std::endl;
  } else if (!(tol <= kMaxBrentTol)) {
    tol = kMaxBrentTol;
    std::cerr << "Warning: parameter -w set to too large value. Resetting it to max value of 0.1"
              << std::endl;
  }
  TSimSettings::brentTOL = tol;
}

bool readMaxNumSims(AnyOption& opt, RunOptions& run) {
  char const* text = optionValue(opt, 'N');
  int maxSims = 0;
  if (text == nullptr) {
    std::cerr << "Unspecified maximum number of simulation to perform. Setting it to -n option"
              << std::endl;
  } else {
    if (!readTruncatedOption('N', text, 0, false, maxSims)) return false;
    if (maxSims == 0)
      std::cerr << "Invalid maximum number of simulation to perform. Setting it to -n option"
                << std::endl;
  }
  run.maxNumSims = maxSims == 0 ? run.numSims : maxSims;
  return true;
}

bool readLoops(AnyOption& opt, RunOptions& run) {
  run.minLoops = kDefaultMinLoops;
  if (char const* text = optionValue(opt, 'l')) {
    if (!readIntOption('l', text, INT_MIN, run.minLoops)) return false;
    if (run.minLoops < 1) {
      run.minLoops = kDefaultMinLoops;
      std::cerr << "Unspecified number of loops to perform. Setting it to 10" << std::endl;
    }
  }
  if (char const* text = optionValue(opt, 'L')) {
    if (!readIntOption('L', text, INT_MIN, run.maxLoops)) return false;
  } else {
    run.maxLoops = kDefaultMaxLoops;
    std::cerr << "Unspecified maximum number of loops to perform. Setting it to 20" << std::endl;
  }
  if (run.maxLoops < run.minLoops) {
    std::cerr << "Maximum number of loops is smaller than minimum number of loops. Setting max to "
                 "min"
              << std::endl;
    run.maxLoops = run.minLoops;
  }
  return true;
}

bool readEstimation(AnyOption& opt, RunOptions& run) {
  char const* text = optionValue(opt, 'M');
  if (text == nullptr) return true;
  if (!run.useTemplate || !run.priorFileGiven) {
    std::cerr << "Brent minimization procedure requires the presence of \"est\" and \"tpl\" files,\n"
              << " which are not found here" << std::endl;
    return false;
  }
  // The likelihood is computed from a derived or minor allele spectrum: without
  // one there is nothing to maximise.
  if (!TSimSettings::compDAF && !TSimSettings::compMAF) {
    std::cerr << "Brent minimization procedure (-M) requires the computation of a derived (-d) "
                 "or minor (-m) allele frequency spectrum, and neither option is given"
              << std::endl;
    return false;
  }
  run.maximizeLikelihood = true;
  run.stopCriterion = std::strtod(text, nullptr);
  readBrentTolerance(opt);
  return readMaxNumSims(opt, run) && readLoops(opt, run);
}

bool readRepetitions(AnyOption& opt, RunOptions& run) {
  char const* text = optionValue(opt, 'R');
  if (text == nullptr) return true;
  if (run.useTemplate) {
    std::cout << "Cannot use the -R option when -t option or -d options are used. Use -E option "
                 "in that case\n";
    return true;
  }
  return readIntOption('R', text, 1, run.numRepetitions);
}

}  // namespace

bool checkEstimationOptions(AnyOption& opt, RunOptions& run) {
  if (!readEstimation(opt, run)) return false;
  if (char const* text = optionValue(opt, 'C')) AFS::minValidSFSEntry = std::strtod(text, nullptr);
  if (optionFlag(opt, '0')) AFS::includeMonoSites = false;
  return readRepetitions(opt, run);
}
