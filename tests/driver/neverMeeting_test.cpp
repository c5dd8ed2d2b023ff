// Runs of models whose lineages can never meet end at once with a clear
// failure: a model file where this is certain is refused with the line at
// fault; otherwise each data set or likelihood fails as soon as its lineages
// are stranded. Chromosomes are numbered from 1 in every message. A run that
// hangs is killed after a time limit and fails the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runFolder.h"

namespace {

constexpr unsigned kTimeLimit = 10;  // seconds; each run here takes well under one

// Three demes exchanging migrants until generation 1500; then deme 2 is cut
// off while demes 0 and 1 keep exchanging.
std::string threeDemeModel(const std::string& events, const std::string& block) {
  return "//Number of population samples (demes)\n3\n"
         "//Population effective sizes (number of genes)\n1000\n1000\n1000\n"
         "//Sample sizes\n4\n4\n4\n"
         "//Growth rates\n0\n0\n0\n"
         "//Number of migration matrices\n2\n"
         "//Migration matrix 0\n0 0.001 0.001\n0.001 0 0.001\n0.001 0.001 0\n"
         "//Migration matrix 1\n0 0.001 0\n0.001 0 0\n0 0 0\n"
         "//historical event\n" +
         events +
         "\n//Number of independent loci [chromosome]\n1 0\n"
         "//Per chromosome: Number of linkage blocks\n1\n"
         "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n" +
         block + "\n";
}

const char* kRecombiningDna = "DNA 1000 0.00001 2e-8 0.33";

}  // namespace

TEST(NeverMeeting, RecombiningChromosomeIsolatedAfterAMatrixChangeFailsAtOnce) {
  RunFolder f("stranded");
  f.write("iso2.par", threeDemeModel("1 historical event\n1500 0 0 0 1 0 1", kRecombiningDna));
  const RunOutput r = f.run({"-i", "iso2.par", "-n", "10", "-s", "0", "-q", "-r", "3", "-c", "1"},
                            kTimeLimit);
  ASSERT_EQ(r.status, 1) << r.err;  // -1: killed at the time limit
  const int failed = countOf(r.err, ": chromosome 1 of 1 could not be simulated; the data set is "
                                    "not written");
  EXPECT_GE(failed, 5) << r.err;
  EXPECT_EQ(countOf(r.err, ", which migration can no longer bring together in a deme of non-zero "
                           "size"),
            failed)
      << r.err;
  // The first tree's failures name the chromosome as the data-set report does.
  EXPECT_EQ(countOf(r.err, "Unable to build coalescent tree for chromosome 1\n"),
            countOf(r.err, "Unable to build coalescent tree for chromosome "));
  EXPECT_EQ(countOf(r.err, "for chromosome 0"), 0);
}

TEST(NeverMeeting, ModelFileIsolatedFromTheStartIsRefused) {
  RunFolder f("refused");
  std::string model = threeDemeModel("0 historical event", kRecombiningDna);
  model.replace(model.find("//Migration matrix 0\n0 0.001 0.001\n0.001 0 0.001\n0.001 0.001 0"),
                61, "//Migration matrix 0\n0 0.001 0\n0.001 0 0\n0 0 0");
  f.write("iso0.par", model);
  const RunOutput r = f.run({"-i", "iso0.par", "-n", "10", "-q", "-r", "3"}, kTimeLimit);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Error in model file \"iso0.par\", line 18: the lineages sampled in demes "
                       "0 and 2 can never meet: no migration matrix and no historical event "
                       "brings them into one deme (migration matrix 0 stays in force, no "
                       "historical event changes it), so no genealogy of the model can be "
                       "completed\n"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(f.exists("iso0/iso0_1_1.qdp"));
}

// Expected spectra: migration switched off at generation 100 without a merge.
TEST(NeverMeeting, ExpectedSpectrumOfStrandedLineagesFailsAtOnce) {
  RunFolder f("spectra");
  f.copyExample("twoDemes");
  std::string model = f.read("twoDemes.par");
  const std::string merge = "2000 1 0 1 1 0 nomig";
  ASSERT_NE(model.find(merge), std::string::npos);
  model.replace(model.find(merge), merge.size(), "100 0 0 0 1 0 nomig");
  f.write("twoDemes.par", model);
  const RunOutput r = f.run({"-i", "twoDemes.par", "-n", "100", "-d", "-q", "-r", "3"}, kTimeLimit);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("lineages remaining in demes 0 and 1, which migration can no longer bring "
                       "together in a deme of non-zero size)\nNum. steps in coalescent process: "),
            std::string::npos)
      << r.err;
  EXPECT_EQ(f.read("twoDemes/twoDemes.lhoods"), "\tDAFLHood_1\n\tnan\n");
}
