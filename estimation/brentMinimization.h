#pragma once
// Estimation of the parameters of a template model by conditional maximisation:
// the state of one estimation (TBrentMinimization) with its evaluation of a
// parameter set by simulated expected spectra, the one-dimensional Brent search
// it runs on each simple parameter, and the small helpers of the searches.
#include <fstream>

#include "support/outputFile.h"
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "estimation/parameters.h"
#include "support/containers.h"

class TSimSettings;
class TObsAFS;

// Parameter values and the likelihood measured at each, of equal length.
struct SParamLhoodArrays {
  MY_TArrayAsVector<double> values{10, 10};
  MY_TArrayAsVector<double> lhoods{10, 10};
};

// Three points (x, f) bracketing a minimum.
struct triplet {
  double x0 = 0, x1 = 0, x2 = 0;
  double f0 = 0, f1 = 0, f2 = 0;
};

// ------------------------------------------------------------ Brent search

enum class BrentEnd {
  CONVERGED,
  FAILED_EVALUATION,   // the objective gave a value that is not a finite number
  TOO_MANY_ITERATIONS  // the last evaluation allowed left the search unconverged
};

struct TBrentOutcome {
  BrentEnd end = BrentEnd::CONVERGED;
  double x = 0;          // best point found (search units)
  double fx = 0;         // objective at x
  int numEvaluations = 0;  // the first one included
};

// The number of evaluations that may follow the first one.
constexpr int BRENT_MAX_ITERATIONS = 100;
// Absolute floor of the tolerance of a search.
constexpr double BRENT_ZEPS = 2.220446049250313e-19;

// Minimises f on [min(a, b), max(a, b)] from x0 (clamped into the interval) by
// Brent's parabolic interpolation and golden sections, with the tolerance
// tol x |x| + BRENT_ZEPS. A value of f that is not finite ends the search at once.
TBrentOutcome brentSearch(const std::function<double(double)>& f, double a, double b, double x0,
                          double tol, int maxIterations = BRENT_MAX_ITERATIONS);

// ------------------------------------------------------------ parameter steps

// A value of the search (log10 units when logScale) as a parameter value:
// integers are truncated toward zero, after a value within rounding error of an
// integer has been taken as that integer (so 10^log10(v) gives v back).
double searchValueToParameter(double x, bool logScale, bool isInt);

// The interval of one search of parameter p, in the parameter's own units:
// [min, searchMax], each end replaced by its rule bound when one is in force
// (which may lie beyond the prior: such searches go through it). empty is set when
// the prior fixes the parameter or the interval has no width.
struct TSearchInterval {
  double lo = 0, hi = 0;
  bool empty = false;
};
TSearchInterval searchIntervalOf(const TParameter& p);

// Before each search: the lower ends of the simple parameters go back to their
// prior minima and the rule bounds are derived from the current values.
// Returns parameter j.
const TParameter& prepareSearchOf(TSampleParameters& params, int j);

// The upper end of p's next search once its value became v: max for a bounded
// parameter; v + searchSpan / 3 when v is near the top of the prior
// (v > max - 0.2 |max|); never below max.
double nextSearchMax(const TParameter& p, double v);

// Simulations per likelihood of the next cycle: 5000 more, at most max (the
// sum is never formed beyond max, so a huge max cannot overflow it).
int nextNumSimsPerLhood(int n, int max);

// ------------------------------------------------------------ estimation state

// What a model read during the estimation must share with the run's model so
// that its genealogies fit the spectra: demes, samples and chromosomes.
struct TRunLayout {
  int numDemes = 0;
  std::vector<int> sampleSizes;
  int numIndependentLoci = 0;
  int numChromStructures = 0;
  long lociOfFirstStructure = 0;
  int blocksOfFirstStructure = 0;
  int dataType = 0;

  static TRunLayout of(const TSimSettings& s);
  // Empty when the layouts agree, otherwise what differs.
  std::string differenceFrom(const TRunLayout& run) const;
};

class TBrentMinimization {
 public:
  int curParamIdx = -1;
  TSampleParameters bestParams;
  TSampleParameters* curParams = nullptr;  // the settings' own parameter set
  TSimSettings* settings = nullptr;        // not owned
  std::unique_ptr<TParamValues> paramValues;
  int numSimsPerLhood = 0;
  int maxNumSims = 0;
  TOutputFile* lhoodFile = nullptr;  // not owned
  TObsAFS* obsSFS = nullptr;           // not owned
  bool writeAllLhoods = false;
  bool logScale = false;

  // Why the last evaluation failed (empty when it did not); set together with
  // a NaN likelihood. badParFileWritten: the batch code has already saved the
  // model that failed.
  std::string failure;
  bool badParFileWritten = false;
  // Evaluations made (simulated likelihoods), the initial and final ones included.
  long numEvaluations = 0;
  // The layout of the run's model, which every model read here must keep.
  TRunLayout runLayout;

  // The likelihood of the current model from numSimsPerLhood genealogies;
  // NaN (and failure set) when the simulations or the likelihood failed.
  double computeLhoodBySimulation(bool multi);
  // Parameter j set to v, the model rebuilt, its likelihood.
  double computeLhoodForParameterNew(int j, double v);
  // The whole set made current, the model rebuilt, its likelihood.
  double computeLhood(TSampleParameters& set);

  int updateParValueAndParFileNew(TParameter& p, const double& v);
  // As above, the model written to the run's model file.
  int updateParValueAndParFile(TParameter& p, const double& v);
  void updateAllParValuesAndParFile(TSampleParameters& set);
  void updateComplexParameterValues();

  double computeRescalingFactorToMatchNumPolymSites();

  void setupBrenMinimizationSettings(int numSims, int maxSims, int evaluations,
                                     TOutputFile* lhoodStream, TObsAFS*& obs,
                                     TSimSettings* runSettings);

  // n values of parameter curParamIdx from lo to hi (equally spaced, in log10
  // units when logScale) with their likelihoods.
  SParamLhoodArrays computeLogCurve(int n, const double& lo, const double& hi, double& minL,
                                    double& maxL, double& argMax);
  void printLogCurve(const SParamLhoodArrays& a, const SParamLhoodArrays& b,
                     std::ostream& os) const;

  // The text of p's value into column `column` of paramValues.
  void textToColumn(int column, const TParameter& p);

 private:
  // Re-reads the model text, checks it against the run's layout, sets the demes
  // up again and scores it.
  double evaluateModelText();
  double simulateAndScore(bool multi);
  double fail(const std::string& why, bool badParWritten = false);
};

// The whole estimation of a run whose model is set up, on the caller's
// estimation state: what TSimSettings::performBrenMinimization does with a
// state of its own. 1 when it completed, 0 when it stopped. The table of best
// values is created (truncated, with its header) by the first estimation that
// completes, through an empty slot, and receives one line per estimation.
double estimateParameters(TSimSettings& settings, TBrentMinimization& brent, int runIndex,
                          int numSims, int maxNumSims, int minLoops, int maxLoops, TObsAFS*& obs,
                          TOutputFile*& lhoodFile, TOutputFile*& bestLhoodsFile);

// The tables an estimation writes inside the output folder, named after the
// generic name: "<generic>.brent_lhoods", "<generic>.bestlhoods" and
// "<generic>_maxL.rsf".
std::string brentLhoodsFileName(const std::string& genericName);
std::string bestLhoodsFileName(const std::string& genericName);
std::string rescaleFactorFileName(const std::string& genericName);

// Abscissa of the vertex of the parabola through the three points; throws
// TException when the points are collinear or two abscissae coincide.
double minBracketedQuadratic(const triplet& t);

// New search bounds around x from the bracket [a, b] and the outer limits c, d
// (10^ of the golden-section points in log mode); throws TException on an
// empty bracket (a = b).
void getNewSearchBoundaries(const double& x, const double& a, const double& b, const double& c,
                            const double& d, double& lo, double& hi, bool logScale, bool flag);
