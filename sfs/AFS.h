#pragma once
// Containers of site frequency spectra: per-deme and joint spectra (AFS),
// the multi-dimensional spectrum over all demes (multiSFS), a cell position
// in it (TSFSCoord) and the per-batch snapshot of expected spectra
// (TExpectedSFS).
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TDemeCollection;
class TObsAFS;
class TSFSCoord;
struct TObsReadState;
template <class T> class MY_TArrayAsVector;

// Value of a minimum that has seen no positive entry (largest float).
constexpr double SFS_EMPTY_MIN = 3.4028234663852886e38;

// Largest number of cells of a multi-dimensional spectrum.
constexpr long MAX_MULTI_SFS_ENTRIES = 1000000;

// One rectangular table of doubles stored row after row; t[row][col].
// A 1-D spectrum is a table of one row.
class sfsTable {
 public:
  int numRows = 0;
  int numCols = 0;
  std::vector<double> cells;

  void create(int rows, int cols) {
    numRows = rows;
    numCols = cols;
    cells.assign(static_cast<size_t>(rows) * cols, 0.0);
  }
  void zero() { cells.assign(cells.size(), 0.0); }
  double* operator[](int row) { return cells.data() + static_cast<size_t>(row) * numCols; }
  const double* operator[](int row) const {
    return cells.data() + static_cast<size_t>(row) * numCols;
  }
  double total() const;
};

class AFS {
 public:
  // Triangular store: jointAFS[i][j] for j <= i. jointAFS[i][i] is the 1-D
  // spectrum of deme i (one row of n_i + 1 cells); jointAFS[i][j], j < i, is
  // the joint table of the pair, (n_i + 1) rows x (n_j + 1) columns. Empty
  // until created.
  std::vector<std::vector<sfsTable>> jointAFS;
  long double totTreeLength = 0.0L;
  int numDemes = 0;
  int numSampledDemes = 0;
  std::vector<int> sampleSizes;  // empty when none
  int totSampleSize = 0;
  bool isMAF = false;
  char popInfix[20];
  char jointInfix[20];
  char multiInfix[20];
  int numSims = 0;
  bool mustSetRelativeValues = true;
  // Smallest positive relative value of each table, minSFS[i][j], j <= i;
  // empty for a copy.
  std::vector<std::vector<double>> minSFS;
  double invalidSFSProb = 0.0;
  bool arraysCreated = false;
  // The relative values have been prepared for scoring (folded, rescaled to
  // polymorphic sites); cleared whenever new relative values are set.
  bool preparedForScoring = false;

  static double mutRate;
  static bool foldedSFS;
  static bool includeMonoSites;
  static double minValidSFSEntry;
  static long long totObsNumSites;
  static long long totObsNumPolymSites;

  explicit AFS(bool isMAF = false);
  AFS(const AFS& other);
  ~AFS() = default;

  void createArrays(const TDemeCollection& demes);
  void createPooledArray(const TDemeCollection& demes);
  void resetArrays();
  void resetPooledArray();
  void deleteJointAFS();
  void deleteVectors();

  bool hasTables() const { return !jointAFS.empty(); }
  bool hasMinima() const { return !minSFS.empty(); }
  // The 1-D spectrum of deme d (n_d + 1 cells).
  double* spectrum(int d) { return jointAFS[d][d][0]; }
  const double* spectrum(int d) const { return jointAFS[d][d][0]; }
  // Joint table of a pair in either order: row = count in the deme with the
  // larger index.
  sfsTable& operator()(int i, int j) { return i >= j ? jointAFS[i][j] : jointAFS[j][i]; }
  const sfsTable& operator()(int i, int j) const {
    return i >= j ? jointAFS[i][j] : jointAFS[j][i];
  }

  AFS& operator=(const AFS& other);
  AFS& operator+=(const AFS& other);

  void fold1POPAFS();
  void fold2POPAFS();
  void rescaleSFS(double factor);

  // Relative values and likelihood (sfs/relativeSFS.cpp, sfs/likelihood.cpp).
  // Turns branch-length sums into expected proportions while
  // mustSetRelativeValues is set; false when the spectrum holds no tree length
  // (no genealogy was added), in which case nothing is divided.
  bool setAFSRelativeValuesAndComputeMinSFS();
  // Fold (folded mode) and polymorphic rescale, once per set of relative values.
  void prepareForScoring();
  void rescaleSFSForPolymorphicSites(bool oneDOnly);
  void rescaleSFSForPolymorphicSitesWithFoldedSFS(bool oneDOnly);
  // Composite log10 likelihood of one observed data set under this spectrum.
  double computeTotLogLHood(const AFS& observed);
  double computePopLogLHood(const AFS& observed, int deme, bool withPolymorphicTerm) const;
  double computePopPairLogLHood(const AFS& observed, int deme1, int deme2,
                                bool withPolymorphicTerm) const;
  // Turns a copy of an observed spectrum into its own expectation.
  void setExpJointAFStoObs();
  double computeRescaleFactorFromAFS(const AFS& observed) const;
  // Probability that a site carries no mutation, from the mean tree length.
  long double probNoMutation() const;

  // One observation of an observed file (sfs/obsSFSRead.cpp): false, with
  // state.problem set, when the text is not a valid observation.
  bool readObsPopAFS(std::istream& is, int deme, TObsReadState& state);
  bool readObsPopPairAFS(std::istream& is, int i, int j, TObsReadState& state);
  bool readPooledObsPopAFS(std::istream& is, TObsReadState& state, int n);

  // Spectrum files (sfs/sfsWriters.cpp). Each writer returns false when a file
  // could not be opened (reported on the error stream).
  bool printAllPopAFS(const std::string& folder, const std::string& prefix, int header,
                      bool observed, int numDataSets, bool expected, int oneDataSetPerFile,
                      bool append, int numMultiAllelic, double lhood);
  bool printAllPairwiseAFS(const std::string& folder, const std::string& prefix, int header,
                           bool observed, int numDataSets, bool expected, int oneDataSetPerFile,
                           bool append, int numMultiAllelic, double lhood);
  void printJointAFS(std::ostream& os, int i, int j, int numMultiAllelic, bool labels,
                     bool observed, bool expected) const;
  bool printAllPopAFS4dadi(const std::string& folder, const std::string& prefix, int unused,
                           bool observed, int numDataSets, bool expected, bool append) const;
  bool printAllPairwiseAFS4dadi(const std::string& folder, const std::string& prefix,
                                int unused, bool observed, int numDataSets, bool expected,
                                bool append) const;
  void printJointAFS4dadi(std::ostream& os, int i, int j, int unused, bool observed,
                          bool expected) const;
  // Without `counted` the line of counts is "nan" five times (the data set's
  // spectra could not be made).
  static bool printNumMonoAndPolymSites(const std::string& folder, const std::string& prefix,
                                        int header, int numDataSets, int oneDataSetPerFile,
                                        bool append, const TDemeCollection& demes,
                                        bool counted = true);

  // The names the writers above give their files, with the spectrum's current
  // infixes and the ascertainment suffix in force.
  enum class FileKind { OBSERVED, EXPECTED, DADI };  // ".obs", ".txt", "_dadi" ... ".obsSFS"
  std::string popSpectrumFileName(const std::string& folder, const std::string& prefix, int deme,
                                  FileKind kind) const;
  std::string jointSpectrumFileName(const std::string& folder, const std::string& prefix, int i,
                                    int j, FileKind kind) const;
  std::string multiSpectrumFileName(const std::string& folder, const std::string& prefix,
                                    FileKind kind) const;
  static std::string siteCountFileName(const std::string& folder, const std::string& prefix);

 protected:
  void setInfixes(bool minor);
  void buildTables();
};

class multiSFS : public AFS {
 public:
  std::vector<double> multiJointSFS;  // empty when none
  int totSFSEntries = 0;
  double minSFSValue = 0.0;
  bool creationFailed = false;
  bool isCreated = false;

  static MY_TArrayAsVector<int>* validSFSEntries;
  static double totNumObsSites;
  static double totInvalidObsSites;

  // An empty spectrum without entries (for arrays of observed spectra).
  explicit multiSFS(bool isMAF = false);
  multiSFS(TDemeCollection& demes, bool isMAF);
  multiSFS(const multiSFS& other);
  ~multiSFS() = default;

  bool createSFSdadiLike(TDemeCollection& demes);
  void resetSFS();
  double& SFS(const TSFSCoord& coord);
  void incSFS(const TSFSCoord& coord);
  void incSFSHalf(const TSFSCoord& coord);

  // One observation of an observed multi-dimensional file (sfs/obsSFSRead.cpp).
  bool readObsSFS(std::istream& is, TObsReadState& state);
  // The multi-dimensional file, or its dadi layout (sfs/sfsWriters.cpp); false
  // when the file could not be opened.
  bool printSFS(const std::string& folder, const std::string& prefix, int header, bool observed,
                int numDataSets, bool unused, int oneDataSetPerFile, bool append,
                int numMultiAllelic, double lhood, bool dadi) const;

  // Copies the whole spectrum, the AFS part included.
  multiSFS& operator=(const multiSFS& other);
  multiSFS& operator+=(const multiSFS& other);

  // Relative values (floors of empty cells, renormalisation of the listed
  // entries, probability of the lumped class); false when the spectrum holds
  // no tree length.
  bool setSFSRelativeValuesAndComputeMinSFS(const TObsAFS* observed);
  double computeLhood(const multiSFS& observed);
  void rescaleSFSIfNoMonomorphicSites();
  void setExpJointAFStoObs();
  double computeRescaleFactorFromMultiSFS(const multiSFS& observed) const;
  // Value given to an expected entry of 0 that must be scored.
  double zeroFloor() const;
};

class TSFSCoord {
 public:
  std::vector<int> counts;
  std::vector<int> strides;
  int numDemes = 0;
  // Count of the last valid deme (its stride is 1); null until assigned.
  int* lastValidCount = nullptr;

  TSFSCoord() = default;
  TSFSCoord(const TSFSCoord& other) { *this = other; }
  ~TSFSCoord() = default;

  void initDadiLike(const TDemeCollection& demes);
  TSFSCoord& operator=(const TSFSCoord& other);
  // Full mixed-radix index over all demes.
  long fullIndex() const;
};

class TExpectedSFS {
 public:
  std::unique_ptr<AFS> expMAF;
  std::unique_ptr<AFS> expDAF;
  std::unique_ptr<multiSFS> expMultiDAF;
  std::unique_ptr<multiSFS> expMultiMAF;

  explicit TExpectedSFS(const TDemeCollection& demes);
};

// Lexicographic order of count vectors.
struct index_cmp_t {
  bool operator()(const std::vector<int>& a, const std::vector<int>& b) const;
};
using sfsIndexMap = std::map<std::vector<int>, int, index_cmp_t>;

// Enumerates, from deme `deme` on, every vector of counts 0..n_d over the
// demes with a sample (the others stay 0) and gives each a running index.
void addSFSIndex(const std::vector<int>& sampleSizes, int deme, std::vector<int>& counts,
                 sfsIndexMap& index, int& nextIndex);
