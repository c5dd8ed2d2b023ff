#pragma once
// What a run leaves when a signal ends it: SIGINT, SIGTERM, SIGHUP and SIGPIPE
// (Ctrl-C, kill, a closed terminal, a reader of the output that went away)
// remove the temporary folders this process made, with only the temporary
// files in them, and complete the list of the run's outputs; the process then
// ends by that same signal, so that the shell sees 130, 143, 129 or 141.
//
// The cleanup runs on a thread of its own, which alone accepts the signals
// (sigwait): the other threads keep them blocked, so the cleanup is ordinary
// code, and a second signal during it waits instead of starting a second
// cleanup elsewhere. SIGPIPE is raised in the thread that wrote to the closed
// pipe: a handler there only hands it on to the cleanup thread.
#include <string>

// Makes the temporary folder and records it as this process's own; true when
// this process made it now or made it earlier and has not removed it. A
// folder that exists and was not made here is left alone (false, with the
// reason in problem).
bool makeOwnTempFolder(const std::string& path, std::string& problem);
// Removes the temporary files (names "Ind_<deme>_<gene>.tmp") of a folder
// that this process made, then the folder when it is left empty, and forgets it.
void removeOwnTempFolder(const std::string& path);

// Starts the cleanup thread for the signals that are not ignored (a program
// started in the background or under nohup keeps ignoring them). Called on
// the main thread before any other thread starts, so that every later thread
// inherits the blocked signals. Once per process.
void installInterruptCleanup();

// Held while a temporary folder or file is created (and written): the cleanup
// waits for every holder, and a creation that would start after the cleanup
// did waits for the end of the process instead, so no file appears behind it.
class TTempFileCreation {
 public:
  TTempFileCreation();
  ~TTempFileCreation();
  TTempFileCreation(const TTempFileCreation&) = delete;
  TTempFileCreation& operator=(const TTempFileCreation&) = delete;
};
