#pragma once
// Hand-over from the command line to the run loop: called once, after every check
// of the command line has passed and the process-wide switches are set. Returns
// the process exit status (0 after a normal end, 1 after an error).
#include "driver/runOptions.h"

int runSimulations(RunOptions& run);
