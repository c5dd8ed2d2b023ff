// The comment block of a project file that lists, per chromosome, the
// positions of the simulated sites (1-based), those meeting SNP
// ascertainment, and the loci of the recombination events (as stored).
#include <ostream>
#include <string>
#include <vector>

#include <omp.h>

#include "engine/deme.h"
#include "model/simSettings.h"
#include "support/textAppender.h"

namespace {

// Text of the block, gathered before it is written in one piece: a data set
// of many chromosomes has many thousands of positions, and formatting each
// through the stream made this block a large share of the time spent
// writing the data set. The storage is kept for the next data set: a text
// of this size grown afresh each time comes from new pages every time.
class TBlockText : public TTextAppender {
 public:
  TBlockText() : TTextAppender(storage()) { text_.clear(); }
  void writeTo(std::ostream& os) {
    os.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    text_.clear();
  }
  // The text; it lives on with the thread, after this object.
  const std::string& str() const { return text_; }

 private:
  static std::string& storage() {
    thread_local std::string text;
    return text;
  }
};

void writeAscertainedPositions(TBlockText& os, const MY_TArrayAsVector<TPolymSiteInfo>& sites,
                               const MY_TArrayAsVector<int>& ascertained, long offset,
                               int& next) {
  bool any = false;
  for (int k = 0; k < sites.numElems; ++k) {
    if (next >= ascertained.numElems || ascertained[next] != offset + k) continue;
    os << (any ? ", " : "#") << sites[k].pos + 1;
    any = true;
    ++next;
  }
  os << (any ? "" : "#No ascertained polym. sites") << "\n";
}

// The lines of chromosomes first .. last - 1 without ascertainment.
void writeChromosomeLines(TBlockText& text, int first, int last) {
  for (int c = first; c < last; ++c) {
    const MY_TArrayAsVector<TPolymSiteInfo>* sites =
        TDemeCollection::polSitesInfo ? &TDemeCollection::polSitesInfo[c] : nullptr;
    const int k = sites ? sites->numElems : 0;
    text << "# " << k << " polymorphic positions on chromosome " << c + 1 << "\n";
    if (k == 0) continue;
    text << "#";
    for (int i = 0; i < k; ++i) text << (i ? ", " : "") << (*sites)[i].pos + 1;
    text << "\n";
  }
}

// Threads that format the chromosome lines: from this many positions on,
// their share takes longer than waking them.
const long long kPositionsForThreads = 4096;

int lineThreads(int numChrom, long long numPositions) {
  if (TSimSettings::numThreads == 1 || numPositions < kPositionsForThreads) return 1;
  const int wanted = TSimSettings::numThreads > 0 ? TSimSettings::numThreads : omp_get_max_threads();
  return wanted < numChrom ? wanted : numChrom;
}

// The chromosome lines formatted on threads, each a consecutive range, and
// written in chromosome order.
void writeChromosomeLinesOnThreads(std::ostream& os, int numChrom, int threads) {
  std::vector<const std::string*> parts(threads, nullptr);
#pragma omp parallel num_threads(threads)
  {
    const int t = omp_get_thread_num(), n = omp_get_num_threads();
    TBlockText text;
    writeChromosomeLines(text, static_cast<int>(1LL * numChrom * t / n),
                         static_cast<int>(1LL * numChrom * (t + 1) / n));
    parts[t] = &text.str();
  }
  for (const std::string* part : parts)
    if (part) os.write(part->data(), static_cast<std::streamsize>(part->size()));
}

void writeRecombinations(std::ostream& os, const TDemeCollection& c) {
  os << "\n#Total number of recombination events: " << c.totNumRecs << "\n"
     << "#Positions of recombination events: ";
  int current = -1;
  for (int i = 0; i < c.recPosInfo.numElems; ++i) {
    const TRecPosInfo& r = c.recPosInfo[i];
    if (i == 0 || r.chromosome != current) {
      current = r.chromosome;
      os << "\n# " << "Chromosome " << current + 1 << "\n" << "#\t" << r.locus;
    } else {
      os << ", " << r.locus;
    }
  }
  os << "\n\n";
}

}  // namespace

void TDemeCollection::writePolSiteInfo(std::ostream& os, const int& numChrom) const {
  os << "#Number of independent chromosomes: " << numChrom << "\n"
     << "#Total number of polymorphic sites: " << numPolymSites << "\n";
  if (TSimSettings::maxNumSNPs != 0)
    os << "#Reporting status of a maximum of " << TSimSettings::maxNumSNPs << " sites\n";
  const bool asc = TSimSettings::SNPascertainment;
  if (asc)
    os << "#ASCERTAINED DATA\n"
       << "#Ascertained deme: " << TSimSettings::ascertainedDeme << "\n"
       << "#Number of ascertained chromomosomes: " << TSimSettings::ascertainedSize << "\n"
       << "#Number of polym. sites meeting ascertainment criterion: "
       << ascertainedSites.numElems << "\n";
  const int threads = asc ? 1 : lineThreads(numChrom, numPolymSites);
  if (threads > 1) {
    writeChromosomeLinesOnThreads(os, numChrom, threads);
  } else if (!asc) {
    TBlockText text;
    writeChromosomeLines(text, 0, numChrom);
    text.writeTo(os);
  } else {
    long offset = 0;
    int nextAscertained = 0;
    TBlockText text;
    for (int c = 0; c < numChrom; ++c) {
      const MY_TArrayAsVector<TPolymSiteInfo>* sites = polSitesInfo ? &polSitesInfo[c] : nullptr;
      const int k = sites ? sites->numElems : 0;
      writeChromosomeLines(text, c, c + 1);
      if (k == 0) continue;
      text << "#Ascertained polymorphic positions on chromosome " << c + 1 << "\n";
      writeAscertainedPositions(text, *sites, ascertainedSites, offset, nextAscertained);
      offset += k;
    }
    text.writeTo(os);
  }
  if (isRecombining) writeRecombinations(os, *this);
}
