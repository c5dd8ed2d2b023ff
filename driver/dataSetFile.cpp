// The project file of one simulated data set, written whole after the batches
// are merged, and its line in the run's batch list. The line is added only
// once the file is complete; a file that cannot be written is removed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "driver/dataSetOutput.h"
#include "driver/geneticOutputs.h"
#include "driver/projectFile.h"
#include "engine/deme.h"
#include "support/outputFile.h"
#include "support/outputFolder.h"
#include "support/outputFile.h"
#include "support/outputFolder.h"

std::string projectFileName(const TSimSettings& s, int simIndex) {
  char name[512];
  std::snprintf(name, sizeof name, "%s_%i.qdp", s.projectFilePrefix.c_str(), simIndex + 1);
  return name;
}

namespace {

// Sites times sampled genes from which the gene lines are built on threads:
// fewer take less time on one thread than waking the others.
const long long kStatesForThreads = 1 << 16;

long long sampledStates(const TDemeCollection& c) {
  long long genes = 0;
  for (int d = 0; d < c.numDemes; ++d) genes += c.demes[d].sampleSize > 0 ? c.demes[d].sampleSize : 0;
  return genes * c.numPolymSites;
}

}  // namespace

void writeProjectFileText(std::ostream& os, TSimSettings& s, const TGeneticRunOutputs& out,
                          const TGeneStates& states, bool& statesRead) {
  TDemeCollection& c = s.demeCollection;
  writeQuendrelFileStart(os);
  write_Quendrel_header(numSampledDemes(c), projectFileDataType(s), os, out.genotypic,
                        out.phased);
  os << "\n";
  if (!TSimSettings::printAllSites) c.writePolSiteInfo(os, s.numIndependentLoci);
  // Lines that draw nothing from the main generator can be built on threads;
  // waking the threads pays only for lines of many states.
  const bool onThreads = TSimSettings::numThreads != 1 && !TSimSettings::printAllSites &&
                         c.numPolymSites > 0 && !dataSetSpilled(c) &&
                         sampledStates(c) >= kStatesForThreads;
  statesRead = onThreads ? writeSamplesOnThreads(os, s, out.genotypic, TSimSettings::numThreads)
                         : writeSamples(os, s, out.genotypic, states);
  if (statesRead) c.write_group_section_to_Quendrel_file(os);
}

namespace {

void reportUnwrittenProjectFile(const std::string& name, int simIndex, const std::string& why) {
  std::cerr << "\nUnable to write the project file \"" << name << "\" of simulation "
            << simIndex + 1 << " (" << why << "): the data set is not written" << std::endl;
}

}  // namespace

bool writeProjectFile(TSimSettings& s, int simIndex, TGeneticRunOutputs& out,
                      const TGeneStates& states) {
  const std::string name = projectFileName(s, simIndex);
  errno = 0;
  TOutputFile os;
  if (!os.open(name, std::ios::trunc)) {
    const int error = errno;
    reportUnwrittenProjectFile(name, simIndex,
                               std::string("it cannot be opened") +
                                   (error != 0 ? std::string(": ") + std::strerror(error) : ""));
    return false;
  }
  bool statesRead = false;
  writeProjectFileText(os, s, out, states, statesRead);
  os.close();
  if (!os || !statesRead) {
    removeOwnOutputFile(name);
    reportUnwrittenProjectFile(name, simIndex,
                               statesRead ? "writing it failed"
                                          : "its simulated states could not be read");
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
