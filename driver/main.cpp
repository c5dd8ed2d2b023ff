#include <xmmintrin.h>

#include <cstdio>

#include "driver/commandLine.h"
#include "driver/runFile.h"
#include "driver/runLoop.h"
#include "driver/runOptions.h"
#include "driver/threadWaiting.h"
#include "support/anyoption.h"

// Ahead of the OpenMP runtime, which reads its wait policy when it loads.
__attribute__((section(".preinit_array"), used)) static void (*const kRestartAtLoad)(
    int, char**, char**) = &restartAtLoad;

int main(int argc, char** argv) {
  // Line by line to a log file or a pipe too, as on a terminal: the log of a
  // batch job shows where a run is and keeps its lines when the job is stopped.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
  // Flush-to-zero and denormals-are-zero before any parallel region.
  _mm_setcsr(_mm_getcsr() | 0x8040);
  AnyOption opt;
  ArgumentVector newArg;  // the arguments read from the run file, if any
  RunOptions run;
  int const status = readCommandLine(argc, argv, opt, newArg, run);
  if (status != CONTINUE_RUN) return status;
  return runSimulations(run);
}
