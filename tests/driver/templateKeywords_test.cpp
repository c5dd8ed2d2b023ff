// A parameter name replaced inside a keyword of a block line (the data type,
// OUTEXP) would change the model without a word: the run is refused before it
// writes anything. Inside other longer words the name is replaced with a
// warning, and the run goes on.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "runFolder.h"

namespace {

// Replaces every occurrence of from in the file.
void replaceAll(const RunFolder& f, const std::string& file, const std::string& from,
                const std::string& to) {
  std::string text = f.read(file);
  for (size_t p = text.find(from); p != std::string::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  f.write(file, text);
}

struct KeywordCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> renames;  // in split.tpl and split.def
  std::vector<std::pair<std::string, std::string>> tplEdits;  // in split.tpl only
  int status;
  std::string message;  // once in the error stream
};

const KeywordCase kCases[] = {
    {"TimeNamedTInsideOutexp",
     {{"TSPLIT", "T"}},
     {},
     1,
     "Error: in the template \"split.tpl\", line 25, the parameter name \"T\" is replaced inside "
     "the longer word \"OUTEXP\", a keyword of the block line: rename the parameter\n"},
    {"SizeNamedEQInsideTheDataType",
     {{"NPOP1", "EQ"}},
     {},
     1,
     "Error: in the template \"split.tpl\", line 25, the parameter name \"EQ\" is replaced "
     "inside the longer word \"FREQ\", a keyword of the block line: rename the parameter\n"},
    // The block line asks for the expected spectrum in small letters, which T
    // does not touch; T inside a word of a title is replaced, with a warning.
    {"TimeNamedTInsideATitleWord",
     {{"TSPLIT", "T"}},
     {{"//historical event: time", "//historical event: Time"}, {"OUTEXP", "outexp"}},
     0,
     "Warning: in the template \"split.tpl\", line 17, the parameter name \"T\" is replaced "
     "inside the longer word \"Time\"\n"},
};

void PrintTo(const KeywordCase& c, std::ostream* os) { *os << c.name; }

class TemplateKeywords : public testing::TestWithParam<KeywordCase> {};

TEST_P(TemplateKeywords, RefusedWhereTheBlockLineWouldChange) {
  const KeywordCase& c = GetParam();
  RunFolder f(c.name);
  f.copyExample("splitTemplate");
  for (const auto& r : c.renames) {
    replaceAll(f, "split.tpl", r.first, r.second);
    replaceAll(f, "split.def", r.first, r.second);
  }
  for (const auto& e : c.tplEdits) replaceAll(f, "split.tpl", e.first, e.second);
  const RunOutput r =
      f.run({"-t", "split.tpl", "-f", "split.def", "-n", "20", "-d", "-q", "-r", "1"}, 60);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(countOf(r.err, c.message), 1) << r.err;
  if (c.status == 0) {
    // Every row ran, and the expected spectrum OUTEXP asks for was written.
    EXPECT_EQ(linesOf(f.read("split/split.lhoods")).size(), 4u);
    EXPECT_TRUE(f.exists("split/split_jointDAFpop1_0.txt"));
  } else {
    EXPECT_FALSE(f.exists("split")) << "a refused run writes nothing";
    EXPECT_FALSE(f.exists("seed.txt"));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TemplateKeywords, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<KeywordCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
