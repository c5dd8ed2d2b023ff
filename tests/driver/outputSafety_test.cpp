// A run removes or overwrites only files it can prove it wrote. Each case
// lets a first run write its outputs, then does to the folders what a user
// may do (link, protect, replace, edit, read through a link), then runs
// again: every file the user touched keeps its bytes, and the second run
// says why it kept what it kept.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "runFolder.h"

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;

const Args kTwoDemes = {"-i", "twoDemes.par", "-n", "1000", "-d", "-q", "-r", "1"};

// A FREQ model of the snp example reading the spectra of simulated SNP data.
void linkSimulatedSpectra(const RunFolder& f) {
  f.copyExample("snp");
  ASSERT_EQ(f.run({"-i", "snp.par", "-n", "2", "-d", "-q", "-r", "5"}).status, 0);
  std::string model = f.read("snp.par");
  model.replace(model.find("SNP 1 0 0 0"), 11, "FREQ 1 0 2.5e-8");
  model.replace(model.find("\n1000 0\n"), 8, "\n1 0\n");
  f.write("freq/snp.par", model);
  for (const char* n : {"DAFpop0", "DAFpop1", "jointDAFpop1_0"})
    fs::create_symlink(std::string("snp/snp_") + n + ".obs",
                       f.path() / ("snp_" + std::string(n) + ".obs"));
}

// A spectrum folder of the first run moved away and linked back in its place.
void linkSpectrumFolder(const RunFolder& f) {
  f.copyExample("dnaTwoDemes");
  ASSERT_EQ(f.run({"-i", "dnaTwoDemes.par", "-n", "2", "-s", "0", "-d", "-b", "2", "-j", "-x",
                   "-q", "-r", "1"})
                .status,
            0);
  fs::create_directories(f.path() / "archive");
  fs::rename(f.path() / "dnaTwoDemes/dnaTwoDemes_6", f.path() / "archive/run6");
  fs::create_symlink("../archive/run6", f.path() / "dnaTwoDemes/dnaTwoDemes_6");
}

// A spectrum of the first run moved away and linked back in its place.
void linkSpectrumFile(const RunFolder& f) {
  f.copyExample("dnaTwoDemes");
  ASSERT_EQ(f.run({"-i", "dnaTwoDemes.par", "-n", "2", "-s", "0", "-d", "-x", "-q", "-r", "1"})
                .status,
            0);
  fs::create_directories(f.path() / "archive");
  fs::rename(f.path() / "dnaTwoDemes/dnaTwoDemes_DAFpop0.obs",
             f.path() / "archive/dnaTwoDemes_DAFpop0.obs");
  fs::create_symlink("../archive/dnaTwoDemes_DAFpop0.obs",
                     f.path() / "dnaTwoDemes/dnaTwoDemes_DAFpop0.obs");
}

void firstTwoDemesRun(const RunFolder& f, const Args& extra = {}) {
  f.copyExample("twoDemes");
  Args args = kTwoDemes;
  args.insert(args.end(), extra.begin(), extra.end());
  ASSERT_EQ(f.run(args).status, 0);
}

// A listed output replaced under its name by a file of the user's.
void replaceTable(const RunFolder& f) {
  firstTwoDemesRun(f);
  f.write("mine.txt", "the user's table\n");
  fs::rename(f.path() / "mine.txt", f.path() / "twoDemes/twoDemes.lhoods");
}

void editTable(const RunFolder& f) {
  firstTwoDemesRun(f);
  std::ofstream(f.path() / "twoDemes/twoDemes.lhoods", std::ios::app) << "my note\n";
}

void protectSpectrum(const RunFolder& f) {
  firstTwoDemesRun(f, {"-m"});
  fs::permissions(f.path() / "twoDemes/twoDemes_jointMAFpop1_0.txt", fs::perms::owner_write |
                      fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

// Results of an estimation, then a run of the same template with a definition file.
void estimate(const RunFolder& f) {
  f.copyExample("splitTemplate");
  ASSERT_EQ(f.run({"-t", "split.tpl", "-e", "split.est", "-n", "300", "-N", "300", "-l", "1",
                   "-L", "1", "-d", "-M", "0.01", "-q", "-r", "1"})
                .status,
            0);
}

// An output's name that no run listed: the user's own file.
void userFileInTheFolder(const RunFolder& f) {
  f.copyExample("twoDemes");
  f.write("twoDemes/twoDemes.lhoods", "the user's table\n");
}

// The list of the first run lost: nothing can be proven.
void dropTheList(const RunFolder& f) {
  firstTwoDemesRun(f);
  fs::remove(f.path() / "twoDemes/written_by_brimvane.txt");
}

struct SafetyCase {
  const char* name;
  std::function<void(const RunFolder&)> prepare;
  Args second;         // the second run
  int status;          // of the second run
  std::string said;    // on the standard output or error stream
  std::vector<std::string> kept;  // files that keep the bytes they had before it
};

class RemovalCases : public testing::TestWithParam<SafetyCase> {};

TEST_P(RemovalCases, KeepEveryFileTheRunCannotProveItWrote) {
  const SafetyCase& c = GetParam();
  RunFolder f("safety");
  c.prepare(f);
  if (testing::Test::HasFatalFailure()) return;
  std::map<std::string, std::string> before;
  for (const std::string& name : c.kept) {
    ASSERT_TRUE(f.exists(name)) << name;
    before[name] = f.read(name);
  }
  const RunOutput r = f.run(c.second);
  EXPECT_EQ(r.status, c.status) << r.out << r.err;
  EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
  if (c.status != 0) {  // every refusal is decided before the first removal
    EXPECT_EQ(r.out.find("\nRemoved "), std::string::npos) << r.out;
  }
  for (const auto& [name, text] : before) {
    EXPECT_TRUE(f.exists(name)) << name;
    if (f.exists(name)) {
      EXPECT_EQ(f.read(name), text) << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemovalCases,
    testing::Values(
        SafetyCase{"InputsReadThroughLinks", linkSimulatedSpectra,
                   {"-i", "freq/snp.par", "-n", "1000", "-d", "-q", "-r", "3"}, 0,
                   "3 read by this run",
                   {"snp/snp_DAFpop0.obs", "snp/snp_DAFpop1.obs", "snp/snp_jointDAFpop1_0.obs"}},
        SafetyCase{"LinkedSpectrumFolder", linkSpectrumFolder,
                   {"-i", "dnaTwoDemes.par", "-n", "1", "-s", "0", "-d", "-j", "-x", "-q", "-r",
                    "2"},
                   0, "4 symbolic links or in a linked folder",
                   {"archive/run6/dnaTwoDemes_DAFpop0.obs", "archive/run6/dnaTwoDemes_DAFpop1.obs",
                    "archive/run6/dnaTwoDemes_jointDAFpop1_0.obs"}},
        // A linked folder or file of spectra the run would write again.
        SafetyCase{"LinkedSpectrumFolderWrittenAgain", linkSpectrumFolder,
                   {"-i", "dnaTwoDemes.par", "-n", "2", "-s", "0", "-d", "-b", "2", "-j", "-x",
                    "-q", "-r", "2"},
                   1, "\"dnaTwoDemes/dnaTwoDemes_6/dnaTwoDemes_DAFpop0.obs\": it is a symbolic link",
                   {"archive/run6/dnaTwoDemes_DAFpop0.obs", "dnaTwoDemes/dnaTwoDemes_1/dnaTwoDemes_DAFpop0.obs",
                    "seed.txt"}},
        SafetyCase{"LinkedSpectrumWrittenAgain", linkSpectrumFile,
                   {"-i", "dnaTwoDemes.par", "-n", "2", "-s", "0", "-d", "-x", "-q", "-r", "2"}, 1,
                   "\"dnaTwoDemes/dnaTwoDemes_DAFpop0.obs\": it is a symbolic link",
                   {"archive/dnaTwoDemes_DAFpop0.obs", "dnaTwoDemes/dnaTwoDemes_DAFpop1.obs",
                    "seed.txt"}},
        // The table is kept, and the run does not write over it either.
        // Changed files make the run refuse before it removes anything.
        SafetyCase{"ReplacedFile", replaceTable, kTwoDemes, 1,
                   "\"twoDemes/twoDemes.lhoods\": it was changed or replaced",
                   {"twoDemes/twoDemes.lhoods", "twoDemes/twoDemes_1.simparam", "seed.txt"}},
        SafetyCase{"EditedFile", editTable, kTwoDemes, 1,
                   "\"twoDemes/twoDemes.lhoods\": it was changed or replaced",
                   {"twoDemes/twoDemes.lhoods", "twoDemes/twoDemes_jointDAFpop1_0.txt"}},
        SafetyCase{"WriteProtectedFile", protectSpectrum,
                   {"-i", "twoDemes.par", "-n", "1000", "-d", "-m", "-q", "-r", "2"}, 1,
                   "\"twoDemes/twoDemes_jointMAFpop1_0.txt\": it is write-protected",
                   {"twoDemes/twoDemes_jointMAFpop1_0.txt", "twoDemes/twoDemes_1.simparam",
                    "seed.txt"}},
        SafetyCase{"WriteProtectedFileNotWrittenAgain", protectSpectrum, kTwoDemes, 0,
                   "1 write-protected", {"twoDemes/twoDemes_jointMAFpop1_0.txt"}},
        SafetyCase{"AnotherRoutesResults", estimate,
                   {"-t", "split.tpl", "-f", "split.def", "-n", "100", "-d", "-q", "-r", "1"}, 1,
                   "\"split/split_jointDAFpop1_0.txt\": it is a result of an estimation",
                   {"split/split.bestlhoods", "split/split.brent_lhoods", "split/split_maxL.par",
                    "split/split_jointDAFpop1_0.txt", "split/split_1.simparam", "seed.txt"}},
        SafetyCase{"UnlistedFileOfTheUser", userFileInTheFolder, kTwoDemes, 1,
                   "\"twoDemes/twoDemes.lhoods\": no run of this model made it",
                   {"twoDemes/twoDemes.lhoods"}},
        SafetyCase{"LostList", dropTheList, kTwoDemes, 1, "no run of this model made it",
                   {"twoDemes/twoDemes.lhoods", "twoDemes/twoDemes_1.simparam"}}),
    [](const testing::TestParamInfo<SafetyCase>& info) { return std::string(info.param.name); });

// A run of 20000 data sets of the dnaTwoDemes example, once it has written
// three of them: its process id.
int startLongRun(const RunFolder& f) {
  f.copyExample("dnaTwoDemes");
  const int pid = f.start({"-i", "dnaTwoDemes.par", "-n", "20000", "-q", "-r", "1"}, 60);
  for (int i = 0; i < 2000 && !f.exists("dnaTwoDemes/dnaTwoDemes_1_3.qdp"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return pid;
}

// The file an estimation of the same model leaves is its to replace.
TEST(RemovalCases, AnEstimationRemovesTheResultsOfAnEarlierOne) {
  RunFolder f("estimations");
  estimate(f);
  const RunOutput r = f.run({"-t", "split.tpl", "-e", "split.est", "-n", "300", "-N", "300", "-l",
                             "1", "-L", "1", "-d", "-M", "0.01", "-q", "-r", "2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nRemoved "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\nKept "), std::string::npos) << r.out;
}

// A run killed outright listed every file as it made it, those it was still
// writing by device and inode: the next run removes them all and writes its own.
TEST(RemovalCases, FilesOfARunKilledOutrightAreTheNextRunsToRemove) {
  RunFolder f("killed");
  const int pid = startLongRun(f);
  kill(pid, SIGKILL);
  f.finish(pid);
  const RunOutput r = f.run({"-i", "dnaTwoDemes.par", "-n", "2", "-x", "-q", "-r", "2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nRemoved "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\nKept "), std::string::npos) << r.out;
  EXPECT_FALSE(f.exists("dnaTwoDemes/dnaTwoDemes_1_3.qdp"));
  EXPECT_TRUE(f.exists("dnaTwoDemes/dnaTwoDemes_1.simparam"));
}

// One run per output folder: a second run of the model while the first one
// writes stops at once, removing and writing nothing; once the first ends,
// however it ends, the folder is free again.
TEST(OutputFolderLock, ASecondRunOfTheModelRefusesWhileTheFirstWrites) {
  RunFolder f("lock");
  const int pid = startLongRun(f);
  ASSERT_TRUE(f.exists("dnaTwoDemes/dnaTwoDemes_1_3.qdp"));
  const std::string seed = f.read("seed.txt");
  const RunOutput second = f.run({"-i", "dnaTwoDemes.par", "-n", "3", "-q", "-r", "2"});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("Another run is writing into the output folder \"dnaTwoDemes\""),
            std::string::npos)
      << second.err;
  EXPECT_EQ(f.read("seed.txt"), seed);
  EXPECT_TRUE(f.exists("dnaTwoDemes/dnaTwoDemes_1_3.qdp"));
  kill(pid, SIGKILL);  // no stale lock afterwards
  f.finish(pid);
  const RunOutput third = f.run({"-i", "dnaTwoDemes.par", "-n", "1", "-x", "-q", "-r", "2"});
  EXPECT_EQ(third.err.find("Another run"), std::string::npos) << third.err;
}

}  // namespace

namespace {

struct InputNameCase {
  const char* example;
  Args args;
  const char* input;  // the file -o names
};

// -o naming a file the run reads is refused before anything is written.
TEST(RemovalCases, ALikelihoodTableNamingAnInputIsRefused) {
  const InputNameCase cases[] = {
      {"twoDemes", {"-i", "twoDemes.par"}, "twoDemes_jointDAFpop1_0.obs"},
      {"twoDemes", {"-i", "twoDemes.par"}, "twoDemes.par"},
      {"twoDemes", {"-i", "twoDemes.par"}, "linked.txt"},  // a link to the model
      {"splitTemplate", {"-t", "split.tpl", "-f", "split.def"}, "split.tpl"},
      {"splitTemplate", {"-t", "split.tpl", "-f", "split.def"}, "split.def"},
  };
  for (const InputNameCase& c : cases) {
    RunFolder f("input_names");
    f.copyExample(c.example);
    fs::create_symlink(c.args[1], f.path() / "linked.txt");
    const std::map<std::string, std::string> before = f.files();
    Args args = c.args;
    args.insert(args.end(), {"-n", "100", "-d", "-q", "-r", "1", "-o", c.input});
    const RunOutput r = f.run(args);
    EXPECT_EQ(r.status, 1) << c.input;
    EXPECT_NE(r.err.find(std::string("The likelihood table \"") + c.input +
                         "\" (-o) would replace an input file of the run"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(f.files(), before) << c.input;
  }
}

}  // namespace

namespace {

struct DuringRunCase {
  const char* label;
  std::function<void(const fs::path& file)> change;
};

// A project file the run has closed, changed by the user while the run goes
// on, is the user's: the next run keeps it and stops before removing anything.
TEST(RemovalCases, AFileChangedDuringTheRunIsKeptByTheNextRun) {
  const DuringRunCase cases[] = {
      {"appended to", [](const fs::path& p) { std::ofstream(p, std::ios::app) << "note\n"; }},
      {"replaced", [](const fs::path& p) {
         std::ofstream(p.string() + ".mine") << "mine\n";
         fs::rename(p.string() + ".mine", p);
       }}};
  for (const DuringRunCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("changed_during_run");
    const int pid = startLongRun(f);
    const fs::path file = f.path() / "dnaTwoDemes/dnaTwoDemes_1_1.qdp";
    c.change(file);
    const std::string bytes = f.read("dnaTwoDemes/dnaTwoDemes_1_1.qdp");
    kill(pid, SIGTERM);
    f.finish(pid);
    const RunOutput r = f.run({"-i", "dnaTwoDemes.par", "-n", "20000", "-q", "-r", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\"dnaTwoDemes/dnaTwoDemes_1_1.qdp\": it was changed or replaced"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(f.read("dnaTwoDemes/dnaTwoDemes_1_1.qdp"), bytes);
    EXPECT_TRUE(f.exists("dnaTwoDemes/dnaTwoDemes_1_3.qdp"));  // nothing removed
  }
}

// Two runs of one template at once, from two working folders, with
// definition files of different values: every row each writes is its own.
TEST(TemplateRuns, TwoRunsOfOneTemplateNeverReadEachOthersModel) {
  RunFolder f("one_template");
  fs::create_directories(f.path() / "shared");
  fs::copy_file(fs::path(EXAMPLES_DIR) / "splitTemplate/split.tpl", f.path() / "shared/split.tpl");
  std::vector<int> pids;
  for (const char* who : {"a", "b"}) {
    std::string rows = "NPOP1\tTSPLIT\n";
    for (int k = 0; k < 300; ++k)
      rows += std::to_string(who[0] == 'a' ? 1000 + k : 5000 + k) + "\t700\n";
    f.write(std::string(who) + "/split.def", rows);
    fs::copy_file(fs::path(EXAMPLES_DIR) / "splitTemplate/split_jointDAFpop1_0.obs",
                  f.path() / who / "split_jointDAFpop1_0.obs");
  }
  for (const char* who : {"a", "b"}) {
    const std::string dir = (f.path() / who).string();
    const std::string command = "cd '" + dir + "' && '" + BRIMVANE_EXE +
                                "' -t ../shared/split.tpl -f split.def -n 10 -B 1 -d -q -r 1 "
                                "> out 2> err; echo $? > status";
    const pid_t pid = fork();
    if (pid == 0) _exit(std::system(command.c_str()) == 0 ? 0 : 1);
    pids.push_back(pid);
  }
  for (const int pid : pids) waitpid(pid, nullptr, 0);
  EXPECT_FALSE(f.exists("shared/split.par"));
  for (const char* who : {"a", "b"}) {
    SCOPED_TRACE(who);
    const std::string dir = std::string(who) + "/";
    ASSERT_EQ(f.read(dir + "status"), "0\n") << f.read(dir + "err");
    const std::vector<std::string> rows = linesOf(f.read(dir + "split/split.lhoods"));
    ASSERT_EQ(rows.size(), 301u);
    for (int k = 0; k < 300; ++k) {
      const std::string size = std::to_string(who[0] == 'a' ? 1000 + k : 5000 + k);
      EXPECT_EQ(rows[k + 1].rfind(size + "\t700\t", 0), 0u) << rows[k + 1];
      EXPECT_NE(f.read(dir + "split/split_" + std::to_string(k + 1) + ".simparam")
                    .find("Deme 1\t" + size + "\n"),
                std::string::npos)
          << k;
    }
  }
}

struct TableNameCase {
  const char* label;
  const char* table;  // -o
  const char* said;
};

// -o naming the list, an output of the run or a file in the output folder of
// another model is refused before anything is written.
TEST(RemovalCases, ALikelihoodTableNamingAnOutputIsRefused) {
  const TableNameCase cases[] = {
      {"the list", "twoDemes/written_by_brimvane.txt", "would replace the list of outputs"},
      {"a model echo", "twoDemes/twoDemes_1.simparam", "would replace an output of the run"},
      {"an expected spectrum", "twoDemes/twoDemes_jointDAFpop1_0.txt",
       "would replace an output of the run"},
      {"the seed file", "seed.txt", "would replace an output of the run"},
      {"another model's folder", "other/other.lhoods", "lies in the output folder of another model"},
  };
  for (const TableNameCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("table_names");
    firstTwoDemesRun(f);
    f.write("other/written_by_brimvane.txt", "# a list of another model's\n");
    const std::map<std::string, std::string> before = f.files();
    Args args = kTwoDemes;
    args.insert(args.end(), {"-o", c.table});
    const RunOutput r = f.run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(f.files(), before);
  }
}

struct BesideCase {
  const char* label;
  const char* example;
  Args args;
  std::function<void(const RunFolder&)> prepare;
  const char* kept;  // keeps its bytes
  int status;
};

// Files beside the output folder that no run made: a model of the user's
// named like the template, the user's "MRCAs.txt", a seed file that is a
// link. The run does not write over them.
TEST(RemovalCases, FilesOfTheUsersBesideTheOutputFolderAreKept) {
  const Args definition = {"-t", "split.tpl", "-f", "split.def", "-n", "100", "-d", "-q", "-r", "1"};
  const BesideCase cases[] = {
      {"model named like the template", "splitTemplate", definition,
       [](const RunFolder& f) { f.write("split.par", "the user's model\n"); }, "split.par", 0},
      {"MRCAs.txt", "twoDemes", kTwoDemes,
       [](const RunFolder& f) { f.write("MRCAs.txt", "the user's\n"); }, "MRCAs.txt", 0},
      {"seed file as a symbolic link", "twoDemes", kTwoDemes,
       [](const RunFolder& f) {
         f.write("mine.txt", "Random generator seed :7\n");
         fs::create_symlink("mine.txt", f.path() / "seed.txt");
       },
       "mine.txt", 1},
      {"seed file as a hard link", "twoDemes", kTwoDemes,
       [](const RunFolder& f) {
         f.write("mine.txt", "Random generator seed :7\n");
         fs::create_hard_link(f.path() / "mine.txt", f.path() / "seed.txt");
       },
       "mine.txt", 1},
      {"seed file of the user's", "twoDemes", kTwoDemes,
       [](const RunFolder& f) { f.write("seed.txt", "my notes on seeds\n"); }, "seed.txt", 1},
  };
  for (const BesideCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("beside");
    f.copyExample(c.example);
    c.prepare(f);
    const std::string bytes = f.read(c.kept);
    const RunOutput r = f.run(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(f.read(c.kept), bytes);
    if (c.status != 0) {
      EXPECT_NE(r.err.find("/seed.txt\": "), std::string::npos) << r.err;
    }
  }
}

// The program as a user whom permissions stop: "nobody" when the tests run as
// root, to whom the folder is given. Empty, with the reason in why, when
// that user cannot reach the folder or the program (a folder on the way
// closed to others, as a TMPDIR of mode 700 is).
std::string unprivileged(const RunFolder& f, std::string& why) {
  if (getuid() != 0) return " ";
  const std::string as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  const std::string folder = f.path().string();
  if (std::system(("chown -R 65534:65534 '" + folder + "' 2>/dev/null").c_str()) != 0) {
    why = "the folder cannot be given to the user nobody";
    return "";
  }
  const std::string probe = as + "sh -c \"cd '" + folder + "' && test -w . && test -x '" +
                            BRIMVANE_EXE + "'\" 2>/dev/null";
  if (std::system(probe.c_str()) == 0) return as;
  why = "the user nobody cannot reach \"" + folder + "\" or the program \"" + BRIMVANE_EXE +
        "\" (a folder on the way is closed to others, or setpriv is missing)";
  return "";
}

// Runs the program in the folder as that user; the status and the error stream.
RunOutput runAs(const RunFolder& f, const std::string& as, const std::string& args) {
  const std::string err = f.path().string() + ".err";
  const std::string command = "cd '" + f.path().string() + "' && " + as + "'" + BRIMVANE_EXE +
                              "' " + args + " > /dev/null 2> '" + err + "'";
  const int status = std::system(command.c_str());
  RunOutput r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(err);
  r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  fs::remove(err);
  return r;
}

struct UnwritableCase {
  const char* label;
  bool earlierRun;        // a first run wrote its outputs before the folder was protected
  const char* protect;    // the folder made read-only, below the working folder
  const char* extra;      // more arguments of the run
  const char* said;
};

// A working folder (or the folder of -o) the run cannot write: status 1 with
// the reason, found before anything is removed or written: the earlier
// outputs and seed file stay as they were, and no empty output folder is
// left behind.
TEST(RemovalCases, AReadOnlyWorkingFolderIsAnError) {
  const UnwritableCase cases[] = {
      {"no output folder", false, ".", "", "\"twoDemes\": cannot be created: Permission denied"},
      {"output folder there", false, ".", "",
       "/seed.txt\": no file can be made in its folder (Permission denied)"},
      {"after an earlier run", true, ".", "",
       "/seed.txt\": no file can be made in its folder (Permission denied)"},
      {"-o in a read-only folder", true, "tables", " -o tables/t.lhoods",
       "/tables/t.lhoods\": no file can be made in its folder (Permission denied)"},
  };
  for (const UnwritableCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("read_only");
    f.copyExample("twoDemes");
    fs::create_directories(f.path() / "tables");
    if (std::string(c.label) == "output folder there") fs::create_directories(f.path() / "twoDemes");
    std::string why;
    const std::string as = unprivileged(f, why);
    if (as.empty()) GTEST_SKIP() << why;
    const std::string args = "-i twoDemes.par -n 100 -d -q ";
    if (c.earlierRun) {
      ASSERT_EQ(runAs(f, as, args + "-r 1").status, 0);
    }
    const std::map<std::string, std::string> before = f.files();
    const fs::path locked = f.path() / c.protect;
    fs::permissions(locked, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const RunOutput r = runAs(f, as, args + "-r 2" + c.extra);
    fs::permissions(locked, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(f.files(), before);
    EXPECT_EQ(f.exists("twoDemes"), c.earlierRun || std::string(c.label) == "output folder there");
  }
}

}  // namespace

namespace {

// A list of outputs the user write-protected is honoured: the runs of the
// model keep out of the folder, removing and writing nothing.
TEST(RemovalCases, AWriteProtectedListKeepsRunsOut) {
  RunFolder f("protected_list");
  firstTwoDemesRun(f);
  fs::permissions(f.path() / "twoDemes/written_by_brimvane.txt",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::map<std::string, std::string> before = f.files();
  const RunOutput r = f.run(kTwoDemes);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is write-protected"), std::string::npos) << r.err;
  EXPECT_EQ(f.files(), before);
}

}  // namespace

namespace {

// A nearly full disk (a small file system, where the tests may mount one):
// the spectra that could not be written are named and the status is 1.
TEST(RemovalCases, ANearlyFullDiskEndsWithStatusOne) {
  RunFolder f("full_disk");
  const std::string disk = (f.path() / "disk").string();
  fs::create_directories(disk);
  if (std::system(("mount -t tmpfs -o size=80k tmpfs '" + disk + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "no small file system can be mounted here";
  for (const char* name : {"twoDemes.par", "twoDemes_jointDAFpop1_0.obs",
                           "twoDemes_jointMAFpop1_0.obs"})
    fs::copy_file(fs::path(EXAMPLES_DIR) / "twoDemes" / name, fs::path(disk) / name);
  for (int k = 0; std::ofstream(disk + "/fill" + std::to_string(k)) << std::string(4096, 'x');)
    if (++k > 64) break;  // the disk full: pages given back one by one below
  for (int k = 0; k < 5; ++k) fs::remove(disk + "/fill" + std::to_string(k));
  const std::string command = "cd '" + disk + "' && '" + BRIMVANE_EXE +
                              "' -i twoDemes.par -n 1000 -d -m -q -r 1 > /dev/null 2> '" +
                              f.path().string() + "/err'";
  const int status = std::system(command.c_str());
  std::system(("umount '" + disk + "'").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(f.read("err").find("Unable to write"), std::string::npos) << f.read("err");
}

}  // namespace

namespace {

// A run killed outright lists the files it was still writing by device, inode
// and birth time. A file of the user's made under such a name afterwards is
// kept, even when the file system gave it the same inode number.
TEST(RemovalCases, AFileMadeAgainUnderTheNameOfAnOpenOneIsKept) {
  RunFolder f("made_again");
  const int pid = startLongRun(f);
  kill(pid, SIGKILL);
  f.finish(pid);
  const fs::path list = f.path() / "dnaTwoDemes/dnaTwoDemes_1.qdb";  // open until the end
  fs::remove(list);
  f.write("dnaTwoDemes/dnaTwoDemes_1.qdb", "the user's list\n");
  const RunOutput r = f.run({"-i", "dnaTwoDemes.par", "-n", "2", "-q", "-r", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\"dnaTwoDemes/dnaTwoDemes_1.qdb\": it was changed or replaced"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(f.read("dnaTwoDemes/dnaTwoDemes_1.qdb"), "the user's list\n");
}

}  // namespace
