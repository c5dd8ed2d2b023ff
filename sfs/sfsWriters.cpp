// Spectrum files: 1-D spectra per deme, joint tables per deme pair, the
// multi-dimensional spectrum, their dadi layouts and the table of site counts.
// Every number is formatted here explicitly, so no format left on a stream by
// an earlier value changes a later one.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/outputFile.h"
#include "support/outputFile.h"

namespace {

std::string format(const char* pattern, double value) {
  char buf[400];  // %.10f of the largest double fits
  std::snprintf(buf, sizeof buf, pattern, value);
  return buf;
}

// Likelihood in a header line.
std::string lhoodText(double v) { return format("%.10f", v); }

// Observed count: one decimal when it has a fractional part (half sites), else none.
std::string observedText(double v) { return format(v == std::floor(v) ? "%.0f" : "%.1f", v); }

// Expected proportion: 6 significant digits, exponent notation when very small or large.
std::string expectedText(double v) { return format("%g", v); }

// Entry of a 1-D or joint table; the monomorphic cell of an expected table is written as 0.
std::string tableEntry(double v, bool observed, bool monomorphicCell) {
  if (observed) return observedText(v);
  return monomorphicCell ? "0" : expectedText(v);
}

// Entry of a dadi line: observed counts as whole numbers.
std::string dadiEntry(double v, bool observed) {
  return observed ? format("%.0f", v) : expectedText(v);
}

bool openOutput(TOutputFile& os, const std::string& name, bool append) {
  if (os.open(name, append ? std::ios::app : std::ios::trunc)) return true;
  std::cerr << "\nError! Unable to open output file \"" << name << "\"\n";
  return false;
}

// Closes a table and says whether all of it was written (a full disk fails
// the last writes, or the close).
bool finishOutput(TOutputFile& os, const std::string& name) {
  os.close();
  if (os) return true;
  std::cerr << "\nError! Unable to write output file \"" << name << "\"\n";
  return false;
}

// Opens the file of one table and lets write(os) fill it; false when it
// cannot be opened or written.
template <class Write>
bool writeTableFile(const std::string& name, bool append, Write write) {
  TOutputFile os;
  if (!openOutput(os, name, append)) return false;
  write(os);
  return finishOutput(os, name);
}

std::string fileBase(const std::string& folder, const std::string& prefix, const char* infix) {
  return folder + "/" + prefix + infix;
}

// What follows the deme numbers of a spectrum file name.
std::string fileEnd(AFS::FileKind kind) {
  switch (kind) {
    case AFS::FileKind::OBSERVED: return TObsAFS::ascSuffix() + ".obs";
    case AFS::FileKind::EXPECTED: return TObsAFS::ascSuffix() + ".txt";
    case AFS::FileKind::DADI: break;
  }
  return "_dadi" + TObsAFS::ascSuffix() + ".obsSFS";
}

AFS::FileKind valuesKind(bool observed) {
  return observed ? AFS::FileKind::OBSERVED : AFS::FileKind::EXPECTED;
}

void endLabelLine(std::ostream& os, int numMultiAllelic) {
  if (numMultiAllelic != 0)
    os << "\t(" << numMultiAllelic << " sites with multiple mutations were discarded)\n";
  else
    os << "\n";
}

void writeCountLine(std::ostream& os, int oneDataSetPerFile, int numDataSets, const char* one,
                    double lhood) {
  if (oneDataSetPerFile)
    os << one;
  else
    os << numDataSets << " observations (lhood = ";
  os << lhoodText(lhood) << ")\n";
}

}  // namespace

// ------------------------------------------------------------------ file names

std::string AFS::popSpectrumFileName(const std::string& folder, const std::string& prefix,
                                     int deme, FileKind kind) const {
  return fileBase(folder, prefix, popInfix) + std::to_string(deme) + fileEnd(kind);
}

std::string AFS::jointSpectrumFileName(const std::string& folder, const std::string& prefix,
                                       int i, int j, FileKind kind) const {
  return fileBase(folder, prefix, jointInfix) + std::to_string(i) + "_" + std::to_string(j) +
         fileEnd(kind);
}

std::string AFS::multiSpectrumFileName(const std::string& folder, const std::string& prefix,
                                       FileKind kind) const {
  return fileBase(folder, prefix, multiInfix) + fileEnd(kind);
}

std::string AFS::siteCountFileName(const std::string& folder, const std::string& prefix) {
  return fileBase(folder, prefix, "_numPolymSites") + fileEnd(FileKind::OBSERVED);
}

// ------------------------------------------------------------------ 1-D and joint

void AFS::printJointAFS(std::ostream& os, int i, int j, int numMultiAllelic, bool labels,
                        bool observed, bool expected) const {
  const bool values = observed || expected;
  if (i == j) {
    const int n = sampleSizes[i];
    if (labels) {
      for (int k = 0; k <= n; ++k) os << "d" << i << "_" << k << "\t";
      endLabelLine(os, numMultiAllelic);
    }
    if (values)
      for (int k = 0; k <= n; ++k) os << tableEntry(spectrum(i)[k], observed, k == 0) << "\t";
    os << "\n";
    return;
  }
  const sfsTable& table = (*this)(i, j);
  const int rowDeme = i > j ? i : j, colDeme = i > j ? j : i;
  if (labels) {
    for (int l = 0; l <= sampleSizes[colDeme]; ++l) os << "\td" << colDeme << "_" << l;
    endLabelLine(os, numMultiAllelic);
  }
  for (int k = 0; k <= sampleSizes[rowDeme]; ++k) {
    if (values) {
      os << "d" << rowDeme << "_" << k;
      for (int l = 0; l <= sampleSizes[colDeme]; ++l)
        os << "\t" << tableEntry(table[k][l], observed, k == 0 && l == 0);
    }
    os << "\n";
  }
}

bool AFS::printAllPopAFS(const std::string& folder, const std::string& prefix, int header,
                         bool observed, int numDataSets, bool expected, int oneDataSetPerFile,
                         bool append, int numMultiAllelic, double lhood) {
  if (foldedSFS && hasTables()) {
    fold1POPAFS();
    std::strcpy(popInfix, "_MAFpop");
    if (numSampledDemes > 1) {  // polymorphic entries as proportions
      for (int d = 0; d < numDemes; ++d) {
        double* s = spectrum(d);
        double sum = 0.0;
        for (int k = 1; k <= sampleSizes[d]; ++k) sum += s[k];
        if (sum != 0.0)
          for (int k = 1; k <= sampleSizes[d]; ++k) s[k] /= sum;
      }
    }
  }
  if (oneDataSetPerFile && !observed) return true;
  const bool labels = header || oneDataSetPerFile;
  bool ok = true;
  for (int d = 0; d < numDemes; ++d) {
    if (sampleSizes[d] == 0) continue;
    const std::string name = popSpectrumFileName(folder, prefix, d, valuesKind(observed));
    if (!writeTableFile(name, append, [&](std::ostream& os) {
          if (observed && labels)
            writeCountLine(os, oneDataSetPerFile, numDataSets, " 1 observation (lhood = ", lhood);
          printJointAFS(os, d, d, numMultiAllelic, labels, observed, expected);
        }))
      ok = false;
  }
  return ok;
}

bool AFS::printAllPairwiseAFS(const std::string& folder, const std::string& prefix, int header,
                              bool observed, int numDataSets, bool expected,
                              int oneDataSetPerFile, bool append, int numMultiAllelic,
                              double lhood) {
  if (foldedSFS && hasTables()) {
    fold2POPAFS();
    std::strcpy(jointInfix, "_jointMAFpop");
  }
  if (oneDataSetPerFile && !observed) return true;
  const bool labels = header || oneDataSetPerFile;
  bool ok = true;
  for (int i = 1; i < numDemes; ++i) {
    for (int j = 0; j < i; ++j) {
      if (sampleSizes[i] == 0 || sampleSizes[j] == 0) continue;
      const std::string name = jointSpectrumFileName(folder, prefix, i, j, valuesKind(observed));
      if (!writeTableFile(name, append && !oneDataSetPerFile, [&](std::ostream& os) {
            if (observed && labels)
              writeCountLine(os, oneDataSetPerFile, numDataSets, "1 observation (lhood = ", lhood);
            printJointAFS(os, i, j, numMultiAllelic, labels, observed, expected);
          }))
        ok = false;
    }
  }
  return ok;
}

// ------------------------------------------------------------------ dadi layouts

void AFS::printJointAFS4dadi(std::ostream& os, int i, int j, int, bool observed, bool) const {
  if (i == j) {
    const int n = sampleSizes[i];
    const double* s = spectrum(i);
    os << "nan\t";
    for (int k = 1; k < n; ++k) os << dadiEntry(s[k], observed) << "\t";
    if (n >= 1) {
      if (isMAF)
        os << dadiEntry(s[n], observed) << "\t";
      else
        os << "nan";
    }
    os << "\n";
    return;
  }
  const sfsTable& table = (*this)(i, j);
  const int ni = sampleSizes[i > j ? i : j], nj = sampleSizes[i > j ? j : i];
  os << "nan";
  for (int r = 0; r <= ni; ++r) {
    for (int c = 0; c <= nj; ++c) {
      if (r == 0 && c == 0) continue;
      if (r == ni && c == nj)
        os << "\tnan";
      else
        os << "\t" << dadiEntry(table[r][c], observed);
    }
  }
  os << "\n";
}

bool AFS::printAllPopAFS4dadi(const std::string& folder, const std::string& prefix, int unused,
                              bool observed, int, bool expected, bool append) const {
  bool ok = true;
  for (int d = 0; d < numDemes; ++d) {
    if (sampleSizes[d] == 0) continue;
    const std::string name = popSpectrumFileName(folder, prefix, d, FileKind::DADI);
    if (!writeTableFile(name, append, [&](std::ostream& os) {
          printJointAFS4dadi(os, d, d, unused, observed, expected);
        }))
      ok = false;
  }
  return ok;
}

bool AFS::printAllPairwiseAFS4dadi(const std::string& folder, const std::string& prefix,
                                   int unused, bool observed, int, bool expected,
                                   bool append) const {
  bool ok = true;
  for (int i = 1; i < numDemes; ++i) {
    for (int j = 0; j < i; ++j) {
      if (sampleSizes[i] == 0 || sampleSizes[j] == 0) continue;
      const std::string name = jointSpectrumFileName(folder, prefix, i, j, FileKind::DADI);
      if (!writeTableFile(name, append, [&](std::ostream& os) {
            printJointAFS4dadi(os, i, j, unused, observed, expected);
          }))
        ok = false;
    }
  }
  return ok;
}

// ------------------------------------------------------------------ multi-dimensional

bool multiSFS::printSFS(const std::string& folder, const std::string& prefix, int header,
                        bool observed, int numDataSets, bool, int oneDataSetPerFile, bool append,
                        int numMultiAllelic, double lhood, bool dadi) const {
  const std::string name =
      multiSpectrumFileName(folder, prefix, dadi ? FileKind::DADI : valuesKind(observed));
  if (!isCreated) {
    std::cerr << "\nError! The multi-dimensional SFS has no entries: \"" << name
              << "\" is not written\n";
    return false;
  }
  TOutputFile os;
  if (!openOutput(os, name, append && !oneDataSetPerFile)) return false;
  if ((header || oneDataSetPerFile) && !dadi) {
    os << (oneDataSetPerFile ? 1 : numDataSets)
       << " observations. No. of demes and sample sizes are on next line (lhood="
       << lhoodText(lhood) << ")";
    if (numMultiAllelic != 0)
      os << "\t(" << numMultiAllelic << " sites with multiple mutations have been discarded)";
    os << "\n" << numDemes;
    for (int k = 0; k < numDemes; ++k) os << "\t" << sampleSizes[k];
    os << "\n";
  }
  for (int e = 0; e < totSFSEntries; ++e) {
    const double v = multiJointSFS[e];
    if (e > 0) os << "\t";
    if (!observed)
      os << expectedText(v);
    else if (e == 0 && !std::isnan(v))  // nan marks a data set that could not be counted
      os << static_cast<long long>(v);
    else
      os << observedText(v);
  }
  os << "\n";
  return finishOutput(os, name);
}

// ------------------------------------------------------------------ site counts

bool AFS::printNumMonoAndPolymSites(const std::string& folder, const std::string& prefix,
                                    int header, int numDataSets, int oneDataSetPerFile,
                                    bool append, const TDemeCollection& demes, bool counted) {
  TOutputFile os;
  const std::string name = siteCountFileName(folder, prefix);
  if (!openOutput(os, name, append)) return false;
  if (oneDataSetPerFile)
    os << " 1 observation";
  else if (header)
    os << numDataSets << " observations";
  os << " (tot num. simulated sites, num. polym. sites, num. sites with > 2 alleles, num. sites "
        "with fixed ancestral alleles, num. sites with no ancestral alllees, all on next line)\n";
  if (!counted) {  // a data set whose spectra could not be made
    os << "nan\tnan\tnan\tnan\tnan\n";
    return finishOutput(os, name);
  }
  long long polym = TSimSettings::SNPascertainment ? demes.ascertainedSites.numElems
                                                   : demes.numUsedPolymSites;
  if (TSimSettings::maxNumSNPs != 0 && polym > TSimSettings::maxNumSNPs)
    polym = TSimSettings::maxNumSNPs;
  os << demes.totNumSites << "\t" << polym << "\t" << demes.numMultiAllelicSites << "\t"
     << demes.numAncestralOnlySites << "\t" << demes.numFixedDerivedSites << "\n";
  return finishOutput(os, name);
}
