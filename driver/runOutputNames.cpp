#include "driver/runOutputNames.h"

#include <cctype>
#include <cstdlib>

namespace {

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// The number at the start of a text (at most 9 digits), and where it ends; -1 when none.
long leadingNumber(const std::string& text, size_t& end) {
  end = 0;
  while (end < text.size() && end < 9 && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  return end == 0 ? -1 : std::strtol(text.substr(0, end).c_str(), nullptr, 10);
}

// A spectrum of the kinds the run computes: derived (DAF, DSFS) or minor (MAF, MSFS).
bool spectrumKindWritten(const TRunWrites& w, const std::string& rest) {
  const bool derived = contains(rest, "DAF") || contains(rest, "DSFS");
  const bool minor = contains(rest, "MAF") || contains(rest, "MSFS");
  return (derived && w.derived) || (minor && w.minor) || (!derived && !minor);
}

// "_<r>..." of run r: the model echo, the generated model, project files, trees.
bool runFileWritten(const TRunWrites& w, long run, const std::string& tail) {
  if (run < 1 || run > w.numRuns) return false;
  if (endsWith(tail, ".qdp") || endsWith(tail, ".qdb") || endsWith(tail, ".4GT")) {
    size_t end = 0;
    const long sim = endsWith(tail, ".qdb") ? 1 : leadingNumber(tail.substr(1), end);
    return !w.frequencyData && w.projectFiles && sim >= 1 && sim <= w.numSims;
  }
  if (endsWith(tail, "trees.trees")) return w.trees;
  return true;  // ".simparam", ".par"
}

// A name of the output folder itself (not in a folder of spectra).
bool topNameWritten(const TRunWrites& w, const std::string& name) {
  const std::string& g = w.genericName;
  if (name.size() <= g.size() || name.compare(0, g.size(), g) != 0) return false;
  const std::string rest = name.substr(g.size());
  if (rest == ".lhoods") return w.frequencyData;
  if (rest == ".lhoodObs") return !w.frequencyData && (w.derived || w.minor);
  if (rest == ".bestlhoods" || rest == ".brent_lhoods" || rest == "_maxL.par" ||
      rest == "_maxL.rsf")
    return w.estimation;
  if (rest[0] != '_') return false;
  size_t end = 0;
  const long run = leadingNumber(rest.substr(1), end);
  if (run >= 0 && end + 1 < rest.size() && (rest[end + 1] == '.' || rest[end + 1] == '_'))
    return runFileWritten(w, run, rest.substr(end + 1));
  if (endsWith(rest, ".txt"))
    return w.frequencyData && w.expectedSpectra && spectrumKindWritten(w, rest);
  if (endsWith(rest, ".obs") || endsWith(rest, ".obsSFS"))
    return !w.frequencyData && (w.derived || w.minor) && spectrumKindWritten(w, rest);
  return false;
}

}  // namespace

bool runWritesName(const TRunWrites& w, const std::string& rel) {
  const size_t slash = rel.find('/');
  if (slash == std::string::npos) return topNameWritten(w, rel);
  // "<G>_<k>/...": the spectra of data set or bootstrap k (-j)
  const std::string folder = rel.substr(0, slash), prefix = w.genericName + "_";
  if (folder.compare(0, prefix.size(), prefix) != 0) return false;
  size_t end = 0;
  const long k = leadingNumber(folder.substr(prefix.size()), end);
  return k >= 1 && k <= w.spectrumFolders && prefix.size() + end == folder.size();
}
