// A run stopped by Ctrl-C, kill, a closed terminal or a closed pipe leaves no
// temporary folder of spilled sites, removes nothing it did not make, and ends
// by the signal, as the shell expects (status 130, 143, 129 or 141).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
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

// The temporary folders of the run; a folder of the user's of that name aside.
std::vector<std::string> tempFolders(const RunFolder& f, const std::string& users = "") {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(f.path() / "g", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("garbage", 0) == 0 && name != users) found.push_back(name);
  }
  return found;
}

struct InterruptCase {
  int signal;
  const char* threads;  // 1: the signal comes while the one thread writes
  bool usersFolder = false;  // a folder of the user's with a temporary folder's name
};

class Interrupt : public testing::TestWithParam<InterruptCase> {};

TEST_P(Interrupt, RemovesTheTemporaryFoldersAndEndsByTheSignal) {
  const int signal = GetParam().signal;
  RunFolder f("interrupt");
  f.write("g.par", kLongModel);
  const std::string users = GetParam().usersFolder ? "garbage0" : "";
  if (!users.empty()) f.write("g/garbage0/notes.txt", "the user's\n");
  // The time limit only ends a program that would ignore the signal.
  const int pid = f.start({"-i", "g.par", "-n", "400", "-k", "10", "-c", GetParam().threads,
                           "-B", "4", "-q", "-r", "1"},
                          60);
  int waitStatus = 0;
  bool spilled = false;
  for (int i = 0; i < 2000 && !spilled; ++i) {  // 10 s at most
    spilled = !tempFolders(f, users).empty();
    if (!spilled) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(spilled) << "no temporary folder appeared";
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // every batch at work
  ASSERT_EQ(kill(pid, signal), 0);
  const RunOutput r = f.finish(pid, &waitStatus);
  ASSERT_TRUE(WIFSIGNALED(waitStatus)) << "status " << r.status << "\n" << r.err;
  EXPECT_EQ(WTERMSIG(waitStatus), signal);
  EXPECT_TRUE(tempFolders(f, users).empty());
  if (!users.empty()) {
    EXPECT_EQ(f.read("g/garbage0/notes.txt"), "the user's\n");
  }
  // The list of outputs was completed: every file of the run has its identity.
  const std::string list = f.read("g/written_by_brimvane.txt");
  if (users.empty()) {
    EXPECT_NE(list.find(".qdb"), std::string::npos) << list;
  }
  EXPECT_EQ(list.find("R\t-\t"), std::string::npos) << list;
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupt,
                         testing::Values(InterruptCase{SIGINT, "4"}, InterruptCase{SIGTERM, "4"},
                                         InterruptCase{SIGINT, "1"}, InterruptCase{SIGHUP, "4"},
                                         InterruptCase{SIGPIPE, "4"}, InterruptCase{SIGPIPE, "1"},
                                         InterruptCase{SIGINT, "4", true}),
                         [](const testing::TestParamInfo<InterruptCase>& info) {
                           return std::string(sigabbrev_np(info.param.signal)) + "On" +
                                  info.param.threads + "Threads" +
                                  (info.param.usersFolder ? "BesideAFolderOfTheUsers" : "");
                         });

}  // namespace

namespace {

// The reader of the output goes away (| head): the next write raises SIGPIPE
// in the thread that writes, and the run ends as if interrupted.
TEST(Interrupt, AClosedPipeEndsTheRunWithoutLeavingTemporaryFolders) {
  RunFolder f("closed_pipe");
  f.write("g.par", kLongModel);
  const std::string command = "cd '" + f.path().string() + "' && ( '" + BRIMVANE_EXE +
                              "' -i g.par -n 400 -k 10 -c 4 -B 4 -r 1; echo $? > status ) | "
                              "head -c 1 > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(f.read("status"), "141\n");
  EXPECT_TRUE(tempFolders(f).empty());
}

}  // namespace
