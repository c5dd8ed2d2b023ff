// Gene lines of a project file: the prefix naming the gene (or individual),
// then one token per site, chromosome after chromosome. One writer serves
// every source of states, so a data set kept in memory and one spilled to
// temporary files give the same lines. In a file that declares its loci apart
// (chromosomes mixing block types), the one-character SNP and DNA tokens (and
// the RFLP filler) get a blank before them wherever the line does not already
// end in white space; files of DNA or SNP alone run them together.
#include <ostream>
#include <string>
#include <vector>

#include <omp.h>

#include "driver/projectFile.h"
#include "engine/deme.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"
#include "support/textAppender.h"

namespace {

const char kNucleotides[] = "AGCTAGTCGACTGATCCTAGCTGATCAGTCGA";

// Walks the run's sorted list of ascertained sites alongside the global site
// index of a line.
class TAscertainedCursor {
 public:
  explicit TAscertainedCursor(const MY_TArrayAsVector<int>& list) : list_(list) {}
  bool contains(int globalIndex) {
    while (next_ < list_.numElems && list_[next_] < globalIndex) ++next_;
    return next_ < list_.numElems && list_[next_] == globalIndex;
  }

 private:
  const MY_TArrayAsVector<int>& list_;
  int next_ = 0;
};

// A gene line, written in one piece.
class TLineText : public TTextAppender {
 public:
  using TTextAppender::TTextAppender;
  // A blank unless the text ends in white space (the line prefix ends in a tab).
  void apart() {
    if (!text_.empty() && text_.back() != ' ' && text_.back() != '\t') text_ += ' ';
  }
};

// The writer of one gene line.
class TGeneLine {
 public:
  TGeneLine(std::string& text, const TSimSettings& s)
      : os_(text),
        s_(s),
        asc_(s.demeCollection.ascertainedSites),
        apart_(lociApartInFile(projectFileDataType(s))) {}

  void prefix(int deme, int gene, int genotypic) {
    if (!genotypic)
      os_ << deme + 1 << "_" << gene + 1 << "\t1\t";
    else if (gene % 2 == 0)
      os_ << deme + 1 << "_" << gene / 2 + 1 << "\t1\t";
    else
      os_ << "\t\t";
  }

  // Token of a monomorphic position of the given type.
  void monomorphic(DataType type) {
    switch (type) {
      case DataType::MICROSAT:
        os_ << " 500";
        break;
      case DataType::RFLP:
        separate();
        os_ << "0";
        break;
      case DataType::STANDARD:
        os_ << " 0";
        break;
      case DataType::DNA:
        separate();
        if (OUTPUT_DNA_AS_SNP) {
          os_ << "0";
        } else {
          // The draw is kept: the data set's later draws depend on it.
          const int u = static_cast<int>(s_.demeCollection.randomGenerator->takeUniform());
          os_ << kNucleotides[4 * u];
        }
        break;
      case DataType::SNP:
        separate();
        os_ << "0";
        break;
      case DataType::FREQ:
        break;
    }
  }

  // Token of a polymorphic site; false when the site is a DNA site that the
  // ascertainment panel rejects (nothing written).
  bool site(const TPolymSiteInfo& info, short state, int globalIndex) {
    switch (static_cast<DataType>(info.dataType)) {
      case DataType::MICROSAT:
        os_ << " " << state + 500 << " ";
        return true;
      case DataType::RFLP:
      case DataType::STANDARD:
        os_ << " " << static_cast<int>(state) << " ";
        return true;
      case DataType::SNP:
        if (!snpBlankWritten_) os_ << " ";
        snpBlankWritten_ = true;
        separate();
        os_ << static_cast<int>(state);
        return true;
      case DataType::DNA:
        if (TSimSettings::SNPascertainment && !asc_.contains(globalIndex)) return false;
        separate();
        if (OUTPUT_DNA_AS_SNP)
          os_ << static_cast<int>(state);
        else
          os_ << nucleotide(info.alphabetIndex, state);
        ++written_;
        return true;
      default:
        return true;
    }
  }

  // A DNA site written without filter or limit (the common case, kept short).
  void plainDNA(const TPolymSiteInfo& info, short state) {
    separate();
    if (state < 0 || state > 3)
      os_ << '?';
    else
      os_ << (OUTPUT_DNA_AS_SNP ? static_cast<char>('0' + state) : nucleotide(info.alphabetIndex, state));
  }

  // The -s limit: ascertained DNA sites written, or sites walked, reach it.
  bool limitReached(int globalIndex) const {
    const int m = TSimSettings::maxNumSNPs;
    if (m == 0) return false;
    return TSimSettings::SNPascertainment ? written_ >= m : globalIndex + 1 >= m;
  }

 private:
  static char nucleotide(int row, short state) {
    if (row < 0 || row > 7 || state < 0 || state > 3) return '?';
    return kNucleotides[4 * row + state];
  }

  // Before a token that does not begin with a blank of its own.
  void separate() {
    if (apart_) os_.apart();
  }

  TLineText os_;
  const TSimSettings& s_;
  TAscertainedCursor asc_;
  const bool apart_;  // the file declares its loci apart
  bool snpBlankWritten_ = false;
  int written_ = 0;  // ascertained DNA sites written
};

const MY_TArrayAsVector<TPolymSiteInfo>& sitesOf(int chromosome) {
  return TDemeCollection::polSitesInfo[chromosome];
}

// Loci of chromosome c's structure.
long lociOf(const TSimSettings& s, int c) {
  const int k = s.differentStructurePerLocus && s.numChromStructures > 1 ? c : 0;
  return s.totalNumLoci ? s.totalNumLoci[k] : 0;
}

// Polymorphic sites only: the line stops at the -s limit.
bool writeSitesOnly(TGeneLine& line, const TSimSettings& s, int deme, int gene,
                    const TGeneStates& states, std::string& text) {
  int j = 0;
  bool anySite = false;
  for (int c = 0; c < s.numIndependentLoci; ++c) {
    const MY_TArrayAsVector<TPolymSiteInfo>& sites = sitesOf(c);
    if (sites.numElems == 0) continue;
    anySite = true;
    const short* row = states(deme, gene, c);
    if (!row) return false;
    const bool unfiltered = !TSimSettings::SNPascertainment && TSimSettings::maxNumSNPs == 0;
    for (int k = 0; k < sites.numElems; ++k, ++j) {
      if (unfiltered && sites[k].dataType == static_cast<int>(DataType::DNA)) {
        line.plainDNA(sites[k], row[k]);
        continue;
      }
      const bool written = line.site(sites[k], row[k], j);
      if (written && sites[k].dataType == static_cast<int>(DataType::DNA) && line.limitReached(j))
        return text += '\n', true;
    }
  }
  if (!anySite) line.monomorphic(s.getDataType(0, 0));
  text += '\n';
  return true;
}

// Every position: monomorphic fillers between the sites. The -s limit stops
// the chromosome where it is reached: its later polymorphic positions are
// written as monomorphic ones. It fires once per line (the test is "reached",
// so it stays true after), and later chromosomes are written in full.
bool writeAllPositions(TGeneLine& line, const TSimSettings& s, int deme, int gene,
                       const TGeneStates& states, std::string& text) {
  int j = 0;
  bool fired = false;
  for (int c = 0; c < s.numIndependentLoci; ++c) {
    const MY_TArrayAsVector<TPolymSiteInfo>& sites = sitesOf(c);
    const short* row = sites.numElems > 0 ? states(deme, gene, c) : nullptr;
    if (sites.numElems > 0 && !row) return false;
    long p = 0;
    bool stopped = false;
    for (int k = 0; k < sites.numElems; ++k, ++j) {
      const long m = sites[k].pos;
      for (; p < m; ++p) line.monomorphic(s.getDataType(p, c));
      const bool isDNA = sites[k].dataType == static_cast<int>(DataType::DNA);
      if (stopped || !line.site(sites[k], row[k], j)) {
        line.monomorphic(static_cast<DataType>(sites[k].dataType));
      } else if (isDNA && !fired && line.limitReached(j)) {
        stopped = fired = true;
      }
      p = m + 1;
    }
    for (const long L = lociOf(s, c); p < L; ++p) line.monomorphic(s.getDataType(p, c));
  }
  text += '\n';
  return true;
}

// One gene's line into text; false when its states could not be had.
bool geneLine(std::string& text, const TSimSettings& s, int deme, int gene, int genotypic,
              const TGeneStates& states, bool allSites) {
  text.clear();
  TGeneLine line(text, s);
  line.prefix(deme, gene, genotypic);
  return allSites ? writeAllPositions(line, s, deme, gene, states, text)
                  : writeSitesOnly(line, s, deme, gene, states, text);
}

// Lines of consecutive genes built on several threads and written in gene
// order; only for lines that draw nothing (no monomorphic token) from states
// that threads may read at once.
bool writeLinesOnThreads(std::ostream& os, const TSimSettings& s, int deme, int genotypic,
                         const TGeneStates& states, int threads) {
  const int n = s.demeCollection.demes[deme].sampleSize;
  const int chunk = 64;
  // Kept from call to call (only the calling thread gets here): the threads
  // reuse the lines' storage instead of growing new strings that the calling
  // thread then frees. One cache line per line's string: threads appending to
  // neighbouring strings would otherwise share the line of their lengths.
  struct alignas(64) TLine {
    std::string text;
  };
  static std::vector<TLine> lines(chunk);
  for (int first = 0; first < n; first += chunk) {
    const int count = n - first < chunk ? n - first : chunk;
    int failed = 0;
#pragma omp parallel for num_threads(threads) schedule(dynamic) reduction(+ : failed)
    for (int k = 0; k < count; ++k)
      if (!geneLine(lines[k].text, s, deme, first + k, genotypic, states, false)) ++failed;
    if (failed) return false;
    for (int k = 0; k < count; ++k)
      os.write(lines[k].text.data(), static_cast<std::streamsize>(lines[k].text.size()));
  }
  return true;
}

}  // namespace

bool writeGeneLines(std::ostream& os, const TSimSettings& s, int deme, int genotypic,
                    const TGeneStates& states, bool allSites) {
  const int n = s.demeCollection.demes[deme].sampleSize;
  std::string text;
  for (int g = 0; g < n; ++g) {
    if (!geneLine(text, s, deme, g, genotypic, states, allSites)) return false;
    os.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  return true;
}

bool writeSamplesOnThreads(std::ostream& os, const TSimSettings& s, int genotypic, int threads) {
  const TDemeCollection& c = s.demeCollection;
  const TGeneStates states = statesInMemory(c);
  const int numThreads = threads > 0 ? threads : omp_get_max_threads();
  for (int d = 0; d < c.numDemes; ++d) {
    if (c.demes[d].sampleSize <= 0) continue;
    write_Quendrel_sample_header(d + 1, c.demes[d].sampleSize, os, genotypic);
    if (!writeLinesOnThreads(os, s, d, genotypic, states, numThreads)) return false;
    write_Quendrel_sample_footer(os);
  }
  return true;
}

void TDeme::printDataForQuendrel(std::ostream& os, int demeIndex, int genotypic,
                                 const TSimSettings& settings) {
  writeGeneLines(os, settings, demeIndex, genotypic, statesInMemory(settings.demeCollection),
                 false);
}

void TDeme::printAllDataForQuendrel(std::ostream& os, int demeIndex, int genotypic,
                                    const TSimSettings& settings) {
  writeGeneLines(os, settings, demeIndex, genotypic, statesInMemory(settings.demeCollection),
                 true);
}
