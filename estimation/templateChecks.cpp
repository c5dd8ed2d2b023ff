// Checks of the parameter names of a template run.
#include "estimation/templateChecks.h"

#include <cctype>
#include <ostream>
#include <set>
#include <sstream>
#include <string>

#include "estimation/templates.h"
#include "model/modelReader.h"
#include "model/simSettings.h"

namespace {

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The word of text around [begin, end), widened over word characters.
void widenToWord(std::string const& text, size_t& begin, size_t& end) {
  while (begin > 0 && isWordChar(text[begin - 1])) --begin;
  while (end < text.size() && isWordChar(text[end])) ++end;
}

std::string upperCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The part of a line before its comment.
std::string codeOf(std::string const& line) { return line.substr(0, line.find("//")); }

// A block line of the model: its first word names a data type (titles and
// comments begin with "//").
bool isBlockLine(std::string const& line) {
  std::istringstream in(codeOf(line));
  std::string first;
  if (!(in >> first)) return false;
  first = upperCase(first);
  for (const TDataTypeWord& type : kDataTypeWords)
    if (first.find(type.word) != std::string::npos) return true;
  return false;
}

// Whether an occurrence of keyword in the word [wordBegin, wordEnd) of text
// overlaps the replaced span [pos, end).
bool overlapsKeyword(std::string const& word, size_t wordBegin, const char* keyword, size_t pos,
                     size_t end) {
  const size_t length = std::char_traits<char>::length(keyword);
  for (size_t k = word.find(keyword); k != std::string::npos; k = word.find(keyword, k + 1))
    if (wordBegin + k < end && pos < wordBegin + k + length) return true;
  return false;
}

// Whether the replaced span [pos, end) changes a keyword of a block line (a
// data type or the request of the expected spectrum, as the model reader
// finds them) within the word [wordBegin, wordEnd) of text.
bool hitsKeyword(std::string const& text, size_t wordBegin, size_t wordEnd, size_t pos,
                 size_t end) {
  const std::string word = upperCase(text.substr(wordBegin, wordEnd - wordBegin));
  for (const TDataTypeWord& type : kDataTypeWords)
    if (overlapsKeyword(word, wordBegin, type.word, pos, end)) return true;
  return overlapsKeyword(word, wordBegin, kOutExpWord, pos, end);
}

}  // namespace

bool checkEmbeddedNames(std::ostream& err, std::string const& templateName,
                        std::string const& text, std::vector<std::string> const& names) {
  std::set<std::string> warned;
  bool accepted = true;
  size_t counted = 0;    // lines are counted up to this position
  size_t lineStart = 0;  // of the line holding that position
  int line = 1;
  forEachReplacement(text, names, [&](size_t pos, size_t column) {
    const std::string& name = names[column];
    size_t wordBegin = pos, wordEnd = pos + name.size();
    widenToWord(text, wordBegin, wordEnd);
    if (wordBegin == pos && wordEnd == pos + name.size()) return;
    for (; counted < pos; ++counted) {
      if (text[counted] == '\n') {
        ++line;
        lineStart = counted + 1;
      }
    }
    const std::string lineText = text.substr(lineStart, text.find('\n', lineStart) - lineStart);
    const bool keyword = isBlockLine(lineText) && pos < lineStart + codeOf(lineText).size() &&
                         hitsKeyword(text, wordBegin, wordEnd, pos, pos + name.size());
    if (!keyword && !warned.insert(name).second) return;
    err << (keyword ? "Error" : "Warning") << ": in the template \"" << templateName << "\", line "
        << line << ", the parameter name \"" << name << "\" is replaced inside the longer word \""
        << text.substr(wordBegin, wordEnd - wordBegin) << "\""
        << (keyword ? ", a keyword of the block line: rename the parameter" : "") << std::endl;
    accepted = accepted && !keyword;
  });
  return accepted;
}

void warnUnusedNames(std::ostream& err, std::string const& templateName, std::string const& text,
                     std::vector<std::string> const& names, TSampleParameters const& params,
                     TNameSource const& source) {
  std::set<std::string> used;
  forEachReplacement(text, names, [&](size_t, size_t column) { used.insert(names[column]); });
  // A complex parameter can only name parameters before it, so one backward
  // pass also covers chains of complex parameters.
  for (int i = params.numParams() - 1; i >= params.numSimpleParams; --i) {
    TParameter const& p = params.paramArray[i];
    if (!p.isComplex || !used.count(p.name.c_str())) continue;
    for (int id : {p.leftParamId, p.rightParamId, p.trueParamId, p.falseParamId})
      if (id >= 0 && id < params.numParams()) used.insert(params.paramArray[id].name.c_str());
  }
  std::set<std::string> warned;
  for (std::string const& name : names) {
    if (name.empty() || used.count(name) || !warned.insert(name).second) continue;
    // With complex parameters recomputed (-F) the names are those of the prior
    // file: its complex parameters are no columns of the definition file.
    const bool column = source.definitionFile && (source.priorFile.empty() ||
                                                  params.findParam(name) < params.numSimpleParams);
    const std::string& file =
        column || !source.definitionFile ? source.valuesFile : source.priorFile;
    err << "Warning: " << (column ? "column \"" : "parameter \"") << name << "\" of the "
        << (column ? "definition file \"" : "prior file \"") << file << "\" occurs neither in the template \"" << templateName
        << "\" nor in the equation of a complex parameter that does: its values change nothing"
        << std::endl;
  }
}

bool checkTemplateNames(std::ostream& err, TSimSettings const& master,
                        TNameSource const& source) {
  const std::string templateName = master.tplFileName.c_str();
  const std::string& text = *master.templateText;
  std::vector<std::string> names;
  for (int i = 0; i < master.numParamColumns && i < master.paramNames->numElems; ++i)
    names.push_back((*master.paramNames)[i].c_str());
  if (!checkEmbeddedNames(err, templateName, text, names)) return false;
  warnUnusedNames(err, templateName, text, names, master.parameters, source);
  return true;
}
