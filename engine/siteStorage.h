#pragma once
// Where the allele states of the simulated chromosomes are kept until a data
// set is written: in one genotype block per deme and chromosome (slot c of
// TDeme::loci holds chromosome c), or, for a chromosome with more sites than
// the in-memory limit, as 16-bit states in one temporary file per sampled
// gene. Every spilled chromosome has its own segment in those files, so any
// mix of spilled and in-memory chromosomes reaches the output; one reader
// serves both sources.
#include <fstream>
#include <string>
#include <vector>

class TDemeCollection;

// Where the states of one chromosome are.
struct TChromSource {
  bool spilled = false;     // in the gene files of a temporary folder, not in genotype blocks
  int folder = -1;          // batch number of that folder
  long long offset = 0;     // index of the chromosome's first state in every gene file
  long long numSites = 0;   // states per gene in the files
};

// The storage state of one collection for the current simulation.
class TSiteStorage {
 public:
  std::vector<TChromSource> sources;  // one per chromosome of the simulation
  std::vector<int> ownedFolders;      // temporary folders whose files this collection removes
  bool folderReady = false;           // own temporary folder made and owned
  bool filesStarted = false;          // own folder's gene files begun for this simulation
  std::vector<short> buffer;          // small spills gathered per gene before they are written
  long long bufferCapacity = 0;       // states per gene the buffer holds
  long long bufferedPerGene = 0;      // states per gene waiting in it
  long long statesInFiles = 0;        // states written so far to each own gene file
  std::string failure;                // first failure of the current data set; empty when none

  bool failed() const { return !failure.empty(); }
};

// States of the sampled genes on one chromosome, whichever the source: a row
// of the deme's genotype block, or the chromosome's segment of the gene file
// read back in one piece. One reader is used by one thread at a time.
class TChromStateReader {
 public:
  explicit TChromStateReader(const TDemeCollection& collection) : c_(collection) {}

  // Number of sites of chromosome chrom; -1 when the chromosome has no data.
  long long numSites(int chrom) const;
  // The numSites(chrom) states of gene `gene` (0-based) of deme `deme` on
  // chromosome chrom; null when they cannot be had (error() says why). The
  // pointer stays valid until the next call.
  const short* states(int deme, int gene, int chrom);
  const std::string& error() const { return error_; }

 private:
  const short* fromFile(int deme, int gene, int chrom);

  const TDemeCollection& c_;
  std::vector<short> buffer_;
  std::ifstream file_;
  std::string openPath_;
  std::string error_;
};

// The temporary folder this process made for batch `folder` in the run's
// working folder (support/interruptCleanup.h), without the final "/", and the
// gene file of deme d and gene g (both from 1) in it.
std::string tempFolderPath(int folder);
std::string tempGeneFilePath(int folder, int deme, int gene);
