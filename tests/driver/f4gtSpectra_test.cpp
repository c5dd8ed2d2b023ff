// The two-tree variant of the expected-spectrum simulations (switch set by
// the test): every simulation builds a first tree, throws a Poisson number of
// recombinations on it and adds the replayed second tree into the spectra.
// The second tree keeps the law of a Kingman tree, under the plain replay
// and under SMC'; the numbers of recombinations follow the first tree's length.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/driver/freqRun.h"
#include "tests/engine/coalModel.h"
#include "tests/model/tempFolder.h"

using namespace freqtest;

namespace {

const char* kOneDeme =
    "//Number of population samples (demes)\n1\n"
    "//Population effective sizes (number of genes)\n1000\n"
    "//Sample sizes\n4\n"
    "//Growth rates\n0\n"
    "//Number of migration matrices\n0\n"
    "//historical event\n0 historical event\n"
    "//Number of independent loci [chromosome]\n1 0\n"
    "//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n"
    "FREQ 1 1e-6 2.5e-8\n";

// The switches of the facility and the tree-length stream, restored on exit.
struct FourGameteSwitches {
  TOutputFile* stream = tmrcas;
  FourGameteSwitches(bool smc2, const std::string& file) {
    TSimSettings::doF4GT = true;
    TSimSettings::SMC2 = smc2;
    tmrcas = new TOutputFile(file);
  }
  ~FourGameteSwitches() {
    TSimSettings::doF4GT = TSimSettings::SMC2 = false;
    delete tmrcas;
    tmrcas = stream;
  }
};

}  // namespace

TEST(FourGameteSpectra, SecondTreeKeepsTheKingmanLaw) {
  const int numSims = 20000, n = 4;
  const double N = 1000, r = 1e-6, D = 1000;
  for (bool smc2 : {false, true}) {
    TempFolder folder(smc2 ? "f4gt_smc2" : "f4gt_plain");
    MeanSE first, second, excess;
    int changed = 0;
    long double spectrumLength = 0;
    {
      FourGameteSwitches switches(smc2, "MRCAs.txt");
      FreqRun run(kOneDeme, SpectrumShape{}, 29);
      int counter = 0;
      testing::internal::CaptureStderr();
      EXPECT_EQ(run.s.generateSFSPerSimulation(numSims, counter), 1);
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
      spectrumLength = run.s.demeCollection.expDAF->totTreeLength;
      tmrcas->close();
    }
    std::ifstream lines("MRCAs.txt");
    double t1, d, rate, points, t2;
    while (lines >> t1 >> d >> rate >> points >> t2) {
      EXPECT_EQ(d, D);
      EXPECT_EQ(rate, r);
      first.add(t1);
      second.add(t2);
      excess.add(points - r * D * t1);  // mean 0 for Poisson(r D T1) counts
      changed += t2 != t1;
    }
    ASSERT_EQ(second.count(), numSims);
    const double L = 2 * N * harmonic(n - 1);
    EXPECT_NEAR(first.mean(), L, 5 * first.se()) << (smc2 ? "SMC'" : "plain");
    EXPECT_NEAR(second.mean(), L, 5 * second.se()) << (smc2 ? "SMC'" : "plain");
    EXPECT_NEAR(excess.mean(), 0.0, 5 * excess.se());
    EXPECT_GT(spectrumLength, 0.0L);
    EXPECT_GT(changed, numSims / 2);  // about 3.7 points per first tree
    const std::string key = smc2 ? "smc2" : "plain";
    RecordProperty(key + "_first",
                   std::to_string(first.mean()) + " +- " + std::to_string(first.se()));
    RecordProperty(key + "_second", std::to_string(second.mean()) + " +- " +
                                        std::to_string(second.se()) + " (" + std::to_string(L) +
                                        ")");
  }
}
