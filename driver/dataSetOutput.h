#pragma once
// Outputs of one merged data set of genetic data: its project file with the
// batch-list line, and the observed spectra of its sites and of their
// bootstrap resamples with the highest likelihood each can reach.
#include <string>

#include "engine/geneStates.h"

class TSimSettings;
struct TGeneticRunOutputs;

// "<project prefix>_<simIndex + 1>.qdp".
std::string projectFileName(const TSimSettings& settings, int simIndex);

// The whole project file from the given states, then its batch-list line;
// false (file removed, message) when it could not be written.
bool writeProjectFile(TSimSettings& settings, int simIndex, TGeneticRunOutputs& out,
                      const TGeneStates& states);

// The prefix of the pooled spectra of simulated data: "<prefix>_pooled".
std::string pooledSpectrumPrefix(const std::string& prefix);

// The folder of one spectrum with -j: "<generic>/<generic>_<number>".
std::string spectrumFolder(const TSimSettings& settings, int number);

// Spectra of the data set and its bootstraps, written and scored. false when a
// spectrum file could not be written; spectra that cannot be computed (spilled
// or non-SNP data) are reported and leave their likelihoods "nan".
bool writeSimulatedSpectra(TSimSettings& settings, int simIndex, int simCounter,
                           TGeneticRunOutputs& out);
