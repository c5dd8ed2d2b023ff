// Model files whose sampled lineages can never meet are refused, naming the
// line of the matrix or event at fault; models whose lineages may still meet
// (before a matrix isolates them, through an event, a pulse or a later
// matrix) are read, and left to the simulations.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "model/modelReader.h"
#include "modelTexts.h"

namespace {

// A model of demes of 1000 genes with the given samples, matrix section
// (count and matrices) and event section (count and lines).
std::string demesModel(const std::vector<std::string>& samples, const std::string& matrices,
                       const std::string& events) {
  std::string t = "//Number of population samples (demes)\n" + std::to_string(samples.size()) +
                  "\n//Population effective sizes (number of genes)\n";
  for (size_t d = 0; d < samples.size(); ++d) t += "1000\n";
  t += "//Sample sizes\n";
  for (const std::string& s : samples) t += s + "\n";
  t += "//Growth rates\n";
  for (size_t d = 0; d < samples.size(); ++d) t += "0\n";
  return t + "//Number of migration matrices\n" + matrices + "\n//historical event\n" + events +
         "\n//Number of independent loci [chromosome]\n1 0\n"
         "//Per chromosome: Number of linkage blocks\n1\n"
         "//per Block: data type, num loci, rec. rate and mut rate + optional parameters\n"
         "DNA 100 0 1e-7 0.33\n";
}

// Number (from 1) of the line after the first line holding marker.
int lineAfter(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return 2 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
}

// Reads a model as a run reads its model file; the error stream is captured.
ParseResult readAsModelFile(const std::string& text) {
  TSimSettings s;
  std::istringstream is(text);
  const bool console = consoleOutput;
  consoleOutput = false;
  StreamCapture err(std::cerr);
  const int result = readModelStream(s, is, true, false, "model file \"m.par\"", true);
  consoleOutput = console;
  return {result, err.text()};
}

const std::string kApart = "0 0.001 0\n0.001 0 0\n0 0 0";  // deme 2 apart
const std::string kIsland = "0 0.001 0.001\n0.001 0 0.001\n0.001 0.001 0";

// The matrix section of these matrices.
std::string matrices(const std::vector<std::string>& rows) {
  std::string t = std::to_string(rows.size());
  for (size_t m = 0; m < rows.size(); ++m)
    t += "\n//Migration matrix " + std::to_string(m) + "\n" + rows[m];
  return t;
}
const std::string kNeverMeet =
    " can never meet: no migration matrix and no historical event brings them into one deme (";
const std::string kEnd = "), so no genealogy of the model can be completed\n";

}  // namespace

TEST(ModelMeeting, ModelFilesWhoseLineagesCanNeverMeetAreRefused) {
  struct Case {
    const char* name;
    std::string text;
    std::string marker;  // the line after it is named; empty: the model is read
    std::string problem;
  };
  const std::vector<std::string> apart02 = {"3", "0", "2"};
  const std::vector<std::string> all3 = {"3", "3", "3"};
  const std::string sixDemeMatrix =  // 0, 1 and 2 meet two by two, never all three
      "1\n//Migration matrix 0\n0 0 0 1 1 0\n0 0 0 1 0 1\n0 0 0 0 1 1\n"
      "0 0 0 0 0 0\n0 0 0 0 0 0\n0 0 0 0 0 0";
  const Case cases[] = {
      {"isolated from time 0", demesModel(apart02, matrices({kApart}), "0 historical event"),
       "//Migration matrix 0\n",
       "the lineages sampled in demes 0 and 2" + kNeverMeet +
           "migration matrix 0 stays in force, no historical event changes it"},
      {"an ancient sample in the isolated deme",
       demesModel({"3", "0", "2 500"}, matrices({kApart}), "0 historical event"),
       "//Migration matrix 0\n",
       "the lineages sampled in demes 0 and 2" + kNeverMeet +
           "migration matrix 0 stays in force, no historical event changes it"},
      {"no migration matrix", demesModel({"2", "2", "0"}, "0", "0 historical event"),
       "//Number of migration matrices\n",
       "the lineages sampled in demes 0 and 1" + kNeverMeet + "the model has no migration matrix"},
      {"apart in the last matrix too",
       demesModel(all3, matrices({kApart, kApart}), "1 historical event\n1500 0 0 0 1 0 1"),
       "//Migration matrix 1\n",
       "the lineages sampled in demes 0 and 2" + kNeverMeet +
           "migration matrix 1 is in force after the last historical event"},
      {"migration switched off",
       demesModel(all3, matrices({kApart}), "1 historical event\n1500 0 0 0 1 0 nomig"),
       "1 historical event\n",
       "the lineages sampled in demes 0 and 2" + kNeverMeet +
           "this historical event switches migration off"},
      {"three demes that never all meet",
       demesModel({"1", "1", "1", "0", "0", "0"}, sixDemeMatrix, "0 historical event"),
       "//Migration matrix 0\n",
       "the lineages sampled in demes 0, 1 and 2 can never all meet: no migration matrix and no "
       "historical event brings them into one deme (migration matrix 0 stays in force, no "
       "historical event changes it"},
      {"isolated after a matrix change",
       demesModel(all3, matrices({kIsland, kApart}), "1 historical event\n1500 0 0 0 1 0 1"),
       "", ""},
      {"isolated from time 0 by an event at time 0",
       demesModel(all3, matrices({kIsland, kApart}), "1 historical event\n0 0 0 0 1 0 1"), "",
       ""},
      {"joined again by a later event",
       demesModel(apart02, matrices({kApart}), "1 historical event\n5000 2 0 1 1 0 0"), "", ""},
      {"joined by a pulse",
       demesModel(apart02, matrices({kApart}), "1 historical event\n5000 2 0 0.5 1 0 0"), "", ""},
      {"joined by a later matrix",
       demesModel(apart02, matrices({kApart, kIsland}),
                  "1 historical event\n5000 0 0 0 1 0 1"),
       "", ""},
      {"one sampled deme", demesModel({"4", "0", "0"}, "0", "0 historical event"), "", ""},
  };
  for (const Case& c : cases) {
    const ParseResult read = readAsModelFile(c.text);
    if (c.marker.empty()) {
      EXPECT_EQ(read.result, 1) << c.name << ": " << read.errors;
      continue;
    }
    EXPECT_EQ(read.result, 0) << c.name;
    EXPECT_EQ(read.errors, "Error in model file \"m.par\", line " +
                               std::to_string(lineAfter(c.text, c.marker)) + ": " + c.problem +
                               kEnd)
        << c.name;
    // Other readings of a model (template route, model text in memory) leave
    // such models to the simulations, which report their parameters.
    TSimSettings s;
    EXPECT_EQ(parseModel(s, c.text).result, 1) << c.name;
  }
}
