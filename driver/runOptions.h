#pragma once
// The values the command line hands to the run loop, once every check has passed.
// The process-wide switches (static members of TSimSettings and AFS, and the
// globals of support/globals.h) are set directly by the checks and are not
// repeated here.
#include <sys/time.h>

#include "support/cstring.h"

struct RunOptions {
  // Input route: a plain model file (-i), or a template (-t) with a definition
  // file (-f / -F) or a prior file (-e). Names not given stay empty.
  bool useTemplate = false;
  my_string modelFileName;
  my_string templateFileName;
  my_string defFileName;
  my_string priorFileName;
  bool defFileGiven = false;
  bool priorFileGiven = false;
  bool recomputeComplexParams = false;  // -F

  // Runs and simulations.
  int numSims = 0;          // -n, at least 1
  int numBoot = 0;          // -b, at least 0
  int numEstimations = 1;   // -E draws from the priors, at least 0 (0: no run)
  int numRepetitions = 1;   // -R runs of a plain model file, at least 1

  // Output of simulated genetic data.
  bool genotypic = false;     // -g
  bool phased = false;        // -p
  bool dadiOutput = false;    // -D
  bool folderPerSFS = false;  // -j

  // Estimation (-M); without -M the values keep their defaults.
  bool maximizeLikelihood = false;
  double stopCriterion = 0;  // the -M value, passed on unread
  int minLoops = 10;         // -l; 1 <= minLoops <= maxLoops
  int maxLoops = 20;         // -L
  int maxNumSims = 0;        // -N; the -n value when not given

  // Seed (-r): already made non-negative; without -r the run loop takes the clock.
  bool seedGiven = false;
  long long seed = 0;

  // Tables of the run: likelihoods of frequency-data runs ("G/G.lhoods" or -o)
  // and parameter values (template with a prior file: "<template>.params").
  my_string lhoodFileName;
  my_string paramFileName;

  // Start of the program: wall-clock time and the folder the program started in
  // (before the run file may change it).
  timeval startTime{};
  my_string startFolder;
};

// The likelihood table of a run whose input has the generic name G when -o is
// not given: "G/G.lhoods", in the run's output folder.
my_string defaultLhoodFileName(my_string const& generic);
