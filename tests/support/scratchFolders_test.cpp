// Folders made by tests are removed when the test program ends, whatever the
// test's outcome.
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/scratchFolders.h"

namespace {

// Entries of the temporary folder whose names begin with the stem.
int entriesNamed(const std::string& stem) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(testing::TempDir()))
    if (e.path().filename().string().rfind(stem, 0) == 0) ++n;
  return n;
}

// A child process (a pid of its own, hence a folder name of its own) makes a
// folder with a file in it and ends as a failing test program would, with exit
// status 1: no such folder is left afterwards.
TEST(ScratchFoldersDeathTest, AreRemovedWhenAFailingProgramEnds) {
  const std::string stem = "bv_scratch_check_" + std::to_string(getpid());
  ASSERT_EQ(entriesNamed(stem), 0);
  EXPECT_EXIT(
      {
        const std::string made = scratchFolder(stem);
        std::ofstream(made + "/file.txt") << "x";
        std::exit(std::filesystem::exists(made + "/file.txt") ? 1 : 2);
      },
      testing::ExitedWithCode(1), "");
  EXPECT_EQ(entriesNamed(stem), 0);
}

}  // namespace
