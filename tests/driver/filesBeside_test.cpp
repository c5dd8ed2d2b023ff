// Files beside the output folder (the seed file, an -o table) and the
// removal of earlier outputs, with the window between the program's check
// of a file and its act held open by a library loaded into the program
// (tests/shims/renameDelay.cpp): a run killed inside it leaves no half-made
// file under the name, and a file the user saves inside it keeps its bytes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "runFolder.h"

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;

// Holds the program's first rename from or to a name for a while; removed
// with the object.
class HeldRename {
 public:
  HeldRename(const RunFolder& f, const std::string& name, int millis, int skip = 0,
             bool afterRename = false)
      : mark_(f.path().string() + ".held") {
    setenv("LD_PRELOAD", RENAME_DELAY_SHIM, 1);
    if (afterRename) setenv("BRV_TEST_RENAME_AFTER", "1", 1);
    setenv("BRV_TEST_RENAME_NAME", name.c_str(), 1);
    setenv("BRV_TEST_RENAME_SKIP", std::to_string(skip).c_str(), 1);
    setenv("BRV_TEST_RENAME_MS", std::to_string(millis).c_str(), 1);
    setenv("BRV_TEST_RENAME_MARK", mark_.c_str(), 1);
  }
  ~HeldRename() {
    for (const char* v : {"LD_PRELOAD", "BRV_TEST_RENAME_NAME", "BRV_TEST_RENAME_SKIP",
                          "BRV_TEST_RENAME_MS", "BRV_TEST_RENAME_MARK", "BRV_TEST_RENAME_AFTER"})
      unsetenv(v);
    fs::remove(mark_);
  }
  HeldRename(const HeldRename&) = delete;
  HeldRename& operator=(const HeldRename&) = delete;

  // Whether the program reached the rename (within 20 s).
  bool reached() const {
    for (int i = 0; i < 4000; ++i) {
      if (fs::exists(mark_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

 private:
  std::string mark_;
};

// The files of a folder (not below) whose names start with a prefix.
std::vector<std::string> namesStarting(const RunFolder& f, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(f.path()))
    if (e.path().filename().string().rfind(prefix, 0) == 0)
      names.push_back(e.path().filename().string());
  return names;
}

const Args kTwoDemes = {"-i", "twoDemes.par", "-n", "100", "-d", "-q"};

Args with(Args args, const Args& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

struct KilledNamingCase {
  const char* label;
  const char* name;    // the file beside the folder
  bool earlierRun;     // a run wrote it before
  int skip;            // renames of the name let through before the one held
  Args more;           // beyond the two-deme run
  bool afterRename = false;  // killed once the rename is done, before the run lists it again
};

// Killed in the instant it gives a new file beside the folder its name (or
// moves the old one aside for it): the new file is complete by then; the
// name holds the old file or none (never an empty one); every later run, of
// this model or of another in the same folder, ends well, and the next run
// of the model removes what was left. Killed just after the rename, before
// the run lists the file with the status change time the rename gave it,
// the name holds the new file, which the next run still takes for its own.
TEST(FilesBesideTheFolder, AreCompleteBeforeTheyHaveTheirName) {
  const KilledNamingCase cases[] = {
      {"new seed file", "seed.txt", false, 0, {}},
      {"seed file replaced, old one moving aside", "seed.txt", true, 0, {}},
      {"seed file replaced, new one taking the name", "seed.txt", true, 1, {}},
      {"-o table", "t.lhoods", false, 0, {"-o", "t.lhoods"}},
      {"-o table replaced", "t.lhoods", true, 0, {"-o", "t.lhoods"}},
      {"-o table replaced, new one taking the name", "t.lhoods", true, 1, {"-o", "t.lhoods"}},
      {"new seed file named", "seed.txt", false, 0, {}, true},
      {"seed file replaced, new one named", "seed.txt", true, 1, {}, true},
      {"-o table named", "t.lhoods", false, 0, {"-o", "t.lhoods"}, true},
      {"-o table replaced, new one named", "t.lhoods", true, 1, {"-o", "t.lhoods"}, true},
  };
  for (const KilledNamingCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("killed_naming");
    f.copyExample("twoDemes");
    f.copyExample("oneDeme");
    if (c.earlierRun) {
      ASSERT_EQ(f.run(with(with(kTwoDemes, c.more), {"-r", "1"})).status, 0);
    }
    const std::string old = c.earlierRun ? f.read(c.name) : "";
    {
      const HeldRename held(f, c.name, 20000, c.skip, c.afterRename);
      const int pid = f.start(with(with(kTwoDemes, c.more), {"-r", "2"}), 60);
      ASSERT_TRUE(held.reached());
      for (const std::string& left : namesStarting(f, std::string(".") + c.name)) {
        if (left.size() > 4 && left.compare(left.size() - 4, 4, ".new") == 0) {
          EXPECT_FALSE(f.read(left).empty()) << left;  // written whole before its rename
        }
      }
      kill(pid, SIGKILL);
      f.finish(pid);
    }
    if (c.afterRename) {
      EXPECT_FALSE(f.read(c.name).empty());
      EXPECT_NE(f.read(c.name), old);  // the new file, complete
    } else if (c.skip == 0) {
      EXPECT_EQ(f.exists(c.name) ? f.read(c.name) : "", old);
    } else {
      EXPECT_FALSE(f.exists(c.name));  // the old file aside, the new one not named yet
    }
    const RunOutput other = f.run({"-i", "oneDeme.par", "-n", "100", "-d", "-q", "-r", "3"});
    EXPECT_EQ(other.status, 0) << other.err;
    const RunOutput again = f.run(with(with(kTwoDemes, c.more), {"-r", "4"}));
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(namesStarting(f, std::string(".") + c.name).empty());
    EXPECT_FALSE(f.read(c.name).empty());
  }
}

struct SavedCase {
  const char* label;
  const char* held;   // the name whose rename is held
  const char* saved;  // the file the user saves meanwhile (from the working folder)
  Args more;
  const char* said;
};

// A file the user saves under a name between the program's check of the
// file there and its act on it keeps its bytes: the run moves aside what it
// checked, finds another file there and gives it back.
TEST(FilesBesideTheFolder, AFileSavedBetweenCheckAndActIsKept) {
  const SavedCase cases[] = {
      {"seed file replaced", "seed.txt", "seed.txt", {},
       "/seed.txt\" is kept: it was replaced or changed while this run wrote it"},
      {"-o table replaced", "t.lhoods", "t.lhoods", {"-o", "t.lhoods"},
       "/t.lhoods\" is kept: it was replaced or changed while this run wrote it"},
      {"earlier output removed", "twoDemes_1.simparam", "twoDemes/twoDemes_1.simparam", {},
       "twoDemes/twoDemes_1.simparam\" is kept: it could not be removed"},
  };
  for (const SavedCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("saved_meanwhile");
    f.copyExample("twoDemes");
    ASSERT_EQ(f.run(with(with(kTwoDemes, c.more), {"-r", "1"})).status, 0);
    RunOutput r;
    {
      const HeldRename held(f, c.held, 500);
      const int pid = f.start(with(with(kTwoDemes, c.more), {"-r", "2"}), 60);
      ASSERT_TRUE(held.reached());
      f.write("mine.tmp", "the user's own file\n");  // saved as editors do: a new file renamed
      fs::rename(f.path() / "mine.tmp", f.path() / c.saved);
      r = f.finish(pid);
    }
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(f.read(c.saved), "the user's own file\n");
    const fs::path saved(c.saved);
    for (const auto& e : fs::directory_iterator(f.path() / saved.parent_path()))
      EXPECT_NE(e.path().filename().string()[0], '.') << e.path();  // nothing left aside
  }
}

// Runs of two models started together in one working folder both write its
// seed file: each ends well, and the seed file holds one run's seed whole.
TEST(FilesBesideTheFolder, TwoModelsStartedTogetherInOneFolderBothEndWell) {
  RunFolder f("two_models");
  f.copyExample("twoDemes");
  f.copyExample("oneDeme");
  for (int pair = 0; pair < 10; ++pair) {
    SCOPED_TRACE(pair);
    const std::string seed = std::to_string(10 + pair);
    const int a = f.start({"-i", "twoDemes.par", "-n", "20", "-d", "-q", "-r", seed}, 60);
    const int b = f.start({"-i", "oneDeme.par", "-n", "20", "-d", "-q", "-r", seed}, 60);
    int statusA = 0, statusB = 0;
    f.finish(a, &statusA);
    f.finish(b, &statusB);
    EXPECT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
    EXPECT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);
    EXPECT_EQ(f.read("seed.txt"), "Random generator seed :" + seed + "\n");
  }
}

}  // namespace
