#pragma once
// The deme collection of one run, set up from the run's settings, with the
// checks of the ascertainment options against the model and the run's empty
// expected spectra.
class TSimSettings;

// Demes, sizes, growth rates, events, samples, ages, inbreeding and the tips of
// the samples; false when the model is refused (message on the error stream).
bool setUpRunDemes(TSimSettings& settings);

// With SNP ascertainment: the -a deme must be a deme of the model and the -A
// size between 2 and that deme's sample size; false otherwise (message).
bool checkAscertainmentOptions(const TSimSettings& settings);

// Switches SNP ascertainment off, with a message, when the first block of the
// model cannot be ascertained; it stays off for later runs.
void checkAscertainableData(const TSimSettings& settings);

// The run's empty expected spectra, minor-allele then derived-allele, of the
// kind the switches ask for; false when a multi-dimensional spectrum cannot be
// created.
bool createRunSpectra(TSimSettings& settings);

// The tables the coalescent reads: the inverse pair counts up to the total
// sample size and the number of lineages a genealogy starts from, with the
// kind of data the trees are built for.
void setUpCoalescent(TSimSettings& settings, bool freqData);
inline void setUpFreqCoalescent(TSimSettings& settings) { setUpCoalescent(settings, true); }

// The per-run counters and per-chromosome arrays the simulations start from.
void resetRunCounters(TSimSettings& settings);
