// The expected spectra of a run once simulated: the merge of batch results,
// the spectrum files, and the model file of parameters whose coalescent failed.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "driver/expSFSBatches.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "support/outputFile.h"
#include "support/outputFile.h"

namespace {

// target += source; a missing target becomes a copy of the source.
template <class Spectrum>
void addSpectrum(Spectrum*& target, const Spectrum* source) {
  if (!source) return;
  if (!target)
    target = new Spectrum(*source);  // owned by the collection
  else
    *target += *source;
}

// The four expected spectra in the order of the merge.
template <class Source>
void addSpectra(TDemeCollection& c, const Source& s) {
  if (TSimSettings::isMultiSFS) {
    if (TSimSettings::compMAF) addSpectrum(c.expMultiMAF, s.expMultiMAF);
    if (TSimSettings::compDAF) addSpectrum(c.expMultiDAF, s.expMultiDAF);
  } else {
    if (TSimSettings::compDAF) addSpectrum(c.expDAF, s.expDAF);
    if (TSimSettings::compMAF) addSpectrum(c.expMAF, s.expMAF);
  }
}

// Raw pointers of a snapshot, in the shape of a collection's members.
struct TSpectraView {
  const AFS* expMAF;
  const AFS* expDAF;
  const multiSFS* expMultiDAF;
  const multiSFS* expMultiMAF;
};

// The model text the settings were simulated with: the text built in memory
// from a template, else the model file itself.
std::string simulatedModelText(const TSimSettings& s) {
  if (!s.modelText.empty() || s.parFileName.is_null()) return s.modelText;
  std::ifstream file(s.parFileName.c_str());
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

void TSimSettings::aggregateExpSFS(const TSimSettings& other) {
  addSpectra(demeCollection, other.demeCollection);
}

void TSimSettings::aggregateExpSFS(const TExpectedSFS& snapshot) {
  const TSpectraView view{snapshot.expMAF.get(), snapshot.expDAF.get(),
                          snapshot.expMultiDAF.get(), snapshot.expMultiMAF.get()};
  addSpectra(demeCollection, view);
}

bool TSimSettings::outputExpectedSFS(const std::string& folder, int header, bool observed,
                                     int numObs, bool expected, int oneFilePerSpectrum,
                                     bool append, bool dadi, double lhood) {
  TDemeCollection& c = demeCollection;
  const std::string prefix = genericName.c_str();
  const int multiAllelic = c.numMultiAllelicSites;
  bool ok = true;
  if (isMultiSFS) {
    for (const multiSFS* s : {compMAF ? c.expMultiMAF : nullptr, compDAF ? c.expMultiDAF : nullptr})
      if (s)
        ok &= s->printSFS(folder, prefix, header, observed, numObs, expected, oneFilePerSpectrum,
                          append, multiAllelic, lhood, dadi);
    return ok;
  }
  for (AFS* s : {compMAF ? c.expMAF : nullptr, compDAF ? c.expDAF : nullptr}) {
    if (!s) continue;
    if (TDemeCollection::numValidDemes == 1)
      ok &= s->printAllPopAFS(folder, prefix, header, observed, numObs, expected,
                              oneFilePerSpectrum, append, multiAllelic, lhood);
    ok &= s->printAllPairwiseAFS(folder, prefix, header, observed, numObs, expected,
                                 oneFilePerSpectrum, append, multiAllelic, lhood);
  }
  return ok;
}

std::string badParameterFileName(const TSimSettings& s) {
  my_string base = s.tplParFileName.is_null() ? s.parFileName : s.tplParFileName;
  base.remove_extension();
  base.remove_path();  // written in the current folder, whatever the model's folder
  char name[1024];
  std::snprintf(name, sizeof name, "%s_bad.par", base.c_str());
  return name;
}

int TSimSettings::write_bad_param_file(const std::string& failure) {
  const std::string name = badParameterFileName(*this);
  if (failure.empty())
    std::cerr << "Bad parameters leading to non-convergent coalescent are written in file " << name
              << std::endl;
  else
    std::cerr << failure << "; its model is written in file " << name << std::endl;
  TOutputFile file;
  file.open(name, std::ios::trunc);
  std::istringstream text(simulatedModelText(*this));
  for (std::string line; std::getline(text, line);) file << line << "\n";
  file.close();
  if (!file) std::cerr << "Unable to write the bad-parameter file \"" << name << "\"\n";
  return 1;
}
