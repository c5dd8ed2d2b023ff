#include "driver/runLoop.h"

#include <iostream>

// Placeholder until the run loop is in place: the command line was accepted, but
// nothing can be simulated yet.
int runSimulations(RunOptions& run) {
  (void)run;
  std::cerr << "Simulation is not available yet in this build of brimvane: "
               "the command line passed every check, nothing was simulated."
            << std::endl;
  return 1;
}
