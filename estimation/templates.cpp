// Substitution of value texts for parameter names in template texts, and the file
// helpers of the template routes.
#include "estimation/templates.h"

#include <algorithm>
#include <functional>
#include <fstream>
#include <iterator>
#include <sstream>

void forEachReplacement(std::string const& text, std::vector<std::string> const& names,
                        std::function<void(size_t, size_t)> const& replaced) {
  // Candidate columns per first character, longest name first; among equal names
  // the later column wins.
  std::vector<std::vector<size_t>> byFirst(256);
  for (size_t i = 0; i < names.size(); ++i)
    if (!names[i].empty()) byFirst[static_cast<unsigned char>(names[i][0])].push_back(i);
  for (std::vector<size_t>& list : byFirst)
    std::stable_sort(list.begin(), list.end(), [&](size_t a, size_t b) {
      if (names[a].size() != names[b].size()) return names[a].size() > names[b].size();
      return a > b;
    });
  size_t pos = 0;
  while (pos < text.size()) {
    size_t next = pos + 1;
    for (size_t i : byFirst[static_cast<unsigned char>(text[pos])]) {
      if (text.compare(pos, names[i].size(), names[i]) != 0) continue;
      replaced(pos, i);
      next = pos + names[i].size();
      break;
    }
    pos = next;
  }
}

std::string substituteParameters(std::string const& text, std::vector<std::string> const& names,
                                 std::vector<std::string> const& values) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  size_t copied = 0;  // text before this position is in out
  forEachReplacement(text, names, [&](size_t pos, size_t column) {
    out.append(text, copied, pos - copied);
    if (column < values.size()) out += values[column];
    copied = pos + names[column].size();
  });
  out.append(text, copied, std::string::npos);
  return out;
}

std::string substituteParameters(std::string const& text, MY_TArrayAsVector<my_string> const& names,
                                 int numColumns, TParamValues const& row) {
  std::vector<std::string> n, v;
  for (int i = 0; i < numColumns && i < names.numElems; ++i) n.push_back(names[i].c_str());
  for (int i = 0; i < row.size(); ++i) v.push_back(row.values[i].c_str());
  return substituteParameters(text, n, v);
}

bool readTextFile(std::string const& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return !in.bad();
}

std::string maxLParFileName(std::string const& tplParFileName) {
  std::string name = tplParFileName;
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  return name + "_maxL.par";
}

bool textHoldsFreq(std::istream& in) {
  std::string line;
  while (std::getline(in, line))
    if (line.find("FREQ") != std::string::npos) return true;
  return false;
}
