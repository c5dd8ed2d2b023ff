// Warnings about the parameter names of a template run.
#include "estimation/templateChecks.h"

#include <cctype>
#include <ostream>
#include <set>

#include "estimation/templates.h"
#include "model/simSettings.h"

namespace {

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The word of text around [begin, end), widened over word characters.
std::string wordAround(std::string const& text, size_t begin, size_t end) {
  while (begin > 0 && isWordChar(text[begin - 1])) --begin;
  while (end < text.size() && isWordChar(text[end])) ++end;
  return text.substr(begin, end - begin);
}

}  // namespace

void warnEmbeddedNames(std::ostream& err, std::string const& templateName,
                       std::string const& text, std::vector<std::string> const& names) {
  std::set<std::string> warned;
  size_t counted = 0;  // lines are counted up to this position
  int line = 1;
  forEachReplacement(text, names, [&](size_t pos, size_t column) {
    const std::string& name = names[column];
    const size_t end = pos + name.size();
    const bool inside = (pos > 0 && isWordChar(text[pos - 1])) ||
                        (end < text.size() && isWordChar(text[end]));
    for (; counted < pos; ++counted)
      if (text[counted] == '\n') ++line;
    if (!inside || !warned.insert(name).second) return;
    err << "Warning: in the template \"" << templateName << "\", line " << line
        << ", the parameter name \"" << name << "\" is replaced inside the longer word \""
        << wordAround(text, pos, end) << "\"" << std::endl;
  });
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

void warnAboutTemplateNames(std::ostream& err, TSimSettings const& master,
                            TNameSource const& source) {
  const std::string templateName = master.tplFileName.c_str();
  std::string text;
  if (!readTextFile(templateName, text)) return;  // reported where the template is read
  std::vector<std::string> names;
  for (int i = 0; i < master.numParamColumns && i < master.paramNames->numElems; ++i)
    names.push_back((*master.paramNames)[i].c_str());
  warnEmbeddedNames(err, templateName, text, names);
  warnUnusedNames(err, templateName, text, names, master.parameters, source);
}
