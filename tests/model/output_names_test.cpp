// Output names and folders of a run, and the reading of its model directly or
// through a template.
#include <gtest/gtest.h>

#include <filesystem>

#include "modelTexts.h"
#include "tempFolder.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int result;
  std::string errors;
};

RunResult readRun(TSimSettings& s, bool useTemplate, const std::string& par, const std::string& tpl,
            int runIndex) {
  StreamCapture out(std::cout);
  StreamCapture err(std::cerr);
  int result = s.readInputFiles(useTemplate, false, par.c_str(), tpl.c_str(), runIndex);
  QdlSimulConditions.close();
  return {result, err.text()};
}

TEST(OutputNames, EveryNameOfARun) {
  TempFolder folder("names1");
  writeFile("data/abc.par", kOneDemeModel);
  TSimSettings s;
  ASSERT_EQ(readRun(s, false, "data/abc.par", "", 0).result, 1);
  EXPECT_STREQ(s.parFileName.c_str(), "data/abc.par");
  EXPECT_STREQ(s.genericName.c_str(), "abc");
  EXPECT_STREQ(TSimSettings::workingDirectory, "abc/");
  EXPECT_STREQ(s.genFileName.c_str(), "abc/abc_1.gen");
  EXPECT_STREQ(s.qdbFileName.c_str(), "abc/abc_1.qdb");
  EXPECT_STREQ(s.runPrefix.c_str(), "abc/abc_1");
  EXPECT_STREQ(s.projectFilePrefix.c_str(), "abc/abc_1");
  EXPECT_STREQ(s.batFileName.c_str(), "abc/abc_1.bat");
  EXPECT_STREQ(s.paupFileName.c_str(), "abc/abc_1.paup");
  EXPECT_STREQ(s.trueTreesFileName.c_str(), "abc/abc_1_true_trees.trees");
  EXPECT_STREQ(s.mutTreesFileName.c_str(), "abc/abc_1_mut_trees.trees");
  EXPECT_TRUE(s.ascTreesFileName.is_null());
  EXPECT_STREQ(s.logFileName.c_str(), "abc/abc.log");
  EXPECT_STREQ(s.simparamFileName.c_str(), "abc/abc_1.simparam");
  EXPECT_TRUE(fs::is_directory("abc"));
  EXPECT_FALSE(fs::exists("data/abc"));
  EXPECT_EQ(readFile("abc/abc_1.simparam").rfind("Simulation parameters", 0), 0u);
  EXPECT_EQ(s.numIndependentLoci, 3);
}

TEST(OutputNames, GenericNamesAndRunLabels) {
  struct Case {
    const char* file;
    int run;
    bool ascertainment;
    const char* generic;
    const char* simparam;
    const char* ascTrees;
  } cases[] = {
      {"m1.par", 0, false, "m1", "m1/m1_1.simparam", ""},
      {"runs/m1.par", 4, false, "m1", "m1/m1_5.simparam", ""},
      {"a.b.par", 0, true, "a.b", "a.b/a.b_1.simparam", "a.b/a.b_1_asc_trees.trees"},
      {"v1.2/m.x.par", 1, false, "m.x", "m.x/m.x_2.simparam", ""},
      {"dir.v2/model.par", 0, false, "model", "model/model_1.simparam", ""},
      {"models/noext", 0, false, "noext", "noext/noext_1.simparam", ""},
  };
  TempFolder folder("names2");
  for (const Case& c : cases) {
    writeFile(c.file, kOneDemeModel);
    TSimSettings::SNPascertainment = c.ascertainment;
    TSimSettings s;
    RunResult r = readRun(s, false, c.file, "", c.run);
    TSimSettings::SNPascertainment = false;
    ASSERT_EQ(r.result, 1) << c.file << r.errors;
    EXPECT_STREQ(s.genericName.c_str(), c.generic) << c.file;
    EXPECT_STREQ(s.simparamFileName.c_str(), c.simparam) << c.file;
    EXPECT_STREQ(s.ascTreesFileName.c_str(), c.ascTrees) << c.file;
    EXPECT_TRUE(fs::exists(c.simparam)) << c.file;
  }
}

TEST(OutputNames, Failures) {
  TempFolder folder("names3");
  writeFile("bad.par", [] {
    ModelFile m;
    m.sizes = "NPOP\n100";
    return m.text();
  }());
  writeFile("blocked.par", kOneDemeModel);
  writeFile("blocked", "a plain file where the output folder should go");
  writeFile("echo.par", kOneDemeModel);
  fs::create_directories("echo/echo_1.simparam");
  const std::string longName(199, 'g');
  writeFile(longName + ".par", kOneDemeModel);
  struct Case {
    const char* file;
    std::string message;
  } cases[] = {
      {"missing.par", "Unable to read file missing.par\n"},
      {"bad.par",
       "Error in model file \"bad.par\", line 4: \"NPOP\" is not a number (the size of deme 0 "
       "expected)\nUnable to read file bad.par\n"},
      {"blocked.par", "Unable to create the output folder \"blocked\"\n"},
      {"echo.par", "Unable to open the model echo file \"./echo/echo_1.simparam\"\n"},
      {nullptr, "may hold at most 198 characters"},
  };
  for (const Case& c : cases) {
    const std::string file = c.file ? c.file : longName + ".par";
    TSimSettings s;
    RunResult r = readRun(s, false, file, "", 0);
    EXPECT_EQ(r.result, 0) << file;
    EXPECT_NE(r.errors.find(c.message), std::string::npos) << file << ": " << r.errors;
  }
  EXPECT_TRUE(fs::is_directory("missing"));  // the folder is made all the same
}

// Settings holding one value row for the parameter NPOP.
void oneRow(TSimSettings& s, const char* value) {
  s.paramNames.edit().Add("NPOP");
  s.numParamColumns = 1;
  s.paramValueRows.edit().Add(new TParamValues(1));
  s.paramValueRows.edit()[0]->values[0] = value;
}

TEST(OutputNames, TemplateRoute) {
  TempFolder folder("tpl1");
  std::string text = kOneDemeModel;
  text.replace(text.find("1000\n"), 4, "NPOP");
  writeFile("tdir/my.model.tpl", text);
  TSimSettings s;
  oneRow(s, "5000");
  RunResult r = readRun(s, true, "", "tdir/my.model.tpl", 0);
  ASSERT_EQ(r.result, 1) << r.errors;
  EXPECT_FALSE(fs::exists("tdir/my.model.par"));  // kept in memory, private to the run
  EXPECT_NE(s.modelText.find("5000"), std::string::npos);
  EXPECT_STREQ(s.genericName.c_str(), "my.model");
  EXPECT_STREQ(s.simparamFileName.c_str(), "my.model/my.model_1.simparam");
  EXPECT_EQ(s.demeSizes[0], 5000);
}

TEST(OutputNames, TemplateFailures) {
  TempFolder folder("tpl2");
  std::string text = kOneDemeModel;
  text.replace(text.find("1000\n"), 4, "TDIV");  // a name no value row replaces
  writeFile("unset.tpl", text);
  struct Case {
    const char* tpl;
    int run;
    const char* message;
  } cases[] = {
      {"missing.tpl", 0, "Template file \"missing.tpl\" not found. Aborting computations\n"},
      {"unset.tpl", 0, "\"TDIV\" is not a number"},
      {"unset.tpl", 0, "Unable to read file unset.tpl\n"},
      {"unset.tpl", 3, "No row of parameter values for run 4\n"},
  };
  for (const Case& c : cases) {
    TSimSettings s;
    oneRow(s, "5000");
    RunResult r = readRun(s, true, "", c.tpl, c.run);
    EXPECT_EQ(r.result, 0) << c.tpl;
    EXPECT_NE(r.errors.find(c.message), std::string::npos) << c.tpl << ": " << r.errors;
  }
}

}  // namespace
