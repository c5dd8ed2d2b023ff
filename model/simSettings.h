#pragma once
// The settings of a run: output names, the demographic model read from the
// model file, the chromosome structures with their linkage blocks, the
// parameters with their value rows, the template and model text, and the
// run's simulation state. Copies are deep (the read-only tables are shared
// until changed); process-wide switches are static.
#include <fstream>

#include "support/outputFile.h"
#include <iosfwd>
#include <memory>
#include <string>

#include "engine/deme.h"
#include "estimation/parameters.h"
#include "model/histEvent.h"
#include "model/migrmat.h"
#include "model/sharedTable.h"
#include "support/containers.h"
#include "support/cstring.h"

class TF4GTDistr;
class TObsAFS;
class TExpectedSFS;
class TBrentMinimization;
struct TGeneticRunOutputs;

// Marker type of a linkage block.
enum class DataType : int { MICROSAT = 0, RFLP = 1, DNA = 2, SNP = 3, STANDARD = 4, FREQ = 5 };

// One linkage block of a chromosome structure (plain data, copied bytewise).
struct TBlock {
  double recRate = 0;            // between adjacent loci of the block
  double recRateToPrevious = 0;  // between the previous block's last locus and this block
  double mutRate = 0;            // per locus
  double geometricParam = 0;     // MICROSAT: geometric parameter of the step size
  double transitionRate = 0.333; // DNA: transition rate
  int rangeConstraint = 0;       // MICROSAT: range constraint, 0 = none
  DataType dataType = DataType::STANDARD;
  double minFreq = 0;            // SNP: minimum frequency
  long numLoci = 0;
  long firstLocus = 0;           // index of the first locus in its structure
  long lastLocus = 0;            // firstLocus + numLoci - 1
};

class TSimSettings {
 public:
  // Output names (set when the model file is read).
  my_string parFileName;
  my_string genFileName;
  my_string qdbFileName;
  my_string runPrefix;
  my_string batFileName;
  my_string projectFilePrefix;
  my_string paupFileName;
  my_string logFileName;
  my_string trueTreesFileName;
  my_string mutTreesFileName;
  my_string ascTreesFileName;
  my_string simparamFileName;
  my_string genericName;
  my_string tplFileName;
  my_string tplParFileName;

  // Demographic model.
  int numDemes = 0;
  int numChromStructures = 0;
  int numIndependentLoci = 0;
  int differentStructurePerLocus = 0;
  int numMigrationMatrices = 0;
  int numHistoricalEvents = 0;
  TDemeCollection demeCollection;
  MY_TSArrayAsVector<THistoricalEvent> historicalEvents{10, 10};
  MY_TArrayAsVector<long> demeSizes{10, 10};
  MY_TArrayAsVector<double> sampleAges{10, 10};
  MY_TArrayAsVector<double> inbreedingCoefs{10, 10};
  MY_TArrayAsVector<double> growthRates{10, 10};
  MY_TArrayAsVector<int> sampleSizes{10, 10};
  MY_TArrayAsVector<TMigrationMatrix> migrationMatrices{1, 10};

  // Chromosome structures: numChromStructures entries each, null when absent.
  std::unique_ptr<MY_TArrayAsVector<int>[]> lociPerBlock;
  std::unique_ptr<MY_TArrayAsVector<TBlock>[]> blocks;
  DataType dataType = DataType::STANDARD;
  bool outputExpSFS = false;
  std::unique_ptr<long[]> totalNumLoci;
  std::unique_ptr<double[]> totalRecRate;
  std::unique_ptr<double[]> totalMutRate;

  // Values of the block line being read.
  double transitionRate = 0;
  double recRate = 0;
  double mutRate = 0;
  double geometricParam = 0;
  int rangeConstraint = 0;

  int treeCounter = 0;  // trees written for the current chromosome
  TSampleParameters parameters;
  // Names, rows and template text are shared by the copies of a run's settings
  // (read through -> or *, changed through edit()).
  TSharedTable<MY_TArrayAsVector<my_string>> paramNames;
  TSharedTable<MY_TIArrayAsVector<TParamValues>> paramValueRows{std::in_place, 1, 10, 1};  // owning
  std::unique_ptr<bool[]> mixedDataTypes;
  std::unique_ptr<int[]> numBlocks;
  int totalSampleSize = 0;
  int simulationCounter = 0;
  int numParamColumns = 0;
  int numValueRows = 0;
  TSharedTable<std::string> templateText;
  std::string modelText;
  my_string f4GTFileName;

  // Process-wide switches.
  static char workingDirectory[200];
  static int logPrecision;
  static int numBatches;
  static int numThreads;
  static int ascertainedDeme;
  static int numPolSitesToKeepInMemory;
  static double brentTOL;
  static bool outputTree;
  static bool compDAF;
  static bool compMAF;
  static int useInfiniteSiteModel;
  static int maxNumSNPs;
  static int ascertainedSize;
  static bool printAllSites;
  static bool SNPascertainment;
  static bool computePooledSFS;
  static bool isMultiSFS;
  static bool isFREQData;
  static bool isReferenceParameters;
  static TOutputFile* PaupTrueTreesFile;
  static TOutputFile* PaupMutTreesFile;
  static TOutputFile* PaupAscTreesFile;
  static bool doF4GT;
  static bool SMC2;
  static bool pureSMC;
  static bool recordMRCAs;
  // Set by the run driver: the model echo file of a run is not written while the
  // model is read but held until the run's inputs are accepted (writeHeldModelEcho).
  static bool holdModelEcho;
  static double testValue;
  static TF4GTDistr* F4GTDistr;

  TSimSettings();
  TSimSettings(const TSimSettings& other);
  TSimSettings& operator=(const TSimSettings& other);
  ~TSimSettings();

  void clean();
  void createNewChromStructures(int n);
  int resetChromStructures();
  void copyEssentialStuff(const TSimSettings& master);
  // Copies the parameter tables and the model and template texts of another
  // object; the names, value rows and template text are shared, not copied.
  void copyParameterTables(const TSimSettings& from);
  DataType getDataType(long locus, int chromosome) const;

  // Model file reading. 0 when the model cannot be read (message on the error stream).
  // With refuseIsolatedSamples, a model whose sampled lineages can never meet
  // is refused too (the plain model-file route of a run).
  // source names the model in messages (default: model file "<parFileName>");
  // notANumberHint follows a word found where a number belongs.
  int readInputFile(std::istream& is, bool newStructures, int runIndex, bool echoFile,
                    bool refuseIsolatedSamples = false, const std::string& source = "",
                    const std::string& notANumberHint = "");
  int readNamedModel(const my_string& fileName, std::istream& is, bool newStructures, int runIndex,
                     bool echoFile, bool refuseIsolatedSamples, const std::string& source = "",
                     const std::string& notANumberHint = "");
  int readInputFile(my_string fileName, bool newStructures, int runIndex, bool echoFile,
                    bool refuseIsolatedSamples = false);
  // The generic name, the output folder name and the names of the run's output
  // files, from the model file name and the run index; 0 with a message when the
  // model file name gives no usable name. Creates nothing.
  int nameOutputs(const my_string& fileName, int runIndex);
  int readParFileFromString(bool newStructures, int runIndex);
  // The run's model, directly or through a template; 1 when it was read.
  int readInputFiles(const bool& useTemplate, const bool& drawFromPriors,
                     const my_string& parFile, const my_string& tplFile, const int& runIndex);

  // Template members (defined in estimation/).
  bool drawParametersFromDistributions();
  bool createParFileFromTemplateFile(const my_string& tplName, int rowIndex);
  int readEstimationFile(const my_string& estFileName);
  bool readDefinitionFile(const my_string& defFileName, const my_string& tplName,
                          const bool& recomputeComplex);
  void scanTplFile(const char* tplName);
  int createParFileFromTemplateFile(TParamValues& row, bool bestValues);
  int createParFileFromTemplateFileNew(TParamValues& row, bool bestValues);
  void writeParametersFromDef(std::ostream& os, int rowIndex);

  // Observed spectra and the likelihood file of a run (defined in sfs/):
  // false when a spectrum file is missing or malformed, or when the likelihood
  // file cannot be opened. obs and lhoodFile are created here when null and
  // owned by the caller.
  bool readObservedSFS(bool inSubFolder, const bool& readObs, TObsAFS*& obs,
                       TOutputFile*& lhoodFile, const bool& estHeader, const bool& defHeader,
                       const my_string& lhoodFileName);
  // The two halves of readObservedSFS, for callers that check the spectra
  // read before any output is written: the reading (or, on later runs, the
  // list of demes), then the table with its header.
  bool readObservedSpectra(bool inSubFolder, const bool& readObs, TObsAFS*& obs);
  bool openLikelihoodTable(bool inSubFolder, const bool& readObs, TObsAFS* obs,
                           TOutputFile*& lhoodFile, const bool& estHeader, const bool& defHeader,
                           const my_string& lhoodFileName);

  // NEXUS tree files (defined in driver/): one trees block per run.
  int writePAUPHeader();
  int writePAUPTreeFooter();
  int writePAUPTrees(int position, TDemeCollection& collection);

  // Expected spectra of frequency data, simulated in batches (defined in driver/).
  // numSims genealogies are added into the (empty) expected spectra of the
  // collection; 1 on success, 0 when a genealogy failed (reported, with the
  // bad-parameter file). counter is not used.
  int generateSFSPerSimulation(int numSims, int& counter);
  // Adds another object's, or a batch snapshot's, expected spectra to these.
  void aggregateExpSFS(const TSimSettings& other);
  void aggregateExpSFS(const TExpectedSFS& snapshot);
  // Writes the expected spectra with genericName as prefix; false when a file
  // could not be written.
  bool outputExpectedSFS(const std::string& folder, int header, bool observed, int numObs,
                         bool expected, int oneFilePerSpectrum, bool append, bool dadi,
                         double lhood);
  // Four-gamete statistics (sfs/F4GTRun.cpp), used while doF4GT is set.
  // The test of every chromosome of the data set just simulated, appended to
  // f4GTFileName while its genotype blocks exist.
  void computeF4GTstats();
  void create4GTArraysAndCompute4GTFailures(int chromosome);
  // The observed distribution from f4GTFileName ("../" in front when upDir):
  // true when the file was read.
  bool readObs4GTDistr(bool upDir);
  // Expected-spectrum simulation on two trees a Poisson number of
  // recombinations apart: 0, or 1 when the second tree could not be made.
  int updateSFSand4GTDistributions();
  int computeNumRecs();

  // Writes the model text as "<model name>_bad.par" and announces it; returns 1.
  // Without a failure the announcement is that of a coalescent that did not
  // converge; otherwise it is the failure followed by the file name.
  int write_bad_param_file(const std::string& failure = std::string());

  // Parameter estimation (defined in estimation/): cycles of Brent searches of
  // the simple parameters, inside the output folder. 1 when the estimation
  // completed, 0 when it stopped (message on the error stream). The stream
  // slots stay with the caller for the whole process: the likelihood table of
  // the searches and the table of best values.
  double performBrenMinimization(int runIndex, int numSims, int maxNumSims, const int& minLoops,
                                 const int& maxLoops, TObsAFS*& obs, TOutputFile*& lhoodFile,
                                 const double& stopCriterion, TOutputFile*& bestLhoodsFile);
  // The likelihood the scored observation reaches under itself; 0 without one.
  double computeMaxObsLhood(const TObsAFS& obs);
  // The best set of an estimation made current and written as "_maxL.par".
  int createParFileFromTemplateFile(TBrentMinimization& brent);
  int createParFileFromTemplateFileNew(TBrentMinimization& brent);

  // Genetic data, simulated in batches of chromosomes (defined in driver/):
  // numSims data sets, each written as a project file with its spectra.
  void generateDataPerSimulation(int numSims, int& simCounter, TGeneticRunOutputs& out);
  // One data set: its chromosomes simulated in batches and merged into the
  // run's collection in batch order; false when a chromosome failed (reported).
  bool generateTreeAndMutationsMultiThreaded(int simIndex, TGeneticRunOutputs& out);
  // The project file, the spectra and the highest likelihoods of the merged
  // data set; false when something could not be written (reported).
  bool writeDataToOutputFiles(int simIndex, int simCounter, TGeneticRunOutputs& out);
};

// The model file name without extension and folder: the output folder and
// the prefix of every output name.
my_string genericNameOf(const my_string& fileName);
