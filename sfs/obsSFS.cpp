// Reading of the observed spectra of a run from the files named after the
// model: the count of observations, the spectra of every observation, and the
// summaries that the multi-dimensional likelihood needs.
#include "sfs/obsSFS.h"

#include <fstream>
#include <new>
#include <iostream>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/impossibleCells.h"
#include "sfs/obsParse.h"
#include "support/containers.h"

namespace {

const char* popInfix(bool minor) { return minor ? "_MAFpop" : "_DAFpop"; }
const char* jointInfix(bool minor) { return minor ? "_jointMAFpop" : "_jointDAFpop"; }

// Files of the minor-allele kind are read for a minor-allele request and in folded mode.
bool minorKind(bool isMAF) { return isMAF || AFS::foldedSFS; }

int totalSample(const TDemeCollection& demes) {
  int n = 0;
  for (int d = 0; d < demes.numDemes; ++d) n += demes.demes[d].sampleSize;
  return n;
}

bool reportNoSample() {
  std::cerr << "\nError! No deme of the model has a sample: no observed SFS can be read\n";
  return false;
}

void reportMissing(const std::string& name) {
  std::cerr << "\nObserved data file (\"" << name << "\") does not seem to be present\n"
            << "Unable to compute the likelihood \n";
}

bool reportUnopened(const std::string& name) {
  std::cerr << "\nError! Unable to open file \"" << name << "\"\n";
  return false;
}

bool reportProblem(const std::string& name, int obs, const TObsReadState& state) {
  std::cerr << "\nError! Observed SFS file \"" << name << "\", observation " << obs + 1
            << ", line " << state.line << ": " << state.problem << "\n";
  return false;
}

TObsMultiSummary summarize(const multiSFS& sfs) {
  TObsMultiSummary s;
  for (int e = 0; e < sfs.totSFSEntries; ++e) {
    const double v = sfs.multiJointSFS[e];
    if (v >= AFS::minValidSFSEntry && v > 0.0)
      s.validEntries.push_back(e);
    else
      s.totInvalidObsSites += v;
    s.totNumObsSites += v;
  }
  return s;
}

}  // namespace

void buildValidDemes(const TDemeCollection& demes) {
  if (TDemeCollection::validDemes) {
    TDemeCollection::lastNumValidDemesIndex = TDemeCollection::numValidDemes - 1;
    return;
  }
  TDemeCollection::validDemes = new int[demes.numDemes > 0 ? demes.numDemes : 1];
  int count = 0;
  for (int d = 0; d < demes.numDemes; ++d)
    if (demes.demes[d].sampleSize > 0) TDemeCollection::validDemes[count++] = d;
  TDemeCollection::numValidDemes = count;
  TDemeCollection::lastNumValidDemesIndex = count - 1;
}

std::string TObsAFS::ascSuffix() {
  if (!TSimSettings::SNPascertainment) return "";
  return "-asc" + std::to_string(TSimSettings::ascertainedSize);
}

std::string TObsAFS::popFileName(const std::string& prefix, bool isMAF, int deme) {
  return prefix + popInfix(isMAF) + std::to_string(deme) + ascSuffix() + ".obs";
}

std::string TObsAFS::jointFileName(const std::string& prefix, bool isMAF, int i, int j) {
  return prefix + jointInfix(isMAF) + std::to_string(i) + "_" + std::to_string(j) +
         ascSuffix() + ".obs";
}

std::string TObsAFS::pooledFileName(const std::string& prefix, bool isMAF) {
  return prefix + (isMAF ? "_MAFpooled" : "_DAFpooled") + ascSuffix() + ".obs";
}

std::string TObsAFS::multiFileName(const std::string& prefix, bool isMAF) {
  return prefix + (isMAF ? "_MSFS" : "_DSFS") + ascSuffix() + ".obs";
}

void TObsAFS::beginRead() {
  firstCount = 0;
  firstCountFile.clear();
}

// The first token of the first line is the number of observations. A count
// file sets numObs (and must agree with the count of the other flavour read
// in the same set of reads); a data file must announce the same number.
bool TObsAFS::acceptCount(std::istream& is, const std::string& fileName, bool countFile) {
  std::string line;
  std::getline(is, line);
  std::vector<std::string> tokens = obsparse::splitTokens(line);
  const std::string token = tokens.empty() ? "" : tokens[0];
  int count = 0;
  if (!obsparse::parseInt(token, count) || count < 1) {
    std::cerr << "\nError! Observed SFS file \"" << fileName
              << "\", line 1: the number of observations (\"" << token
              << "\") must be an integer of at least 1\n";
    return false;
  }
  if (countFile && firstCount != 0 && count != firstCount) {
    std::cerr << "\nError! Observed SFS file \"" << fileName << "\" holds " << count
              << " observations but \"" << firstCountFile << "\" holds " << firstCount
              << ": the minor-allele and derived-allele spectra must hold the same number\n";
    return false;
  }
  if (countFile) {
    numObs = count;
    if (firstCount == 0) {
      firstCount = count;
      firstCountFile = fileName;
    }
  } else if (count != numObs) {
    std::cerr << "\nError! Observed SFS file \"" << fileName << "\" announces " << count
              << " observations, but " << numObs << " were announced by \"" << firstCountFile
              << "\"\n";
    return false;
  }
  return true;
}

// ------------------------------------------------------------------ 1-D and joint

namespace {

// The spectrum of observation k, created when the read first reaches it: the
// file's own content, not the count it announces, bounds the memory taken.
AFS& spectrumOf(std::vector<AFS>& slot, size_t k, const TDemeCollection& demes, bool pooled) {
  if (k == slot.size()) {
    slot.emplace_back(false);
    if (pooled)
      slot.back().createPooledArray(demes);
    else
      slot.back().createArrays(demes);
  }
  return slot[k];
}

// Nothing but blank lines may follow the last observation announced.
bool checkFileEnd(std::istream& is, const std::string& name, int numObs, TObsReadState& state,
                  const std::string& table) {
  std::string found;
  if (obsparse::onlyBlankLinesLeft(is, state, found)) return true;
  state.problem = "the file holds more than the " + std::to_string(numObs) +
                  " observation(s) announced on its first line (" + table +
                  "): the line \"" + found + "\" follows the last one";
  return reportProblem(name, numObs - 1, state);
}

std::string tableSize(const TDemeCollection& demes, int deme, bool pooled) {
  const int n = pooled ? totalSample(demes) : demes.demes[deme].sampleSize;
  return std::string(pooled ? "the pooled spectrum" : "the spectrum of deme " +
                                                          std::to_string(deme)) +
         " has " + std::to_string(n + 1) + " entries, for " + std::to_string(n) + " genes";
}

bool reportNoMemory(const std::string& name, int obs, const TObsReadState& state) {
  std::cerr << "\nError! Observed SFS file \"" << name << "\", observation " << obs + 1
            << ", line " << state.line << ": not enough memory for this observation\n";
  return false;
}

}  // namespace

int TObsAFS::readObsAFS(const std::string& prefix, TDemeCollection& demes, bool isMAF) {
  buildValidDemes(demes);
  numObs = 0;
  if (TDemeCollection::numValidDemes == 0) {
    reportNoSample();
    return 0;
  }
  const bool minor = minorKind(isMAF);
  const int* valid = TDemeCollection::validDemes;
  std::string name = popFileName(prefix, minor, valid[0]);
  std::ifstream file(name);
  if (!file && TDemeCollection::numValidDemes >= 2) {
    name = jointFileName(prefix, minor, valid[1], valid[0]);
    file.open(name);
  }
  if (!file) {
    reportMissing(name);
    return 0;
  }
  if (!acceptCount(file, name, true)) return 0;
  (isMAF ? obsMAF : obsDAF).clear();
  return readObsJointAFS(prefix, demes, isMAF) ? 1 : 0;
}

bool TObsAFS::readPopFile(const std::string& name, std::vector<AFS>& slot,
                          const TDemeCollection& demes, int deme, bool pooled, bool minor) {
  std::ifstream file(name);
  if (!file) return reportUnopened(name);
  if (!acceptCount(file, name, false)) return false;
  TObsReadState state;
  for (int k = 0; k < numObs; ++k) {
    try {
      AFS& sfs = spectrumOf(slot, static_cast<size_t>(k), demes, pooled);
      bool ok = pooled ? sfs.readPooledObsPopAFS(file, state, sfs.sampleSizes[0])
                       : sfs.readObsPopAFS(file, deme, state);
      if (!ok) return reportProblem(name, k, state);
      const int n = pooled ? sfs.sampleSizes[0] : sfs.sampleSizes[deme];
      warnImpossibleSites(name, k, {n}, sfs.spectrum(pooled ? 0 : deme), demes, minor,
                          {pooled ? 0 : deme});
    } catch (const std::bad_alloc&) {
      return reportNoMemory(name, k, state);
    }
  }
  return checkFileEnd(file, name, numObs, state, tableSize(demes, deme, pooled));
}

bool TObsAFS::readJointFile(const std::string& name, std::vector<AFS>& slot,
                            const TDemeCollection& demes, int i, int j, bool minor) {
  std::ifstream file(name);
  if (!file) return reportUnopened(name);
  if (!acceptCount(file, name, false)) return false;
  TObsReadState state;
  for (int k = 0; k < numObs; ++k) {
    try {
      AFS& sfs = spectrumOf(slot, static_cast<size_t>(k), demes, false);
      if (!sfs.readObsPopPairAFS(file, i, j, state)) return reportProblem(name, k, state);
      warnImpossibleSites(name, k, {sfs.sampleSizes[i], sfs.sampleSizes[j]},
                          sfs(i, j).cells.data(), demes, minor, {i, j});
    } catch (const std::bad_alloc&) {
      return reportNoMemory(name, k, state);
    }
  }
  const int ni = demes.demes[i].sampleSize;
  return checkFileEnd(file, name, numObs, state,
                      "the joint table of demes " + std::to_string(i) + " and " +
                          std::to_string(j) + " has " + std::to_string(ni + 1) +
                          " rows, for the " + std::to_string(ni) + " genes of deme " +
                          std::to_string(i));
}

bool TObsAFS::readObsJointAFS(const std::string& prefix, TDemeCollection& demes, bool isMAF) {
  if (demes.numDemes == 0) return false;
  buildValidDemes(demes);
  std::vector<AFS>& slot = isMAF ? obsMAF : obsDAF;
  if (static_cast<int>(slot.size()) != numObs) slot.clear();  // rebuilt as the read goes
  const bool minor = minorKind(isMAF);
  const int numValid = TDemeCollection::numValidDemes;
  const int* valid = TDemeCollection::validDemes;
  if (numValid == 0) return reportNoSample();
  if (numValid == 1) {
    if (!readPopFile(popFileName(prefix, minor, valid[0]), slot, demes, valid[0], false, minor))
      return false;
  } else {
    for (int a = 1; a < numValid; ++a)
      for (int b = 0; b < a; ++b)
        if (!readJointFile(jointFileName(prefix, minor, valid[a], valid[b]), slot, demes,
                           valid[a], valid[b], minor))
          return false;
  }
  if (AFS::foldedSFS && !isMAF) {
    for (AFS& sfs : slot) {
      if (numValid == 1)
        sfs.fold1POPAFS();
      else
        sfs.fold2POPAFS();
    }
  }
  return true;
}

// ------------------------------------------------------------------ pooled

bool TObsAFS::readPooledObsAFS(const std::string& prefix, TDemeCollection& demes, bool isMAF) {
  buildValidDemes(demes);
  numObs = 0;
  if (demes.numDemes == 0) return false;
  if (totalSample(demes) == 0) return reportNoSample();
  const std::string name = pooledFileName(prefix, minorKind(isMAF));
  std::ifstream file(name);
  if (!file) {
    reportMissing(name);  // the message names it: a refused run writes no file
    return false;
  }
  if (!acceptCount(file, name, true)) return false;
  (isMAF ? obsMAF : obsDAF).clear();
  return readPooledObsJointAFS(prefix, demes, isMAF);
}

bool TObsAFS::readPooledObsJointAFS(const std::string& prefix, TDemeCollection& demes,
                                    bool isMAF) {
  if (demes.numDemes == 0) return false;
  if (totalSample(demes) == 0) return reportNoSample();
  std::vector<AFS>& slot = isMAF ? obsMAF : obsDAF;
  if (static_cast<int>(slot.size()) != numObs) slot.clear();  // rebuilt as the read goes
  return readPopFile(pooledFileName(prefix, minorKind(isMAF)), slot, demes, 0, true,
                     minorKind(isMAF));
}

// ------------------------------------------------------------------ multi-dimensional

bool TObsAFS::readObsMultiSFS(const std::string& prefix, TDemeCollection& demes, bool isMAF,
                              TSimSettings*) {
  if (demes.numDemes == 0) return false;
  numObs = 0;
  const std::string name = multiFileName(prefix, minorKind(isMAF));
  std::ifstream file(name);
  if (!file) {
    std::cerr << "\nError! Unable to open multiSFS file \"" << name << "\"\n";
    return false;
  }
  if (!acceptCount(file, name, true)) return false;
  buildValidDemes(demes);
  std::vector<multiSFS>& slot = isMAF ? obsMultiMAF : obsMultiDAF;
  slot.clear();
  file.clear();
  file.seekg(0);
  TObsReadState state;
  std::vector<TObsMultiSummary>& summaries = isMAF ? multiMAFSummary : multiDAFSummary;
  summaries.clear();
  // Each spectrum is created when the read reaches it, so that the file's
  // content, not the count it announces, bounds the memory taken.
  for (int k = 0; k < numObs; ++k) {
    try {
      slot.emplace_back(isMAF);
      if (!slot.back().createSFSdadiLike(demes)) {
        std::cerr << "\nError! The multi-dimensional SFS of the model is too large to read \""
                  << name << "\"\n";
        slot.clear();
        return false;
      }
      if (!slot[k].readObsSFS(file, state)) return reportProblem(name, k, state);
      warnImpossibleSites(name, k, slot[k].sampleSizes, slot[k].multiJointSFS.data(), demes,
                          minorKind(isMAF), {});
      summaries.push_back(summarize(slot[k]));
    } catch (const std::bad_alloc&) {
      return reportNoMemory(name, k, state);
    }
  }
  std::string entries = "the model has " + std::to_string(slot.back().totSFSEntries) +
                        " entries per observation";
  if (!checkFileEnd(file, name, numObs, state, entries)) return false;
  selectDefaultMultiObs();
  return true;
}

void TObsAFS::warnImpossibleSites(const std::string& name, int obs, const std::vector<int>& sizes,
                                  const double* cells, const TDemeCollection& demes, bool minor,
                                  const std::vector<int>& demesOfAxes) {
  // Under SNP ascertainment the panel's genes carry alleles too: a site fixed
  // in the sample can be polymorphic in the panel.
  if (TSimSettings::SNPascertainment) return;
  const int total = totalSample(demes);
  const TImpossibleSites found = impossibleSites(sizes, cells, total, minor);
  if (found.cells.empty() || !warnedImpossible_.insert({name, obs}).second) return;
  std::vector<std::string> names;
  for (const std::vector<int>& counts : found.cells) {
    std::string cell;
    if (demesOfAxes.empty()) {  // multi-dimensional: the entry's index and its counts
      long index = 0;
      for (size_t k = 0; k < counts.size(); ++k) {
        index = index * (sizes[k] + 1) + counts[k];
        cell += " " + std::to_string(counts[k]);
      }
      cell = "entry " + std::to_string(index) + " (counts" + cell + ")";
    } else {
      for (size_t k = 0; k < counts.size(); ++k)
        cell += std::string(k ? ", " : "") + "d" + std::to_string(demesOfAxes[k]) + "_" +
                std::to_string(counts[k]);
      cell = counts.size() > 1 ? "cell (" + cell + ")" : "cell " + cell;
    }
    names.push_back(cell);
  }
  std::cerr << impossibleSitesWarning(name, obs, found, names, minor, total);
}

bool TObsAFS::selectMultiObs(bool isMAF, int k) const {
  const std::vector<TObsMultiSummary>& summaries = isMAF ? multiMAFSummary : multiDAFSummary;
  if (k < 0 || k >= static_cast<int>(summaries.size())) return false;
  const TObsMultiSummary& s = summaries[k];
  const int n = static_cast<int>(s.validEntries.size());
  MY_TArrayAsVector<int>*& list = multiSFS::validSFSEntries;
  if (!list) list = new MY_TArrayAsVector<int>(n, 1000);
  if (list->capacity < n + 1) list->Reallocate(n + 1);
  list->numElems = list->reserved = 0;
  for (int e : s.validEntries) list->Add(e);
  multiSFS::totNumObsSites = s.totNumObsSites;
  multiSFS::totInvalidObsSites = s.totInvalidObsSites;
  return true;
}

void TObsAFS::selectDefaultMultiObs() const {
  if (!selectMultiObs(false, 0)) selectMultiObs(true, 0);
}

// ------------------------------------------------------------------ model check

namespace {

std::string describe(const AFS& sfs) {
  std::string text = std::to_string(sfs.numDemes) + " deme(s) of";
  for (int n : sfs.sampleSizes) text += " " + std::to_string(n);
  return text + " genes";
}

bool sameSizes(const AFS& sfs, const TDemeCollection& demes) {
  if (sfs.numDemes == demes.numDemes) {
    for (int d = 0; d < demes.numDemes; ++d)
      if (sfs.sampleSizes[d] != demes.demes[d].sampleSize) return false;
    return true;
  }
  return sfs.numDemes == 1 && sfs.sampleSizes[0] == totalSample(demes);  // pooled
}

}  // namespace

bool TObsAFS::matchesModel(const TDemeCollection& demes) const {
  std::vector<const AFS*> spectra;
  for (const AFS& s : obsMAF) spectra.push_back(&s);
  for (const AFS& s : obsDAF) spectra.push_back(&s);
  for (const multiSFS& s : obsMultiDAF) spectra.push_back(&s);
  for (const multiSFS& s : obsMultiMAF) spectra.push_back(&s);
  for (const AFS* s : spectra) {
    if (sameSizes(*s, demes)) continue;
    std::string model = std::to_string(demes.numDemes) + " deme(s) of";
    for (int d = 0; d < demes.numDemes; ++d) model += " " + std::to_string(demes.demes[d].sampleSize);
    std::cerr << "\nError! The observed SFS were read for " << describe(*s)
              << ", but the model of this run has " << model << " genes\n";
    return false;
  }
  return true;
}
