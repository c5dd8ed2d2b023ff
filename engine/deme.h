#pragma once
// The simulation state of one demographic model: its demes with their samples
// and lineage lists, the time-sorted historical events, the borrowed migration
// matrices, the gene tree being built, the counters and lists of simulated
// sites and recombinations, and the spectra filled from the trees.
//
// Engine units: times are in units of CTTimeUnit generations; relative deme
// sizes are gene copies / CTTimeUnit; growth rates per unit are per-generation
// rates x CTTimeUnit; migration rates are stored pre-multiplied by CTTimeUnit.
#include <iosfwd>
#include <utility>
#include <vector>

#include "engine/batchTrees.h"
#include "engine/cutDemeList.h"
#include "engine/geneStates.h"
#include "engine/genealgy.h"
#include "engine/locus.h"
#include "engine/siteStorage.h"
#include "engine/treeLayout.h"
#include "model/demeGraph.h"
#include "model/histEvent.h"
#include "model/migrmat.h"
#include "sfs/siteAlleleCounts.h"
#include "support/containers.h"

class GlobalRandom;
class AFS;
class multiSFS;
class TSFSCoord;
class TDemeCollection;
class TObsAFS;
class TSimSettings;
struct ReplayVariant;
class my_string;
struct TBlock;
enum class DataType : int;

// One deme. Owns its genotype blocks (while loci owns them), its inbreeding work
// lists, the pointer tables of its lineage lists and its SMC pools; never the
// nodes, which live in the collection's tree. The state read at every step of a
// tree builder comes first.
class TDeme {
 public:
  int numLineages = 0;            // lineages in VNL now
  int posInActiveList = -1;       // slot in the collection's active list; -1 when unlisted
  int demeId = 0;                 // index of the deme
  bool isGrowing = false;         // growthRate != 0
  double relSizeCT = 1.0;         // current relative size
  double growthRateCT = 0.0;      // growthRate x CTTimeUnit
  double growthRate = 0.0;        // growth rate per generation
  double lastSizeUpdateTime = 0.0;  // time relSizeCT was last brought forward
  double emigrationRate = 0.0;    // rate at which one lineage leaves the deme
  TNodeArray VNL;                 // current lineages

  double demeSize = 1.0;          // size in gene copies
  int sampleSize = 0;             // sampled gene copies
  double sampleAge = 0.0;         // generations; > 0 for an ancient sample
  double inbreedingCoef = 0.0;    // F of the sample
  double initRelSizeCT = 1.0;     // relative size at time 0 (set by the drivers)
  double initEmigrationRate = 0.0;  // emigration rate of a batch of expected spectra
  TNodeArray sampledNodes;        // the deme's tips in sample order

  TNodeArray VNLR;                // all lineages including recombinant ones
  TNodeArray recombinantPool;     // lineages cut by a recombination point
  int numRecLineages = 0;         // lineages in recombinantPool
  TNodeArray* SMCPool = nullptr;  // owned
  TNodeArray* SMC2Pool = nullptr; // owned
  double totRecsInSMC2Pool = 0.0;

  MY_TIArrayAsVector<TLocusAsShortIntArray> loci;  // genotype blocks, one per chromosome
  MY_TArrayAsVector<int>* inbredRemovedSlots = nullptr;  // owned work lists
  MY_TArrayAsVector<int>* inbredNewNodeSlots = nullptr;
  MY_TArrayAsVector<int>* inbredPairs = nullptr;

  TDeme();
  TDeme(const TDeme& other);
  // Builds the deme's genotype block of the current chromosome from its tips'
  // site lists (no rows when spilled) and stores it in slot `slot` of loci.
  // False when the block cannot be held; the list is left as it was.
  bool printHaplotypesToDataArray(int slot, bool spilled);  // a default deme, then the partial copy of operator=
  ~TDeme();
  // Partial copy: model values, rates, sizes and the recombination lists; not
  // the active-list slot, genotype blocks, work lists, VNL, tips or SMC pools.
  TDeme& operator=(const TDeme& other);

  bool copy_node_pointers(TTree& tree, int& nextNode);
  void reset(bool isRecombining);
  void set_growth_rate(const double& g);
  void addDemeToActiveList(TDemeCollection* collection);
  void removeDemeFromActiveList(TDemeCollection* collection);

  // Coalescent steps on this deme (no recombination), shared by the tree
  // builders; with record set the event is appended to the collection's history.
  bool implementCoalEventCT(TDemeCollection& collection, const double& t, bool record);
  bool implementCoalEventCTOfTwoGenesForInbreeding(TDemeCollection& collection, const double& t,
                                                   int pos1, int pos2, bool record);
  void implementInbreeding(TDemeCollection& collection, const double& t, bool record = false);
  // Individuals the inbreeding step pairs up: -1 when there is no step (no
  // inbreeding, or an odd sample, which is reported).
  int inbredIndividuals() const;
  // A contemporary sample with inbreeding: its inbreeding step comes at time 0.
  bool inbredAtStart() const { return sampleAge == 0.0 && inbreedingCoef > 0.0; }
  // Coalesces the two genes of individual ind when both are still listed here.
  bool coalesceInbredPair(TDemeCollection& collection, const double& t, int ind,
                          bool record = false);
  int implementMigrEventCT(TDemeCollection& collection, const double& t, bool record);
  int migrateNoRec(TDeme& sink, TDemeCollection* collection);
  void reactivateLineages(const double& t, TDemeCollection* collection);

  // Cut lineages of a replayed tree (engine/recCuts.cpp, engine/cutLineages.cpp).
  // Moves a random cut lineage to sink; its former VNLR slot, -1 when sink is this deme.
  int migrateRec(TDeme& sink, TDemeCollection* collection);
  // A new coalescence of a cut lineage at t: 1, or 0 when none could be made.
  int implementCoalEventRecCT(TDemeCollection& collection, const double& t);
  // A new migration of a cut lineage at t: the sink, -1 when none is found.
  int implementMigrEventRecCT(TDemeCollection& collection, const double& t);
  // A cut lineage moved to sink by a historical event, recorded: 1, or 0 when nothing moved.
  int implementMigrEventToSinkRecCT(TDeme& sink, TDemeCollection& collection, const double& t);
  // The same new coalescence under strict SMC and under SMC' (engine/smcCoalescence.cpp).
  int implementCoalEventRecCTUnderStrictSMC(TDemeCollection& collection, const double& t);
  int implementCoalEventRecCTSMC2(TDemeCollection& collection, const double& t);

  // The same steps for the expected-spectrum coalescent: they keep
  // TDemeCollection::totMigrationRate up to date, and the AndUpdateSFS variants
  // add the branches of each new node into the collection's expected spectra.
  bool implementCoalEventCTForFreqData(TDemeCollection& collection, const double& t, bool record);
  bool implementCoalEventCTForFreqDataAndUpdateSFS(TDemeCollection& collection, const double& t,
                                                   bool record);
  int implementMigrEventCTForFreqData(TDemeCollection& collection, const double& t, bool record);
  int migrateNoRecForFreqData(TDeme& sink, TDemeCollection& collection);
  void implementInbreedingAndUpdateSFS(TDemeCollection& collection, const double& t);
  // Coalesces the two genes of each listed individual (sample positions 2i, 2i + 1).
  void implementMultipLeCoalEventsCTForInbreedingAndUpdateSFS(
      TDemeCollection& collection, const double& t, const MY_TArrayAsVector<int>& individuals,
      bool record);

  // Simulated data of this deme (driver/, sfs/): its gene lines in a project
  // file, the sites polymorphic in the ascertainment panel, its 1-D spectra.
  void printDataForQuendrel(std::ostream& os, int demeIndex, int genotypic,
                            const TSimSettings& settings);
  void printAllDataForQuendrel(std::ostream& os, int demeIndex, int genotypic,
                               const TSimSettings& settings);
  // Rebuilds collection.ascertainedSites from the genotype blocks, or from the
  // given states; false when some states could not be had.
  bool flagSitesMeetingAscertainmentCondition(TDemeCollection& collection);
  bool flagSitesMeetingAscertainmentCondition(TDemeCollection& collection,
                                              const TGeneStates& states);
  void computeObsMAFandDAFnew3(AFS* maf, AFS* daf, int replicate,
                               const TDemeCollection& collection);
};

class TDemeCollection {
 public:
  TDeme* demes = nullptr;  // owned, numDemes entries
  MY_TSArrayAsVector<THistoricalEvent> events;                 // sorted by time
  const MY_TArrayAsVector<TMigrationMatrix>* migMatrices = nullptr;  // borrowed
  bool migrationOn = true;
  int numDemes = 0;
  int curMigMatrix = 0;
  long numSites = 0;
  int numBlocks = 0;
  int numChromosomes = 0;
  GlobalRandom* randomGenerator = nullptr;  // borrowed, one per batch
  bool eventsRescaled = false;
  int numLineages = 0;       // active lineages over all demes
  bool anyMigration = false;
  double totMigrationRate = 0.0;
  bool anyGrowth = false;
  TRecBranch** recBranches = nullptr;  // owned table of recBranchesSize owned entries
  int recBranchesSize = 0;
  int numRecLineages = 0;
  int numActiveDemes = 0;
  int* activeDemes = nullptr;  // owned, numDemes slots; free slots -1
  MY_TArrayAsVector<int> ascertainedSites;
  double wholeTreeLength = 0.0;
  double ascertainedTreeLength = 0.0;
  int microsatMinAllele = 0;
  int microsatMaxAllele = 0;
  MY_TArrayAsVector<TPolymSiteInfo>* curPolSitesInfo = nullptr;  // entry of polSitesInfo
  multiSFS* expMultiMAF = nullptr;  // owned spectra and coordinates
  multiSFS* expMultiDAF = nullptr;
  AFS* expMAF = nullptr;
  AFS* expDAF = nullptr;
  TSFSCoord* sfsCoord = nullptr;
  TSFSCoord* sfsCoordDesc1 = nullptr;
  TSFSCoord* sfsCoordDesc2 = nullptr;
  int numTempFileFlushes = 0;
  int batchId = 0;
  long numMutations = 0;
  int numPolymSites = 0;
  int numUsedPolymSites = 0;
  long long totNumSites = 0;  // loci of all chromosomes of the data set
  int numMultiAllelicSites = 0;
  int numAncestralOnlySites = 0;
  int numFixedDerivedSites = 0;
  int* numSitesPerChrom = nullptr;       // owned, one entry per chromosome
  int* numPolymSitesPerChrom = nullptr;  // owned
  std::pair<int, int>* polymSitePos = nullptr;      // owned (chromosome, site index)
  std::pair<int, int>* usedPolymSitePos = nullptr;  // owned
  int numInactiveLineages = 0;
  long long totNumRecs = 0;
  MY_TArrayAsVector<TRecPosInfo> recPosInfo;
  int curChrom = 0;
  TBatchTrees treeTexts;      // NEXUS tree statements of this collection's chromosomes
  int failedChromosome = -1;  // first chromosome that could not be simulated; -1 when none
  TTree tree;
  TTree* tree2 = nullptr;  // owned
  bool isRecombining = false;      // the chromosome being simulated recombines
  bool anyChromRecombines = false; // some chromosome of the range simulated last recombines
  MY_TArrayAsVector<bool> isMinorDerived;
  MY_TArrayAsVector<int> minorAllele;
  MY_TArrayAsVector<bool> isMinorAtHalf;
  MY_TArrayAsVector<bool> isFixedDerived;
  MY_TArrayAsVector<bool> isAncestralOnly;
  MY_TArrayAsVector<bool> isMultiAllelic;
  MY_TArrayAsVector<bool> isSingleAllele;
  TSiteAlleleCounts siteAlleles;  // allele counts of the data set's sites, for its spectra
  AFS* obsMAF = nullptr;  // owned observed spectra of simulated data
  AFS* obsDAF = nullptr;
  AFS* obsPooledDAF = nullptr;
  AFS* obsPooledMAF = nullptr;
  multiSFS* obsMultiDAF = nullptr;
  multiSFS* obsMultiMAF = nullptr;
  MY_TArrayAsVector<TTinyEvent>* curEvents = nullptr;   // owned
  MY_TArrayAsVector<TTinyEvent>* prevEvents = nullptr;  // owned
  bool tempFilesExist = false;
  TCutDemeList cutDemes;  // demes holding cut lineages during a replay
  TDemeSearch meetingSearch;  // tables of the test whether lineages can still meet
  // Simulated sites: storage of the states (engine/siteStorage.cpp,
  // engine/tempFiles.cpp) and caches of the current tree (engine/mut*.cpp).
  TSiteStorage siteStorage;
  TMutationWork mutWork;
  int treeCounter = 0;  // trees written for the current chromosome by this collection
  long treeStartLocus = 0;  // locus at which the current tree of a recombining walk took over
  int curBlock = -1;        // block being placed (from 0), for messages; -1 when unknown

  static constexpr double CTTimeUnit = 1000000.0;  // generations per continuous-time unit
  static int iniNumLineages;       // total sample size of the run
  static bool initIsGrowthRate;    // some deme grows at time 0 (written at set-up only)
  static double* invNChoose2;      // 1 / C(k, 2), k = 0 .. 3n
  static bool isInbreeding;
  static bool bad_coalescence;
  static bool isFreqDataType;
  static MY_TArrayAsVector<TPolymSiteInfo>* polSitesInfo;
  static int numValidDemes;
  static int* validDemes;
  static int lastNumValidDemesIndex;
  static std::vector<int> indices;

  TDemeCollection();
  TDemeCollection(const TDemeCollection&) = delete;
  ~TDemeCollection();
  TDemeCollection& operator=(const TDemeCollection& source);

  // Set-up of a run, in this order. Each call refuses an impossible model by
  // throwing TException (EXCEPTION::ERROR) with a message naming the problem.
  int create_demes(const MY_TArrayAsVector<TMigrationMatrix>* matrices);
  bool initialize_deme_size(const MY_TArrayAsVector<long>& sizes);
  bool initialize_growth_rates(const MY_TArrayAsVector<double>& rates);
  int initialize_events(const MY_TSArrayAsVector<THistoricalEvent>& newEvents);
  bool initialize_samp_size(const MY_TArrayAsVector<int>& sizes);
  bool initialize_sample_ages(const MY_TArrayAsVector<double>& ages);
  bool initialize_inbreeding_coefficients(const MY_TArrayAsVector<double>& coefs);
  bool create_lineagesNoRec(const MY_TArrayAsVector<int>& sampleSizes, const int& numSites);
  bool create_lineagesNoRecForBrent(const MY_TArrayAsVector<int>& sampleSizes, const int& numSites);
  static void calcInvNChoose2(const int& n);
  static void releaseInvNChoose2();
  int count_all_lineages() const;
  int count_initially_active_lineages() const;

  // Between two trees.
  void reset(const MY_TArrayAsVector<long>& sizes, const MY_TArrayAsVector<double>& rates);
  bool rescaleEventsCT();
  int adjustDemeSizesCT(const double& t);
  bool checkIfGrowthRate();

  // Migration: the diagonal of a matrix never counts as a rate.
  double offDiagonalRowSum(int deme) const;  // emigration rate of a deme under the current matrix
  // Destination of a lineage leaving source for a draw x in [0, offDiagonalRowSum):
  // the first other column whose running sum exceeds x; -1 when none does.
  int findMigrationSink(int source, double x) const;

  void ReserveLoci(int numChromosomes);
  // Storage of the simulated states (engine/siteStorage.cpp, engine/tempFiles.cpp).
  // A fresh table of numChromosomes chromosomes held in memory; removes the
  // temporary files this collection owns. Called at the start of every simulation.
  void resetSiteStorage(int numChromosomes);
  // End of chromosome curChrom: its states go to its genotype blocks (slot
  // curChrom), or, when it spilled, the rest goes to the gene files. False
  // when that failed (siteStorage.failure says why).
  bool storeChromosomeStates();
  bool writeLocusDataToArrayNew();
  // Appends the states held in the tips' site lists to the gene files; false on failure.
  bool writePolymLociToTempFiles();
  // Writes the spilled states still gathered in memory to the gene files.
  bool flushTempFileBuffer();
  // Deletes the gene files and folders this collection owns.
  void removeTempFiles();
  // Takes over the states of chromosomes first .. last - 1 of a batch: blocks
  // by pointer into the same slots, the table entries, and the batch's folders.
  void takeChromosomeStates(TDemeCollection& batch, int first, int last);
  // Some chromosome of the current simulation was spilled to temporary files.
  bool anySitesSpilled() const;
  // Records the first failure of the data set and reports it on the error stream.
  void failDataSet(const std::string& problem);
  // The comment block of the polymorphic sites of a project file.
  void writePolSiteInfo(std::ostream& os, const int& numChromosomes) const;

  // Mutation models (engine/mut*.cpp). Drivers for one chromosome: -1 / 0
  // when the data set failed.
  long sprinkleMutationsNoRec(const TSimSettings& settings, int structure, int chromosome);
  int sprinkleMutationsRec(TSimSettings& settings, int structure);
  int buildNextRecTreesCT(TSimSettings& settings, int structure, int start);
  long sprinkleSNPMutationsNoRec(const TBlock& block);
  long sprinkleSNPMutationsRec(long& locus, const TBlock& block, bool sameTree);
  long sprinkleDNAMutationsNoRec(const long& first, const long& end, const double& mutRate,
                                 const double& transitionRate, const double& treeLength);
  long sprinkleDNAMutationsNoRec(const TBlock& block);
  long sprinkleDNAMutationsRec(TSimSettings& settings, const TBlock& block);
  long sprinkleMicrosatMutationsNoRec(const TBlock& block);
  long sprinkleMicrosatMutationsRec(long& locus, const TBlock& block);
  long sprinkleStandardMutationsNoRec(const TBlock& block);
  long sprinkleStandardMutationsRec(long& locus, const TBlock& block);
  // The tree changed: every cache of the site placement is stale and the
  // nodes' mutation counts start again from 0.
  void treeChanged();
  // The current tree as the tree of a locus in the NEXUS files (counted by treeCounter).
  void writeTreeOfLocus(TSimSettings& settings, long locus);
  // Replays the tree of locus after points were placed; false (data set
  // failed) when it could not be built. With trees asked for, the tree of
  // the stretch that ends here is written first, with all its mutations.
  bool replayForLocus(TSimSettings& settings, long locus);
  // Limits of a chromosome (engine/countLimits.cpp). Compares the sites and
  // recombination points that the rates of the structure make one expect on
  // the current tree with what can be held; false (data set failed, with a
  // message naming the chromosome, the block and the rate) when they pass it.
  bool checkExpectedCounts(const TSimSettings& settings, int structure);
  // The same check for one count, expected or drawn, of a block (from 0, -1
  // when unknown); false with the data set failed when it is too large.
  bool countCanBeHeld(double count, bool expected, const char* what, int block,
                      const char* rateKind, double rate);
  // Site creation: the in-memory limit, then the record; false on failure.
  bool beginSite(long position, DataType type, int alphabetRow);
  void flushLoci();
  // Frees the genotype blocks of chromosomes first .. last - 1 and empties
  // their slots; the number of slots in use stays. Threads may call it at
  // once for disjoint ranges: the blocks of the previous data set are then
  // freed where they were made, in parallel, rather than on the calling thread.
  void releaseLoci(int first, int last);
  void releaseRecBranches();

  // Gene tree of a non-recombining chromosome in continuous time: 1 when the
  // tree has a root, 0 when it cannot be completed (one message on stderr).
  int buildTreeNoRecContinousTime();
  // The loop of that builder; with record set every event is appended to
  // curEvents and the historical events the tree did not reach close the history.
  int buildTreeCT(bool record);
  // Start of a tree (sizes, active list, inbreeding at time 0); returns
  // whether some listed deme can send migrants.
  bool startTreeNoRec(bool record = false);
  // The part of a tree start shared by the tree builders: matrix 0, lineage
  // counts, sizes at time 0, contemporary samples listed, ancient ones waiting.
  void resetTreeStart();
  // Applies historical event number index at time t; emigration rates are
  // left for the caller to recompute. Returns 1.
  int implementEventCT(const int& index, double t, bool record);
  // The sink's new size, growth rate, the matrix in force and the switch of migration.
  void applyEventChanges(const THistoricalEvent& e, double t);
  // Appends one record to curEvents (created at first use).
  void recordTinyEvent(int type, double time, int pick1, int pick2, int deme, int sinkDeme,
                       int histEventIndex);
  // Appends a record to curEvents (created at first use). A history may hold a
  // tree's whole step limit of records, so it grows geometrically.
  void appendRecord(const TTinyEvent& record);
  // isInbreeding := some contemporary sample has an inbreeding coefficient > 0.
  bool updateInbreedingSwitch();
  // Batch copy of source for simulating genetic data in threads.
  void copyEssentialStuffForSimulGeneticDataInThreads(const TDemeCollection& source);

  // Recombining chromosomes. The first tree with its whole history recorded
  // in curEvents (engine/treeRecCT.cpp): 1, or 0 on failure (one message).
  int buildFirstTreeForRecCT(int chrom);
  // Recombination branch table (engine/recPoints.cpp): 2 x sample size entries.
  void createRecBranchArray();
  // First point at index from or later whose lineage is not discarded; NO_EVENT when none.
  double computeTimeToNextRelevantRecEvent(int from) const;
  // The same search, moving start to the index found (to the end when none).
  double skipNextInvalidRecEvent(int& start) const;
  // Cuts (engine/recCuts.cpp): the lineage node at a point, its discarded copy
  // taking its place: node's VNLR slot, -1 when it is not a listed lineage of
  // the new tree, -2 when no memory is left for the copy.
  int implementRecombEvent(TNode* node, const double& time, TRecLocation& location);
  // A lineage of the recorded history into its deme's pool: its VNLR slot, or -1.
  int transferLineageToRecombinantPool(TNode* node);
  // Tree of marker locus replayed from the previous tree's history and points
  // (engine/replay.cpp); it records the new history. False when it did not
  // converge (one message): the tree then has no root and must not be used.
  bool replayBuildTreeWithRecs(const TSimSettings& settings, long locus);
  bool replayTreeWithRecs(const MY_TArrayAsVector<long>& sizes,
                          const MY_TArrayAsVector<double>& rates, long locus);
  // The loop behind every replay, with its messages and rules (engine/replayLoop.h).
  bool replayWithVariant(const MY_TArrayAsVector<long>& sizes,
                         const MY_TArrayAsVector<double>& rates, long locus,
                         const ReplayVariant& variant);
  // Records of the previous history (engine/replayRecords.cpp). A coalescence:
  // 1 made, 0 a merge with a discarded copy, -1 a conflict (the replay fails).
  int replayCoalEventCT(TTinyEvent& record, bool isLast);
  bool replayMigrEventCT(TTinyEvent& record);  // false: the record does not fit
  bool replayHistEventCT(TTinyEvent& record);
  bool coalNormalDiscarded(TNode* lineage1, TNode* lineage2, const int& deme, const double& time,
                           bool isLast);
  // The outcomes of a new coalescence of a cut lineage (engine/cutLineages.cpp);
  // false when the tree has no node left for it.
  bool coalRecombRecomb(TNode* cut1, TNode* cut2, const int& poolSlot, const int& deme,
                        const double& t);
  bool coalNormalRecomb(TNode* cut, TNode* normal, const int& deme, const double& t);
  void coalRecombDiscarded(TNode* cut, TNode* copy, const int& deme, const double& t);
  // SMC' point (engine/smcCoalescence.cpp): a lineage of the new tree is cut
  // and its copy joins the SMC' pool; a point on a copy adds to its count.
  int implementRecombEventSMC2(TNode* node, const double& time, TRecLocation& location);
  // Strict SMC: the first SMC-pool lineage of the listed demes into the recombinant pool.
  void transferRemainingNormalLineageToRecombinantPool();
  // Tree of the second marker of the four-gamete road (engine/secondTree.cpp):
  // n points on the tree (its cached length), then the replay of its history,
  // under SMC' its twin. 1 when the new tree has a root, 0 otherwise.
  int implementRecombinationsOnSecondTree(const TSimSettings& settings, int n);
  bool replayBuildTreeWithRecsOn2ndTreeNew(const TSimSettings& settings, int locus);
  bool replayBuildTreeWithRecsOn2ndTreeSMC2(const TSimSettings& settings, int locus);
  // First trees of the expected-spectrum road with their history recorded
  // (engine/freqCoalescent.cpp): the number of iterations, 0 without a root,
  // -1000001 at the iteration limit. The expected variant finishes a last
  // deme with mean waiting times.
  int buildRandomFirstTreeForRecCTFast();
  int buildExpectedFirstTreeForRecCTFast();
  // Next internal node of the tree being built, null when all are taken.
  TNode* nextInternalNode();
  // Hands out the next branch-table entry to lineage; false beyond the table.
  bool giveNextRecBranch(TNode* lineage);

  // Four-gamete test of chromosome `chromosome` for every deme with a sample
  // (sfs/F4GTRun.cpp), appended to fileName; a deme without the chromosome's
  // genotype block is skipped with a message. False when the file cannot be written.
  bool compute4GTFailures(const MY_TArrayAsVector<double>& classes, int chromosome,
                          const my_string& fileName);

  // Genealogy for expected spectra: 1 when it has a root; otherwise minus the
  // iterations performed (-1000001 at the iteration limit), with a message
  // on stderr saying why and bad_coalescence set.
  int buildTreeNoRecContinousTimeForFreqData();
  // Historical event number index at time t for that genealogy; keeps the
  // emigration rates and totMigrationRate up to date. Returns 1.
  int implementEventCTForFreqData(const int& index, double t, bool record = false);
  // Adds the branches of the finished tree that are polymorphic in the SNP
  // ascertainment panel into the expected spectra (the whole tree into the totals).
  void updateExpAFSAscForDNASNPs();

  // Likelihood columns of every observed data set against the expected spectra;
  // header mode writes the column names. Returns the last value computed, or
  // -infinity when an expected spectrum holds no tree length (no likelihood).
  double computeLHoodsFromAFS(std::ostream& os, bool header, const TObsAFS* observed);
  double computeLHoodsFromMultiSFS(std::ostream& os, bool header, const TObsAFS* observed);
  void writeLhoodToFile(std::ostream& os, bool header, double lhood);
  double computeDAFLHoodsFromAFS4Brent(const TObsAFS* observed);
  double computeMAFLHoodsFromAFS4Brent(const TObsAFS* observed);

  // Chromosomes first .. last - 1 of one data set on this (batch) collection:
  // 1 when all were simulated, 0 at the first failure (failedChromosome set).
  int simulateIndependentChroms(int simIndex, int first, int last, TSimSettings& settings);
  // Takes over the results of a batch that simulated chromosomes first .. last - 1.
  void collectSimulatedDataInBatch(TDemeCollection& batch, int first, int last);

  // Project file sections written from this collection (driver/projectFile.cpp).
  bool writeDataToQuendrelFile(std::ostream& os, int genotypic, const TSimSettings& settings);
  void write_group_section_to_Quendrel_file(std::ostream& os);

  // Observed spectra of the simulated data (sfs/simSites.cpp, sfs/simSFS.cpp).
  void createPolymPosVector(int* ignored);
  void updateBootPolymPosVector();
  // Properties of the used sites from the allele counts of the data set's
  // sites (counted first when they are not yet); false, with a message, when
  // a state cannot be read or is not an allele 0 .. 3.
  bool determineAllelicSiteProperties();
  // The spectra of the used sites, from the allele counts of the data set's
  // sites (counted first from dataSetStates when they are not yet); false
  // when the states cannot be read or are not SNP alleles.
  bool computeObsMAFSandDAFS(int replicate);
  // The spectra a data set would have, every cell nan: the row of a data set
  // whose spectra cannot be made.
  void markObservedSpectraUnmade();
  void computeObsJointMAFandDAFnew3(int i, int j, AFS* maf, AFS* daf, int replicate);
  void computePooledSFS(int replicate);
  void computeObsMultiSFS(multiSFS* maf, multiSFS* daf);


 private:
  void releaseSpectra();
  void applyGrowthRates(const MY_TArrayAsVector<double>& rates);
  bool applySampleSizes(const MY_TArrayAsVector<int>& sizes, const char* caller);
  bool prepareNodeStore(int total);
  bool handOutTips(int numTipDemes);
  void resetActiveDemes();
  bool placeTips(int total, int numTipDemes);
};

// Emigration rates of the demes under the current matrix; false while migration is off.
bool computeMigrProbaPerActiveDeme(TDemeCollection& collection);
bool computeMigrProbaForAllDemes(TDemeCollection& collection);
bool computeMigrProbaPerActiveDemeForFreqData(TDemeCollection& collection);
bool setInitMigrProbaPerActiveDeme(TDemeCollection& collection);
bool updateMigrProbaToOtherDemes(TDeme& deme, TDemeCollection& collection);
// Sum over the listed demes of numLineages x emigrationRate.
double listedMigrationTotal(const TDemeCollection& collection);

// Whole generations of a time in engine units, for progress lines, tree texts
// and messages: truncated toward zero and held within +-9e18, so that the
// times of models with huge sizes or growth convert without overflow.
long long generationsOf(double time);

// Text dumps of a deme and of a whole collection (demes, matrices, events).
std::ostream& operator<<(std::ostream& os, const TDeme& deme);
std::ostream& operator<<(std::ostream& os, const TDemeCollection& collection);
