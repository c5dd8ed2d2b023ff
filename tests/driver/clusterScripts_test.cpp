// The cluster scripts of the guide (examples/fromData: estimate.slurm and
// collect.sh) run as the scheduler runs an array task, without one: the
// script copied away from the folder it was submitted from and started there
// by /bin/sh, with the environment of the task and its output in the task's
// log, slurm-<job>_<task>.out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runFolder.h"

namespace fs = std::filesystem;

namespace {

const char* kSims = "-n 200 -N 200 -l 1 -L 1";
const char* kCheckSims = "-n 2000 -r 1";

// Stands for the program: tells the test that the task has reached it (on
// descriptor 5), waits for the word to go on (on 6), then runs the program.
const char* kHeldProgram =
    "#!/bin/sh\necho ready >&5\nread go <&6\nexec \"$REAL_BRIMVANE\" \"$@\"\n";

// The folder a job is submitted from: the example's files and the observed
// spectrum of simulated data, as the guide makes them.
void prepareSubmitFolder(const RunFolder& submit) {
  submit.copyExample("fromData");
  ASSERT_EQ(
      submit.run({"-i", "data.par", "-n", "1", "-s", "0", "-d", "-x", "-q", "-r", "1"}).status, 0);
  submit.write("est_jointDAFpop1_0.obs", submit.read("data/data_jointDAFpop1_0.obs"));
}

struct Pipe {
  int ends[2] = {-1, -1};
  Pipe() { EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0); }
  ~Pipe() {
    closeEnd(0);
    closeEnd(1);
  }
  void closeEnd(int k) {
    if (ends[k] >= 0) close(ends[k]);
    ends[k] = -1;
  }
};

// What the program that stands in the way of a task is told, and hears.
struct Hold {
  Pipe ready, go;
};

// The held program's ends of the pipes as descriptors 5 and 6 (by way of
// numbers above both, so that neither is closed before it is passed on).
void passToHeldProgram(const Hold& hold) {
  const int ready = fcntl(hold.ready.ends[1], F_DUPFD, 10);
  const int go = fcntl(hold.go.ends[0], F_DUPFD, 10);
  dup2(ready, 5);
  dup2(go, 6);
  close(ready);
  close(go);
}

class ClusterFolders {
 public:
  ClusterFolders() : submit_("submit"), spool_("spool") {
    for (const char* script : {"estimate.slurm", "collect.sh"})
      fs::copy_file(fs::path(EXAMPLES_DIR) / "fromData" / script, spool_.path() / script);
    spool_.write("held-brimvane", kHeldProgram);
    fs::permissions(spool_.path() / "held-brimvane", fs::perms::owner_all);
  }
  const RunFolder& submit() const { return submit_; }
  std::string spool(const std::string& name) const { return (spool_.path() / name).string(); }

  // Starts a task of an array job in its own process group, its log named
  // after both; "BRIMVANE=..." and the like are added to its environment;
  // with a hold, the task stops where it would start the program.
  int startTask(int job, int task, const std::vector<std::string>& extra,
                Hold* hold = nullptr) const {
    const std::string id = std::to_string(job) + "_" + std::to_string(task);
    std::vector<std::string> env = {
        "PATH=" + fs::path(BRIMVANE_EXE).parent_path().string() + ":/usr/bin:/bin",
        "SLURM_JOB_ID=" + std::to_string(job + task),
        "SLURM_ARRAY_JOB_ID=" + std::to_string(job),
        "SLURM_ARRAY_TASK_ID=" + std::to_string(task),
        "SLURM_CPUS_PER_TASK=2",
        "SLURM_JOB_NAME=est",
        "SLURM_SUBMIT_DIR=" + submit_.path().string(),
        std::string("SIMS=") + kSims,
        std::string("REAL_BRIMVANE=") + BRIMVANE_EXE};
    if (hold) env.push_back("BRIMVANE=" + spool("held-brimvane"));
    env.insert(env.end(), extra.begin(), extra.end());
    const int pid = start({"/bin/sh", spool("estimate.slurm")}, env, "slurm-" + id + ".out", hold);
    if (hold) {
      hold->ready.closeEnd(1);
      hold->go.closeEnd(0);
    }
    return pid;
  }
  int runTask(int job, int task, const std::vector<std::string>& extra = {}) const {
    return finish(startTask(job, task, extra));
  }
  // collect.sh evaluates again from few genealogies, with a fixed seed;
  // "CHECK_BEST=..." and the like are added to its environment.
  int runCollect(const std::string& array, const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> env = {
        "PATH=" + fs::path(BRIMVANE_EXE).parent_path().string() + ":/usr/bin:/bin",
        std::string("CHECK_SIMS=") + kCheckSims};
    env.insert(env.end(), extra.begin(), extra.end());
    return finish(start({"/bin/sh", spool("collect.sh"), array}, env, "collect.out", nullptr));
  }
  static int finish(int pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int start(std::vector<std::string> words, std::vector<std::string> env, const std::string& log,
            Hold* hold) const {
    std::vector<char*> argv, envp;
    for (std::string& w : words) argv.push_back(&w[0]);
    for (std::string& e : env) envp.push_back(&e[0]);
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const std::string logPath = (submit_.path() / log).string();
    const pid_t child = fork();
    if (child == 0) {
      setpgid(0, 0);
      const int in = open("/dev/null", O_RDONLY);
      const int out = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (in < 0 || out < 0 || chdir(submit_.path().c_str()) != 0) _exit(127);
      dup2(in, 0);
      dup2(out, 1);
      dup2(out, 2);
      if (hold) passToHeldProgram(*hold);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    return child;
  }

  RunFolder submit_, spool_;
};

// Waits until the held task has reached the program: its folder is locked
// and its inputs copied.
bool reachedTheProgram(Hold& hold) {
  char word[8] = {};
  return read(hold.ready.ends[0], word, sizeof word - 1) > 0 && std::string(word) == "ready\n";
}

void letGo(Hold& hold) {
  EXPECT_EQ(write(hold.go.ends[1], "go\n", 3), 3);
  hold.go.closeEnd(1);
}

TEST(EstimateSlurm, ASecondTaskOfOneNumberRefusesAndLeavesTheRunningOnesInputs) {
  ClusterFolders folders;
  const RunFolder& submit = folders.submit();
  prepareSubmitFolder(submit);
  if (HasFatalFailure()) return;
  const std::string tpl = submit.read("est.tpl"), est = submit.read("est.est");
  Hold hold;
  const int first = folders.startTask(77, 1, {}, &hold);
  ASSERT_TRUE(reachedTheProgram(hold)) << submit.read("slurm-77_1.out");
  // A second array submitted from the folder, with other inputs, runs task 1 too.
  submit.write("est.tpl", tpl + "// the template of the second array\n");
  submit.write("est.est", est + "// the priors of the second array\n");
  EXPECT_EQ(folders.runTask(90, 1), 1);
  EXPECT_NE(submit.read("slurm-90_1.out").find("rep1 is in use by another task 1"),
            std::string::npos)
      << submit.read("slurm-90_1.out");
  EXPECT_EQ(submit.read("rep1/est.tpl"), tpl);
  EXPECT_EQ(submit.read("rep1/est.est"), est);
  letGo(hold);
  EXPECT_EQ(ClusterFolders::finish(first), 0) << submit.read("slurm-77_1.out");
  EXPECT_EQ(linesOf(submit.read("rep1/est/est.bestlhoods")).size(), 2u);
  EXPECT_EQ(submit.read("rep1/est/est_maxL.par").find("second array"), std::string::npos);
  EXPECT_EQ(submit.read("rep1/est.tpl"), tpl);
}

// Whether a process of the group still runs: a zombie has let go of its
// files, and with them of its locks.
bool groupRuns(pid_t group) {
  std::error_code error;
  for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    const std::string pid = it->path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(it->path() / "stat");
    std::string stat;
    std::getline(in, stat);
    const size_t name = stat.rfind(')');  // the command name may hold blanks
    if (name == std::string::npos) continue;
    std::istringstream fields(stat.substr(name + 1));
    char state = 0;
    long parent = 0, processGroup = 0;
    if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z' &&
        state != 'X')
      return true;
  }
  return false;
}

// Waits, as a scheduler does before it starts a killed task again, until
// every process of the task has ended (the signal takes effect when each is
// next scheduled, which under load can be late); false after the time limit.
bool waitUntilEnded(pid_t group) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (groupRuns(group)) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(EstimateSlurm, ATaskKilledOutrightRunsAgainWhenSubmittedAgain) {
  ClusterFolders folders;
  const RunFolder& submit = folders.submit();
  prepareSubmitFolder(submit);
  if (HasFatalFailure()) return;
  Hold hold;
  const int first = folders.startTask(77, 3, {}, &hold);
  ASSERT_TRUE(reachedTheProgram(hold)) << submit.read("slurm-77_3.out");
  ASSERT_TRUE(groupRuns(first));
  ASSERT_EQ(kill(-first, SIGKILL), 0);  // the task and the program it started
  EXPECT_EQ(ClusterFolders::finish(first), -1);
  ASSERT_TRUE(waitUntilEnded(first)) << "the program the killed task started still runs";
  EXPECT_EQ(folders.runTask(91, 3), 0) << submit.read("slurm-91_3.out");
  EXPECT_EQ(linesOf(submit.read("rep3/est/est.bestlhoods")).size(), 2u);
}

// BRIMVANE names the program: on the PATH by default, a path relative to the
// folder the job was submitted from, or a path from the root.
TEST(EstimateSlurm, RunsTheProgramThatBrimvaneNames) {
  const struct {
    const char* name;
    const char* variable;  // added to the task's environment, if any
    int status;
    const char* message;
  } cases[] = {
      {"the PATH", nullptr, 0, "brimvane was invoked"},
      {"relative", "BRIMVANE=bin/brimvane", 0, "brimvane was invoked"},
      {"from the root", "BRIMVANE=" BRIMVANE_EXE, 0, "brimvane was invoked"},
      {"missing", "BRIMVANE=bin/none", 1, "task 1: no program "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClusterFolders folders;
    const RunFolder& submit = folders.submit();
    prepareSubmitFolder(submit);
    fs::create_directories(submit.path() / "bin");
    fs::create_symlink(BRIMVANE_EXE, submit.path() / "bin/brimvane");
    std::vector<std::string> env;
    if (c.variable) env.push_back(c.variable);
    EXPECT_EQ(folders.runTask(77, 1, env), c.status);
    const std::string log = submit.read("slurm-77_1.out");
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_EQ(submit.exists("rep1/est/est.bestlhoods"), c.status == 0) << log;
    EXPECT_EQ(submit.exists("rep1"), c.status == 0) << log;
  }
}

// The result of a task, as its estimation wrote it: the best values with
// their MaxEstLhood, and the model file of these values.
void finished(const RunFolder& submit, int task, const std::string& values,
              const std::string& maxEstLhood) {
  const std::string rep = "rep" + std::to_string(task) + "/est/";
  submit.write(rep + "est.bestlhoods", "NPOP0\tNPOP1\tMIG\tTDIV\tMaxEstLhood\tMaxObsLhood\n" +
                                           values + "\t" + maxEstLhood + "\t-16700.000\n");
  submit.write(rep + "est_maxL.par", "model of task " + std::to_string(task) + "\n");
}

// Values of task k nearer those of data.par the higher k (deme 1 halved at
// each step below task 5), MaxEstLhood in the same order.
void finishedInOrder(const RunFolder& submit, int task) {
  finished(submit, task, "20000\t" + std::to_string(5000 >> (5 - task)) + "\t1e-4\t3000",
           std::to_string(-17000 + task) + ".000");
}

TEST(CollectSh, CountsTheTasksThatGaveAResultAndNamesTheOthers) {
  const struct {
    const char* array;
    std::vector<int> finished;
    int running;  // a task whose folder is locked, or 0
    int status;
    std::vector<std::string> report;
    const char* best;
  } cases[] = {
      {"1-3", {1, 2, 3}, 0, 0, {"3 of 3 tasks gave a result"}, "model of task 3\n"},
      {"1-5:2,6", {3, 5}, 0, 0,
       {"2 of 4 tasks gave a result",
        "no result from 1,6; to run them again: sbatch --array=1,6 estimate.slurm"},
       "model of task 5\n"},
      {"1-4%2", {1}, 2, 0,
       {"1 of 4 tasks gave a result", "still running: 2",
        "no result from 3,4; to run them again: sbatch --array=3,4 estimate.slurm"},
       "model of task 1\n"},
      {"7", {}, 0, 1,
       {"0 of 1 tasks gave a result",
        "no result from 7; to run them again: sbatch --array=7 estimate.slurm"},
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.array);
    ClusterFolders folders;
    const RunFolder& submit = folders.submit();
    prepareSubmitFolder(submit);
    if (HasFatalFailure()) return;
    for (int task : c.finished) finishedInOrder(submit, task);
    int lock = -1;
    if (c.running) {
      submit.write("rep" + std::to_string(c.running) + "/task.lock", "");
      lock = open((submit.path() / ("rep" + std::to_string(c.running)) / "task.lock").c_str(),
                  O_WRONLY | O_CLOEXEC);
      ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
    }
    EXPECT_EQ(folders.runCollect(c.array), c.status) << submit.read("collect.out");
    if (lock >= 0) close(lock);
    const std::vector<std::string> out = linesOf(submit.read("collect.out"));
    ASSERT_GE(out.size(), c.report.size());
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + c.report.size()), c.report);
    if (c.best) {
      EXPECT_EQ(submit.read("best_maxL.par"), c.best);
      EXPECT_EQ(linesOf(submit.read("all.bestlhoods")).size(), c.finished.size() + 1);
    } else {
      EXPECT_FALSE(submit.exists("best_maxL.par"));
    }
  }
}

// The task of each line of all.bestlhoods, and its likelihood computed again
// (NaN for NA), in the order of the table.
struct CollectedLine {
  std::string file;
  double again;
};

std::vector<CollectedLine> collectedLines(const RunFolder& submit) {
  std::vector<CollectedLine> lines;
  for (const std::string& line : linesOf(submit.read("all.bestlhoods"))) {
    const std::string again = line.substr(line.rfind('\t') + 1);
    lines.push_back({line.substr(0, line.find('\t')),
                     again == "NA" ? std::nan("") : std::strtod(again.c_str(), nullptr)});
  }
  return lines;
}

// Three results whose MaxEstLhood misleads: the highest is the farthest from
// the values of data.par, the lowest is those values. Ranked by likelihoods
// computed again, the order turns round; lines not evaluated again stay in
// the order of MaxEstLhood, above those that were.
TEST(CollectSh, RanksTheBestByTheirLikelihoodComputedAgain) {
  const struct {
    const char* name;
    std::vector<std::string> env;
    int status;
    std::vector<std::string> order;  // files of the lines, after the header
    int evaluated;                   // the last lines, evaluated again
    const char* best;                // model file copied to best_maxL.par, or none
  } cases[] = {
      {"all three evaluated", {"CHECK_BEST=3"}, 0, {"rep2", "rep3", "rep1"}, 3,
       "model of task 1\n"},
      {"the default of ten", {}, 0, {"rep2", "rep3", "rep1"}, 3, "model of task 1\n"},
      {"the best two by MaxEstLhood", {"CHECK_BEST=2"}, 0, {"rep1", "rep2", "rep3"}, 2,
       "model of task 3\n"},
      {"the best one by MaxEstLhood", {"CHECK_BEST=1"}, 0, {"rep1", "rep3", "rep2"}, 1,
       "model of task 2\n"},
      {"no program", {"BRIMVANE=bin/none"}, 1, {"rep1", "rep3", "rep2"}, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ClusterFolders folders;
    const RunFolder& submit = folders.submit();
    prepareSubmitFolder(submit);
    if (HasFatalFailure()) return;
    finished(submit, 1, "20000\t5000\t1e-4\t3000", "-17000.000");   // data.par's values
    finished(submit, 2, "5000\t5000\t1e-3\t600", "-16000.000");     // far from them
    finished(submit, 3, "10000\t10000\t1e-5\t1000", "-16500.000");  // between
    EXPECT_EQ(folders.runCollect("1-3", c.env), c.status) << submit.read("collect.out");
    const std::vector<CollectedLine> lines = collectedLines(submit);
    ASSERT_EQ(lines.size(), 4u) << submit.read("all.bestlhoods");
    EXPECT_EQ(lines[0].file, "File");
    for (size_t i = 1; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].file, c.order[i - 1] + "/est/est.bestlhoods");
      const bool evaluated = i + c.evaluated >= lines.size();
      EXPECT_EQ(std::isnan(lines[i].again), !evaluated) << lines[i].file;
      if (evaluated && i + 1 < lines.size()) {
        EXPECT_LT(lines[i].again, lines[i + 1].again);
      }
    }
    if (c.best) {
      EXPECT_EQ(submit.read("best_maxL.par"), c.best);
      // Computed again, data.par's values score as the data's own run did.
      if (c.evaluated == 3) {
        EXPECT_NEAR(lines.back().again, -16762.7, 30);
      }
    } else {
      EXPECT_FALSE(submit.exists("best_maxL.par"));
    }
  }
}

}  // namespace
