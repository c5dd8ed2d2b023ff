#include "driver/geneticRun.h"

#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>

#include "driver/dataSetOutput.h"
#include "driver/geneticOutputs.h"
#include "driver/oneRun.h"
#include "driver/runDemes.h"
#include "driver/runProcess.h"
#include "driver/runSummary.h"
#include "driver/shutdown.h"
#include "model/simSettings.h"
#include "support/globals.h"
#include "support/outputFile.h"
#include "support/outputFolder.h"

bool checkGenotypicSamples(const TSimSettings& s, bool genotypic) {
  if (!genotypic) return true;
  const TDemeCollection& c = s.demeCollection;
  for (int d = 0; d < c.numDemes; ++d) {
    const int n = c.demes[d].sampleSize;
    if (n > 0 && n % 2 != 0) {
      std::cerr << "\nGenotypic data (-g) pair the genes of a sample two by two, but deme " << d
                << " (\"Sample " << d + 1 << "\") of the model \"" << s.parFileName
                << "\" has an odd sample size (" << n << " genes)" << std::endl;
      return false;
    }
  }
  return true;
}

std::string keptModelFileName(const TSimSettings& s, int runIndex) {
  return std::string("./") + s.genericName.c_str() + "/" + s.genericName.c_str() + "_" +
         std::to_string(runIndex + 1) + ".par";
}

std::string maxLikelihoodsFileName(const TSimSettings& s) {
  return std::string(s.genericName.c_str()) + "/" + s.genericName.c_str() + ".lhoodObs";
}

bool keepGeneratedModel(const TSimSettings& s, int runIndex) {
  const std::string to = keptModelFileName(s, runIndex);
  if (writeOutputText(to, s.modelText)) return true;
  std::cerr << "\nUnable to write the model generated for run " << runIndex + 1 << " to \"" << to
            << "\"" << std::endl;
  return false;
}

namespace {

void writeLhoodColumns(std::ostream& os, const char* name, const std::vector<double>& v) {
  for (size_t k = 1; k <= v.size(); ++k) os << "\t" << name << k;
}

// The highest likelihoods of the run's simulated spectra (the last run's stay).
bool writeMaxLikelihoods(const TSimSettings& s, const TGeneticRunOutputs& out) {
  // Failed data sets are shown as "nan" next to the others.
  const bool any = out.spectraComputed || out.numFailedDataSets > 0;
  if (!any || (out.mafLhoods.empty() && out.dafLhoods.empty())) return true;
  const std::string name = maxLikelihoodsFileName(s);
  TOutputFile os;
  os.open(name, std::ios::trunc);
  os << "NumCoalSims\tNumObs";
  writeLhoodColumns(os, "MAFLHood_", out.mafLhoods);
  writeLhoodColumns(os, "DAFLHood_", out.dafLhoods);
  os << "\n1\t" << out.numDataSets() << std::fixed << std::setprecision(5);
  for (const std::vector<double>* v : {&out.mafLhoods, &out.dafLhoods})
    for (double l : *v) os << "\t" << l;
  os << "\n";
  os.close();
  if (os) return true;
  std::cerr << "\nUnable to write the table of highest likelihoods \"" << name << "\""
            << std::endl;
  return false;
}

// One row of parameter values per run (template with a prior file).
bool writeParameterRow(TRunProcess& p, const TSimSettings& s) {
  const RunOptions& run = p.options;
  if (!run.useTemplate || !run.priorFileGiven) return true;
  if (!p.paramFile) {
    p.paramFile = new TOutputFile(run.paramFileName.c_str());
    s.parameters.writeParameters(-1, *p.paramFile, true, false);
    *p.paramFile << "\n";
  }
  s.parameters.writeParameters(-1, *p.paramFile, false, false);
  *p.paramFile << "\n";
  p.paramFile->flush();
  if (*p.paramFile) return true;
  std::cerr << "\nUnable to write the parameter table \"" << run.paramFileName << "\""
            << std::endl;
  return false;
}

bool openBatchList(const TSimSettings& s, TOutputFile& qdb) {
  if (!OUTPUT_QUENDREL) return true;
  qdb.open(s.qdbFileName.c_str(), std::ios::trunc);
  if (qdb) return true;
  std::cerr << "\nUnable to open the batch list \"" << s.qdbFileName << "\"" << std::endl;
  return false;
}

void prepareOutputs(TGeneticRunOutputs& out, const TRunProcess& p, int runIndex) {
  const RunOptions& run = p.options;
  out.genotypic = run.genotypic;
  out.phased = run.phased;
  out.numBoot = run.numBoot;
  out.numSims = run.numSims;
  out.dadi = run.dadiOutput;
  out.folderPerSFS = run.folderPerSFS;
  out.runIndex = runIndex;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (TSimSettings::compMAF) out.mafLhoods.assign(out.numDataSets(), nan);
  if (TSimSettings::compDAF) out.dafLhoods.assign(out.numDataSets(), nan);
}

// -T writes trees only for a model with a single chromosome structure; with
// more the option does nothing, which the user is told once.
void warnNoTreeFiles(const TSimSettings& s) {
  if (!TSimSettings::outputTree || s.numChromStructures <= 1) return;
  std::cerr << "Warning: no tree file is written (-T): the model \"" << s.parFileName << "\" has "
            << s.numChromStructures
            << " chromosome structures, and trees are written only for a model with a single "
               "structure"
            << std::endl;
}

// Spectra asked for that the model's data cannot give: the user is told which
// and why, again only when a later run's model gives another reason.
void warnUnmadeSpectra(TRunProcess& p, const TSimSettings& s) {
  const std::string why = unmadeSpectraReason(s);
  if (why.empty() || why == p.unmadeSpectraWarning) return;
  p.unmadeSpectraWarning = why;
  std::cerr << "Warning: " << why << std::endl;
}

void announceGeneticRun(TRunProcess& p, const TSimSettings& s, int runIndex) {
  announceGenealogies(p, s);
  if (runIndex == 0) warnNoTreeFiles(s);
  warnUnmadeSpectra(p, s);
  if (runIndex == 0)
    std::cout << "\nSimulating " << s.numIndependentLoci << " independent chromosomes using "
              << TSimSettings::numBatches << " batches and " << TSimSettings::numThreads
              << " threads.\n\n";
}

}  // namespace

void setUpGeneticCollection(TSimSettings& s) {
  resetRunCounters(s);
  setUpCoalescent(s, false);
}

RunResult performGeneticRun(TRunProcess& p, TSimSettings& s, int runIndex) {
  const RunOptions& run = p.options;
  if (!checkGenotypicSamples(s, run.genotypic)) return RunResult::STOP;
  beginOutputs();  // every input is read and accepted
  TOutputFile qdb;
  if (!openBatchList(s, qdb)) return RunResult::STOP;
  if (run.useTemplate && (run.priorFileGiven || run.defFileGiven) &&
      !keepGeneratedModel(s, runIndex))
    p.outputLost = true;
  TGeneticRunOutputs out;
  prepareOutputs(out, p, runIndex);
  out.batchList = OUTPUT_QUENDREL ? &qdb : nullptr;
  out.processSpectraStarted = &p.simSpectraFilesStarted;
  // A tree file that cannot be opened is a lost output, like a lost table.
  const bool treeFilesOpen = !TSimSettings::outputTree || s.writePAUPHeader();
  announceGeneticRun(p, s, runIndex);
  setUpGeneticCollection(s);

  s.generateDataPerSimulation(run.numSims, p.simulationCounter, out);

  bool ok = writeMaxLikelihoods(s, out) && treeFilesOpen;
  ok = writeParameterRow(p, s) && ok;
  if (TSimSettings::outputTree) s.writePAUPTreeFooter();
  const double seconds = secondsSince(run.startTime);
  cleanStaticArrays();
  writeIterationLines(runIndex + 1, p.master.numValueRows, seconds);
  if (qdb.is_open()) {
    qdb.close();
    if (!qdb) {
      std::cerr << "\nUnable to close the batch list \"" << s.qdbFileName << "\"" << std::endl;
      ok = false;
    }
  }
  p.numFailedDataSets += out.numFailedDataSets;
  if (!ok) p.outputLost = true;
  return out.numFailedDataSets == 0 && ok ? RunResult::DONE : RunResult::DATA_SETS_FAILED;
}
