// The output gate where the file system or the user works against it: a list
// that cannot grow (a full file system, a size limit), a named pipe or a
// device under an output name, a file system without unnamed files (a run
// killed in each instant of a file's making), one without birth times, an
// edit with its modification time set back, a note added to a table being
// written. Each is a real process; the user's bytes are kept in every case.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runFolder.h"
#include "support/fileIdentity.h"
#include "support/outputList.h"

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;

// A file system mounted on a folder for the life of the object: a tmpfs of
// the given size ("tmpfs:<size>") or an ext2 image without birth times
// ("ext2:<megabytes>").
class MountedFolder {
 public:
  MountedFolder(const fs::path& at, const std::string& how) : at_(at) {
    const size_t colon = how.find(':');
    const std::string kind = how.substr(0, colon), size = how.substr(colon + 1);
    if (kind == "tmpfs") {
      mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    } else {
      image_ = at.string() + ".img";
      const std::string make = "truncate -s " + size + "M '" + image_ +
                               "' && mke2fs -q -F -t ext2 -I 128 '" + image_ +
                               "' >/dev/null 2>&1 && mount -o loop '" + image_ + "' '" +
                               at.string() + "' >/dev/null 2>&1";
      mounted_ = std::system(make.c_str()) == 0;
    }
  }
  ~MountedFolder() {
    if (mounted_ && umount2(at_.c_str(), 0) != 0) umount2(at_.c_str(), MNT_DETACH);
    if (!image_.empty()) fs::remove(image_);
  }
  MountedFolder(const MountedFolder&) = delete;
  MountedFolder& operator=(const MountedFolder&) = delete;
  bool mounted() const { return mounted_; }

 private:
  fs::path at_;
  std::string image_;
  bool mounted_ = false;
};

// Sets environment variables for the programs started meanwhile.
class Environment {
 public:
  explicit Environment(const std::map<std::string, std::string>& vars) {
    for (const auto& [name, value] : vars) {
      setenv(name.c_str(), value.c_str(), 1);
      names_.push_back(name);
    }
  }
  ~Environment() {
    for (const std::string& name : names_) unsetenv(name.c_str());
  }

 private:
  std::vector<std::string> names_;
};

// The outputs of a run, without the user's files.
std::map<std::string, std::string> comparable(const RunFolder& f) {
  std::map<std::string, std::string> files = f.outputs();
  for (auto it = files.begin(); it != files.end();)
    it = fs::path(it->first).filename() == "notes.txt" ? files.erase(it) : ++it;
  return files;
}

std::map<std::string, std::string> referenceOutputs(const std::string& example, const Args& args) {
  RunFolder ref("gate_reference");
  ref.copyExample(example);
  const RunOutput r = ref.run(args, 120);
  EXPECT_EQ(r.status, 0) << r.err;
  return comparable(ref);
}

// Names below the output folder that only a killed run leaves: private names
// (".<name>.<pid>.<k>.new") and temporary folders.
std::vector<std::string> leftovers(const RunFolder& f, const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(f.path() / folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name[0] == '.' || name.rfind("garbage", 0) == 0) found.push_back(name);
  }
  return found;
}

// Every file in the output folder has its line in the list (but the user's
// notes and the list): no file has its name there without it.
void expectEveryFileListed(const RunFolder& f, const std::string& folder) {
  std::vector<TRecordEntry> entries;
  ASSERT_TRUE(parseOutputRecord(f.read(folder + "/" + kOutputRecordName), folder, entries));
  std::set<std::string> listed;
  for (const TRecordEntry& e : entries) listed.insert(e.path);
  for (const auto& e : fs::recursive_directory_iterator(f.path() / folder)) {
    const std::string rel = fs::relative(e.path(), f.path() / folder).string();
    if (e.is_regular_file() && rel != "notes.txt" && rel != kOutputRecordName) {
      EXPECT_TRUE(listed.count(rel) > 0) << rel << " is not listed";
    }
  }
}

void writeUsersNotes(const RunFolder& f, const std::string& folder) {
  f.write("notes.txt", "the user's\n");
  f.write(folder + "/notes.txt", "the user's, in the output folder\n");
}

void expectUsersNotes(const RunFolder& f, const std::string& folder) {
  EXPECT_EQ(f.read("notes.txt"), "the user's\n");
  EXPECT_EQ(f.read(folder + "/notes.txt"), "the user's, in the output folder\n");
}

// Waits until the file exists with at least that many lines (10 s at most).
bool waitForLines(const RunFolder& f, const std::string& name, size_t lines) {
  for (int i = 0; i < 2000; ++i) {
    if (f.exists(name) && linesOf(f.read(name)).size() >= lines) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

const Args kFrequencyRuns = {"-i", "oneDeme.par", "-n", "1000", "-d", "-q", "-R", "30", "-r", "3"};

// A file system filled to a level: what the run cannot list it does not
// make, it ends with status 1 (or 0 with every output), and once space is
// freed the same command ends 0 with every output.
class FullFileSystem : public testing::TestWithParam<int> {};

TEST_P(FullFileSystem, WhatCannotBeListedIsNotMadeAndTheSameCommandEndsWellOnceThereIsRoom) {
  const auto reference = referenceOutputs("oneDeme", kFrequencyRuns);
  RunFolder f("full_disk");
  MountedFolder disk(f.path(), "tmpfs:512k");
  if (!disk.mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (root needed)";
  f.copyExample("oneDeme");
  writeUsersNotes(f, "oneDeme");
  struct statvfs space;
  ASSERT_EQ(statvfs(f.path().c_str(), &space), 0);
  const long long free = static_cast<long long>(space.f_bavail) * space.f_frsize;
  const long long room = 1024LL * GetParam();
  if (free > room) f.write("filler", std::string(static_cast<size_t>(free - room), 'x'));
  const RunOutput full = f.run(kFrequencyRuns, 120);
  SCOPED_TRACE(full.err);
  if (full.status == 0)
    EXPECT_EQ(comparable(f).size(), reference.size() + 1);  // and the filler
  else
    EXPECT_EQ(full.status, 1);
  if (f.exists("oneDeme/" + std::string(kOutputRecordName))) expectEveryFileListed(f, "oneDeme");
  fs::remove(f.path() / "filler");
  const RunOutput again = f.run(kFrequencyRuns, 120);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(comparable(f), reference);
  EXPECT_TRUE(leftovers(f, "oneDeme").empty());
  expectUsersNotes(f, "oneDeme");
}

INSTANTIATE_TEST_SUITE_P(KilobytesFree, FullFileSystem, testing::Values(0, 4, 12, 40, 100, 200),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "k";
                         });

// Starts the program as (trap '' XFSZ; ulimit -f ...; brimvane ...) would:
// no file of it grows beyond bytes, and a write that would fails.
int startUnderSizeLimit(const RunFolder& f, const Args& args, long long bytes) {
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  const struct rlimit limit = {static_cast<rlim_t>(bytes), old.rlim_max};
  signal(SIGXFSZ, SIG_IGN);  // inherited by the program
  setrlimit(RLIMIT_FSIZE, &limit);
  const int pid = f.start(args, 120);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  return pid;
}

// A size limit (ulimit -f) that the list reaches first.
TEST(ListLineFailure, ASizeLimitEndsTheRunWithStatusOneAndTheSameCommandThenEndsWell) {
  RunFolder f("size_limit");
  f.copyExample("oneDeme");
  writeUsersNotes(f, "oneDeme");
  const Args a = {"-i", "oneDeme.par", "-n", "1000", "-d", "-q", "-R", "300"};
  Args first = a, limited = a;
  first.insert(first.end(), {"-r", "9"});
  limited.insert(limited.end(), {"-r", "3"});
  ASSERT_EQ(f.run(first, 120).status, 0);
  const int pid = startUnderSizeLimit(f, limited, 40 * 1024);
  const RunOutput r = f.finish(pid);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Unable to write the list of output files"), std::string::npos) << r.err;
  expectEveryFileListed(f, "oneDeme");
  const RunOutput again = f.run(limited, 120);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(comparable(f), referenceOutputs("oneDeme", limited));
  expectUsersNotes(f, "oneDeme");
}

// A size limit at each line a file beside the folder adds to the list (the
// seed file and an -o table: made under a private name, listed before and
// after they get their name), in steps shorter than those lines: what has
// its name there is listed by what it holds, no private name is left, and
// the same command without the limit ends well.
class BesideLineFailure : public testing::TestWithParam<int> {};

TEST_P(BesideLineFailure, LeavesNoUnlistedFileBesideTheFolder) {
  const Args run = {"-i", "oneDeme.par", "-n", "100", "-d", "-q", "-r", "3", "-o", "t.lhoods"};
  const auto reference = referenceOutputs("oneDeme", run);
  RunFolder f("beside_limit");
  f.copyExample("oneDeme");
  writeUsersNotes(f, "oneDeme");
  const int pid = startUnderSizeLimit(f, run, GetParam());
  int waitStatus = 0;
  const RunOutput limited = f.finish(pid, &waitStatus);
  SCOPED_TRACE(limited.err);
  ASSERT_TRUE(WIFEXITED(waitStatus));
  EXPECT_LE(WEXITSTATUS(waitStatus), 1);
  for (const auto& e : fs::directory_iterator(f.path())) {
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
  }
  std::vector<TRecordEntry> entries;
  const std::string list = "oneDeme/" + std::string(kOutputRecordName);
  if (f.exists(list)) {
    ASSERT_TRUE(parseOutputRecord(f.read(list), "oneDeme", entries));
  }
  for (const char* beside : {"t.lhoods", "seed.txt"}) {
    TFileIdentity now;
    if (!identityOf((f.path() / beside).string(), now)) continue;
    bool listed = false;
    for (const TRecordEntry& e : entries)
      listed = listed || (e.path == (f.path() / beside).string() && e.identity.describesContent(now));
    EXPECT_TRUE(listed) << beside << " is not listed";
  }
  const RunOutput again = f.run(run, 120);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(comparable(f), reference);
  expectUsersNotes(f, "oneDeme");
}

INSTANTIATE_TEST_SUITE_P(Bytes, BesideLineFailure, testing::Range(100, 1500, 40));

// A special file under an output name is refused by name at once, and left
// as it is; the signals still end the run.
struct SpecialCase {
  const char* name;
  int (*make)(const char* path);
  const char* kind;
};

int makeFifo(const char* path) { return mkfifo(path, 0644); }
int makeDevice(const char* path) { return mknod(path, S_IFCHR | 0666, makedev(1, 3)); }

class SpecialFile : public testing::TestWithParam<SpecialCase> {};

TEST_P(SpecialFile, IsRefusedWithoutWaitingAndASignalStillEndsTheRun) {
  const SpecialCase& c = GetParam();
  RunFolder f(std::string("special_") + c.name);
  f.copyExample("oneDeme");
  fs::create_directories(f.path() / "oneDeme");
  const std::string special = (f.path() / "oneDeme/oneDeme_1.simparam").string();
  if (c.make(special.c_str()) != 0) GTEST_SKIP() << "cannot make " << c.kind << " here";
  const RunOutput r = f.run({"-i", "oneDeme.par", "-n", "20000", "-d", "-q"}, 20);
  EXPECT_EQ(r.status, 1) << r.err;  // -1: still running after 20 s
  EXPECT_NE(r.err.find("oneDeme_1.simparam\" is kept: it is " + std::string(c.kind)),
            std::string::npos)
      << r.err;
  struct stat info;
  ASSERT_EQ(lstat(special.c_str(), &info), 0);
  EXPECT_FALSE(S_ISREG(info.st_mode));

  const int pid = f.start({"-i", "oneDeme.par", "-n", "50000000", "-d", "-q"}, 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(pid, SIGTERM);
  int waitStatus = 0;
  const RunOutput ended = f.finish(pid, &waitStatus);
  ASSERT_TRUE(WIFSIGNALED(waitStatus)) << ended.err;
  EXPECT_EQ(WTERMSIG(waitStatus), SIGTERM);  // not the time limit's SIGALRM
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialFile,
                         testing::Values(SpecialCase{"Fifo", makeFifo, "a named pipe (FIFO)"},
                                         SpecialCase{"Device", makeDevice, "a device"}),
                         [](const testing::TestParamInfo<SpecialCase>& info) {
                           return std::string(info.param.name);
                         });

// Without unnamed files (O_TMPFILE fails) a file is made under a private
// name, listed, then given its name; a run killed in each instant leaves
// what the next run of the same command removes.
struct PrivateCase {
  const char* name;
  const char* hold;  // where the run is held and killed; empty: not killed
  const char* example;
  Args args;
  const char* noRenameFlags = "0";  // "1": renameat2 without flags (a link instead)
};

const Args kFrequencyRun = {"-i", "oneDeme.par", "-n", "20000", "-d", "-q", "-r", "1"};
const Args kSpillingRun = {"-i", "dnaTwoDemes.par", "-n", "300", "-k", "10", "-c", "2",
                           "-d", "-q", "-r", "1"};

class NoUnnamedFiles : public testing::TestWithParam<PrivateCase> {};

TEST_P(NoUnnamedFiles, AKillInEachInstantLeavesWhatTheNextRunRemoves) {
  const PrivateCase& c = GetParam();
  const std::string folder = fs::path(c.args[1]).stem().string();
  const auto reference = referenceOutputs(c.example, c.args);
  RunFolder f(std::string("private_") + c.name);
  f.copyExample(c.example);
  writeUsersNotes(f, folder);
  const std::string mark = f.path().string() + ".held";
  Environment shim({{"LD_PRELOAD", NO_UNNAMED_FILES_SHIM}, {"BRV_NO_RENAME_FLAGS", c.noRenameFlags}});
  ASSERT_EQ(f.run(c.args, 120).status, 0);
  if (*c.hold != '\0') {
    Environment hold({{"BRV_HOLD", c.hold}, {"BRV_HOLD_MARK", mark}});
    const int pid = f.start(c.args, 120);
    bool held = false;
    for (int i = 0; i < 2000 && !held; ++i) {
      held = fs::exists(mark);
      if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid, SIGKILL);
    f.finish(pid);
    fs::remove(mark);
    ASSERT_TRUE(held) << "the run never reached " << c.hold;
    EXPECT_FALSE(leftovers(f, folder).empty());  // the instant was caught
  }
  const RunOutput again = f.run(c.args, 120);
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_EQ(comparable(f), reference);
  EXPECT_TRUE(leftovers(f, folder).empty()) << leftovers(f, folder).front();
  expectEveryFileListed(f, folder);
  expectUsersNotes(f, folder);
}

INSTANTIATE_TEST_SUITE_P(
    Instants, NoUnnamedFiles,
    testing::Values(PrivateCase{"NotKilled", "", "oneDeme", kFrequencyRun},
                    PrivateCase{"NotKilledLinked", "", "oneDeme", kFrequencyRun, "1"},
                    PrivateCase{"MadeNotListed", "create:.oneDeme.lhoods.", "oneDeme",
                                kFrequencyRun},
                    PrivateCase{"ListedNotNamed", "rename:.oneDeme_1.simparam.", "oneDeme",
                                kFrequencyRun},
                    PrivateCase{"ListedNotLinked", "rename:.oneDeme_1.simparam.", "oneDeme",
                                kFrequencyRun, "1"},
                    PrivateCase{"ListNotRenamed", "rename:.written_by_brimvane.txt.", "oneDeme",
                                kFrequencyRun},
                    PrivateCase{"TemporaryFolderNotListed", "mkdtemp:garbage", "dnaTwoDemes",
                                kSpillingRun}),
    [](const testing::TestParamInfo<PrivateCase>& info) { return std::string(info.param.name); });

// On a file system without birth times (ext2 with 128-byte inodes), a file of
// the user's that gets the inode number of a file a killed run was writing
// is told from it by the inode's generation, and kept.
TEST(NoBirthTimes, AUsersFileUnderAFreedInodeNumberIsKept) {
  RunFolder f("no_birth_times");
  MountedFolder disk(f.path(), "ext2:16");
  if (!disk.mounted()) GTEST_SKIP() << "an ext2 image cannot be loop-mounted here";
  f.copyExample("oneDeme");
  const int pid = f.start({"-i", "oneDeme.par", "-n", "200000", "-d", "-q", "-R", "8", "-r", "1"},
                          120);
  const bool written = waitForLines(f, "oneDeme/oneDeme.lhoods", 2);
  kill(pid, SIGKILL);
  f.finish(pid);
  ASSERT_TRUE(written);
  const fs::path table = f.path() / "oneDeme/oneDeme.lhoods";
  fs::remove(table);
  f.write("oneDeme/oneDeme.lhoods", "MY TABLE\n");
  const RunOutput r = f.run({"-i", "oneDeme.par", "-n", "20000", "-d", "-q", "-r", "2"}, 120);
  EXPECT_EQ(f.read("oneDeme/oneDeme.lhoods"), "MY TABLE\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\"oneDeme/oneDeme.lhoods\": it was changed or replaced"), std::string::npos)
      << r.err;
}

// Where neither a birth time nor a generation tells, a file listed while its
// run was writing it is kept and named, whether a list of this version or
// of an older one names it.
class NeitherBirthNorGeneration : public testing::TestWithParam<const char*> {};

TEST_P(NeitherBirthNorGeneration, AFileListedAsBeingWrittenIsKeptAndNamed) {
  RunFolder f("untold");
  f.copyExample("oneDeme");
  f.write("oneDeme/oneDeme.lhoods", "MY TABLE\n");
  struct stat info;
  ASSERT_EQ(stat((f.path() / "oneDeme/oneDeme.lhoods").c_str(), &info), 0);
  const std::string list = listHeaderLine("oneDeme") + "\n# a list\nR\t" +
                           std::to_string(info.st_dev) + "\t" + std::to_string(info.st_ino) +
                           GetParam() + "\toneDeme.lhoods\n";
  f.write("oneDeme/" + std::string(kOutputRecordName), list);
  const RunOutput r = f.run({"-i", "oneDeme.par", "-n", "20000", "-d", "-q", "-r", "2"}, 120);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("keeps neither birth times nor inode generations"), std::string::npos)
      << r.err;
  EXPECT_EQ(f.read("oneDeme/oneDeme.lhoods"), "MY TABLE\n");
}

INSTANTIATE_TEST_SUITE_P(Lists, NeitherBirthNorGeneration,
                         testing::Values("\t-\t-\t-\t-\t-\t-\t-\t-", "\t-\t-\t-\t-\t-",
                                         "\t-\t-\t-"));

// A same-length edit whose modification time was set back (cp -p, dd, touch -r).
TEST(StatusChangeTime, AnEditWithItsModificationTimeRestoredIsKept) {
  RunFolder f("ctime");
  f.copyExample("oneDeme");
  ASSERT_EQ(f.run({"-i", "oneDeme.par", "-n", "20000", "-d", "-q", "-r", "1"}, 120).status, 0);
  const fs::path spectrum = f.path() / "oneDeme/oneDeme_DAFpop0.txt";
  struct stat before;
  ASSERT_EQ(stat(spectrum.c_str(), &before), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  {
    std::fstream edit(spectrum, std::ios::in | std::ios::out | std::ios::binary);
    edit.write("MY DATA!", 8);
  }
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, spectrum.c_str(), times, 0), 0);
  const std::string edited = f.read("oneDeme/oneDeme_DAFpop0.txt");
  const RunOutput r = f.run({"-i", "oneDeme.par", "-n", "20000", "-d", "-q", "-r", "2"}, 120);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("oneDeme_DAFpop0.txt\": it was changed"), std::string::npos) << r.err;
  EXPECT_EQ(f.read("oneDeme/oneDeme_DAFpop0.txt"), edited);
}

// A note appended to the likelihood table while the run writes it: the note
// and every row stay whole, and the next run keeps the changed table.
TEST(AppendedNote, StaysWholeBesideTheRowsAndTheNextRunKeepsTheTable) {
  RunFolder f("note");
  f.copyExample("oneDeme");
  const int pid = f.start({"-i", "oneDeme.par", "-n", "200000", "-d", "-q", "-R", "8", "-r", "1"},
                          120);
  const bool written = waitForLines(f, "oneDeme/oneDeme.lhoods", 2);
  {
    const int fd = open((f.path() / "oneDeme/oneDeme.lhoods").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(write(fd, "# MY NOTE\n", 10), 10);
    close(fd);
  }
  const RunOutput r = f.finish(pid);
  ASSERT_TRUE(written);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = linesOf(f.read("oneDeme/oneDeme.lhoods"));
  ASSERT_EQ(lines.size(), 10u);  // header, 8 rows, the note
  int notes = 0;
  for (size_t k = 1; k < lines.size(); ++k) {
    if (lines[k] == "# MY NOTE") {
      ++notes;
      continue;
    }
    EXPECT_EQ(lines[k].rfind("\t-", 0), 0u) << lines[k];  // a whole row: one likelihood
    EXPECT_EQ(countOf(lines[k], "\t"), 1) << lines[k];
  }
  EXPECT_EQ(notes, 1);
  const std::string table = f.read("oneDeme/oneDeme.lhoods");
  const RunOutput next = f.run({"-i", "oneDeme.par", "-n", "20000", "-d", "-q", "-r", "2"}, 120);
  EXPECT_EQ(next.status, 1);
  EXPECT_EQ(f.read("oneDeme/oneDeme.lhoods"), table);
}

// The list a run leaves holds one line a file, and none for the temporary
// folders it removed.
TEST(FinalList, HoldsOneLineAFileAndNoRemovedTemporaryFolder) {
  RunFolder f("final_list");
  f.copyExample("dnaTwoDemes");
  ASSERT_EQ(f.run(kSpillingRun, 120).status, 0);
  const std::vector<std::string> lines =
      linesOf(f.read("dnaTwoDemes/" + std::string(kOutputRecordName)));
  std::set<std::string> paths;
  for (size_t k = 2; k < lines.size(); ++k) {
    EXPECT_NE(lines[k][0], 'T') << lines[k];
    EXPECT_TRUE(paths.insert(lines[k].substr(lines[k].rfind('\t') + 1)).second) << lines[k];
  }
  EXPECT_GT(paths.size(), 3u);
}

}  // namespace
