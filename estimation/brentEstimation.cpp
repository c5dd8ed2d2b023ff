// Estimation of the parameters of a template model by conditional
// maximisation: in cycles, each simple parameter in turn is optimised by a
// Brent search of the simulated composite likelihood while the others stay
// fixed. It works inside the run's output folder and leaves there the
// likelihood table of the searches, the best values with their likelihood,
// the model file of the best values and, on request, its expected spectra.
// With several estimations in one process, those files of best values are
// the ones of the estimation with the highest likelihood so far.
// Any failed evaluation, or a search that does not converge, stops the
// estimation: the rows already written stay, no best-value file is written.
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <vector>

#include "estimation/bestLhoodsTable.h"
#include "estimation/brentMinimization.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/globals.h"
#include "support/outputFile.h"
#include "support/outputFolder.h"
#include "support/public.h"

namespace {

constexpr double NO_LHOOD_YET = -3.4028234663852886e38;

// The process-wide state an estimation changes (console switch, monomorphic
// sites, current folder), restored however it ends.
class TEstimationScope {
 public:
  const bool console = consoleOutput;
  const bool monoSites = AFS::includeMonoSites;

  ~TEstimationScope() {
    AFS::includeMonoSites = monoSites;
    consoleOutput = console;
    if (!startFolder_.empty() && chdir(startFolder_.c_str()) != 0)
      std::cerr << "\nUnable to return to the folder \"" << startFolder_ << "\"" << std::endl;
  }

  // Creates the output folder and makes it current; false with a message.
  bool enterOutputFolder(const std::string& folder) {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) {
      std::cerr << "\nUnable to find the current folder, the estimation cannot start" << std::endl;
      return false;
    }
    makeDir(folder.c_str());
    if (chdir(folder.c_str()) != 0) {
      std::cerr << "\nUnable to enter the output folder \"" << folder
                << "\", the estimation cannot start" << std::endl;
      return false;
    }
    startFolder_ = cwd;
    return true;
  }

 private:
  std::string startFolder_;
};

void writeValue(std::ostream& os, const TParameter& p, double v) {
  if (p.isInt)
    os << static_cast<long long>(v);
  else
    os << v;
}

// The cycles of one estimation and their bookkeeping.
class TBrentCycles {
 public:
  TBrentCycles(TSimSettings& s, TBrentMinimization& b, const TEstimationScope& scope,
               int minLoops, int maxLoops, int runIndex, TOutputFile*& bestLhoodsFile)
      : s_(s), b_(b), scope_(scope), minLoops_(minLoops), maxLoops_(maxLoops),
        runIndex_(runIndex), bestLhoodsFile_(bestLhoodsFile) {}

  bool run();

 private:
  TSimSettings& s_;
  TBrentMinimization& b_;
  const TEstimationScope& scope_;
  const int minLoops_, maxLoops_, runIndex_;
  TOutputFile*& bestLhoodsFile_;  // the process's table of best values, once created
  double initialLhood_ = 0;
  double bestLhood_ = NO_LHOOD_YET;
  double setLhood_ = 0;  // the likelihood last measured for the current set
  double prevLhood_ = 0;
  double deltaSum_ = 0;
  double relDiff_ = 1.0;
  int numSearches_ = 0;
  std::vector<TSampleParameters> snapshots_;

  TSampleParameters& current() { return s_.parameters; }
  int numSimple() { return current().numSimpleParams; }
  bool parameterStep(int i, int j);
  bool search(int j, double& x, double& L);
  void switchToReferenceSet();
  void recordStep(int i, int j, double L);
  bool ending();
  bool writeRescalingFactor();
  bool stopAfterFailedEvaluation(const std::string& where);
  bool stop(const std::string& why);
};

bool TBrentCycles::run() {
  initialLhood_ = b_.computeLhoodBySimulation(TSimSettings::isMultiSFS);
  if (!std::isfinite(initialLhood_))
    return stopAfterFailedEvaluation("the evaluation of the initial parameter values");
  std::cout << "\nEstimation of parameters by conditional maximization via Brent algorithm\n";
  if (scope_.console) {
    std::cout << "\nInitial parameters:\n";
    current().writeParameters(-1, std::cout, false, false);
    std::cout << std::fixed << std::setprecision(10) << "\tlhood=" << initialLhood_ << "\n\n";
  }
  for (int k = 0; k < numSimple(); ++k) {
    TParameter& p = current().paramArray[k];
    p.searchMin = p.min;
    p.searchMax = p.max;
    p.searchSpan = p.max - p.min;
  }
  snapshots_.assign(static_cast<size_t>(numSimple()), TSampleParameters());
  setLhood_ = initialLhood_;
  for (int i = 0; i < maxLoops_; ++i) {
    b_.numSimsPerLhood = std::min(b_.numSimsPerLhood, b_.maxNumSims);
    if (scope_.console) {
      if (i == 0) {
        std::cout << "\nCurrent parameters:\n";
        current().writeParameters(-1, std::cout, false, false);
        std::cout << "\n";
      }
      std::cout << "\n" << b_.numSimsPerLhood << " simulations per lhood estimation\n\n";
    }
    deltaSum_ = 0;
    for (int j = 0; j < numSimple(); ++j)
      if (!parameterStep(i, j)) return false;
    std::cout << "\nIter " << i + 1 << "\tCurr best params:\t";
    b_.bestParams.writeParameters(-1, std::cout, false, false);
    std::cout << "\tlhood=" << bestLhood_;
    if (i > 0)
      std::cout << " (delta Lhood= " << deltaSum_ / numSimple() << " Param Rel Diff= " << relDiff_
                << ")";
    std::cout << "\n";
    b_.numSimsPerLhood = nextNumSimsPerLhood(b_.numSimsPerLhood, b_.maxNumSims);
  }
  return ending();
}

// The best set becomes current; monomorphic sites leave the likelihood.
void TBrentCycles::switchToReferenceSet() {
  if (b_.bestParams.numParams() != current().numParams()) return;
  current() = b_.bestParams;
  b_.updateAllParValuesAndParFile(current());
  AFS::includeMonoSites = false;
  setLhood_ = bestLhood_;
}

bool TBrentCycles::parameterStep(int i, int j) {
  if (i == minLoops_ && TSimSettings::isReferenceParameters && j == 0) switchToReferenceSet();
  TParameter& p = current().paramArray[j];
  if (i >= minLoops_ && p.isReference) return true;
  b_.curParamIdx = j;
  b_.logScale = p.distrType == 1;
  double x = p.value, L = setLhood_;
  if (!search(j, x, L)) return false;
  b_.curParamIdx = j;
  b_.updateParValueAndParFileNew(p, x);
  const double v = p.value;
  p.searchMax = nextSearchMax(p, v);
  if (scope_.console) {
    std::cout << "Brent minimization result: " << p.name << " = ";
    writeValue(std::cout, p, v);
    std::cout << " (lhood = " << L << ")\n";
  }
  recordStep(i, j, L);
  return true;
}

// x and L: the value found and its likelihood; unchanged for a parameter
// whose interval is empty.
bool TBrentCycles::search(int j, double& x, double& L) {
  const TParameter& p = prepareSearchOf(current(), j);
  const TSearchInterval in = searchIntervalOf(p);
  if (in.empty) return true;
  double lo = in.lo, hi = in.hi, x0 = p.value;
  const bool logScale = b_.logScale;
  if (logScale) {
    if (!(lo > 0.0)) return stop("the search interval of the log-uniform parameter " +
                                 std::string(p.name.c_str()) + " does not lie above 0");
    lo = std::log10(lo);
    hi = std::log10(hi);
    x0 = x0 > 0.0 ? std::log10(x0) : lo;
  }
  const bool isInt = p.isInt != 0;
  auto f = [&](double u) {
    return -b_.computeLhoodForParameterNew(j, searchValueToParameter(u, logScale, isInt));
  };
  const TBrentOutcome r = brentSearch(f, lo, hi, x0, TSimSettings::brentTOL);
  const std::string name = current().paramArray[j].name.c_str();
  if (r.end == BrentEnd::FAILED_EVALUATION)
    return stopAfterFailedEvaluation("an evaluation of the search of parameter " + name);
  if (r.end == BrentEnd::TOO_MANY_ITERATIONS) {
    std::cout << "ERROR: Too many iterations in brent\n     in file mins at line 244\n";
    return stop("the search of parameter " + name + " did not converge after " +
                std::to_string(BRENT_MAX_ITERATIONS) + " evaluations");
  }
  if (TDemeCollection::bad_coalescence)
    return stop("a genealogy could not be completed during the search of parameter " + name);
  x = searchValueToParameter(r.x, logScale, isInt);
  L = -r.fx;
  return true;
}

void TBrentCycles::recordStep(int i, int j, double L) {
  if (L > bestLhood_) {
    b_.bestParams = current();
    bestLhood_ = L;
  }
  double delta = 0;
  if (numSearches_ > 0) {
    delta = std::fabs(prevLhood_ - L);
    deltaSum_ += delta;
  }
  prevLhood_ = L;
  setLhood_ = L;
  ++numSearches_;
  std::ostream& os = *b_.lhoodFile;
  current().writeParameters(j, os, false, false);
  s_.demeCollection.writeLhoodToFile(os, false, L);
  os << "\n";
  os.flush();
  if (i > 0) relDiff_ = current().relativeDifference(snapshots_[static_cast<size_t>(j)]);
  snapshots_[static_cast<size_t>(j)] = current();
  if (scope_.console) {
    std::cout << "\nCurrent parameters:\n";
    current().writeParameters(-1, std::cout, false, false);
    std::cout << "\t(lhood=" << L;
    if (i > 0) std::cout << " (deltaLhood = " << delta << "; Params Rel Diff = " << relDiff_;
    std::cout << ")\n\n";
  }
}

// Every estimation adds its line to the table of best values; only one that
// beats every earlier estimation of the process rewrites the files of best
// values, so that they go with the best line of the table. The final
// evaluation and the rescaling factor are computed either way: the factor is
// a column of the line, and later estimations draw from the same generators.
bool TBrentCycles::ending() {
  b_.numSimsPerLhood = std::min(b_.numSimsPerLhood, b_.maxNumSims);
  snapshots_.clear();
  if (numSearches_ == 0) {  // nothing was searched: the starting values are the best
    b_.bestParams = current();
    bestLhood_ = initialLhood_;
  }
  const bool best = beatsEarlierEstimations(bestLhoodsFile_, bestLhood_);
  if (best && !s_.createParFileFromTemplateFile(b_))
    return stop("the model file of the best parameter values cannot be written");
  const double final = b_.computeLhood(b_.bestParams);
  if (!std::isfinite(final))
    return stopAfterFailedEvaluation("the evaluation of the best parameter values");
  bool written = true;
  if (best && s_.outputExpSFS)
    written &= s_.outputExpectedSFS(".", 1, false, 1, true, 0, false, false, final);
  if (AFS::includeMonoSites != scope_.monoSites) {
    b_.bestParams.rescalingFactor = b_.computeRescalingFactorToMatchNumPolymSites();
    if (best) written &= writeRescalingFactor();
  }
  written &= addBestLhoodsLine(bestLhoodsFile_, bestLhoodsFileName(s_.genericName.c_str()),
                               b_.bestParams, bestLhood_, s_.computeMaxObsLhood(*b_.obsSFS));
  AFS::includeMonoSites = scope_.monoSites;
  *b_.lhoodFile << std::endl;
  if (!written)
    std::cerr << "\nThe estimation of run " << runIndex_ + 1 << " could not write all its files"
              << std::endl;
  return written;
}

bool TBrentCycles::writeRescalingFactor() {
  const std::string name = rescaleFactorFileName(s_.genericName.c_str());
  TOutputFile rsf;
  rsf.open(name, std::ios::trunc);
  rsf << "Rescale_Factor\n" << b_.bestParams.rescalingFactor << "\n";
  rsf.close();
  if (rsf) return true;
  std::cerr << "\nUnable to write the file \"" << name << "\"" << std::endl;
  return false;
}

// A failed evaluation other than a genealogy that could not be completed
// (whose model the batch code has saved): its model is saved with what failed.
bool TBrentCycles::stopAfterFailedEvaluation(const std::string& where) {
  if (!b_.badParFileWritten) {
    std::ostringstream failure;
    failure << "The evaluation at ";
    const TSampleParameters& set = current();
    for (int i = 0; i < set.paramArray.numElems; ++i)
      failure << (i > 0 ? ", " : "") << set.paramArray[i].name << " = " << set.paramArray[i].value;
    failure << " failed (" << b_.failure << ")";
#pragma omp critical
    s_.write_bad_param_file(failure.str());
  }
  return stop(where + " failed: " + b_.failure);
}

bool TBrentCycles::stop(const std::string& why) {
  std::cerr << "\nThe estimation of run " << runIndex_ + 1 << " stops: " << why << std::endl;
  TDemeCollection::bad_coalescence = false;
  snapshots_.clear();
  std::cerr << "Stopping Brent parameter optimization" << std::endl;
  *b_.lhoodFile << std::endl;
  return false;
}

// With the four-gamete facility switched on, its observed distribution
// ("<generic name>_4GT.obs" in the starting folder) is read before the
// estimation enters its output folder.
bool readObservedFourGametes(TSimSettings& s, int runIndex) {
  s.f4GTFileName = s.genericName + "_4GT.obs";
  if (s.readObs4GTDistr(false)) return true;
  std::cerr << "Unable to read the observed four-gamete distribution \"" << s.f4GTFileName
            << "\", the estimation of run " << runIndex + 1 << " cannot start" << std::endl;
  return false;
}

}  // namespace

std::string brentLhoodsFileName(const std::string& genericName) {
  return genericName + ".brent_lhoods";
}

std::string bestLhoodsFileName(const std::string& genericName) {
  return genericName + ".bestlhoods";
}

std::string rescaleFactorFileName(const std::string& genericName) {
  return genericName + "_maxL.rsf";
}

double estimateParameters(TSimSettings& s, TBrentMinimization& brent, int runIndex, int numSims,
                          int maxNumSims, int minLoops, int maxLoops, TObsAFS*& obs,
                          TOutputFile*& lhoodFile, TOutputFile*& bestLhoodsFile) {
  TDemeCollection::bad_coalescence = false;
  if (TSimSettings::doF4GT && !readObservedFourGametes(s, runIndex)) return 0;
  TEstimationScope scope;
  if (!scope.enterOutputFolder(s.genericName.c_str())) return 0;
  brent.setupBrenMinimizationSettings(numSims, maxNumSims, 0, lhoodFile, obs, &s);
  brent.runLayout = TRunLayout::of(s);
  const my_string lhoodName = brentLhoodsFileName(s.genericName.c_str()).c_str();
  const auto cannotStart = [runIndex](const char* what) {
    std::cerr << what << ", the estimation of run " << runIndex + 1 << " cannot start"
              << std::endl;
    return 0;
  };
  if (!s.readObservedSpectra(true, true, obs)) return cannotStart("Unable to read observed SFS");
  if (!obs->matchesModel(s.demeCollection)) {
    std::cerr << "The observed SFS do not fit the model of run " << runIndex + 1
              << ", the estimation cannot start" << std::endl;
    return 0;
  }
  // The template is read once; the model text of the starting values is the
  // one every later evaluation and the bad-parameter file start from.
  if (!s.createParFileFromTemplateFileNew(*brent.paramValues, false)) {
    std::cerr << "Template file \"" << s.tplFileName
              << "\" cannot be read, the estimation of run " << runIndex + 1 << " cannot start"
              << std::endl;
    return 0;
  }
  // Every input is read and accepted: the run's outputs may begin.
  beginOutputs();
  if (!s.openLikelihoodTable(true, true, obs, lhoodFile, true, false, lhoodName))
    return cannotStart("Unable to read observed SFS");
  brent.obsSFS = obs;
  brent.lhoodFile = lhoodFile;
  brent.writeAllLhoods = false;
  brent.curParamIdx = 0;
  consoleOutput = false;
  TBrentCycles cycles(s, brent, scope, minLoops, maxLoops, runIndex, bestLhoodsFile);
  return cycles.run() ? 1.0 : 0.0;
}

double TSimSettings::performBrenMinimization(int runIndex, int numSims, int maxNumSims,
                                             const int& minLoops, const int& maxLoops,
                                             TObsAFS*& obs, TOutputFile*& lhoodFile,
                                             const double&, TOutputFile*& bestLhoodsFile) {
  TBrentMinimization brent;
  return estimateParameters(*this, brent, runIndex, numSims, maxNumSims, minLoops, maxLoops, obs,
                            lhoodFile, bestLhoodsFile);
}
