#pragma once
// Project files of simulated samples, read by the Quendrel analysis program:
// the profile section, one sample per sampled deme with one line per gene (or
// pair of lines per individual), and the structure section. Their layout is
// kept to the byte.
#include <iosfwd>

#include "engine/geneStates.h"
#include "model/simSettings.h"

// Profile section, from "\n[Profile]\n" to "\t[[Samples]]\n".
void write_Quendrel_header(int numSamples, DataType dataType, std::ostream& os, int genotypic,
                           int phased);
// The three lines before the gene lines of a sample, and the line after them.
void write_Quendrel_sample_header(int sampleNumber, int sampleSize, std::ostream& os,
                                  int genotypic);
void write_Quendrel_sample_footer(std::ostream& os);

// The first line of every project file.
void writeQuendrelFileStart(std::ostream& os);

// Whether a structure mixes data types or the structures differ in type.
bool dataTypesMixed(const TSimSettings& settings);

// The data type shown in the profile: STANDARD when a structure mixes data
// types or the structures differ from one another, else their common type.
DataType projectFileDataType(const TSimSettings& settings);

// Whether a file of that profile type declares its loci apart
// (LocusSeparator=WHITESPACE): every locus token of its gene lines then stands
// apart from the next by white space. DNA and SNP files run their one-letter
// tokens together (LocusSeparator=NONE).
bool lociApartInFile(DataType profileType);

// Number of demes with a sample.
int numSampledDemes(const TDemeCollection& collection);

// The samples section (every sampled deme with its header, gene lines and
// footer) from the given states, with or without the monomorphic positions as
// TSimSettings::printAllSites asks. False when some states could not be had.
bool writeSamples(std::ostream& os, const TSimSettings& settings, int genotypic,
                  const TGeneStates& states);

// The same from the genotype blocks in memory, the lines of a deme built on
// several threads (0: the runtime's choice); the lines must draw nothing
// (polymorphic sites only, and at least one of them).
bool writeSamplesOnThreads(std::ostream& os, const TSimSettings& settings, int genotypic,
                           int threads);

// The gene lines of one deme, polymorphic sites only or every position.
bool writeGeneLines(std::ostream& os, const TSimSettings& settings, int deme, int genotypic,
                    const TGeneStates& states, bool allSites);
