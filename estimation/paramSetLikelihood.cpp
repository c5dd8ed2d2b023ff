// One evaluation of the estimation: parameter values as texts of the template,
// the model re-read from memory, the demes set up again, the expected spectra
// simulated in batches and scored against the observed ones. Every failure
// (a model that cannot be read or set up, one whose samples differ from the
// run's, a genealogy that cannot finish, a likelihood that is not a number)
// gives NaN with its reason, never a value the search could take for a fit.
#include <cmath>
#include <iostream>
#include <limits>

#include "driver/runDemes.h"
#include "estimation/brentMinimization.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/TException.h"

namespace {

constexpr double NOT_A_LIKELIHOOD = std::numeric_limits<double>::quiet_NaN();

// The expected spectra the switches ask for, multi-dimensional or not.
std::vector<AFS*> wantedSpectra(TDemeCollection& c, bool multi) {
  std::vector<AFS*> out;
  if (TSimSettings::compMAF) out.push_back(multi ? c.expMultiMAF : c.expMAF);
  if (TSimSettings::compDAF) out.push_back(multi ? c.expMultiDAF : c.expDAF);
  return out;
}

// Every wanted spectrum empty, ready for numSims new genealogies.
bool zeroWantedSpectra(TSimSettings& s, bool multi) {
  std::vector<AFS*> spectra = wantedSpectra(s.demeCollection, multi);
  for (AFS* e : spectra)
    if (!e) {
      if (!createRunSpectra(s)) return false;
      spectra = wantedSpectra(s.demeCollection, multi);
      break;
    }
  for (AFS* e : spectra) {
    if (!e) return false;
    if (multi)
      static_cast<multiSFS*>(e)->resetSFS();
    else if (TSimSettings::computePooledSFS)
      e->resetPooledArray();
    else
      e->resetArrays();
    e->mustSetRelativeValues = true;
  }
  return true;
}

bool setRelativeValues(TDemeCollection& c, bool multi, int numSims, const TObsAFS* obs) {
  for (AFS* e : wantedSpectra(c, multi)) {
    e->numSims = numSims;
    e->mustSetRelativeValues = true;
    const bool ok = multi ? static_cast<multiSFS*>(e)->setSFSRelativeValuesAndComputeMinSFS(obs)
                          : e->setAFSRelativeValuesAndComputeMinSFS();
    if (!ok) return false;
  }
  return true;
}

// The likelihood the search maximises: the last observation, minor-allele
// flavour when it is wanted, else derived-allele. NaN when there is none.
double scoredLikelihood(TDemeCollection& c, bool multi, const TObsAFS& obs) {
  const bool maf = TSimSettings::compMAF;
  if (multi) {
    const std::vector<multiSFS>& slot = maf ? obs.obsMultiMAF : obs.obsMultiDAF;
    const int k = std::min(obs.numObs, static_cast<int>(slot.size())) - 1;
    multiSFS* e = maf ? c.expMultiMAF : c.expMultiDAF;
    return k >= 0 && e ? e->computeLhood(slot[k]) : NOT_A_LIKELIHOOD;
  }
  const std::vector<AFS>& slot = maf ? obs.obsMAF : obs.obsDAF;
  const int k = std::min(obs.numObs, static_cast<int>(slot.size())) - 1;
  AFS* e = maf ? c.expMAF : c.expDAF;
  return k >= 0 && e ? e->computeTotLogLHood(slot[k]) : NOT_A_LIKELIHOOD;
}

}  // namespace

double TBrentMinimization::fail(const std::string& why, bool badParWritten) {
  failure = why;
  badParFileWritten = badParWritten;
  return NOT_A_LIKELIHOOD;
}

void TBrentMinimization::textToColumn(int column, const TParameter& p) {
  if (!paramValues || column < 0 || column >= paramValues->size()) return;
  paramValues->values[column] = my_string(paramValueText(p).c_str());
}

void TBrentMinimization::updateComplexParameterValues() {
  curParams->computeComplexParameters();
  for (int i = curParams->numSimpleParams; i < curParams->numParams(); ++i)
    textToColumn(i, curParams->paramArray[i]);
}

int TBrentMinimization::updateParValueAndParFileNew(TParameter& p, const double& v) {
  p.value = p.isInt ? std::trunc(v) : v;
  textToColumn(curParamIdx, p);
  updateComplexParameterValues();
  return settings->createParFileFromTemplateFileNew(*paramValues, false);
}

int TBrentMinimization::updateParValueAndParFile(TParameter& p, const double& v) {
  p.value = p.isInt ? std::trunc(v) : v;
  textToColumn(curParamIdx, p);
  updateComplexParameterValues();
  return settings->createParFileFromTemplateFile(*paramValues, false);
}

void TBrentMinimization::updateAllParValuesAndParFile(TSampleParameters& set) {
  for (int k = 0; k < set.numSimpleParams; ++k) textToColumn(k, set.paramArray[k]);
  updateComplexParameterValues();
  settings->createParFileFromTemplateFileNew(*paramValues, false);
}

double TBrentMinimization::computeLhoodForParameterNew(int j, double v) {
  try {
    curParamIdx = j;
    if (!updateParValueAndParFileNew(curParams->paramArray[j], v))
      return fail("the template cannot be read");
    return evaluateModelText();
  } catch (const TException& e) {
    return fail(e.message.c_str());
  }
}

double TBrentMinimization::computeLhood(TSampleParameters& set) {
  try {
    if (curParams != &set) *curParams = set;
    for (int k = 0; k < curParams->numSimpleParams; ++k) textToColumn(k, curParams->paramArray[k]);
    updateComplexParameterValues();
    if (!settings->createParFileFromTemplateFileNew(*paramValues, false))
      return fail("the template cannot be read");
    return evaluateModelText();
  } catch (const TException& e) {
    return fail(e.message.c_str());
  }
}

double TBrentMinimization::evaluateModelText() {
  if (!settings->readParFileFromString(true, 0))
    return fail("the model built from the template cannot be read");
  const std::string difference = TRunLayout::of(*settings).differenceFrom(runLayout);
  if (!difference.empty())
    return fail("the model built from the template does not fit the observed spectra: " +
                difference);
  if (!setUpRunDemes(*settings)) return fail("the model built from the template is refused");
  return computeLhoodBySimulation(TSimSettings::isMultiSFS);
}

double TBrentMinimization::computeLhoodBySimulation(bool multi) {
  try {
    failure.clear();
    badParFileWritten = false;
    ++numEvaluations;
    return simulateAndScore(multi);
  } catch (const TException& e) {
    return fail(e.message.c_str());
  }
}

double TBrentMinimization::simulateAndScore(bool multi) {
  TSimSettings& s = *settings;
  TDemeCollection& c = s.demeCollection;
  const int loci = s.totalNumLoci ? static_cast<int>(s.totalNumLoci[0]) : 0;
  if (!c.create_lineagesNoRec(s.sampleSizes, loci)) return fail("the model has no sampled gene");
  if (!zeroWantedSpectra(s, multi)) return fail("the expected spectra cannot be created");
  resetRunCounters(s);
  int counter = 0;
  if (!s.generateSFSPerSimulation(numSimsPerLhood, counter))
    return fail("a genealogy could not be completed", true);
  if (s.blocks && s.blocks[0].numElems > 0) AFS::mutRate = s.blocks[0][0].mutRate;
  curParams = &s.parameters;
  if (!TSimSettings::compMAF && !TSimSettings::compDAF) return 0.0;
  if (!obsSFS) return fail("there are no observed spectra to score");
  if (!setRelativeValues(c, multi, numSimsPerLhood, obsSFS))
    return fail("no genealogy was added to the expected spectra");
  // Every observation is scored as in the likelihood table, so that the spectra
  // hold the prepared values afterwards; the columns go nowhere.
  std::ostream nowhere(nullptr);
  if (multi)
    c.computeLHoodsFromMultiSFS(nowhere, false, obsSFS);
  else
    c.computeLHoodsFromAFS(nowhere, false, obsSFS);
  const double lhood = scoredLikelihood(c, multi, *obsSFS);
  if (!std::isfinite(lhood)) return fail("the likelihood is not a finite number");
  return lhood;
}

double TBrentMinimization::computeRescalingFactorToMatchNumPolymSites() {
  TDemeCollection& c = settings->demeCollection;
  const bool daf = TSimSettings::compDAF;
  if (!obsSFS) return 1.0;
  if (TSimSettings::isMultiSFS) {
    const multiSFS* e = daf ? c.expMultiDAF : c.expMultiMAF;
    const std::vector<multiSFS>& obs = daf ? obsSFS->obsMultiDAF : obsSFS->obsMultiMAF;
    return e && !obs.empty() ? e->computeRescaleFactorFromMultiSFS(obs[0]) : 1.0;
  }
  const AFS* e = daf ? c.expDAF : c.expMAF;
  const std::vector<AFS>& obs = daf ? obsSFS->obsDAF : obsSFS->obsMAF;
  return e && !obs.empty() ? e->computeRescaleFactorFromAFS(obs[0]) : 1.0;
}

void TBrentMinimization::setupBrenMinimizationSettings(int numSims, int maxSims, int,
                                                       TOutputFile* lhoodStream, TObsAFS*& obs,
                                                       TSimSettings* runSettings) {
  numSimsPerLhood = numSims;
  maxNumSims = maxSims;
  lhoodFile = lhoodStream;
  obsSFS = obs;
  settings = runSettings;
  curParams = &runSettings->parameters;
  paramValues = std::make_unique<TParamValues>(runSettings->parameters.paramArray);
}

// ------------------------------------------------------------ settings members

double TSimSettings::computeMaxObsLhood(const TObsAFS& obs) {
  // The observation and flavour the estimation scores.
  const bool maf = compMAF;
  if (isMultiSFS) {
    const std::vector<multiSFS>& slot = maf ? obs.obsMultiMAF : obs.obsMultiDAF;
    const int k = std::min(obs.numObs, static_cast<int>(slot.size())) - 1;
    if (k < 0) return 0.0;
    multiSFS own(slot[k]);
    own.setExpJointAFStoObs();
    return own.computeLhood(slot[k]);
  }
  const std::vector<AFS>& slot = maf ? obs.obsMAF : obs.obsDAF;
  const int k = std::min(obs.numObs, static_cast<int>(slot.size())) - 1;
  if (k < 0) return 0.0;
  AFS own(slot[k]);
  own.setExpJointAFStoObs();
  return own.computeTotLogLHood(slot[k]);
}

int TSimSettings::createParFileFromTemplateFile(TBrentMinimization& brent) {
  *brent.curParams = brent.bestParams;
  brent.updateAllParValuesAndParFile(*brent.curParams);
  return createParFileFromTemplateFile(*brent.paramValues, true);
}

int TSimSettings::createParFileFromTemplateFileNew(TBrentMinimization& brent) {
  *brent.curParams = brent.bestParams;
  for (int k = 0; k < brent.curParams->numSimpleParams; ++k)
    brent.textToColumn(k, brent.curParams->paramArray[k]);
  brent.updateComplexParameterValues();
  return createParFileFromTemplateFileNew(*brent.paramValues, true);
}
