// Template substitution, value texts, definition files and the settings' template routes.
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "estimation/parameters.h"
#include "estimation/templates.h"
#include "model/simSettings.h"
#include "paramTestUtil.h"
#include "support/TException.h"
#include "support/UniqueRandom.h"
#include "support/globals.h"

namespace {

struct SubstitutionCase {
  char const* text;
  std::vector<std::string> names, values;
  char const* expected;
};

TEST(Substitution, Cases) {
  SubstitutionCase const cases[] = {
      // The longer name wins whatever the column order.
      {"N=NPOP NPOPX", {"NPOP", "NPOPX"}, {"1000", "5"}, "N=1000 5"},
      {"N=NPOP NPOPX", {"NPOPX", "NPOP"}, {"5", "1000"}, "N=1000 5"},
      // An inserted value is never searched again.
      {"T e\n", {"e", "T"}, {"2", "1.00000000e+03"}, "1.00000000e+03 2\n"},
      {"e", {"e"}, {"e+e"}, "e+e"},
      // Names match inside words and case-sensitively.
      {"xNy NN n", {"N"}, {"5"}, "x5y 55 n"},
      {"T1 T T10", {"T10", "T", "T1"}, {"c", "a", "b"}, "b a c"},
      {"A B", {"", "A"}, {"z", "1"}, "1 B"},
  };
  for (SubstitutionCase const& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(substituteParameters(c.text, c.names, c.values), c.expected);
  }
}

TEST(Substitution, LongTemplateIsNotTruncated) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "NPOP ";  // 200000 characters
  text += "END";
  std::string out = substituteParameters(text, {"NPOP"}, {"1.00000000e+03"});
  EXPECT_EQ(out.size(), 40000u * 15u + 3u);
  EXPECT_EQ(out.substr(out.size() - 18), "1.00000000e+03 END");
}

TEST(ValueTexts, IntegerAndRealFormats) {
  TParameter p;
  p.name = "N";
  p.isInt = 1;
  struct {
    double value;
    char const* text;
  } const ints[] = {{12.9, "12"}, {-3.7, "-3"}, {5e12, "5000000000000"}, {0, "0"}};
  for (auto const& c : ints) {
    p.value = c.value;
    EXPECT_EQ(paramValueText(p), c.text);
  }
  for (double bad : {1e19, -1e300, std::nan("")}) {
    p.value = bad;
    EXPECT_THROW(paramValueText(p), TException);
  }
  p.isInt = 0;
  p.value = 0.5;
  EXPECT_EQ(paramValueText(p), "5.00000000e-01");
  p.value = 2.5e-8;
  EXPECT_EQ(paramValueText(p), "2.50000000e-08");
}

std::string readError(std::string const& def, bool recompute, TSampleParameters& params) {
  std::istringstream in(def);
  TDefinitionTable table;
  try {
    readDefinitionTable(in, "runs.def", recompute, params, table);
  } catch (TException& e) {
    return e.message.c_str();
  }
  return "";
}

TEST(DefinitionFile, RowsAsWritten) {
  std::istringstream in("A\tB\r\n1 2\r\n\n  \n3 4e-8");
  TSampleParameters none;
  TDefinitionTable table;
  readDefinitionTable(in, "runs.def", false, none, table);
  ASSERT_EQ(table.names, (std::vector<std::string>{"A", "B"}));
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0].values[1], my_string("2"));
  EXPECT_EQ(table.rows[1].values[0], my_string("3"));
  EXPECT_EQ(table.rows[1].values[1], my_string("4e-8"));
}

// Malformed definition files: the message names the file, the line and, for a
// value, its row and column, before any model is generated from it.
struct BadDefinition {
  char const* def;
  char const* error;  // the whole message, or a part of it when `part`
  bool part;
};

class DefinitionFileErrors : public ::testing::TestWithParam<BadDefinition> {};

TEST_P(DefinitionFileErrors, NameTheFileAndPlace) {
  TSampleParameters none;
  std::string const error = readError(GetParam().def, false, none);
  if (GetParam().part)
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
  else
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefinitionFileErrors,
    ::testing::Values(
        BadDefinition{"A B\n1 2\n3\n",
                      "Definition file \"runs.def\", line 3: 1 value(s) for 2 column(s)", false},
        BadDefinition{"A B\n\n1 2 3\n",
                      "Definition file \"runs.def\", line 3: 3 value(s) for 2 column(s)", false},
        BadDefinition{"A B A\n1 2 3\n", "\"A\" appears twice", true},
        BadDefinition{"\n\n", "holds no column names", true},
        BadDefinition{"A B\n1 2\n\n3 abc\n",
                      "Definition file \"runs.def\", line 4: value row 2, column 2 (B): the value "
                      "\"abc\" is not a finite number",
                      false},
        BadDefinition{"A B\n1,5 2\n", "line 2: value row 1, column 1 (A): the value \"1,5\"",
                      true},
        BadDefinition{"A B\n1 nan\n", "column 2 (B): the value \"nan\" is not a finite number",
                      true},
        BadDefinition{"A B\n1e999 2\n", "column 1 (A): the value \"1e999\" is not a finite",
                      true}));

class RecomputeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(readPrior(params, "[PARAMETERS]\n0 A unif 0 10\n1 B unif 0 10\n0 M logunif 1e-9 1e-7\n"
                                "[COMPLEX PARAMETERS]\n0 S = A+B\n0 R = A/B\n0 MU = M*2.5\n"
                                "1 K = A*B\n"),
              1);
  }
  TSampleParameters params;
};

// Columns map to parameters by name; complex values are recomputed and written "%.8e".
TEST_F(RecomputeTest, ComplexParametersRecomputed) {
  std::istringstream in("B M A S\n2 1e-8 1 99\n4 2e-9 3.5 0\n");
  TDefinitionTable table;
  readDefinitionTable(in, "runs.def", true, params, table);
  ASSERT_EQ(table.names, (std::vector<std::string>{"A", "B", "M", "S", "R", "MU", "K"}));
  ASSERT_EQ(table.rows.size(), 2u);
  char const* const first[] = {"1", "2", "1e-8", "3.00000000e+00", "5.00000000e-01",
                               "2.50000000e-08", "2"};
  char const* const second[] = {"3.5", "4", "2e-9", "7.50000000e+00", "8.75000000e-01",
                                "5.00000000e-09", "14"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(table.rows[0].values[i], my_string(first[i])) << i;
    EXPECT_EQ(table.rows[1].values[i], my_string(second[i])) << i;
  }
  EXPECT_DOUBLE_EQ(params.paramArray[3].value, 7.5);  // values of the last row stay
}

TEST_F(RecomputeTest, Errors) {
  struct {
    char const* def;
    char const* error;
  } const cases[] = {
      {"A B\n1 2\n", "line 1: no column for the simple parameter M"},
      {"A B M X\n1 2 3 4\n", "line 1: the column \"X\" names no parameter of the prior file"},
      {"A B M\n1 x 3\n", "line 2: value row 1, column 2 (B): the value \"x\" is not a finite number"},
      {"A B M\n1 0 1e-8\n", "line 2: the complex parameter R = A/B is inf, not a finite number"},
      {"A B M\n1 2\n", "line 2: 2 value(s) for 3 column(s)"},
      {"A B M\n1e10 1e10 1e-8\n", "line 2: Value 1e+20 of integer parameter K"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.def);
    EXPECT_NE(readError(c.def, true, params).find(c.error), std::string::npos)
        << readError(c.def, true, params);
  }
}

// The settings' routes, with files in a fresh folder.
class SettingsRoutes : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = freshTempDir();
    consoleOutput = false;
  }
  std::string write(std::string const& name, std::string const& text) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::string read(std::string const& path) {
    std::string text;
    EXPECT_TRUE(readTextFile(path, text));
    return text;
  }
  std::string dir;
};

TEST_F(SettingsRoutes, DefinitionFileToModelFiles) {
  std::string est = write("m.est", "[PARAMETERS]\n1 NPOP unif 10 100\n0 T unif 1 2\n"
                                   "[COMPLEX PARAMETERS]\n0 HALF = NPOP/2\n");
  std::string def = write("m.def", "T NPOP\n1.5 40\n2 60\n");
  std::string tpl = write("m.tpl", "//FREQ model\nsize NPOP half HALF time T\n");
  TSimSettings s;
  ASSERT_EQ(s.readEstimationFile(my_string(est.c_str())), 1);
  CerrCapture quiet;
  ASSERT_TRUE(s.readDefinitionFile(my_string(def.c_str()), my_string(tpl.c_str()), true));
  EXPECT_EQ(s.numParamColumns, 3);
  EXPECT_EQ(s.numValueRows, 2);
  std::ostringstream head, row;
  s.writeParametersFromDef(head, -1);
  s.writeParametersFromDef(row, 1);
  EXPECT_EQ(head.str(), "NPOP\tT\tHALF");
  EXPECT_EQ(row.str(), "60\t2\t3.00000000e+01");
  // The model of a row is made in memory, from the template text read once.
  ASSERT_TRUE(s.createParFileFromTemplateFile(my_string(tpl.c_str()), 0));
  EXPECT_EQ(s.modelText, "//FREQ model\nsize 40 half 2.00000000e+01 time 1.5\n");
  EXPECT_FALSE(s.createParFileFromTemplateFile(my_string(tpl.c_str()), 2));
  TSimSettings missing;
  EXPECT_FALSE(missing.createParFileFromTemplateFile(my_string((dir + "/none.tpl").c_str()), 0));
  TSimSettings::isFREQData = false;
  s.scanTplFile(tpl.c_str());
  EXPECT_TRUE(TSimSettings::isFREQData);
  TSimSettings::isFREQData = false;
}

TEST_F(SettingsRoutes, DefinitionFileWithoutPriorsAndErrors) {
  std::string def = write("plain.def", "A B\n1 2\n\n3 4\n");
  TSimSettings s;
  ASSERT_TRUE(s.readDefinitionFile(my_string(def.c_str()), my_string(""), false));
  EXPECT_EQ(s.numParamColumns, 2);
  EXPECT_EQ(s.numValueRows, 2);
  std::string bad = write("bad.def", "A B\n1 2\n3 4 5\n");
  TSimSettings t;
  CerrCapture capture;
  EXPECT_FALSE(t.readDefinitionFile(my_string(bad.c_str()), my_string(""), false));
  EXPECT_NE(capture.str().find("Error message : Definition file \"" + bad + "\", line 3"),
            std::string::npos)
      << capture.str();
  EXPECT_FALSE(t.readDefinitionFile(my_string((dir + "/none.def").c_str()), my_string(""), false));
}

// In memory and with the best values on disk, the template given by an absolute path.
TEST_F(SettingsRoutes, InMemoryRoute) {
  std::string tpl = write("big.tpl", std::string(250000, 'x') + " NPOP\n");
  TSimSettings s;
  s.tplFileName = tpl.c_str();
  s.tplParFileName = (dir + "/big.par").c_str();
  s.paramNames.edit().Add(my_string("NPOP"));
  s.numParamColumns = 1;
  TParamValues row(1);
  row.values[0] = "123";
  ASSERT_EQ(s.createParFileFromTemplateFileNew(row, false), 1);
  EXPECT_EQ(s.modelText.size(), 250000u + 5u);
  EXPECT_EQ(s.modelText.substr(250000), " 123\n");
  row.values[0] = "7";
  ASSERT_EQ(s.createParFileFromTemplateFileNew(row, false), 1);  // template kept in memory
  EXPECT_EQ(s.modelText.substr(250000), " 7\n");
  EXPECT_EQ(maxLParFileName(s.tplParFileName.c_str()), "big_maxL.par");
  TSimSettings missing;
  missing.tplFileName = (dir + "/none.tpl").c_str();
  EXPECT_EQ(missing.createParFileFromTemplateFileNew(row, false), 0);
}

TEST_F(SettingsRoutes, DrawnRows) {
  std::string est = write("d.est", "[PARAMETERS]\n1 N unif 10 100\n0 T logunif 1 10\n");
  TSimSettings s;
  EXPECT_FALSE(s.drawParametersFromDistributions());  // no columns yet
  s.numValueRows = 3;
  ASSERT_EQ(s.readEstimationFile(my_string(est.c_str())), 1);
  auto g = std::make_unique<GlobalRandom>();
  g->InitializeGenerator(11);
  s.demeCollection.randomGenerator = g.get();
  ASSERT_TRUE(s.drawParametersFromDistributions());
  ASSERT_EQ(s.paramValueRows->numElems, 1);
  TParamValues const& row = *s.paramValueRows->elems[0];
  ASSERT_EQ(row.size(), 2);
  EXPECT_EQ(row.values[0], my_string(paramValueText(s.parameters.paramArray[0]).c_str()));
  EXPECT_EQ(row.values[1], my_string(paramValueText(s.parameters.paramArray[1]).c_str()));
  s.demeCollection.randomGenerator = nullptr;
}

}  // namespace

namespace {

// Terms are evaluated left to right without precedence; unknown terms are errors.
TEST(ComputeParamValue, LeftToRight) {
  MY_TArrayAsVector<my_string> names;
  names.Add(my_string("A"));
  names.Add(my_string("B"));
  names.Add(my_string("[=A+B*2]"));
  names.Add(my_string("[=A+C]"));
  my_string texts[] = {my_string("2"), my_string("3")};
  EXPECT_EQ(computeParamValue(names, 2, texts, 2), my_string("1.00000000e+01"));
  EXPECT_THROW(computeParamValue(names, 3, texts, 2), TException);
}

}  // namespace
