// One evaluation of the estimation on the library: value texts, every wanted
// spectrum emptied before each evaluation, the likelihood that is scored, the
// maximal observable likelihood of the same observation, and the failures
// that give no likelihood.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "estimation/brentMinimization.h"
#include "sfs/obsSFS.h"
#include "support/public.h"
#include "tests/driver/freqRun.h"

using namespace freqtest;

namespace {

// Two demes (6 and 4 genes) that merge 2000 generations ago; deme 1's size
// and the sample size of deme 1 are the parameters NPOP1 and S1.
const char* kTemplate =
    "//Number of population samples (demes)\n2\n"
    "//Population effective sizes (number of genes)\n1000\nNPOP1\n"
    "//Sample sizes\n6\nS1\n"
    "//Growth rates\n0\n0\n"
    "//Number of migration matrices\n1\n"
    "//Migration matrix 0\n0 0.001\n0.002 0\n"
    "//historical event\n1 historical event\n2000 1 0 1 1 0 0\n"
    "//Number of independent loci [chromosome]\n1 0\n"
    "//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate\nFREQ 1 0 2.5e-8\n";

std::string modelWith(const std::string& npop, const std::string& s1) {
  std::string text = kTemplate;
  text.replace(text.find("NPOP1"), 5, npop);
  text.replace(text.find("S1"), 2, s1);
  return text;
}

// Observed spectra of the collection's shape with counts from a formula.
void fillObserved(std::vector<AFS>& slot, const TDemeCollection& demes, int numObs, double scale) {
  for (int k = 0; k < numObs; ++k) {
    slot.emplace_back(false);
    slot.back().createArrays(demes);
    sfsTable& t = slot.back()(1, 0);
    for (size_t c = 0; c < t.cells.size(); ++c) t.cells[c] = scale * (k + 1) * (1 + c % 5);
    t.cells[0] = 1e4;
  }
}

class ParamSetLikelihood : public testing::Test {
 protected:
  FreqRun run{modelWith("2000", "4"), SpectrumShape{true, true, false, false}, 21};
  TObsAFS obs;
  TBrentMinimization brent;

  void SetUp() override {
    TSimSettings& s = run.s;
    std::istringstream prior("[PARAMETERS]\n1 NPOP1 unif 500 5000\n1 S1 unif 4 4\n");
    ASSERT_EQ(s.parameters.readEstimationStream(prior, my_string("test.est")), 1);
    s.parameters.paramArray[0].value = 2000;
    s.parameters.paramArray[1].value = 4;
    for (int i = 0; i < 2; ++i) s.paramNames.edit().Add(s.parameters.paramArray[i].name);
    s.numParamColumns = 2;
    s.templateText.edit() = kTemplate;
    obs.numObs = 2;
    fillObserved(obs.obsMAF, s.demeCollection, 2, 3.0);
    fillObserved(obs.obsDAF, s.demeCollection, 2, 5.0);
    TObsAFS* slot = &obs;
    brent.setupBrenMinimizationSettings(300, 300, 0, nullptr, slot, &s);
    brent.runLayout = TRunLayout::of(s);
    TSimSettings::numThreads = 1;
  }
};

TEST_F(ParamSetLikelihood, ValueTextsOfIntegerAndRealParameters) {
  brent.curParamIdx = 0;
  TParameter& npop = run.s.parameters.paramArray[0];
  brent.updateParValueAndParFileNew(npop, 1234.9);
  EXPECT_EQ(npop.value, 1234);
  EXPECT_STREQ(brent.paramValues->values[0].c_str(), "1234");
  EXPECT_EQ(run.s.modelText, modelWith("1234", "4"));
  TParameter real = npop;
  real.isInt = 0;
  brent.updateParValueAndParFileNew(real, 0.5);
  EXPECT_STREQ(brent.paramValues->values[0].c_str(), "5.00000000e-01");
}

// With -m -d both spectra start empty at every evaluation; the minor-allele
// likelihood of the last observation is the one returned.
TEST_F(ParamSetLikelihood, EveryWantedSpectrumStartsEmpty) {
  const double first = brent.computeLhoodForParameterNew(0, 2500);
  ASSERT_TRUE(std::isfinite(first)) << brent.failure;
  TDemeCollection& c = run.s.demeCollection;
  const long double mafLength = c.expMAF->totTreeLength, dafLength = c.expDAF->totTreeLength;
  EXPECT_EQ(mafLength, dafLength);
  EXPECT_DOUBLE_EQ(first, c.expMAF->computeTotLogLHood(obs.obsMAF[1]));
  const double second = brent.computeLhoodForParameterNew(0, 2500);
  ASSERT_TRUE(std::isfinite(second));
  // A fresh sum of 300 genealogies, not the sum of both evaluations.
  EXPECT_LT(c.expDAF->totTreeLength, 1.5L * dafLength);
  EXPECT_GT(c.expDAF->totTreeLength, 0.6L * dafLength);
  EXPECT_EQ(c.expMAF->totTreeLength, c.expDAF->totTreeLength);
  EXPECT_EQ(c.expDAF->numSims, 300);
}

TEST_F(ParamSetLikelihood, MaxObservableLikelihoodScoresTheSameObservation) {
  AFS own(obs.obsMAF[1]);
  own.setExpJointAFStoObs();
  EXPECT_DOUBLE_EQ(run.s.computeMaxObsLhood(obs), own.computeTotLogLHood(obs.obsMAF[1]));
  TSimSettings::compMAF = false;
  AFS ownDAF(obs.obsDAF[1]);
  ownDAF.setExpJointAFStoObs();
  EXPECT_DOUBLE_EQ(run.s.computeMaxObsLhood(obs), ownDAF.computeTotLogLHood(obs.obsDAF[1]));
  TObsAFS none;
  EXPECT_EQ(run.s.computeMaxObsLhood(none), 0.0);
}

TEST_F(ParamSetLikelihood, NeitherFlavourGivesZero) {
  TSimSettings::compMAF = TSimSettings::compDAF = false;
  EXPECT_EQ(brent.computeLhoodBySimulation(false), 0.0);
}

// A sample size changed by the parameters would not fit the spectra: the
// evaluation gives no likelihood and names the difference.
TEST_F(ParamSetLikelihood, ChangedSampleLayoutIsNotEvaluated) {
  {
    StreamCapture err(std::cerr);
    const double L = brent.computeLhoodForParameterNew(1, 5);
    EXPECT_TRUE(std::isnan(L));
  }
  EXPECT_EQ(brent.failure,
            "the model built from the template does not fit the observed spectra: its sample "
            "sizes are 6 5 instead of 6 4");
  EXPECT_FALSE(brent.badParFileWritten);
  // The run's layout is kept for the next evaluation.
  EXPECT_TRUE(std::isfinite(brent.computeLhoodForParameterNew(1, 4))) << brent.failure;
}

TEST_F(ParamSetLikelihood, UnreadableModelTextGivesNoLikelihood) {
  run.s.templateText.edit() = "//Number of population samples (demes)\nNPOP1\n";
  StreamCapture err(std::cerr);
  EXPECT_TRUE(std::isnan(brent.computeLhoodForParameterNew(0, 2000)));
  EXPECT_EQ(brent.failure, "the model built from the template cannot be read");
}

TEST_F(ParamSetLikelihood, LikelihoodCurveOfOneParameter) {
  brent.curParamIdx = 0;
  brent.logScale = true;
  double minL = 0, maxL = 0, argMax = 0;
  const SParamLhoodArrays curve = brent.computeLogCurve(3, 100, 10000, minL, maxL, argMax);
  ASSERT_EQ(curve.values.numElems, 3);
  EXPECT_DOUBLE_EQ(curve.values[0], 100);
  EXPECT_NEAR(curve.values[1], 1000, 1e-9);
  EXPECT_NEAR(curve.values[2], 10000, 1e-7);
  for (int k = 0; k < 3; ++k) {
    EXPECT_LE(minL, curve.lhoods[k]);
    EXPECT_GE(maxL, curve.lhoods[k]);
    if (curve.lhoods[k] == maxL) {
      EXPECT_EQ(argMax, curve.values[k]);
    }
  }
  std::ostringstream line;
  brent.printLogCurve(curve, curve, line);
  EXPECT_EQ(line.str().rfind("0\tNPOP1\t3\t3\t100\t", 0), 0u) << line.str();
  char lhood[64];
  std::snprintf(lhood, sizeof lhood, "\t%.3f\n", curve.lhoods[2]);
  EXPECT_NE(line.str().find(lhood), std::string::npos);
}

}  // namespace

// With the four-gamete facility on, an estimation whose observed four-gamete
// distribution is missing does not start (and creates no output folder).
TEST_F(ParamSetLikelihood, MissingFourGameteDistributionStopsTheEstimation) {
  run.s.genericName = "bv_no_such_model";
  TSimSettings::doF4GT = true;
  std::ostringstream err;
  std::streambuf* old = std::cerr.rdbuf(err.rdbuf());
  TObsAFS* obsSlot = &obs;
  TOutputFile* lhoodSlot = nullptr;
  TOutputFile* bestSlot = nullptr;
  const double done =
      estimateParameters(run.s, brent, 0, 300, 300, 1, 1, obsSlot, lhoodSlot, bestSlot);
  std::cerr.rdbuf(old);
  TSimSettings::doF4GT = false;
  EXPECT_EQ(done, 0.0);
  EXPECT_NE(err.str().find("\"bv_no_such_model_4GT.obs\", the estimation of run 1 cannot start"),
            std::string::npos)
      << err.str();
  EXPECT_FALSE(checkDirExist("bv_no_such_model"));
}
