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

// Spectra of the data set and its bootstraps, counted from its states
// wherever they are kept (memory or temporary files), written and scored.
// False when the states could not be counted (the data set's rows are then
// nan, see writeUnmadeSpectra) or a spectrum file could not be written.
bool writeSimulatedSpectra(TSimSettings& settings, int simIndex, int simCounter,
                           TGeneticRunOutputs& out);

// The rows of a data set whose spectra cannot be made (it failed): every
// spectrum of it and of its bootstraps written with nan in every cell, so
// that row k of a spectrum file stays that of data set k. False when a
// spectrum file could not be written.
bool writeUnmadeSpectra(TSimSettings& settings, int simIndex, int simCounter,
                        TGeneticRunOutputs& out);

// Why the spectra asked for (-d, -m) cannot be counted from the data of the
// model (its data types); empty when they can, or when none is asked for.
std::string unmadeSpectraReason(const TSimSettings& settings);
