#pragma once
// How the OpenMP threads of the program wait when they have nothing to do.
// The runtime spins for a while at every barrier and between parallel
// regions unless told otherwise; on a shared node those spins take the cores
// of other jobs, and the batches of many small data sets then run far slower
// on several threads than on one. The runtime reads its wait policy once,
// when the library is loaded, before main: the program therefore starts
// itself again, once, with the passive policy in its environment. (Under a
// tool such as valgrind that restart leaves the tool unless it follows
// children: see the guide.) A policy
// or spin count that the user set is left as it is.
#include <string>
#include <vector>

// True when the environment already holds a choice of the user: OMP_WAIT_POLICY
// or GOMP_SPINCOUNT set (even to an empty text).
bool userChoseWaitPolicy(const char* waitPolicy, const char* spinCount);

// True when the arguments (program name first) may run threads: a thread
// count (-c, --cores, -cN, --cores=N) other than 1, or no argument at all (the
// options come from the run file). Threads are not used otherwise (one is the
// default).
bool argumentsMayUseThreads(const std::vector<std::string>& args);

// True when the process should start again with the passive policy: it may
// use threads and the user chose no policy.
bool shouldRestartPassive(const std::vector<std::string>& args, const char* waitPolicy,
                          const char* spinCount);

// Run by the loader ahead of every library's initialiser (registered in the
// program's array of functions run before them, with the arguments and the
// environment that the process was given): when shouldRestartPassive holds,
// starts the program's own image again with OMP_WAIT_POLICY=passive added to
// the environment. No library has started yet, so nothing is initialised
// twice. Skipped when the program was started through the dynamic loader
// ("ld.so brimvane ..."): its image would then be the loader, which cannot
// take the program's arguments. Returns only when it does not restart (or
// cannot: the run then goes on with the runtime's own policy).
void restartAtLoad(int argc, char** argv, char** envp);
