#pragma once
// The rows of the likelihood table, the expected-spectrum files of a run and
// the timing lines.
#include <sys/time.h>

#include <iosfwd>

#include "driver/runOptions.h"

class TObsAFS;
class TSimSettings;

// Seconds since the program started (microsecond resolution).
double secondsSince(const timeval& start);

// The parameter part of a likelihood row: the run's parameter values with a
// prior file (without -F), the run's value row with a definition file, nothing
// on the plain route.
void writeParameterPart(std::ostream& os, TSimSettings& settings, const RunOptions& run,
                        int runIndex);

// Turns the run's expected spectra into relative values and writes one
// likelihood per observed data set, in the header's order.
void writeLikelihoods(std::ostream& os, TSimSettings& settings, const TObsAFS* observed);

// One "nan" per likelihood column of the header, for a run whose simulations failed.
void writeFailedLikelihoods(std::ostream& os, const TObsAFS* observed);

// The run's expected spectra as ".txt" files in the output folder; the first
// call writes the headers and creates the files, later calls append.
bool writeExpectedSpectra(TSimSettings& settings, bool firstWrite);  // false: some not written

// "Iteration i/n done in ..." on the standard output and "done in ..." in the
// model echo.
void writeIterationLines(int runNumber, int numRuns, double seconds);
