// Equations of complex parameters: each operation, conditionals, whole-name operands,
// and the errors of equations that cannot be read in full.
#include <cmath>

#include "estimation/parameters.h"
#include "paramTestUtil.h"
#include "support/TException.h"

namespace {

class EquationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(readPrior(params, "[PARAMETERS]\n0 N1 unif 1 100\n0 N2 unif 1 100\n"
                                "0 e unif 1 2\n0 N10 unif 1 2000\n0 Z unif -1 1\n"),
              1);
    double const values[] = {10, 5, 2, 1000, 0};
    for (int i = 0; i < 5; ++i) params.paramArray[i].value = values[i];
  }
  TParameter complexParam(char const* equation, int isInt = 0) {
    TParameter p;
    p.name = "S";
    p.isComplex = true;
    p.isInt = isInt;
    p.equation = equation;
    return p;
  }
  TSampleParameters params;
};

struct EquationCase {
  char const* equation;
  double value;
  int isInt;
};

TEST_F(EquationTest, Values) {
  EquationCase const cases[] = {
      {"N1+N2", 15, 0},          {"N1*N2", 50, 0},          {"N1/2", 5, 0},
      {"2/N1", 0.2, 0},          {"N1-N2", 5, 0},           {"-N1", -10, 0},
      {"log10(N1)", 1, 0},       {"log(N1)", std::log(10.0), 0},
      {"pow10(N2)", 1e5, 0},     {"exp(N2)", std::exp(5.0), 0},
      {"abs(-2.5)", 2.5, 0},     {"N1%min%N2", 5, 0},       {"N1%max%3", 10, 0},
      {"N1<N2?N1:N2", 5, 0},     {"N1>7?1:0", 1, 0},        {"N1!=10?1:0", 0, 0},
      {"N1>0?N1:-1", 10, 0},     {"N1/3", 3, 1},
      {"N10+N1", 1010, 0},       {"1e+5+N1", 100010, 0},    {"N1*1e-5", 1e-4, 0},
      {"e*2", 4, 0},             {"N1 * 2.5E+1", 250, 0},   {"N1--2", 12, 0},
  };
  for (EquationCase const& c : cases) {
    SCOPED_TRACE(c.equation);
    TParameter p = complexParam(c.equation, c.isInt);
    EXPECT_DOUBLE_EQ(p.calcEquation(params.paramArray), c.value);
    EXPECT_DOUBLE_EQ(p.value, c.value);
  }
}

TEST_F(EquationTest, OperandsAndSeesCurrentValues) {
  TParameter p = complexParam("N10/N1");
  p.dissectEquation(params.paramArray);
  EXPECT_EQ(p.leftParamId, 3);
  EXPECT_EQ(p.rightParamId, 0);
  EXPECT_TRUE(p.hasKnownParam);
  EXPECT_EQ(p.lowerName, my_string("s"));
  params.paramArray[0].value = 4;
  EXPECT_DOUBLE_EQ(p.calcEquation(params.paramArray), 250);
  TParameter numbers = complexParam("3*4");
  numbers.dissectEquation(params.paramArray);
  EXPECT_FALSE(numbers.hasKnownParam);
}

struct ErrorCase {
  char const* equation;
  char const* error;
};

TEST_F(EquationTest, Errors) {
  ErrorCase const cases[] = {
      {"N1+", "the operator '+' has no operand after it"},
      {"+N1", "the operator '+' has no left operand"},
      {"*", "no left operand"},
      {"log10(N1", "missing ')'"},
      {"log10N1", "unknown parameter \"log10N1\""},
      {"log10()", "'(' has no operand after it"},
      {"N1<N2?N1", "missing ':'"},
      {"N1<N2", "missing '?'"},
      {"N1<N2?N1:", "':' has no operand after it"},
      {"N1<=N2?1:0", "\"<=\" is not supported"},
      {"N1>=N2?1:0", "\">=\" is not supported"},
      {"N1+N2+N1", "exactly one operation"},
      {"-N1/3", "exactly one operation"},
      {"N3+N1", "unknown parameter \"N3\""},
      {"N1N2", "unknown parameter \"N1N2\""},
      {"N1+inf", "unknown parameter \"inf\""},
      {"N1+nan", "unknown parameter \"nan\""},
      {"N1+0x10", "unknown parameter \"0x10\""},
      {"N1+1e999", "out of range"},
      {"N1=N2", "unexpected '='"},
      {"N1!N2", "'!' is not followed by '='"},
      {"N1%mod%N2", "unknown operator"},
      {"N1 N2", "unknown parameter \"N1N2\""},
      {"(N1+N2)", "'(' must follow a function name"},
      {"", "Equation for parameter S is empty "},
  };
  for (ErrorCase const& c : cases) {
    SCOPED_TRACE(c.equation);
    TParameter p = complexParam(c.equation);
    CerrCapture quiet;
    try {
      p.dissectEquation(params.paramArray);
      ADD_FAILURE() << "no exception";
    } catch (TException& e) {
      EXPECT_NE(std::string(e.message.c_str()).find(c.error), std::string::npos) << e.message;
    }
  }
}

TEST_F(EquationTest, NonFiniteResultsAreStored) {
  TParameter div = complexParam("N1/Z");
  EXPECT_TRUE(std::isinf(div.calcEquation(params.paramArray)));
  TParameter lg = complexParam("log(Z)");
  EXPECT_TRUE(std::isinf(lg.calcEquation(params.paramArray)));
}

// Complex-parameter lines of a prior file.
TEST(ComplexLines, ReaderChecks) {
  struct {
    char const* line;
    char const* error;
  } const cases[] = {
      {"0 S = N1", "Equation N1 does not involve any previously defined parameter. Aborting computations"},
      {"0 S = 3*4", "Equation 3*4 does not involve any previously defined parameter"},
      {"0 S N1+N1", "Missing \"=\" assignement of complex parameter  on line 4"},
      {"2 S = N1*2", "Incorrect value for isInt in parameter definition file "},
      {"0 S = N1+", "has no operand after it on line 4"},
      {"0 S =", "Equation for parameter S is empty  on line 4"},
      {"0 S-1 = N1*2", "Invalid parameter name \"S-1\""},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.line);
    TSampleParameters p;
    std::string err;
    EXPECT_EQ(readPrior(p, std::string("[PARAMETERS]\n0 N1 unif 1 10\n[COMPLEX PARAMETERS]\n") +
                               c.line + "\n", &err),
              0);
    EXPECT_NE(err.find(c.error), std::string::npos) << err;
    EXPECT_NE(err.find("line 4"), std::string::npos) << err;
  }
}

// "output" and "hide" are whole fields; a name or equation holding them stays intact.
TEST(ComplexLines, KeywordsAreWholeFields) {
  TSampleParameters p;
  ASSERT_EQ(readPrior(p, "[PARAMETERS]\n0 NHIDE unif 1 10\n[COMPLEX PARAMETERS]\n"
                         "1 OUTPUTN = NHIDE/2 hide\n0 T =NHIDE*3 // comment\n"),
            1);
  TParameter const& a = p.paramArray[1];
  EXPECT_EQ(a.name, my_string("OUTPUTN"));
  EXPECT_EQ(a.equation, my_string("NHIDE/2"));
  EXPECT_FALSE(a.output);
  EXPECT_EQ(a.isInt, 1);
  EXPECT_EQ(p.paramArray[2].equation, my_string("NHIDE*3"));
  EXPECT_TRUE(p.paramArray[2].output);
  p.paramArray[0].value = 7;
  p.computeComplexParameters();
  EXPECT_EQ(p.paramArray[1].value, 3);
  EXPECT_EQ(p.paramArray[2].value, 21);
}

}  // namespace
