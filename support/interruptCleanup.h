#pragma once
// What a run leaves when a signal ends it: at SIGINT, SIGTERM, SIGHUP, SIGPIPE,
// SIGQUIT, SIGUSR1, SIGUSR2, SIGXCPU and SIGALRM (Ctrl-C, kill, a closed
// terminal, a reader of the output that went away, a cluster's notice or time
// limit) no output file is opened any more, the temporary folders this
// process made are removed with only the temporary files in them, and the
// process ends by that same signal, so that the shell sees 128 + its number.
// Every output file made so far is listed already (support/outputFolder.h):
// a file still being written stays listed by device and inode, which lets the
// next run of the model remove or rewrite it.
//
// The cleanup runs on a thread of its own, which alone accepts the signals
// (sigwait): the other threads keep them blocked, so the cleanup is ordinary
// code, and a second signal during it waits instead of starting a second
// cleanup elsewhere. SIGPIPE is raised in the thread that wrote to the closed
// pipe: a handler there only hands it on to the cleanup thread.

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
