#pragma once
// The names of the observed spectra of a model (and its four-gamete
// distribution), which runs read from their working folder, as shapes: every
// run of digits after the generic name stands for any number, and an
// ascertainment suffix ("-asc<n>") may stand before the extension or not.
#include <string>

// Whether a file name (without folder) is that of an observed spectrum of the
// model with this generic name.
bool isObservedSpectrumName(const std::string& fileName, const std::string& genericName);
