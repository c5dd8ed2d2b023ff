#pragma once
// Temporary folders of the process removed when SIGINT or SIGTERM ends it
// (Ctrl-C, kill): the process then ends by that same signal, with its default
// action, so the shell sees 130 or 143 as usual.
//
// Each temporary folder is registered before it is made, in a table of fixed
// size preallocated with the program whose slots are filled once and never
// reused, so the handler reads paths that no thread changes under it. The
// handler uses async-signal-safe calls only: it marks the cleanup as started,
// then for every registered folder open(O_DIRECTORY), getdents64 (the system
// call, into a static buffer), unlinkat of every entry, close and rmdir,
// repeated a few times with nanosleep in between for files that threads still
// running had begun to create; then sigaction(SIG_DFL) and raise. Writers of
// temporary files stop (waitForInterruptEnd) once they see the cleanup
// started, so no new file appears after the last pass.
#include <string>

// Registers a temporary folder (made absolute now against the current folder)
// for removal on SIGINT and SIGTERM; once per path. False when the table is
// full or the path too long: that folder is then not removed on a signal.
bool registerTempFolder(const std::string& path);

// Installs the handler for SIGINT and SIGTERM, unless the signal is ignored
// (a program started in the background keeps ignoring it).
void installInterruptCleanup();

// True once the handler has started: writers must not create files any more.
bool interruptCleanupStarted();
// Blocks the calling thread until the signal being handled ends the process.
[[noreturn]] void waitForInterruptEnd();
