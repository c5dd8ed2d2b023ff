// Runs every command of the user's guide (docs/*.md) on a copy of the example
// folder it names, so that the guide cannot drift from the program. A runnable
// block is a fenced `sh` block: its first line "# in examples/<folder>", then
// lines "brimvane <options>" and "# makes: <files>" (files that must exist in
// the folder after the block's commands).
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runFolder.h"

namespace fs = std::filesystem;

namespace {

struct DocBlock {
  std::string where;  // file:line of the block, for messages
  std::string folder;
  std::vector<std::vector<std::string>> commands;  // arguments after the program name
  std::vector<std::string> makes;
  std::string fault;  // why the block cannot be run, if it cannot
};

fs::path docsDir() { return fs::path(EXAMPLES_DIR).parent_path() / "docs"; }

std::vector<std::string> wordsOf(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

void addLine(DocBlock& block, const std::string& line) {
  if (line.empty()) return;
  if (startsWith(line, "# in examples/")) {
    if (!block.folder.empty() || !block.commands.empty()) block.fault = "folder line not first";
    block.folder = line.substr(std::string("# in examples/").size());
  } else if (startsWith(line, "# makes:")) {
    for (const std::string& f : wordsOf(line.substr(8))) block.makes.push_back(f);
  } else if (startsWith(line, "brimvane")) {
    std::vector<std::string> words = wordsOf(line);
    if (words.front() != "brimvane") block.fault = "not a brimvane command: " + line;
    words.erase(words.begin());
    block.commands.push_back(words);
  } else {
    block.fault = "unexpected line: " + line;
  }
}

std::vector<DocBlock> readBlocks(const fs::path& file) {
  std::vector<DocBlock> blocks;
  std::ifstream in(file);
  std::string line;
  bool inSh = false;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!inSh && line == "```sh") {
      inSh = true;
      blocks.push_back(DocBlock{file.filename().string() + ":" + std::to_string(lineNo), "", {}, {}, ""});
    } else if (inSh && startsWith(line, "```")) {
      inSh = false;
    } else if (inSh) {
      addLine(blocks.back(), line);
    }
  }
  for (DocBlock& b : blocks) {
    if (b.folder.empty() && b.fault.empty()) b.fault = "no \"# in examples/<folder>\" line";
    if (b.commands.empty() && b.fault.empty()) b.fault = "no brimvane command";
  }
  return blocks;
}

std::vector<DocBlock> allBlocks() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(docsDir()))
    if (entry.path().extension() == ".md") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<DocBlock> blocks;
  for (const fs::path& f : files)
    for (DocBlock& b : readBlocks(f)) blocks.push_back(std::move(b));
  return blocks;
}

const std::vector<DocBlock>& docBlocks() {
  static const std::vector<DocBlock> blocks = allBlocks();
  return blocks;
}

class DocsCommands : public testing::TestWithParam<size_t> {};

TEST_P(DocsCommands, RunOnTheirExampleFolder) {
  const DocBlock& block = docBlocks()[GetParam()];
  SCOPED_TRACE(block.where);
  ASSERT_TRUE(block.fault.empty()) << block.fault;
  ASSERT_TRUE(fs::is_directory(fs::path(EXAMPLES_DIR) / block.folder)) << block.folder;
  const RunFolder folder("docs");
  folder.copyExample(block.folder);
  for (const std::vector<std::string>& args : block.commands) {
    const RunOutput run = folder.run(args);
    std::string line = "brimvane";
    for (const std::string& a : args) line += " " + a;
    ASSERT_EQ(run.status, 0) << line << "\n" << run.err;
  }
  for (const std::string& name : block.makes) EXPECT_TRUE(folder.exists(name)) << name;
}

std::string blockName(const testing::TestParamInfo<size_t>& info) {
  std::string name = docBlocks()[info.param].where;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Guide, DocsCommands, testing::Range<size_t>(0, docBlocks().size()),
                         blockName);

// The guide shows a run of every example folder.
TEST(DocsCommandsCover, EveryExampleFolder) {
  std::set<std::string> shown;
  for (const DocBlock& b : docBlocks()) shown.insert(b.folder);
  for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR)) {
    if (!entry.is_directory()) continue;
    EXPECT_TRUE(shown.count(entry.path().filename().string()))
        << entry.path().filename() << " has no command in docs/";
  }
}

}  // namespace
