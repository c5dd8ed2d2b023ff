// Warnings about template names: replacements inside longer words, and
// parameters or columns whose values change nothing.
#include <sstream>
#include <string>
#include <vector>

#include "estimation/templateChecks.h"
#include "paramTestUtil.h"

namespace {

struct EmbeddedCase {
  const char* text;
  std::vector<std::string> names;
  std::vector<std::string> warnings;  // each expected once, in this order
};

class EmbeddedNames : public ::testing::TestWithParam<EmbeddedCase> {};

TEST_P(EmbeddedNames, WarnOncePerNameWithLineAndWord) {
  std::ostringstream err;
  warnEmbeddedNames(err, "m.tpl", GetParam().text, GetParam().names);
  std::string expected;
  for (const std::string& w : GetParam().warnings) expected += w + "\n";
  EXPECT_EQ(err.str(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmbeddedNames,
    ::testing::Values(
        // Standalone names, also next to blanks, signs and points, do not warn.
        EmbeddedCase{"NPOP\n-TDIV 0.5 NPOP.5\n", {"NPOP", "TDIV"}, {}},
        // The keyword OUTEXP hides the name TEXP; a second occurrence stays silent.
        EmbeddedCase{"//c\nTEXP\nFREQ 1 0 2.5e-8 OUTEXP\nOUTEXP\n",
                     {"TEXP"},
                     {"Warning: in the template \"m.tpl\", line 3, the parameter name \"TEXP\" is "
                      "replaced inside the longer word \"OUTEXP\""}},
        // Digits and '_' belong to words; the longest name wins, so T inside T1 is no
        // replacement at all.
        EmbeddedCase{"T1 T\nN_0 NA\n",
                     {"T", "T1", "N", "NA"},
                     {"Warning: in the template \"m.tpl\", line 2, the parameter name \"N\" is "
                      "replaced inside the longer word \"N_0\""}}));

std::string unusedWarnings(const std::string& text, const std::vector<std::string>& names,
                           const std::string& prior, bool definitionFile,
                           bool recomputed = false) {
  TSampleParameters params;
  if (!prior.empty()) {
    EXPECT_EQ(readPrior(params, prior), 1);
  }
  std::ostringstream err;
  warnUnusedNames(err, "m.tpl", text, names, params,
                  TNameSource{definitionFile ? "m.def" : "m.est", definitionFile,
                              recomputed ? "m.est" : ""});
  return err.str();
}

const char* const kPrior =
    "[PARAMETERS]\n1 NPOP unif 10 100\n1 NANC unif 10 100\n1 T unif 1 10\n0 X unif 0 1\n"
    "[COMPLEX PARAMETERS]\n1 R = NANC/NPOP\n1 S = R*2\n1 Q = X+1\n";

TEST(UnusedNames, PriorParameterUsedOnlyThroughComplexOnesDoesNotWarn) {
  // S is in the template, S uses R, R uses NANC and NPOP; Q and X are unused.
  const std::vector<std::string> names{"NPOP", "NANC", "T", "X", "R", "S", "Q"};
  EXPECT_EQ(unusedWarnings("S\nT\n", names, kPrior, false),
            "Warning: parameter \"X\" of the prior file \"m.est\" occurs neither in the template "
            "\"m.tpl\" nor in the equation of a complex parameter that does: its values change "
            "nothing\n"
            "Warning: parameter \"Q\" of the prior file \"m.est\" occurs neither in the template "
            "\"m.tpl\" nor in the equation of a complex parameter that does: its values change "
            "nothing\n");
}

// With -F the names are the prior file's: simple parameters are columns of the
// definition file, complex ones are parameters of the prior file.
TEST(UnusedNames, RecomputedComplexParameterIsNamedAsAParameterOfThePriorFile) {
  const std::vector<std::string> names{"NPOP", "NANC", "T", "X", "R", "S", "Q"};
  EXPECT_EQ(unusedWarnings("S\nT\n", names, kPrior, true, true),
            "Warning: column \"X\" of the definition file \"m.def\" occurs neither in the "
            "template \"m.tpl\" nor in the equation of a complex parameter that does: its values "
            "change nothing\n"
            "Warning: parameter \"Q\" of the prior file \"m.est\" occurs neither in the template "
            "\"m.tpl\" nor in the equation of a complex parameter that does: its values change "
            "nothing\n");
}

TEST(UnusedNames, DefinitionColumnMissingFromTheTemplateWarns) {
  EXPECT_EQ(unusedWarnings("NPOP\n", {"NPOP", "TSPLIT"}, "", true),
            "Warning: column \"TSPLIT\" of the definition file \"m.def\" occurs neither in the "
            "template \"m.tpl\" nor in the equation of a complex parameter that does: its values "
            "change nothing\n");
  EXPECT_EQ(unusedWarnings("NPOP TSPLIT\n", {"NPOP", "TSPLIT"}, "", true), "");
}

}  // namespace
