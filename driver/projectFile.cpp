// Sections of a project file around the gene lines: profile, sample headers and
// footers, structure section, and the data type the profile announces.
#include "driver/projectFile.h"

#include <ostream>

#include "engine/deme.h"

void writeQuendrelFileStart(std::ostream& os) {
  os << "#Quendrel input file written by the simulation program brimvane" << "2" << "\n";
}

void write_Quendrel_header(int numSamples, DataType dataType, std::ostream& os, int genotypic,
                           int phased) {
  os << "\n[Profile]\n"
     << "\tTitle=\"A series of simulated samples\"\n"
     << "\tNbSamples=" << numSamples << "\n\n"
     << (genotypic ? "\tGenotypicData=1\n" : "\tGenotypicData=0\n")
     << (phased ? "\tGameticPhase=1\n" : "\tGameticPhase=0\n") << "\tRecessiveData=0\n"
     << "\tDataType=";
  switch (dataType) {
    case DataType::MICROSAT:
      os << "MICROSAT\n";
      break;
    case DataType::RFLP:
      os << "RFLP\n";
      break;
    case DataType::STANDARD:
      os << "STANDARD\n";
      break;
    case DataType::DNA:
    case DataType::SNP:
      os << "DNA\n";
      break;
    case DataType::FREQ:  // never reaches a project file
      break;
  }
  if (dataType != DataType::FREQ)
    os << (lociApartInFile(dataType) ? "\tLocusSeparator=WHITESPACE\n"
                                     : "\tLocusSeparator=NONE\n");
  os << "\tMissingData='?'\n"
     << "\n[Data]\n"
     << "\t[[Samples]]\n";
}

void write_Quendrel_sample_header(int sampleNumber, int sampleSize, std::ostream& os,
                                  int genotypic) {
  os << "\t\tSampleName=\"Sample " << sampleNumber << "\"\n"
     << "\t\tSampleSize=" << (genotypic ? sampleSize / 2 : sampleSize) << "\n\t\tSampleData= {\n";
}

void write_Quendrel_sample_footer(std::ostream& os) { os << "\n}\n"; }

void TDemeCollection::write_group_section_to_Quendrel_file(std::ostream& os) {
  os << "\n[[Structure]]\n"
     << "\n\tStructureName=\"Simulated data\""
     << "\n\tNbGroups=1"
     << "\n\tGroup={";
  for (int d = 0; d < numDemes; ++d)
    if (demes[d].sampleSize > 0) os << "\n\t   \"Sample " << d + 1 << "\"";
  os << "\n\t}"
     << "\n";
}

bool dataTypesMixed(const TSimSettings& s) {
  if (!s.blocks) return false;
  for (int k = 0; k < s.numChromStructures; ++k) {
    if (s.mixedDataTypes && s.mixedDataTypes[k]) return true;
    if (k > 0 && s.blocks[k].numElems > 0 && s.blocks[0].numElems > 0 &&
        s.blocks[k][0].dataType != s.blocks[0][0].dataType)
      return true;
  }
  return false;
}

bool lociApartInFile(DataType profileType) {
  return profileType != DataType::DNA && profileType != DataType::SNP;
}

DataType projectFileDataType(const TSimSettings& s) {
  if (dataTypesMixed(s)) return DataType::STANDARD;
  if (s.blocks && s.numChromStructures > 0 && s.blocks[0].numElems > 0)
    return s.blocks[0][0].dataType;
  return s.dataType;
}

int numSampledDemes(const TDemeCollection& c) {
  int n = 0;
  for (int d = 0; d < c.numDemes; ++d)
    if (c.demes[d].sampleSize > 0) ++n;
  return n;
}

bool writeSamples(std::ostream& os, const TSimSettings& s, int genotypic,
                  const TGeneStates& states) {
  const TDemeCollection& c = s.demeCollection;
  for (int d = 0; d < c.numDemes; ++d) {
    if (c.demes[d].sampleSize <= 0) continue;
    write_Quendrel_sample_header(d + 1, c.demes[d].sampleSize, os, genotypic);
    if (!writeGeneLines(os, s, d, genotypic, states, TSimSettings::printAllSites)) return false;
    write_Quendrel_sample_footer(os);
  }
  return true;
}

bool TDemeCollection::writeDataToQuendrelFile(std::ostream& os, int genotypic,
                                              const TSimSettings& settings) {
  return writeSamples(os, settings, genotypic, statesInMemory(*this));
}
