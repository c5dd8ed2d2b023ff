// A run refused before it writes anything leaves the working folder as it
// found it: no output folder made for nothing, and one clear message where
// the output folder cannot be a folder of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runFolder.h"

namespace fs = std::filesystem;

namespace {

struct RefusedCase {
  const char* label;
  std::function<void(const RunFolder&)> prepare;
  const char* said;
};

TEST(RefusedRuns, LeaveTheWorkingFolderAsItWas) {
  const RefusedCase cases[] = {
      {"a seed file of the user's",
       [](const RunFolder& f) { f.write("seed.txt", "my notes on seeds\n"); },
       "/seed.txt\": no run of this model made it"},
      {"an observed spectrum missing",
       [](const RunFolder& f) { fs::remove(f.path() / "twoDemes_jointDAFpop1_0.obs"); },
       "Unable to read observed SFS"},
      {"output folder a link to the working folder",
       [](const RunFolder& f) { fs::create_directory_symlink(".", f.path() / "twoDemes"); },
       "The output folder \"twoDemes\" is the working folder or a folder above it"},
      {"output folder a link to the folder above",
       [](const RunFolder& f) { fs::create_directory_symlink("..", f.path() / "twoDemes"); },
       "The output folder \"twoDemes\" is the working folder or a folder above it"},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("refused");
    f.copyExample("twoDemes");
    c.prepare(f);
    const std::map<std::string, std::string> before = f.files();
    const RunOutput r = f.run({"-i", "twoDemes.par", "-n", "100", "-d", "-q", "-r", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_LE(countOf(r.err, "The output folder"), 1) << r.err;  // one message, not one per file
    EXPECT_EQ(f.files(), before);
    EXPECT_EQ(fs::exists(fs::symlink_status(f.path() / "twoDemes")),
              fs::is_symlink(fs::symlink_status(f.path() / "twoDemes")));
  }
}

}  // namespace
