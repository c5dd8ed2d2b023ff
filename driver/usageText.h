#pragma once
// The program's version line, its usage text and the registration of its 40
// command-line options with the option parser.
#include <string>

class AnyOption;

// Major version as it appears in the version line and the progress lines.
extern char const* const BRIMVANE_MAJOR_VERSION;

// "Brimvane<major> (ver <a>.<b>.<c> - <release date>)".
std::string const& versionLine();

// Registers the usage lines, then the options (each letter with its long name).
void registerUsageAndOptions(AnyOption& opt);

// The long name registered with a letter; null for a letter that is not an option.
char const* longNameOf(char letter);

// An option's value text, looked up by letter first and then by long name; null
// when the option was not given.
char* optionValue(AnyOption& opt, char letter);

// A flag given by its letter or its long name.
bool optionFlag(AnyOption& opt, char letter);
