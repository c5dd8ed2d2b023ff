#include "support/outputRecordText.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

std::string firstHeaderLine(const std::string& genericName) {
  return "# Files brimvane wrote in this folder for the model \"" + genericName +
         "\", one per line.";
}


// A line of the list; a line without tabs is a path of a list of an older
// version, which gives no identity.
bool parseLine(const std::string& line, TRecordEntry& e) {
  e = TRecordEntry();
  const size_t first = line.find('\t'), last = line.rfind('\t');
  if (first == std::string::npos) {
    e.path = line;
    return true;
  }
  if (first != 1 || last == first) return false;
  e.route = line[0] == kRouteEstimation ? kRouteEstimation : kRouteOther;
  e.path = line.substr(last + 1);
  const std::string identity = line.substr(first + 1, last - first - 1);
  e.identified = identity != "-" && TFileIdentity::parse(identity, e.identity);
  return !e.path.empty();
}

}  // namespace

std::string headerText(const std::string& genericName) {
  return firstHeaderLine(genericName) + "\n# The next run of \"" + genericName +
         "\" removes those it can prove it wrote (route, identity, path); other files stay.\n";
}

std::string lineOf(const TRecordEntry& e) {
  return std::string(1, e.route) + "\t" + (e.identified ? e.identity.text() : "-") + "\t" +
         e.path + "\n";
}

bool parseOutputRecord(const std::string& text, const std::string& genericName,
                       std::vector<TRecordEntry>& entries) {
  entries.clear();
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != firstHeaderLine(genericName)) return false;
  std::map<std::string, size_t> index;
  while (std::getline(in, line)) {
    TRecordEntry e;
    if (line.empty() || line[0] == '#' || !parseLine(line, e)) continue;
    const auto [at, added] = index.emplace(e.path, entries.size());
    if (added)
      entries.push_back(e);
    else
      entries[at->second] = e;  // the line written when the file was closed
  }
  return true;
}

bool readOutputRecord(const std::string& folder, const std::string& genericName,
                      std::vector<TRecordEntry>& entries) {
  std::ifstream in(std::filesystem::path(folder) / kOutputRecordName);
  std::ostringstream text;
  text << in.rdbuf();
  return in && parseOutputRecord(text.str(), genericName, entries);
}
