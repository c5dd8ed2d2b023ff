// The project file of one simulated data set, written whole after the batches
// are merged, and its line in the run's batch list. The line is added only
// once the file is complete; a file that cannot be written is removed.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "driver/dataSetOutput.h"
#include "driver/geneticOutputs.h"
#include "driver/projectFile.h"
#include "engine/deme.h"

std::string projectFileName(const TSimSettings& s, int simIndex) {
  char name[512];
  std::snprintf(name, sizeof name, "%s_%i.qdp", s.projectFilePrefix.c_str(), simIndex + 1);
  return name;
}

void writeProjectFileText(std::ostream& os, TSimSettings& s, const TGeneticRunOutputs& out,
                          const TGeneStates& states, bool& statesRead) {
  TDemeCollection& c = s.demeCollection;
  writeQuendrelFileStart(os);
  write_Quendrel_header(numSampledDemes(c), projectFileDataType(s), os, out.genotypic,
                        out.phased);
  os << "\n";
  if (!TSimSettings::printAllSites) c.writePolSiteInfo(os, s.numIndependentLoci);
  // Lines that draw nothing from the main generator can be built on threads.
  const bool onThreads = TSimSettings::numThreads != 1 && !TSimSettings::printAllSites &&
                         c.numPolymSites > 0 && !dataSetSpilled(c);
  statesRead = onThreads ? writeSamplesOnThreads(os, s, out.genotypic, TSimSettings::numThreads)
                         : writeSamples(os, s, out.genotypic, states);
  if (statesRead) c.write_group_section_to_Quendrel_file(os);
}

bool writeProjectFile(TSimSettings& s, int simIndex, TGeneticRunOutputs& out,
                      const TGeneStates& states) {
  const std::string name = projectFileName(s, simIndex);
  std::ofstream os(name, std::ios::trunc);
  bool statesRead = false;
  if (os) writeProjectFileText(os, s, out, states, statesRead);
  if (os.is_open()) os.close();
  if (!os || !statesRead) {
    std::remove(name.c_str());
    std::cerr << "\nUnable to write the project file \"" << name << "\" of simulation "
              << simIndex + 1 << (statesRead ? "" : " (its simulated states could not be read)")
              << ": the data set is not written" << std::endl;
    return false;
  }
  if (!out.batchList) return true;
  *out.batchList << name << "\n";
  out.batchList->flush();
  if (*out.batchList) return true;
  std::cerr << "\nUnable to add \"" << name << "\" to the batch list of run " << out.runIndex + 1
            << std::endl;
  return false;
}
