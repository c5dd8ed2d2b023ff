// Outputs of an earlier invocation are removed from the model's output folder
// just before a new one writes its first output, when the earlier one listed
// them; nothing else is, and a refused run removes nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "driver/outputShapes.h"
#include "driver/staleOutputs.h"
#include "runFolder.h"
#include "support/outputFolder.h"
#include "tests/support/scratchFolders.h"

namespace fs = std::filesystem;

namespace {

struct NameCase {
  const char* name;
  bool observed;
};

// The observed spectra of a model, which runs read from their working folder,
// whatever their deme numbers and ascertainment.
TEST(StaleOutputs, NamesOfTheObservedSpectraOfTheModel) {
  const NameCase cases[] = {
      {"g_DAFpop0.obs", true},          {"g_MAFpop12.obs", true},
      {"g_jointDAFpop2_0.obs", true},   {"g_jointMAFpop1_0-asc4.obs", true},
      {"g_DSFS.obs", true},             {"g_MSFS-asc10.obs", true},
      {"g_DAFpooled.obs", true},        {"g_4GT.obs", true},
      {"g_DAFpop0.txt", false},         {"g_DAFpop0_dadi.obsSFS", false},
      {"g_1_1.qdp", false},             {"h_DAFpop0.obs", false},
      {"g2_DAFpop0.obs", false},        {"g_DAFpop0.obs.bak", false},
  };
  for (const NameCase& c : cases) EXPECT_EQ(isObservedSpectrumName(c.name, "g"), c.observed) << c.name;
}

// Two demes, one SNP chromosome: project files, trees and spectra per data set.
const char* kModel =
    "//Number of population samples (demes)\n2\n//Population effective sizes\n1000\n2000\n"
    "//Sample sizes\n6\n4\n//Growth rates\n0\n0\n//Number of migration matrices\n1\n"
    "//Migration matrix 0\n0 0.0005\n0.0005 0\n//historical event\n0 historical event\n"
    "//Number of independent loci\n1 0\n//Per chromosome: Number of linkage blocks\n1\n"
    "//per Block: data type, num loci, rec. rate and mut rate\nSNP 200 0 1e-4 0\n";

TEST(StaleOutputs, SecondInvocationKeepsOnlyItsOwnOutputsAndTheUsersFiles) {
  RunFolder f("stale");
  f.write("g.par", kModel);
  RunOutput r = f.run({"-i", "g.par", "-n", "6", "-b", "1", "-j", "-d", "-T", "-q", "-r", "3"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(f.exists("g/g_1_6.qdp"));
  ASSERT_TRUE(f.exists("g/g_12/g_DAFpop0.obs"));
  EXPECT_EQ(r.out.find("\nRemoved "), std::string::npos);  // nothing to remove the first time
  const std::vector<std::string> kept = {"g/notes.txt", "g/h_1_1.qdp", "g/g_1_6.qdp.bak",
                                         "g/g_3/mine.txt", "g_DAFpop0.obs", "other/g_1_1.qdp"};
  for (const std::string& name : kept) f.write(name, "the user's\n");
  const size_t before = f.files().size();

  r = f.run({"-i", "g.par", "-n", "3", "-d", "-q", "-r", "4"});
  ASSERT_EQ(r.status, 0) << r.err;
  // 6 project files, the batch list, the model echo, the tree file, the table
  // of highest likelihoods, and the 4 spectrum files of each of the 12 folders
  // (the folders go too, but the one holding the user's file).
  const int removed = 6 + 1 + 1 + 1 + 1 + 12 * 4;
  EXPECT_NE(r.out.find("\nRemoved " + std::to_string(removed) +
                       " output files of an earlier run from the output folder \"g\"\n"),
            std::string::npos)
      << r.out;
  for (int i = 4; i <= 6; ++i) EXPECT_FALSE(f.exists("g/g_1_" + std::to_string(i) + ".qdp")) << i;
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(f.exists("g/g_1_" + std::to_string(i) + ".qdp")) << i;
  EXPECT_FALSE(f.exists("g/g_1_true_trees.trees"));
  EXPECT_EQ(f.read("g/g_1.qdb"), "g/g_1_1.qdp\ng/g_1_2.qdp\ng/g_1_3.qdp\n");
  EXPECT_EQ(f.read("g/g_DAFpop0.obs").rfind("3 observations", 0), 0u);
  EXPECT_FALSE(f.exists("g/g_1"));
  EXPECT_FALSE(f.exists("g/g_12"));
  EXPECT_TRUE(f.exists("g/g_3"));
  for (const std::string& name : kept) EXPECT_EQ(f.read(name), "the user's\n") << name;
  EXPECT_LT(f.files().size(), before);
}

// The shipped files of the examples, path below examples/ -> content.
std::map<std::string, std::string> shippedFiles() {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(EXAMPLES_DIR))
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      files[fs::relative(e.path(), EXAMPLES_DIR).string()] =
          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  return files;
}

struct ExampleCase {
  const char* label;
  std::vector<std::string> args;
  bool observedBeside;  // the example's observed spectra also in the folder the program runs in
  int status;
};

// The output folder of a model given with its folder is that folder itself
// when run from examples/: its observed spectra have the names of simulated
// ones, yet no run may remove them, whether the run is refused (no observed
// spectra where it runs) or done, the first time or the next.
TEST(StaleOutputs, ShippedExampleFilesSurviveRunsIntoTheirFolder) {
  const ExampleCase cases[] = {
      {"twoDemesD", {"-i", "twoDemes/twoDemes.par", "-n", "1000", "-d", "-r", "1"}, false, 1},
      {"twoDemesDDone", {"-i", "twoDemes/twoDemes.par", "-n", "1000", "-d", "-r", "1"}, true, 0},
      {"oneDemeD", {"-i", "oneDeme/oneDeme.par", "-n", "1000", "-d", "-r", "1"}, false, 1},
      {"oneDemeDDone", {"-i", "oneDeme/oneDeme.par", "-n", "1000", "-d", "-r", "1"}, true, 0},
      {"oneDeme", {"-i", "oneDeme/oneDeme.par", "-n", "1000", "-r", "1"}, false, 0},
  };
  const std::map<std::string, std::string> shipped = shippedFiles();
  for (const ExampleCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f(std::string("shipped_") + c.label);
    fs::copy(EXAMPLES_DIR, f.path(), fs::copy_options::recursive);
    const std::string model = fs::path(c.args[1]).parent_path().string();
    if (c.observedBeside) f.copyExample(model);
    for (int pass = 1; pass <= 2; ++pass) {
      const RunOutput r = f.run(c.args);
      EXPECT_EQ(r.status, c.status) << pass << r.err;
      for (const auto& [name, text] : shipped) EXPECT_EQ(f.read(name), text) << pass << name;
    }
    // A run that wrote outputs listed them, and the next one replaced them.
    EXPECT_EQ(f.exists(model + "/" + kOutputRecordName), c.status == 0);
  }
}

// Two demes, one SNP chromosome (kModel) with changes that make the next run
// refuse its inputs: a run refused removes nothing and writes nothing, in the
// output folder or beside it, not even an empty model echo or its seed.
struct RefusalCase {
  const char* label;
  std::string from, to;  // model text edit
  std::vector<std::string> args;
  const char* refusal;  // what the error stream says
};

TEST(StaleOutputs, RefusedRunKeepsTheOutputsOfTheLastGoodRun) {
  const RefusalCase cases[] = {
      {"growth rate", "//Growth rates\n0\n", "//Growth rates\nabc\n", {}, "abc"},
      {"odd genotypic sample", "//Sample sizes\n6\n", "//Sample sizes\n5\n", {"-g"},
       "odd sample size"},
      {"frequency data without observed spectra", "SNP 200 0 1e-4 0", "FREQ 1 0 1e-4", {},
       "Unable to read observed SFS"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunFolder f("refused");
    f.write("g.par", kModel);
    RunOutput r = f.run({"-i", "g.par", "-n", "4", "-d", "-T", "-q", "-r", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(f.exists("g/g_1.simparam"));
    std::string model = kModel;
    ASSERT_NE(model.find(c.from), std::string::npos);
    model.replace(model.find(c.from), c.from.size(), c.to);
    f.write("g.par", model);
    const std::map<std::string, std::string> before = f.files();

    // Another seed: "seed.txt" keeps the last good run's.
    std::vector<std::string> args = {"-i", "g.par", "-n", "2", "-d", "-q", "-r", "5"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = f.run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Removed "), std::string::npos) << r.out;
    EXPECT_EQ(f.files(), before);
  }
}

struct ListedCase {
  const char* label;
  std::string entry;  // below the output folder
  // What the user did to the file after the run listed it.
  std::function<void(const std::string& path)> change;
  bool claimed;  // false: the run refuses, removing nothing
  bool removed;
  bool afterClaim = false;  // the change comes between the claim and the removal
};

// A listed file goes when it still has the identity its line gives it, and
// nothing else keeps it (a link, write-protection, the run reading it); a
// file changed since makes the run refuse before anything is removed.
TEST(StaleOutputs, ListedFilesGoOnlyWithTheIdentityTheirLineGives) {
  const auto none = [](const std::string&) {};
  const auto append = [](const std::string& p) { std::ofstream(p, std::ios::app) << "note\n"; };
  const auto protect = [](const std::string& p) { chmod(p.c_str(), 0444); };
  const auto sameLengthEdit = [](const std::string& p) {
    const auto time = fs::last_write_time(p);
    std::fstream(p, std::ios::in | std::ios::out) << "mine";
    fs::last_write_time(p, time);
  };
  const auto replace = [](const std::string& p) {
    fs::remove(p);
    std::ofstream(p) << "text\n";
  };
  const auto link = [](const std::string& p) {
    fs::rename(p, p + ".moved");
    fs::create_symlink(p + ".moved", p);
  };
  const ListedCase cases[] = {
      {"unchanged", "g_1_1.qdp", none, true, true},
      {"in a spectrum folder", "g_2/g_DAFpop0.obs", none, true, true},
      {"appended to", "g_1_1.qdp", append, false, false},
      {"replaced", "g_1_1.qdp", replace, false, false},
      {"write-protected", "g_1_1.qdp", protect, true, false},
      {"a link now", "g_1_1.qdp", link, true, false},
      {"outside the folder", "../g_1_2.qdp", none, true, false},
      {"read by the run", "g_1.par", none, true, false},
      {"write-protected after the claim", "g_1_1.qdp", protect, true, false, true},
      {"edited after the claim, its time set back", "g_1_1.qdp", sameLengthEdit, true, false,
       true},
  };
  for (const ListedCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string work = scratchFolder("stale_list");
    const std::string folder = work + "/g";
    fs::create_directories(folder + "/g_2");
    const std::string path = folder + "/" + c.entry;
    std::ofstream(path) << "text\n";
    TStaleOutputs stale;
    stale.genericName = "g";
    stale.folder = folder;
    stale.workingFolder = work;
    TFileIdentity id;
    ASSERT_TRUE(identityOf(path, id));
    if (c.entry == "g_1.par") stale.inputs = {id};  // a model kept by a run, now the input
    std::ofstream(folder + "/" + kOutputRecordName)
        << headerText("g") << "R\t" << id.text() << "\t" << c.entry << "\n";
    if (!c.afterClaim) c.change(path);
    EXPECT_EQ(claimStaleOutputs(stale), c.claimed);
    if (c.afterClaim) c.change(path);
    if (c.claimed) removeStaleOutputs(stale);
    closeOutputRecord();
    EXPECT_EQ(fs::exists(fs::symlink_status(path)), !c.removed);
    EXPECT_EQ(fs::exists(folder + "/g_2"), c.entry != "g_2/g_DAFpop0.obs");  // left empty: gone
    fs::remove_all(work);
  }
}

// Lines of a list the run cannot use are no reason to remove anything: a list
// of another model, a line of an older version (no identity), a file being
// written when its run was killed is listed by device and inode only, and
// goes; a line with no file is dropped.
TEST(StaleOutputs, ListsOfOtherModelsAndOlderVersions) {
  const std::string work = scratchFolder("stale_lists");
  const std::string folder = work + "/g";
  fs::create_directories(folder);
  for (const char* name : {"g_1_1.qdp", "g_1_2.qdp", "g_1_3.qdp"})
    std::ofstream(folder + "/" + name) << "text\n";
  TStaleOutputs stale;
  stale.genericName = "g";
  stale.folder = folder;
  stale.workingFolder = work;
  TFileIdentity open;
  ASSERT_TRUE(identityOf(folder + "/g_1_2.qdp", open));
  open.closed = false;
  const auto claimWith = [&](const std::string& list) {
    std::ofstream(folder + "/" + kOutputRecordName) << list;
    const bool claimed = claimStaleOutputs(stale);
    if (claimed) removeStaleOutputs(stale);
    closeOutputRecord();
    return claimed;
  };
  EXPECT_FALSE(claimWith(headerText("h") + "R\t" + open.text() + "\tg_1_2.qdp\n"));
  EXPECT_FALSE(claimWith(headerText("g") + "g_1_1.qdp\n"));  // older version
  EXPECT_TRUE(fs::exists(folder + "/g_1_1.qdp"));
  EXPECT_TRUE(claimWith(headerText("g") + "R\t" + open.text() + "\tg_1_2.qdp\nR\t" +
                        open.text() + "\tg_9_9.qdp\nR\t" + open.text() + "\tg_1_3"));
  EXPECT_FALSE(fs::exists(folder + "/g_1_2.qdp"));  // open when its run was killed
  EXPECT_TRUE(fs::exists(folder + "/g_1_3.qdp"));   // an unfinished line names nothing
  std::ifstream in(folder + "/" + kOutputRecordName);
  const std::string list((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(list, headerText("g"));  // nothing of this process, which wrote nothing
}

// The next run of model g in the working folder work: claims g/ and removes
// what its list proves; false when it refuses.
bool claimAndRemove(const std::string& work) {
  TStaleOutputs stale;
  stale.genericName = "g";
  stale.folder = work + "/g";
  stale.workingFolder = work;
  const bool claimed = claimStaleOutputs(stale);
  if (claimed) removeStaleOutputs(stale);
  closeOutputRecord();
  return claimed;
}

// A run killed after it listed a new seed file, before it renamed it over the
// old one, leaves it under its temporary name: the next run removes that one
// file, proven by the list, and nothing else of that shape.
TEST(StaleOutputs, AFileLeftUnrenamedBesideTheFolderGoes) {
  const std::string work = scratchFolder("stale_unrenamed");
  fs::create_directories(work + "/g");
  std::ofstream(work + "/.seed.txt.123.0.new") << "Random generator seed :";
  std::ofstream(work + "/.seed.txt.124.0.new") << "the user's\n";
  TFileIdentity left;
  ASSERT_TRUE(identityOf(work + "/.seed.txt.123.0.new", left));
  left.closed = false;
  std::ofstream(work + "/g/" + kOutputRecordName)
      << headerText("g") << "R\t" << left.text() << "\t" << work << "/seed.txt\n";
  ASSERT_TRUE(claimAndRemove(work));
  EXPECT_FALSE(fs::exists(work + "/.seed.txt.123.0.new"));
  EXPECT_TRUE(fs::exists(work + "/.seed.txt.124.0.new"));
}

struct LeftAsideCase {
  const char* label;
  const char* made;    // the file as the killed run made it (from the working folder)
  const char* left;    // where the kill left it
  bool listedByLeft;   // listed under the name it was left under (else under the made name)
  bool removed;
  bool whole = false;  // listed with its size and times, as a closed file, before the rename
};

// A run killed while it renamed a file beside the folder, or while its
// removal held a listed file aside, left the file under a private name: the
// next run removes it when the list names it with that identity, and keeps
// every other file of that shape.
TEST(StaleOutputs, FilesLeftAsideByAKilledRunGo) {
  const LeftAsideCase cases[] = {
      {"new file not yet named", ".seed.txt.123.0.new", ".seed.txt.123.0.new", true, true},
      {"old file moved aside", "seed.txt", ".seed.txt.123.0.old", true, true},
      {"a file of that shape not listed", ".seed.txt.124.0.new", ".seed.txt.124.0.new", false,
       false},
      {"listed output held aside by the removal", "g/g_1_1.qdp", "g/.g_1_1.qdp.removed", false,
       true},
      {"closed output held aside by the removal", "g/g_1_1.qdp", "g/.g_1_1.qdp.removed", false,
       true, true},
      {"closed old file moved aside, listed by its name", "seed.txt", ".seed.txt.123.0.old",
       false, true, true},
      {"new file listed by its name before the rename", ".seed.txt.123.0.new",
       ".seed.txt.123.0.new", false, true, true},
  };
  for (const LeftAsideCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string work = scratchFolder("left_aside");
    fs::create_directories(work + "/g");
    std::ofstream(work + "/" + c.made) << "text\n";
    TFileIdentity id;
    ASSERT_TRUE(identityOf(work + "/" + c.made, id));
    fs::rename(work + "/" + c.made, work + "/" + c.left);  // its status time changes
    const std::string made(c.made);
    const std::string listed = made.rfind("g/", 0) == 0 ? made.substr(2)
                               : c.listedByLeft         ? work + "/" + c.left
                               : c.whole                ? work + "/seed.txt"
                                                        : work + "/other.txt";
    std::ofstream(work + "/g/" + kOutputRecordName)
        << headerText("g") << "R\t" << (c.whole ? id : id.opened()).text() << "\t" << listed
        << "\n";
    ASSERT_TRUE(claimAndRemove(work));
    EXPECT_EQ(fs::exists(work + "/" + c.left), !c.removed);
    fs::remove_all(work);
  }
}

struct InputCase {
  const char* path;  // below the working folder
  bool input;
};

// Inputs by identity: the files the invocation names and the observed spectra
// of the model where runs read them, whatever name or link reaches them.
TEST(StaleOutputs, FilesThatRunsReadAreInputs) {
  const std::string work = scratchFolder("stale_inputs");
  fs::create_directories(work + "/g");
  fs::create_directories(work + "/models");
  for (const char* name : {"models/g.par", "g_DAFpop0.obs", "g_jointMAFpop1_0.obs", "g_DSFS.obs",
                           "g_MAFpooled.obs", "g_4GT.obs", "g/g_DAFpop0.obs", "g/g_1_1.qdp",
                           "h_DAFpop0.obs", "copy.par"})
    std::ofstream(work + "/" + name) << "text\n";
  fs::create_symlink(work + "/models/g.par", work + "/g/linked.par");
  fs::create_symlink("../g_DAFpop0.obs", work + "/g/linked_DAFpop0.obs");
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(work.c_str()), 0);
  RunOptions run;
  run.modelFileName = "models/g.par";
  const TStaleOutputs stale = prepareStaleOutputs(run, "models/g.par");
  ASSERT_EQ(chdir(here), 0);
  const InputCase cases[] = {
      {"models/g.par", true},  // the model of the invocation
      {"g/linked.par", true},  // ... through a link
      {"g_DAFpop0.obs", true},  // observed spectra, where runs read them
      {"g/linked_DAFpop0.obs", true},
      {"g_jointMAFpop1_0.obs", true},
      {"g_DSFS.obs", true},
      {"g_MAFpooled.obs", true},
      {"g_4GT.obs", true},
      {"copy.par", false},         // another file of the same text
      {"g/g_DAFpop0.obs", false},  // simulated spectra in the output folder
      {"g/g_1_1.qdp", false},
      {"h_DAFpop0.obs", false},  // another model's
  };
  for (const InputCase& c : cases)
    EXPECT_EQ(namesAnInput(work + "/" + c.path, stale), c.input) << c.path;
  EXPECT_TRUE(namesAnInput(work + "/models/g.par", stale));
  EXPECT_FALSE(namesAnInput(work + "/g/g.lhoods", stale));
}

}  // namespace
