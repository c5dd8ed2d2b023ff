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

// Warns once per name that is replaced nowhere in the template and is no
// operand of a complex parameter that is (directly or through others).
// valuesFile is the prior or definition file the names come from.
void warnUnusedNames(std::ostream& err, std::string const& templateName, std::string const& text,
                     std::vector<std::string> const& names, TSampleParameters const& params,
                     std::string const& valuesFile, bool definitionFile);

// Both warnings for the master settings of a template run.
void warnAboutTemplateNames(std::ostream& err, TSimSettings const& master,
                            std::string const& valuesFile, bool definitionFile);
