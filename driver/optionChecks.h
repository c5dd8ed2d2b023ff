#pragma once
// The checks of the command line, in the order main runs them. Each reads its
// options, sets the run values and the process-wide switches, writes its messages
// and returns false when the program must end with exit status 1.
class AnyOption;
struct RunOptions;

// Warns, on the standard error stream, of every unknown option and every
// argument that follows no option; they are ignored and the run goes on.
void warnIgnoredArguments(AnyOption& opt);

// Refuses an option left without its value at the end of the arguments, and a
// numeric option whose value is missing (the next option was taken for it) or
// is not a number of the option's kind.
bool checkOptionValues(AnyOption& opt);

// Plain model file (-i) or template (-t) with a definition (-f, -F) or prior (-e)
// file; the default names of the likelihood and parameter tables.
bool chooseInputRoute(AnyOption& opt, RunOptions& run);

// -n and the options of simulations, outputs, batches, threads and seed.
bool checkNumericOptions(AnyOption& opt, RunOptions& run);

// Every input file of the route can be opened for reading.
bool checkInputFiles(RunOptions const& run);

// -M with -w, -N, -l and -L; then -C, -0 and -R.
bool checkEstimationOptions(AnyOption& opt, RunOptions& run);

// The longest generic name (input file name without folder and extension) that
// the names of the output folder and files can hold.
constexpr int MAX_GENERIC_NAME_LENGTH = 198;
