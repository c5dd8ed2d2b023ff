#pragma once
// The front half of the program: from the argument vector (or the run file) to
// run values that have passed every check.
class AnyOption;
class ArgumentVector;
struct RunOptions;

// readCommandLine's result when the run goes on; any other result is the exit status.
constexpr int CONTINUE_RUN = -1;

// Registers the options with opt, reads them from the arguments (or, with no
// argument, from the run file, whose vector newArg keeps), runs every check in
// order, sets the process-wide switches and fills run. Unknown options and
// arguments that follow no option are reported and ignored. Messages go to the
// standard error stream, the usage text, the echo and the version to the
// standard output.
int readCommandLine(int argc, char** argv, AnyOption& opt, ArgumentVector& newArg,
                    RunOptions& run);
