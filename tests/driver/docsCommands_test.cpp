// Runs every command of the user's guide (docs/*.md) on a copy of the example
// folder it names, so that the guide cannot drift from the program. A runnable
// block is a fenced `sh` block: its first line "# in examples/<folder>", then
// lines "brimvane <options>" and "# makes: <files>" (files that must exist in
// the folder after the block's commands). A block whose first line is
// "# continues in examples/<folder>" runs after the block before it on the
// same page, in the same copy, so that a page can walk through the steps of
// one analysis. A block holding other lines (shell commands, comments) is run
// as a whole by /bin/sh -e, with the built program found as `brimvane`. A
// block whose first line is "# file examples/<folder>/<name>" shows that file
// as it is; so does a fenced `python` block with that first line (other
// `python` blocks are not run).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
  bool continues = false;  // runs in the copy the block before it used
  std::vector<std::vector<std::string>> commands;  // arguments after the program name
  std::vector<std::string> lines;  // every line but the folder and "makes" lines
  bool shell = false;              // some line is not a brimvane command
  std::vector<std::string> makes;
  std::string fault;  // why the block cannot be run, if it cannot
};

// The blocks that run one after the other in one copy of their folder.
using DocChain = std::vector<DocBlock>;

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

void setFolder(DocBlock& block, const std::string& folder, bool continues) {
  if (!block.folder.empty() || !block.lines.empty()) block.fault = "folder line not first";
  block.folder = folder;
  block.continues = continues;
}

void addLine(DocBlock& block, const std::string& line) {
  static const std::string in = "# in examples/", continues = "# continues in examples/";
  if (line.empty()) return;
  if (startsWith(line, in)) {
    setFolder(block, line.substr(in.size()), false);
  } else if (startsWith(line, continues)) {
    setFolder(block, line.substr(continues.size()), true);
  } else if (startsWith(line, "# makes:")) {
    for (const std::string& f : wordsOf(line.substr(8))) block.makes.push_back(f);
  } else {
    block.lines.push_back(line);
    std::vector<std::string> words = wordsOf(line);
    if (startsWith(line, "brimvane") && words.front() != "brimvane")
      block.fault = "not a brimvane command: " + line;
    if (words.front() != "brimvane") {
      block.shell = true;
      return;
    }
    words.erase(words.begin());
    block.commands.push_back(words);
  }
}

// A continuing block needs a block before it on the same folder.
void checkBlocks(std::vector<DocBlock>& blocks) {
  for (size_t i = 0; i < blocks.size(); ++i) {
    DocBlock& b = blocks[i];
    if (!b.fault.empty()) continue;
    if (b.folder.empty()) b.fault = "no \"# in examples/<folder>\" line";
    else if (b.lines.empty()) b.fault = "no command";
    else if (!b.shell && b.commands.empty()) b.fault = "no brimvane command";
    else if (b.continues && (i == 0 || blocks[i - 1].folder != b.folder))
      b.fault = "continues no block of examples/" + b.folder;
  }
}

// A fenced `sh` block whose first line is "# file examples/<folder>/<name>"
// shows a file of an example folder: the lines after it must be that file.
struct ShownFile {
  std::string where;
  std::string path;  // below examples/
  std::string text;
};

struct DocPages {
  std::vector<DocChain> chains;
  std::vector<ShownFile> shown;
};

void readPage(const fs::path& file, DocPages& pages) {
  static const std::string shownPrefix = "# file examples/";
  std::vector<DocBlock> blocks;
  std::ifstream in(file);
  std::string line, where;
  bool inSh = false, first = false, inFile = false, inPython = false;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    if (!inSh && !inPython && (line == "```sh" || line == "```python")) {
      inSh = line == "```sh";
      inPython = !inSh;
      first = true;
      where = file.filename().string() + ":" + std::to_string(lineNo);
    } else if ((inSh || inPython) && startsWith(line, "```")) {
      inSh = inFile = inPython = false;
    } else if ((inSh || inPython) && first && startsWith(line, shownPrefix)) {
      first = false;
      inFile = true;
      pages.shown.push_back(ShownFile{where, line.substr(shownPrefix.size()), ""});
    } else if (inFile) {
      pages.shown.back().text += line + "\n";
    } else if (inPython) {
      first = false;  // a Python block that shows no file is not run
    } else if (inSh) {
      if (first) blocks.emplace_back();
      if (first) blocks.back().where = where;
      first = false;
      addLine(blocks.back(), line);
    }
  }
  checkBlocks(blocks);
  for (DocBlock& b : blocks) {
    if (b.continues && b.fault.empty()) pages.chains.back().push_back(std::move(b));
    else pages.chains.push_back(DocChain{std::move(b)});
  }
}

const DocPages& docPages() {
  static const DocPages pages = [] {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(docsDir()))
      if (entry.path().extension() == ".md") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    DocPages read;
    for (const fs::path& f : files) readPage(f, read);
    return read;
  }();
  return pages;
}

const std::vector<DocChain>& docChains() { return docPages().chains; }

void runCommands(const RunFolder& folder, const DocBlock& block) {
  for (const std::vector<std::string>& args : block.commands) {
    const RunOutput run = folder.run(args);
    std::string line = "brimvane";
    for (const std::string& a : args) line += " " + a;
    ASSERT_EQ(run.status, 0) << line << "\n" << run.err;
  }
}

// The block's lines as one script of /bin/sh -e in the folder, the built
// program first on the PATH; the script and its output live beside the folder.
void runShell(const RunFolder& folder, const DocBlock& block) {
  const std::string base = folder.path().string();
  {
    std::ofstream script(base + ".sh");
    for (const std::string& line : block.lines) script << line << "\n";
  }
  const std::string bin = fs::path(BRIMVANE_EXE).parent_path().string();
  const std::string command = "cd '" + base + "' && PATH='" + bin + "':\"$PATH\" /bin/sh -e '" +
                              base + ".sh' > '" + base + ".out' 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream out(base + ".out");
  const std::string output((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  for (const char* extension : {".sh", ".out"}) fs::remove(base + extension);
  ASSERT_EQ(status, 0) << output;
}

class DocsCommands : public testing::TestWithParam<size_t> {};

TEST_P(DocsCommands, RunOnTheirExampleFolder) {
  const DocChain& chain = docChains()[GetParam()];
  const RunFolder folder("docs");
  for (const DocBlock& block : chain) {
    SCOPED_TRACE(block.where);
    ASSERT_TRUE(block.fault.empty()) << block.fault;
    ASSERT_TRUE(fs::is_directory(fs::path(EXAMPLES_DIR) / block.folder)) << block.folder;
    if (!block.continues) folder.copyExample(block.folder);
    if (block.shell) runShell(folder, block);
    else runCommands(folder, block);
    if (testing::Test::HasFatalFailure()) return;
    for (const std::string& name : block.makes) EXPECT_TRUE(folder.exists(name)) << name;
  }
}

std::string chainName(const testing::TestParamInfo<size_t>& info) {
  std::string name = docChains()[info.param].front().where;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Guide, DocsCommands, testing::Range<size_t>(0, docChains().size()),
                         chainName);

TEST(DocsShownFiles, AreTheFilesOfTheExampleFolders) {
  for (const ShownFile& shown : docPages().shown) {
    SCOPED_TRACE(shown.where);
    const fs::path path = fs::path(EXAMPLES_DIR) / shown.path;
    ASSERT_TRUE(fs::is_regular_file(path)) << path;
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, shown.text) << path;
  }
}

// The guide shows a run of every example folder.
TEST(DocsCommandsCover, EveryExampleFolder) {
  std::set<std::string> shown;
  for (const DocChain& chain : docChains())
    for (const DocBlock& b : chain) shown.insert(b.folder);
  for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR)) {
    if (!entry.is_directory()) continue;
    EXPECT_TRUE(shown.count(entry.path().filename().string()))
        << entry.path().filename() << " has no command in docs/";
  }
}

}  // namespace
