// A run ended at any moment, by kill -9 or by a signal, leaves a folder whose
// next run of the same command ends with status 0 and writes exactly what a
// run never interrupted writes; the user's files beside and inside the output
// folder keep their bytes. The moments are drawn with a fixed seed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runFolder.h"

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// The outputs of a finished run, without the files an interrupted run may
// leave half-made under names of its own (".<name>.<pid>.<k>.new") and the
// user's files.
std::map<std::string, std::string> comparable(const RunFolder& f) {
  std::map<std::string, std::string> files = f.outputs();
  for (auto it = files.begin(); it != files.end();) {
    const std::string name = fs::path(it->first).filename().string();
    it = name[0] == '.' || name == "notes.txt" ? files.erase(it) : ++it;
  }
  return files;
}

struct RunCase {
  const char* name;
  const char* example;
  Args args;
  std::function<void(const RunFolder&)> prepare;  // beyond the example's files
};

void noPreparation(const RunFolder&) {}

// 1000 rows of values for the split template.
void thousandRows(const RunFolder& f) {
  std::string rows = "NPOP1\tTSPLIT\n";
  for (int k = 0; k < 1000; ++k)
    rows += std::to_string(1000 + 7 * k) + "\t" + std::to_string(500 + 3 * k) + "\n";
  f.write("rows.def", rows);
}

// The reference outputs and how long the run takes (milliseconds).
std::map<std::string, std::string> referenceRun(const RunCase& c, int& millis) {
  RunFolder ref(std::string("reference_") + c.name);
  ref.copyExample(c.example);
  c.prepare(ref);
  const auto start = Clock::now();
  const RunOutput r = ref.run(c.args, 120);
  millis = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
  EXPECT_EQ(r.status, 0) << r.err;
  return comparable(ref);
}

// Starts the run, ends it by the signal after the delay, and waits for it:
// it ended by the signal, or had ended normally before it.
void interrupt(const RunFolder& f, const RunCase& c, int signal, int delayMicros) {
  const int pid = f.start(c.args, 120);
  std::this_thread::sleep_for(std::chrono::microseconds(delayMicros));
  kill(pid, signal);
  int waitStatus = 0;
  const RunOutput r = f.finish(pid, &waitStatus);
  if (WIFSIGNALED(waitStatus))
    EXPECT_EQ(WTERMSIG(waitStatus), signal) << r.err;
  else
    EXPECT_EQ(r.status, 0) << "ended before the signal: " << r.err;
}

// Interrupts the run again and again at moments drawn from [0, the run's
// duration], a first few within its first 30 ms; after each, the same command
// runs to its end and must give the reference outputs.
void interruptAndRunAgain(const RunCase& c, const std::vector<int>& signals, int times,
                          unsigned seed) {
  int millis = 0;
  const std::map<std::string, std::string> reference = referenceRun(c, millis);
  RunFolder f(std::string("interrupted_") + c.name);
  f.copyExample(c.example);
  c.prepare(f);
  const std::string outputFolder = fs::path(c.args[1]).stem().string();
  f.write("notes.txt", "the user's\n");
  f.write(outputFolder + "/notes.txt", "the user's, in the output folder\n");
  std::mt19937 random(seed);
  for (int k = 0; k < times; ++k) {
    const int spanMicros = 1000 * (k < times / 3 ? 30 : std::max(millis, 30));
    const int delay = std::uniform_int_distribution<int>(0, spanMicros)(random);
    const int signal = signals[k % signals.size()];
    SCOPED_TRACE(std::string(sigabbrev_np(signal)) + " after " + std::to_string(delay) + " us");
    interrupt(f, c, signal, delay);
    const RunOutput again = f.run(c.args, 120);
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(comparable(f), reference);
  }
  EXPECT_EQ(f.read("notes.txt"), "the user's\n");
  EXPECT_EQ(f.read(outputFolder + "/notes.txt"), "the user's, in the output folder\n");
}

const RunCase kRuns[] = {
    {"GeneticData", "dnaTwoDemes", {"-i", "dnaTwoDemes.par", "-n", "1000", "-q", "-r", "1"},
     noPreparation},
    {"SpilledSites", "dnaTwoDemes",
     {"-i", "dnaTwoDemes.par", "-n", "300", "-k", "10", "-c", "2", "-d", "-q", "-r", "1"},
     noPreparation},
    {"RepeatedFrequencyRuns", "twoDemes",
     {"-i", "twoDemes.par", "-n", "20000", "-d", "-R", "5", "-q", "-r", "1"}, noPreparation},
    {"ThousandDefinitionRows", "splitTemplate",
     {"-t", "split.tpl", "-f", "rows.def", "-n", "10", "-B", "1", "-d", "-q", "-r", "1"},
     thousandRows},
    {"Estimation", "splitTemplate",
     {"-t", "split.tpl", "-e", "split.est", "-n", "2000", "-N", "2000", "-l", "1", "-L", "2",
      "-d", "-M", "0.01", "-q", "-r", "1"},
     noPreparation},
};

class KilledRuns : public testing::TestWithParam<RunCase> {};

TEST_P(KilledRuns, TheNextIdenticalRunEndsWellWithCompleteOutputs) {
  interruptAndRunAgain(GetParam(), {SIGKILL}, 9, 17);
}

INSTANTIATE_TEST_SUITE_P(Cases, KilledRuns, testing::ValuesIn(kRuns),
                         [](const testing::TestParamInfo<RunCase>& info) {
                           return std::string(info.param.name);
                         });

// Sixty signals of every kind that ends a run, on a spilling run on two threads.
class SignalledRuns : public testing::TestWithParam<int> {};

TEST_P(SignalledRuns, TheNextIdenticalRunEndsWellWithCompleteOutputs) {
  const int signal = GetParam();
  interruptAndRunAgain(kRuns[1], {signal}, 10, 100 + signal);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalledRuns,
                         testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGXCPU),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(sigabbrev_np(info.param));
                         });

}  // namespace
