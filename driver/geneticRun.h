#pragma once
// One run of genetic data (every data type but FREQ): the batch list, the
// generated model kept next to the outputs, the data sets simulated in
// batches, and the run's tables of highest likelihoods and parameter values.
#include <string>

#include "driver/oneRun.h"

class TRunProcess;
class TSimSettings;

// The run on settings whose model is read and whose demes are set up.
RunResult performGeneticRun(TRunProcess& process, TSimSettings& settings, int runIndex);

// Counters, per-chromosome arrays and coalescent tables of the run's
// collection before its first data set.
void setUpGeneticCollection(TSimSettings& settings);

// With -g every sampled deme must hold whole individuals: false, naming the
// first deme with an odd sample size, otherwise.
bool checkGenotypicSamples(const TSimSettings& settings, bool genotypic);

// "./<generic>/<generic>_<runIndex + 1>.par": where a run keeps its generated model.
std::string keptModelFileName(const TSimSettings& settings, int runIndex);

// "<generic>/<generic>.lhoodObs": the table of highest likelihoods of simulated spectra.
std::string maxLikelihoodsFileName(const TSimSettings& settings);

// Moves the model generated from the template (written next to the template)
// to "<generic>/<generic>_<runIndex + 1>.par"; false, with a message, when it
// cannot be moved.
bool keepGeneratedModel(const TSimSettings& settings, int runIndex);
