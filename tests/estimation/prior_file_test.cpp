// Prior files: simple-parameter lines, sections, rules, echo and parameter rows.
#include <cmath>

#include "estimation/parameters.h"
#include "model/simSettings.h"
#include "paramTestUtil.h"

namespace {

struct LineCase {
  char const* line;
  char const* error;  // substring of the error report; nullptr: the line is valid
};

// Every invalid line gives a report that names the file, the line (2) and the fault.
TEST(PriorFile, SimpleParameterLines) {
  LineCase const cases[] = {
      {"1 NPOP unif 100 1000 output", nullptr},
      {"0 T LogUnif 10 1e4", nullptr},
      {"0 X unif_log 0 1", nullptr},
      {"0\tTAB\t unif\t-5\t 5 \r", nullptr},
      {"0 B unif 0 1 bounded reference", nullptr},
      {"2 N unif 0 1", "Incorrect value for parameter isInt"},
      {"-1 N unif 0 1", "Incorrect value for parameter isInt"},
      {"1x N unif 0 1", "Incorrect value for parameter isInt"},
      {"0 N unif 0", "needs isInt, name, distribution, minimum and maximum"},
      {"0 N", "needs isInt, name, distribution, minimum and maximum"},
      {"0 N normal 0 1", "Incorrect value for distrType"},
      {"0 N unif abc 1", "Incorrect value for min in parameter definition file"},
      {"0 N unif 0 inf", "Incorrect value for max in parameter definition file"},
      {"0 N unif nan 1", "Incorrect value for min"},
      {"0 N unif 0 1e999", "Incorrect value for max"},
      {"0 N unif 0 10x", "Incorrect value for max"},
      {"0 N logunif 0 10", "needs a minimum above 0"},
      {"0 N logunif -1 10", "needs a minimum above 0"},
      {"0 N+1 unif 0 1", "Invalid parameter name \"N+1\""},
      {"0 T(a) unif 0 1", "Invalid parameter name"},
      {"0 A:B unif 0 1", "Invalid parameter name"},
      {"0 1e5 unif 0 1", "the name is a number"},
      {"0 N unif 0 1 outptu", "Unknown field \"outptu\""},
  };
  for (LineCase const& c : cases) {
    SCOPED_TRACE(c.line);
    TSampleParameters p;
    std::string err;
    int ok = readPrior(p, std::string("[PARAMETERS]\n") + c.line + "\n", &err);
    if (!c.error) {
      EXPECT_EQ(ok, 1) << err;
      EXPECT_EQ(p.numSimpleParams, 1);
      continue;
    }
    EXPECT_EQ(ok, 0);
    EXPECT_NE(err.find("Problem reading the parameter settings file \"test.est\""), std::string::npos) << err;
    EXPECT_NE(err.find("Error message : "), std::string::npos) << err;
    EXPECT_NE(err.find(c.error), std::string::npos) << err;
    EXPECT_NE(err.find("line 2"), std::string::npos) << err;
  }
}

TEST(PriorFile, FieldsAndKeywords) {
  TSimSettings::isReferenceParameters = false;
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "ignored line\n[PARAMETERS]\n"
                         "1 NPOP unif 1000 10 // swapped bounds\n"
                         "0 T LogUnif 10 1e4 hide output\n"
                         "0 THIDE unif 0 1\n"
                         "0 R unif 1 2 reference bounded\n"),
            1);
  ASSERT_EQ(p.numSimpleParams, 4);
  TParameter const& npop = p.paramArray[0];
  EXPECT_EQ(npop.isInt, 1);
  EXPECT_EQ(npop.min, 10);
  EXPECT_EQ(npop.max, 1000);
  EXPECT_EQ(npop.range, 990);
  EXPECT_TRUE(npop.output);
  EXPECT_EQ(p.paramArray[1].distrType, 1);
  EXPECT_DOUBLE_EQ(p.paramArray[1].range, 3.0);
  EXPECT_TRUE(p.paramArray[1].output);
  EXPECT_FALSE(p.paramArray[2].output);
  EXPECT_TRUE(p.paramArray[3].isReference);
  EXPECT_TRUE(p.paramArray[3].isBounded);
  EXPECT_TRUE(TSimSettings::isReferenceParameters);
  TSimSettings::isReferenceParameters = false;
}

TEST(PriorFile, DuplicateNameIsAnError) {
  TSampleParameters p;
  std::string err;
  EXPECT_EQ(readPrior(p, "[PARAMETERS]\n0 N unif 0 1\n0 N unif 0 2\n", &err), 0);
  EXPECT_NE(err.find("\"N\" on line 3 is already used"), std::string::npos) << err;
  err.clear();
  TSampleParameters q;
  EXPECT_EQ(readPrior(q, "[PARAMETERS]\n0 N unif 0 1\n[COMPLEX PARAMETERS]\n0 N = N*2\n", &err), 0);
  EXPECT_NE(err.find("already used"), std::string::npos) << err;
}

// The last line counts without a final line end, whatever the section.
TEST(PriorFile, LastLineWithoutLineEnd) {
  TSampleParameters a;
  ASSERT_EQ(readPrior(a, "[PARAMETERS]\n0 A unif 1 10\n0 B unif 1 10"), 1);
  EXPECT_EQ(a.numSimpleParams, 2);
  TSampleParameters b;
  ASSERT_EQ(readPrior(b, "[PARAMETERS]\n0 A unif 1 10\n0 B unif 1 10\n[RULES]\nA > B"), 1);
  EXPECT_EQ(b.ruleArray.numElems, 1);
  TSampleParameters c;
  ASSERT_EQ(readPrior(c, "[PARAMETERS]\n0 A unif 1 10\n[COMPLEX PARAMETERS]\n0 S = A*2"), 1);
  EXPECT_EQ(c.numParams(), 2);
}

struct RuleCase {
  char const* rule;
  int type, leftId, rightId;
  double leftValue, rightValue;
  char const* error;
};

// Terms are whole parameter names or complete numbers; comments are cut.
TEST(PriorFile, RuleLines) {
  RuleCase const cases[] = {
      {"N10 > N1", 0, 1, 0, 0, 0, nullptr},
      {"N1 >= N10 // older", 1, 0, 1, 0, 0, nullptr},
      {"10 < N10", 2, -1, 1, 10, 0, nullptr},
      {"N1 <= 1e5", 3, 0, -1, 0, 1e5, nullptr},
      {"e < 2.5e-3", 2, 2, -1, 0, 2.5e-3, nullptr},
      {"N2 > N1", 0, 0, 0, 0, 0, "unknown parameter \"N2\""},
      {"N1 > 1e5x", 0, 0, 0, 0, 0, "unknown parameter \"1e5x\""},
      {"N1 >", 0, 0, 0, 0, 0, "the term is missing"},
      {"10 < 20", 0, 0, 0, 0, 0, "does not contain any previously defined parameter"},
      {"N1 = N10", 0, 0, 0, 0, 0, "Parameter definition rule ill-defined on line 6"},
      {"N1 => N10", 0, 0, 0, 0, 0, "unknown parameter \"N1=\""},
  };
  for (RuleCase const& c : cases) {
    SCOPED_TRACE(c.rule);
    TSampleParameters p;
    std::string err;
    int ok = readPrior(p, std::string("[PARAMETERS]\n0 N1 unif 0 1\n0 N10 unif 0 1\n0 e unif 0 1\n"
                                      "[RULES]\n") + c.rule + "\n// a comment line\n\n",
                       &err);
    if (c.error) {
      EXPECT_EQ(ok, 0);
      EXPECT_NE(err.find(c.error), std::string::npos) << err;
      EXPECT_NE(err.find("line 6"), std::string::npos) << err;
      continue;
    }
    ASSERT_EQ(ok, 1) << err;
    ASSERT_EQ(p.ruleArray.numElems, 1);
    TRules const& r = p.ruleArray[0];
    EXPECT_EQ(r.ruleType, c.type);
    EXPECT_EQ(r.leftParamId, c.leftId);
    EXPECT_EQ(r.rightParamId, c.rightId);
    EXPECT_DOUBLE_EQ(r.leftValue, c.leftValue);
    EXPECT_DOUBLE_EQ(r.rightValue, c.rightValue);
  }
}

TEST(PriorFile, Echo) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n1 N unif 10 100\n0 T logunif 1 1000 hide\n[RULES]\n"
                         "N > T\n[COMPLEX PARAMETERS]\n0 S = N / T output\n"),
            1);
  std::ostringstream os;
  p.write(os);
  EXPECT_EQ(os.str(),
            "[RULES]\nRule 1:\tN > T\n[PARAMETERS]\n"
            "Par. 1:\t1\tN\tunif\t10\t100\toutput\t(simple parameter)\n"
            "Par. 2:\t0\tT\tlog10unif\t1\t1000\thide\t(simple parameter)\n"
            "Par. 3:\t0\tS\t=\tN/T\toutput\t(complex parameter)\n");
  std::ostringstream empty;
  TSampleParameters().write(empty);
  EXPECT_EQ(empty.str(), "No rules defined\nNo parameters defined\n");
}

TEST(PriorFile, ParameterRows) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 A unif 0 1\n0 B unif 0 1\n0 C unif 0 1\n"
                         "1 N unif 0 100\n0 H unif 0 1 hide\n"),
            1);
  double const values[] = {2e4, 0.5, 1e-4, 12.9, 7};
  for (int i = 0; i < 5; ++i) p.paramArray[i].value = values[i];
  TSimSettings::isReferenceParameters = false;
  std::ostringstream head, row;
  p.writeParameters(3, head, true, true);
  p.writeParameters(3, row, false, false);
  EXPECT_EQ(head.str(), "Param#\tA\tB\tC\tN\tMaxEstLhood\tMaxObsLhood");
  EXPECT_EQ(row.str(), "3\t2.00000e+04\t0.5000000\t1.00000e-04\t12");
  TSimSettings::isReferenceParameters = true;
  p.rescalingFactor = 2;
  std::ostringstream refHead, refRow;
  p.writeParameters(-1, refHead, true, true);
  p.writeParameters(-1, refRow, false, false);
  TSimSettings::isReferenceParameters = false;
  EXPECT_EQ(refHead.str(), "A\tB\tC\tN\tRescaling_Factor\tMaxEstLhood\tMaxObsLhood");
  EXPECT_EQ(refRow.str(), "2.00000e+04\t0.5000000\t1.00000e-04\t12\t2.00000e+00");
}

TEST(PriorFile, CopyKeepsParametersAndRules) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 A unif 0 1\n0 B unif 0 1\n[RULES]\nA>B\n"
                         "[COMPLEX PARAMETERS]\n0 S = A+B\n"),
            1);
  p.rescalingFactor = 3;
  TSampleParameters q;
  q = p;
  EXPECT_EQ(q.numSimpleParams, 2);
  EXPECT_EQ(q.numParams(), 3);
  EXPECT_EQ(q.ruleArray.numElems, 1);
  EXPECT_EQ(q.rescalingFactor, 1.0);
  q.paramArray[0].value = 0.7;
  q.paramArray[1].value = 0.2;
  q.computeComplexParameters();
  EXPECT_DOUBLE_EQ(q.paramArray[2].value, 0.9);
  EXPECT_EQ(p.paramArray[2].value, 0);
}

TEST(PriorFile, MissingFile) {
  TSampleParameters p;
  CerrCapture capture;
  EXPECT_EQ(p.readEstimationFile(my_string("/nonexistent/none.est")), 0);
  EXPECT_NE(capture.str().find("Parameter settings file \"/nonexistent/none.est\" cannot be found. "
                               "Aborting procedure."),
            std::string::npos);
}

// A misspelled or missing section header leaves no parameter: reported, not run with nothing.
TEST(PriorFile, NoParameterIsAnError) {
  for (char const* text : {"", "// only a comment\n", "[PARAMETER]\n0 N unif 0 1\n",
                           "[PARAMETERS]\n\n// none\n"}) {
    TSampleParameters p;
    std::string err;
    EXPECT_EQ(readPrior(p, text, &err), 0) << text;
    EXPECT_NE(err.find("Problem reading the parameter settings file \"test.est\""),
              std::string::npos) << text;
    EXPECT_NE(err.find("defines no parameter"), std::string::npos) << text;
  }
}

}  // namespace
