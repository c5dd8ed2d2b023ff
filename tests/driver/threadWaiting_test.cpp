// The wait policy of the threads: the program starts again with the passive
// policy when it may use threads, unless the user chose a policy or a spin
// count, and the runtime of the new process then waits without spinning.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "driver/threadWaiting.h"
#include "runFolder.h"

namespace {

using Args = std::vector<std::string>;

struct ThreadArgsCase {
  Args args;
  bool mayUseThreads;
};

TEST(ThreadWaiting, ArgumentsThatMayUseThreads) {
  const ThreadArgsCase cases[] = {
      {{"brimvane"}, true},  // options from the run file
      {{"brimvane", "-i", "a.par", "-n", "5"}, false},
      {{"brimvane", "-i", "a.par", "-c", "1"}, false},
      {{"brimvane", "-i", "a.par", "-c", "8"}, true},
      {{"brimvane", "-c", "0"}, true},
      {{"brimvane", "--cores", "4"}, true},
      {{"brimvane", "--cores", "1"}, false},
      {{"brimvane", "--cores=2"}, true},
      {{"brimvane", "-c2"}, true},
      {{"brimvane", "-c1"}, false},
      {{"brimvane", "-i", "a.par", "-c"}, false},  // no value: the parser refuses it
      {{"brimvane", "-i", "c8.par", "-n", "8"}, false},
  };
  for (const ThreadArgsCase& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    EXPECT_EQ(argumentsMayUseThreads(c.args), c.mayUseThreads) << line;
  }
}

TEST(ThreadWaiting, TheUsersChoiceWins) {
  const Args threads = {"brimvane", "-c", "8"};
  EXPECT_TRUE(shouldRestartPassive(threads, nullptr, nullptr));
  EXPECT_FALSE(shouldRestartPassive(threads, "active", nullptr));
  EXPECT_FALSE(shouldRestartPassive(threads, "", nullptr));
  EXPECT_FALSE(shouldRestartPassive(threads, nullptr, "10000"));
  EXPECT_FALSE(shouldRestartPassive({"brimvane", "-c", "1"}, nullptr, nullptr));
}

// Sets or clears an environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedVariable() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The spin counts that the runtime of each started process reports.
std::vector<std::string> spinCounts(const Args& args, const char* policy, const char* spins) {
  ScopedVariable display("OMP_DISPLAY_ENV", "verbose");
  ScopedVariable waitPolicy("OMP_WAIT_POLICY", policy);
  ScopedVariable spinCount("GOMP_SPINCOUNT", spins);
  RunFolder f("threadWaiting");
  const RunOutput r = f.run(args);
  std::vector<std::string> counts;
  for (const std::string& line : linesOf(r.err))
    if (line.find("GOMP_SPINCOUNT = ") != std::string::npos) counts.push_back(line);
  return counts;
}

TEST(ThreadWaiting, TheProgramRestartsOnceWithThePassivePolicy) {
  // The runtime reports itself at start-up; the arguments then stop the program.
  const Args threads = {"-c", "4", "-n", "0"};
  // The first image starts again before its runtime loads: one report, of
  // the restarted process, which does not spin.
  const std::vector<std::string> restarted = spinCounts(threads, nullptr, nullptr);
  ASSERT_EQ(restarted.size(), 1u);
  EXPECT_NE(restarted[0].find("'0'"), std::string::npos) << restarted[0];

  const std::vector<std::string> oneThread = spinCounts({"-c", "1", "-n", "0"}, nullptr, nullptr);
  ASSERT_EQ(oneThread.size(), 1u);
  EXPECT_EQ(oneThread[0].find("'0'"), std::string::npos) << oneThread[0];

  const std::vector<std::string> active = spinCounts(threads, "active", nullptr);
  EXPECT_EQ(active.size(), 1u);

  const std::vector<std::string> spins = spinCounts(threads, nullptr, "1234");
  ASSERT_EQ(spins.size(), 1u);
  EXPECT_NE(spins[0].find("'1234'"), std::string::npos) << spins[0];
}

// Started through the dynamic loader, the program cannot start its own image
// again (that image is the loader): it runs on without the restart.
TEST(ThreadWaiting, NoRestartWhenStartedThroughTheLoader) {
  const char* loader = "/lib64/ld-linux-x86-64.so.2";
  if (access(loader, X_OK) != 0) GTEST_SKIP() << "no loader at " << loader;
  RunFolder f("loader");
  const std::string command = std::string("cd '") + f.path().string() + "' && " + loader + " '" +
                              BRIMVANE_EXE + "' -c 4 -n 0 > out.txt 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);  // the program's own refusal of -n 0, not 127
  EXPECT_NE(f.read("out.txt").find("Need to specify parameter file name"), std::string::npos)
      << f.read("out.txt");
}

}  // namespace
