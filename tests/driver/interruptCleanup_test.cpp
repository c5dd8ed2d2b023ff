// A run stopped by Ctrl-C or kill leaves no temporary folder of spilled sites
// and ends by the signal, as the shell expects (status 130 or 143).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "runFolder.h"

namespace {

namespace fs = std::filesystem;

// Eight DNA chromosomes of many sites each: with -k 10 every batch spills to
// its temporary folder all the time, and 400 data sets take far longer than
// the test waits.
const char* kLongModel =
    "//Number of population samples (demes)\n1\n//Population effective sizes\n10000\n"
    "//Sample sizes\n20\n//Growth rates\n0\n//Number of migration matrices\n0\n"
    "//historical event\n0 historical event\n//Number of independent loci\n8 0\n"
    "//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate\nDNA 20000 0 1e-6 0.33\n";

std::vector<std::string> tempFolders(const RunFolder& f) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(f.path() / "g", ec))
    if (e.path().filename().string().rfind("garbage", 0) == 0)
      found.push_back(e.path().filename().string());
  return found;
}

struct InterruptCase {
  int signal;
  const char* threads;  // 1: the handler interrupts the thread that writes
};

class Interrupt : public testing::TestWithParam<InterruptCase> {};

TEST_P(Interrupt, RemovesTheTemporaryFoldersAndEndsByTheSignal) {
  const int signal = GetParam().signal;
  RunFolder f("interrupt");
  f.write("g.par", kLongModel);
  // The time limit only ends a program that would ignore the signal.
  const int pid = f.start({"-i", "g.par", "-n", "400", "-k", "10", "-c", GetParam().threads,
                           "-B", "4", "-q", "-r", "1"},
                          60);
  int waitStatus = 0;
  bool spilled = false;
  for (int i = 0; i < 2000 && !spilled; ++i) {  // 10 s at most
    spilled = !tempFolders(f).empty();
    if (!spilled) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(spilled) << "no temporary folder appeared";
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // every batch at work
  ASSERT_EQ(kill(pid, signal), 0);
  const RunOutput r = f.finish(pid, &waitStatus);
  ASSERT_TRUE(WIFSIGNALED(waitStatus)) << "status " << r.status << "\n" << r.err;
  EXPECT_EQ(WTERMSIG(waitStatus), signal);
  EXPECT_TRUE(tempFolders(f).empty());
}

INSTANTIATE_TEST_SUITE_P(SigintAndSigterm, Interrupt,
                         testing::Values(InterruptCase{SIGINT, "4"}, InterruptCase{SIGTERM, "4"},
                                         InterruptCase{SIGINT, "1"}),
                         [](const testing::TestParamInfo<InterruptCase>& info) {
                           return std::string(info.param.signal == SIGINT ? "Sigint" : "Sigterm") +
                                  "On" + info.param.threads + "Threads";
                         });

}  // namespace
