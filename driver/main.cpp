#include <xmmintrin.h>

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
  // Flush-to-zero and denormals-are-zero before any parallel region.
  _mm_setcsr(_mm_getcsr() | 0x8040);
  AnyOption opt;
  ArgumentVector newArg;  // the arguments read from the run file, if any
  RunOptions run;
  int const status = readCommandLine(argc, argv, opt, newArg, run);
  if (status != CONTINUE_RUN) return status;
  return runSimulations(run);
}
