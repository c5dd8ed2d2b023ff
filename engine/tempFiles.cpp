// Temporary gene files of a collection: one file per sampled gene in the
// folder of the collection's batch, holding the 16-bit states of the spilled
// chromosomes one after the other. Each chromosome's segment starts at the
// offset recorded in the storage table (the same for every gene of a batch,
// since every gene gets one state per site). Every open, write, close and
// read is checked; a failure fails the data set with the file's name.
#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "support/interruptCleanup.h"
#include "support/public.h"
#include "support/tempFolders.h"

std::string tempFolderPath(int folder) { return ownTempFolder(folder); }

std::string tempGeneFilePath(int folder, int deme, int gene) {
  return tempFolderPath(folder) + "/Ind_" + std::to_string(deme) + "_" + std::to_string(gene) +
         ".tmp";
}

namespace {

// A new folder of this process's for the batch in the output folder (listed
// there, so that a run killed outright leaves nothing the next run cannot
// remove); false when it cannot be made.
bool ensureFolder(int batch, std::string& problem) {
  const TTempFileCreation creation;
  std::string path;
  return makeOwnTempFolder(TSimSettings::workingDirectory, batch, path, problem);
}

}  // namespace

namespace {

// Spills smaller than this many states over all genes are gathered in memory
// and written together, so that a small in-memory limit never costs one
// opening of every gene file per site.
constexpr long long kSpillBufferStates = 1 << 18;

int totalGenes(const TDemeCollection& c) {
  int n = 0;
  for (int d = 0; d < c.numDemes; ++d) n += c.demes[d].sampleSize > 0 ? c.demes[d].sampleSize : 0;
  return n;
}

// Appends n states of every gene, statesOf(deme, gene) giving them, to the
// gene files; the first write of a simulation starts every file afresh, so
// nothing of an earlier simulation is ever read.
template <class StatesOf>
bool appendToGeneFiles(TDemeCollection& c, long long n, StatesOf statesOf) {
  TSiteStorage& st = c.siteStorage;
  const std::ios::openmode mode =
      std::ios::binary | std::ios::out | (st.filesStarted ? std::ios::app : std::ios::trunc);
  for (int d = 0; d < c.numDemes; ++d)
    for (int g = 0; g < c.demes[d].sampleSize; ++g) {
      const std::string path = tempGeneFilePath(c.batchId, d + 1, g + 1);
      const short* states = statesOf(d, g);
      const TTempFileCreation creation;
      std::ofstream file(path, mode);
      if (file && states && n > 0)
        file.write(reinterpret_cast<const char*>(states),
                   static_cast<std::streamsize>(sizeof(short) * n));
      if (file) file.close();
      if (!file || !states) {
        c.failDataSet("unable to write to the temporary file \"" + path + "\"");
        return false;
      }
    }
  st.filesStarted = true;
  return true;
}

}  // namespace

bool TDemeCollection::flushTempFileBuffer() {
  TSiteStorage& st = siteStorage;
  if (st.bufferedPerGene == 0) return !st.failed();
  const long long n = st.bufferedPerGene, cap = st.bufferCapacity;
  st.bufferedPerGene = 0;
  int index = 0;
  std::vector<int> firstOfDeme(numDemes, 0);
  for (int d = 0; d < numDemes; ++d) {
    firstOfDeme[d] = index;
    index += demes[d].sampleSize > 0 ? demes[d].sampleSize : 0;
  }
  return appendToGeneFiles(*this, n, [&](int d, int g) {
    return st.buffer.data() + (firstOfDeme[d] + g) * cap;
  });
}

bool TDemeCollection::writePolymLociToTempFiles() {
  if (siteStorage.failed()) return false;
  TSiteStorage& st = siteStorage;
  if (curChrom < 0) {
    failDataSet("a chromosome without index cannot be spilled to temporary files");
    return false;
  }
  if (curChrom >= static_cast<int>(st.sources.size())) st.sources.resize(curChrom + 1);
  TChromSource& source = st.sources[curChrom];
  if (numTempFileFlushes == 0) source = TChromSource{true, batchId, st.statesInFiles, 0};
  if (!st.folderReady) {
    std::string problem;
    if (!ensureFolder(batchId, problem)) {
      failDataSet(problem);
      return false;
    }
    st.folderReady = true;
    st.ownedFolders.push_back(batchId);
    tempFilesExist = true;
  }
  const TNode* first = tree.nodes.count > 0 ? &tree.nodes.items[0] : nullptr;
  const long long n = first && first->polymSites ? first->polymSites->numElems : 0;
  auto tipStates = [this, n](int d, int g) -> const short* {
    const TDeme& deme = demes[d];
    if (g >= deme.sampledNodes.count()) return nullptr;
    const MY_TArrayAsVector<short>* list = deme.sampledNodes[g]->polymSites;
    return list && list->numElems >= n ? list->elems : nullptr;
  };
  const int genes = totalGenes(*this);
  const long long cap = genes > 0 ? std::max(1LL, kSpillBufferStates / genes) : 1;
  if (st.bufferedPerGene + n > cap && !flushTempFileBuffer()) return false;
  if (n >= cap) {
    if (!appendToGeneFiles(*this, n, tipStates)) return false;
  } else if (n > 0) {
    if (st.bufferCapacity != cap) {
      st.buffer.assign(static_cast<size_t>(cap * genes), 0);
      st.bufferCapacity = cap;
    }
    int index = 0;
    for (int d = 0; d < numDemes; ++d)
      for (int g = 0; g < demes[d].sampleSize; ++g, ++index) {
        const short* states = tipStates(d, g);
        if (!states) {
          failDataSet("sampled gene " + std::to_string(g + 1) + " of deme " +
                      std::to_string(d + 1) + " has no states to spill");
          return false;
        }
        std::copy(states, states + n, st.buffer.data() + index * cap + st.bufferedPerGene);
      }
    st.bufferedPerGene += n;
  }
  st.statesInFiles += n;
  source.numSites += n;
  ++numTempFileFlushes;
  return true;
}

void TDemeCollection::removeTempFiles() {
  for (int folder : siteStorage.ownedFolders) emptyOwnTempFolder(folder);
  siteStorage.ownedFolders.clear();
  siteStorage.filesStarted = siteStorage.folderReady = false;
  siteStorage.bufferedPerGene = 0;
  siteStorage.statesInFiles = 0;
  tempFilesExist = false;
}

const short* TChromStateReader::fromFile(int deme, int gene, int chrom) {
  const TChromSource& source = c_.siteStorage.sources[chrom];
  const std::string path = tempGeneFilePath(source.folder, deme + 1, gene + 1);
  if (path != openPath_) {
    file_.close();
    file_.clear();
    openPath_.clear();
    file_.open(path, std::ios::binary | std::ios::in);
    if (file_) openPath_ = path;
  }
  const long long n = source.numSites;
  buffer_.resize(n > 0 ? static_cast<size_t>(n) : 1);
  if (file_) {
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(source.offset * static_cast<long long>(sizeof(short))));
    file_.read(reinterpret_cast<char*>(buffer_.data()),
               static_cast<std::streamsize>(n * static_cast<long long>(sizeof(short))));
  }
  if (!file_ || file_.gcount() != static_cast<std::streamsize>(n * sizeof(short))) {
    error_ = "unable to read the states of chromosome " + std::to_string(chrom + 1) +
             " from the temporary file \"" + path + "\"";
    file_.close();
    file_.clear();
    openPath_.clear();
    return nullptr;
  }
  return buffer_.data();
}
