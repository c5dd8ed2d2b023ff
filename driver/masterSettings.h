#pragma once
// The master settings of the process: the number of runs and, on the template
// route, the parameter prior or definition file read once for all runs.
#include "driver/runOptions.h"

class TSimSettings;

// false when the prior or definition file cannot be read (message on the
// standard error stream).
bool prepareMasterSettings(TSimSettings& master, const RunOptions& run);
