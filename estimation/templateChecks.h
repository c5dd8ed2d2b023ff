#pragma once
// Checks of the parameter names of a template run, made once when the run's
// files are read: names replaced inside longer words of the template (an
// error where that changes a keyword of a block line), and parameters whose
// values change nothing in the model.
#include <iosfwd>
#include <string>
#include <vector>

#include "estimation/parameters.h"

class TSimSettings;

// Warns once per name that the substitution replaces inside a longer word
// (letters, digits, '_'), naming the template, the line and the word. Where
// the word holds a keyword of a block line (a data type, OUTEXP) and the
// replacement touches it, the model would silently lose it: that is an
// error, given for every such replacement. False after an error.
bool checkEmbeddedNames(std::ostream& err, std::string const& templateName,
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

// Both checks for the master settings of a template run, on the template
// text they hold; false when the template is refused.
bool checkTemplateNames(std::ostream& err, TSimSettings const& master,
                        TNameSource const& source);
