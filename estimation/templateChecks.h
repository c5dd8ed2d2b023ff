#pragma once
// Warnings about the parameter names of a template run, given once when the
// run's files are read: names replaced inside longer words of the template,
// and parameters whose values change nothing in the model.
#include <iosfwd>
#include <string>
#include <vector>

#include "estimation/parameters.h"

class TSimSettings;

// Warns once per name that the substitution replaces inside a longer word
// (letters, digits, '_'), naming the template, the line and the word.
void warnEmbeddedNames(std::ostream& err, std::string const& templateName,
                       std::string const& text, std::vector<std::string> const& names);

// Where the names of a template run come from, to name them in warnings:
// the prior or definition file (valuesFile), and with complex parameters
// recomputed from a definition file (-F) the prior file that defines them.
struct TNameSource {
  std::string valuesFile;
  bool definitionFile = false;
  std::string priorFile;  // -F only: complex parameters are named as its parameters
};

// Warns once per name that is replaced nowhere in the template and is no
// operand of a complex parameter that is (directly or through others).
void warnUnusedNames(std::ostream& err, std::string const& templateName, std::string const& text,
                     std::vector<std::string> const& names, TSampleParameters const& params,
                     TNameSource const& source);

// Both warnings for the master settings of a template run.
void warnAboutTemplateNames(std::ostream& err, TSimSettings const& master,
                            TNameSource const& source);
