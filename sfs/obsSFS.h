#pragma once
// Observed site frequency spectra read from the user's files beside the model
// file: one spectrum per observed data set, in the minor-allele and the
// derived-allele flavour, as per-deme and joint tables, as a pooled spectrum or
// as a multi-dimensional spectrum. A malformed file stops the read with a
// message naming the file, the observation and the line.
#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sfs/AFS.h"

class TDemeCollection;
class TSimSettings;

// Where a spectrum reader stands in an observed file between observations, and
// why it stopped when it failed.
struct TObsReadState {
  std::streamoff pos = 0;  // stream position of the next observation; 0 = file start
  long line = 0;           // lines consumed before pos
  std::string problem;     // set by a reader that fails
};

// What a multi-dimensional observation brings to its likelihood besides its
// entries: the ascending indices of the entries that are at least
// AFS::minValidSFSEntry and above 0, the total of all entries and the total of
// the entries not listed.
struct TObsMultiSummary {
  std::vector<int> validEntries;
  double totNumObsSites = 0.0;
  double totInvalidObsSites = 0.0;
};

class TObsAFS {
 public:
  // One spectrum per observed data set; empty until read. obsDAF holds, in
  // folded mode, the folded spectra of the minor-allele files. 1-D, joint and
  // pooled spectra carry the derived-allele flag in both slots; the
  // multi-dimensional ones carry the flavour of their slot.
  std::vector<AFS> obsMAF;
  std::vector<AFS> obsDAF;
  std::vector<multiSFS> obsMultiDAF;
  std::vector<multiSFS> obsMultiMAF;
  int numObs = 0;  // number of observed data sets (0 before any read)

  // Per observation of obsMultiDAF / obsMultiMAF, kept for the whole process.
  std::vector<TObsMultiSummary> multiDAFSummary;
  std::vector<TObsMultiSummary> multiMAFSummary;

  TObsAFS() = default;
  TObsAFS(const TObsAFS&) = delete;
  TObsAFS& operator=(const TObsAFS&) = delete;
  ~TObsAFS() = default;

  // Forgets the counts of earlier reads, so that a new set of reads (one
  // flavour or both) must agree only among itself.
  void beginRead();

  // 1-D and joint spectra. 1 when every file was read, 0 otherwise (message on
  // the error stream).
  int readObsAFS(const std::string& prefix, TDemeCollection& demes, bool isMAF);
  bool readObsJointAFS(const std::string& prefix, TDemeCollection& demes, bool isMAF);
  // Pooled spectrum of all sampled genes; a missing file is named in the message.
  bool readPooledObsAFS(const std::string& prefix, TDemeCollection& demes, bool isMAF);
  bool readPooledObsJointAFS(const std::string& prefix, TDemeCollection& demes, bool isMAF);
  // Multi-dimensional spectrum; the settings argument is not used.
  bool readObsMultiSFS(const std::string& prefix, TDemeCollection& demes, bool isMAF,
                       TSimSettings* settings = nullptr);

  // Installs the valid-entry list and the totals of multi-dimensional
  // observation k of the given flavour as multiSFS::validSFSEntries,
  // multiSFS::totNumObsSites and multiSFS::totInvalidObsSites (creating the list
  // when it is absent). False when there is no such observation.
  bool selectMultiObs(bool isMAF, int k) const;
  // Installs observation 0 of the derived-allele spectra when they were read,
  // else of the minor-allele ones: the data set the relative values refer to.
  void selectDefaultMultiObs() const;

  // True when every spectrum read has the dimensions of the collection's model;
  // otherwise writes a message naming the difference.
  bool matchesModel(const TDemeCollection& demes) const;

  // File names of the observed spectra, "-asc<k>" suffix included when SNP
  // ascertainment is on.
  static std::string ascSuffix();
  static std::string popFileName(const std::string& prefix, bool isMAF, int deme);
  static std::string jointFileName(const std::string& prefix, bool isMAF, int i, int j);
  static std::string pooledFileName(const std::string& prefix, bool isMAF);
  static std::string multiFileName(const std::string& prefix, bool isMAF);

 private:
  int firstCount = 0;           // count of the first file of the current reads (0: none yet)
  std::string firstCountFile;   // the file it came from

  // Observations already warned about for sites in impossible cells (file
  // name and observation): an estimation reads the files again at each start.
  std::set<std::pair<std::string, int>> warnedImpossible_;

  bool acceptCount(std::istream& is, const std::string& fileName, bool countFile);
  bool readJointFile(const std::string& name, std::vector<AFS>& slot,
                     const TDemeCollection& demes, int i, int j, bool minor);
  bool readPopFile(const std::string& name, std::vector<AFS>& slot,
                   const TDemeCollection& demes, int deme, bool pooled, bool minor);
  // Warns (once per file and observation) about observed sites in cells that
  // no genealogy can give; the table holds prod(sizes + 1) cells.
  void warnImpossibleSites(const std::string& name, int obs, const std::vector<int>& sizes,
                           const double* cells, const TDemeCollection& demes, bool minor,
                           const std::vector<int>& demesOfAxes);
};

// Builds the list of demes that enter the spectra (TDemeCollection::validDemes)
// when it does not exist, else only resets TDemeCollection::lastNumValidDemesIndex.
void buildValidDemes(const TDemeCollection& demes);
