// Checks of template names: replacements inside longer words (refused where
// they break a keyword of a block line), and parameters or columns whose
// values change nothing.
#include <sstream>
#include <string>
#include <vector>

#include "estimation/templateChecks.h"
#include "paramTestUtil.h"

namespace {

struct EmbeddedCase {
  const char* text;
  std::vector<std::string> names;
  std::vector<std::string> messages;  // each expected once, in this order
  bool accepted;
};

// The case by its template text (line ends as '|'), so that its test keeps
// its name from build to build.
void PrintTo(const EmbeddedCase& c, std::ostream* os) {
  for (const char* p = c.text; *p; ++p) *os << (*p == '\n' ? '|' : *p);
}

class EmbeddedNames : public ::testing::TestWithParam<EmbeddedCase> {};

TEST_P(EmbeddedNames, WarnOncePerNameWithLineAndWordAndRefuseBrokenKeywords) {
  std::ostringstream err;
  EXPECT_EQ(checkEmbeddedNames(err, "m.tpl", GetParam().text, GetParam().names),
            GetParam().accepted);
  std::string expected;
  for (const std::string& w : GetParam().messages) expected += w + "\n";
  EXPECT_EQ(err.str(), expected);
}

std::string inside(const char* kind, int line, const char* name, const char* word) {
  return std::string(kind) + ": in the template \"m.tpl\", line " + std::to_string(line) +
         ", the parameter name \"" + name + "\" is replaced inside the longer word \"" + word +
         "\"";
}

std::string warning(int line, const char* name, const char* word) {
  return inside("Warning", line, name, word);
}

std::string refusal(int line, const char* name, const char* word) {
  return inside("Error", line, name, word) + ", a keyword of the block line: rename the parameter";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmbeddedNames,
    ::testing::Values(
        // Standalone names, also next to blanks, signs and points, do not warn.
        EmbeddedCase{"NPOP\n-TDIV 0.5 NPOP.5\n", {"NPOP", "TDIV"}, {}, true},
        // A time T would turn OUTEXP of the block line into OU<value>EXP: no
        // expected spectrum. Beside it, T of a title word only warns.
        EmbeddedCase{"//Times\nT\nFREQ 1 0 2.5e-8 OUTEXP\n",
                     {"T"},
                     {warning(1, "T", "Times"), refusal(3, "T", "OUTEXP")},
                     false},
        // Every hit of a keyword is refused, the name warned about or not; OUTEXP
        // outside a block line only warns (once).
        EmbeddedCase{"//c\nTEXP\nFREQ 1 0 2.5e-8 OUTEXP\nOUTEXP\nOUTEXP\nDNA 1 0 2e-8 OUTEXP\n",
                     {"TEXP"},
                     {refusal(3, "TEXP", "OUTEXP"), warning(4, "TEXP", "OUTEXP"),
                      refusal(6, "TEXP", "OUTEXP")},
                     false},
        // The data type: N would leave the block line without one.
        EmbeddedCase{"N\nDNA 500 0 MU 0.33\n", {"N", "MU"}, {refusal(2, "N", "DNA")}, false},
        // The reader takes keywords in any case; names are replaced as written.
        EmbeddedCase{"freq 1 0 2.5e-8 outexp\n", {"t"}, {refusal(1, "t", "outexp")}, false},
        EmbeddedCase{"freq 1 0 2.5e-8 outexp\nT\n", {"T"}, {}, true},
        // On a block line, a longer word that holds no keyword, a keyword the
        // replacement does not touch, and the comment only warn.
        EmbeddedCase{"FREQ 1 0 MU_T // OUTEXP\n",
                     {"T", "MU"},
                     {warning(1, "MU", "MU_T"), warning(1, "T", "MU_T")},
                     true},
        EmbeddedCase{"FREQ 1 0 2.5e-8 OUTEXP_Z // Z\n", {"Z"}, {warning(1, "Z", "OUTEXP_Z")},
                     true},
        EmbeddedCase{"FREQ 1 0 2.5e-8 // OUTEXP\n", {"EXP"}, {warning(1, "EXP", "OUTEXP")},
                     true},
        // Titles name data types freely.
        EmbeddedCase{"//per Block: FREQ or DNA, OUTEXP\nT\n", {"T", "N", "Q"},
                     {warning(1, "Q", "FREQ"), warning(1, "N", "DNA"), warning(1, "T", "OUTEXP")},
                     true},
        // Digits and '_' belong to words; the longest name wins, so T inside T1 is no
        // replacement at all.
        EmbeddedCase{"T1 T\nN_0 NA\n",
                     {"T", "T1", "N", "NA"},
                     {warning(2, "N", "N_0")},
                     true}));

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
