#include "support/outputRecord.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

const char* const kOutputRecordName = "written_by_brimvane.txt";

namespace {

struct TRecordState {
  std::mutex lock;
  fs::path folder;  // absolute, symbolic links resolved; empty: nothing is recorded
  std::function<void()> beforeFirstOutput;
  std::ofstream list;
  std::set<std::string> listed;
};

TRecordState& state() {
  static TRecordState s;
  return s;
}

std::string firstHeaderLine(const std::string& genericName) {
  return "# Files brimvane wrote in this folder for the model \"" + genericName +
         "\", one per line.";
}

fs::path resolved(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) return fs::path();
  fs::path r = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal() : r;
}

// The path relative to the folder when it lies inside it (the folder itself
// and the list excluded); empty otherwise.
std::string insideFolder(const fs::path& folder, const std::string& path) {
  if (folder.empty()) return "";
  const fs::path rel = resolved(path).lexically_relative(folder);
  if (rel.empty() || rel == "." || *rel.begin() == "..") return "";
  const std::string name = rel.generic_string();
  return name == kOutputRecordName ? "" : name;
}

}  // namespace

void armOutputRecord(const std::string& folder, std::function<void()> beforeFirstOutput) {
  TRecordState& s = state();
  const fs::path where = folder.empty() ? fs::path() : resolved(folder);
  std::lock_guard<std::mutex> guard(s.lock);
  s.folder = where;
  s.beforeFirstOutput = std::move(beforeFirstOutput);
}

void beginOutputs() {
  TRecordState& s = state();
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    action.swap(s.beforeFirstOutput);
  }
  if (action) action();
}

bool startOutputRecord(const std::string& genericName, const std::vector<std::string>& carried) {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.folder.empty()) return false;
  const fs::path name = s.folder / kOutputRecordName;
  s.list.close();
  s.list.clear();
  s.listed.clear();
  s.list.open(name, std::ios::trunc);
  s.list << firstHeaderLine(genericName) << "\n# The next run of \"" << genericName
         << "\" removes them before it writes its own outputs; other files stay.\n";
  for (const std::string& entry : carried)
    if (s.listed.insert(entry).second) s.list << entry << "\n";
  s.list.flush();
  if (s.list) return true;
  std::cerr << "\nUnable to write the list of output files \"" << name.string()
            << "\": the outputs of this run will not be removed by the next one" << std::endl;
  s.list.close();
  return false;
}

void noteOutputFile(const std::string& path) {
  TRecordState& s = state();
  fs::path folder;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    folder = s.folder;
  }
  const std::string entry = insideFolder(folder, path);
  if (entry.empty()) return;
  beginOutputs();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.list.is_open() || !s.listed.insert(entry).second) return;
  s.list << entry << "\n";
  s.list.flush();  // a run that is killed still leaves the list of what it made
}

void closeOutputRecord() {
  TRecordState& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  s.list.close();
  s.list.clear();
  s.listed.clear();
  s.folder.clear();
  s.beforeFirstOutput = nullptr;
}

bool readOutputRecord(const std::string& folder, const std::string& genericName,
                      std::vector<std::string>& entries) {
  entries.clear();
  std::ifstream in(fs::path(folder) / kOutputRecordName);
  std::string line;
  if (!in || !std::getline(in, line) || line != firstHeaderLine(genericName)) return false;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') entries.push_back(line);
  return true;
}
