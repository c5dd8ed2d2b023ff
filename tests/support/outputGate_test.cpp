// The gate of the output folder, in one process: what it opens, what it
// refuses, what it lists, and the list surviving a kill while it is rewritten.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "support/outputFile.h"
#include "support/outputFolder.h"
#include "tests/support/scratchFolders.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<TRecordEntry> listOf(const std::string& folder) {
  std::vector<TRecordEntry> entries;
  EXPECT_TRUE(parseOutputRecord(slurp(folder + "/" + kOutputRecordName), "g", entries));
  return entries;
}

// A writer whose disk is full: the failure shows on the stream once it is
// closed, even when every write before fitted in the buffer.
TEST(OutputGate, AFullDiskFailsTheStream) {
  const int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  TDescriptorBuffer buffer;
  buffer.attach(fd);
  std::ostream os(&buffer);
  os << "a line\n";
  EXPECT_TRUE(os);  // still in the buffer
  EXPECT_FALSE(buffer.drain());
  os.flush();
  EXPECT_FALSE(os);
  close(fd);
}

struct GateCase {
  const char* label;
  std::function<void(const std::string& folder)> prepare;  // before the run writes "g_1.txt"
  bool written;
};

// In the claimed folder a file is made where none is and listed at once; a
// file of the user's, a link, a file below a linked folder and the list
// itself are refused, and keep what they hold.
TEST(OutputGate, WritesOnlyWhereNothingOfTheUsersIs) {
  const auto nothing = [](const std::string&) {};
  const auto usersFile = [](const std::string& f) { std::ofstream(f + "/g_1.txt") << "mine\n"; };
  const auto link = [](const std::string& f) {
    std::ofstream(f + "/../target.txt") << "mine\n";
    fs::create_symlink("../target.txt", f + "/g_1.txt");
  };
  const GateCase cases[] = {
      {"nothing there", nothing, true},
      {"a file of the user's", usersFile, false},
      {"a symbolic link", link, false},
  };
  for (const GateCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string work = scratchFolder("gate");
    const std::string folder = work + "/g";
    fs::create_directories(folder);
    c.prepare(folder);
    ASSERT_EQ(claimOutputFolder(folder, "g", kRouteOther), FolderClaim::CLAIMED);
    ASSERT_TRUE(startOutputRecord({}));
    TOutputFile os;
    testing::internal::CaptureStderr();
    EXPECT_EQ(os.open(folder + "/g_1.txt"), c.written);
    const std::string err = testing::internal::GetCapturedStderr();
    if (c.written) {
      os << "the run's\n";
      os.close();
      EXPECT_TRUE(os);
      const std::vector<TRecordEntry> entries = listOf(folder);
      ASSERT_EQ(entries.size(), 1u);
      struct stat info;
      TFileIdentity now;
      ASSERT_TRUE(statFile(AT_FDCWD, folder + "/g_1.txt", info, now));
      EXPECT_TRUE(entries[0].identity.describes(now));
      EXPECT_TRUE(entries[0].identity.born);
      EXPECT_TRUE(entries[0].identity.closed);
    } else {
      EXPECT_NE(err.find("is kept"), std::string::npos) << err;
      EXPECT_EQ(slurp(folder + "/g_1.txt"), "mine\n");
      EXPECT_TRUE(listOf(folder).empty());
    }
    closeOutputRecord();
    fs::remove_all(work);
  }
}

// A file the run made is opened again (appended spectra) only while it is as
// the run left it and has no second name; the list and a linked folder never.
TEST(OutputGate, OpensAgainOnlyWhatItMadeAsItLeftIt) {
  const std::string work = scratchFolder("gate_again");
  const std::string folder = work + "/g";
  fs::create_directories(work + "/elsewhere");
  fs::create_directories(folder);
  fs::create_symlink("../elsewhere", folder + "/g_7");
  ASSERT_EQ(claimOutputFolder(folder, "g", kRouteOther), FolderClaim::CLAIMED);
  ASSERT_TRUE(startOutputRecord({}));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(writeOutputText(folder + "/a.txt", "1\n"));
  EXPECT_TRUE(writeOutputText(folder + "/b.txt", "1\n"));
  EXPECT_TRUE(writeOutputText(folder + "/c.txt", "1\n"));
  TOutputFile append(folder + "/a.txt", std::ios::app);
  append << "2\n";
  append.close();
  EXPECT_EQ(slurp(folder + "/a.txt"), "1\n2\n");
  std::ofstream(folder + "/b.txt", std::ios::app) << "the user's note\n";
  fs::create_hard_link(folder + "/c.txt", work + "/keep.txt");
  EXPECT_FALSE(TOutputFile(folder + "/b.txt", std::ios::app).is_open());
  EXPECT_FALSE(TOutputFile(folder + "/c.txt").is_open());
  EXPECT_FALSE(TOutputFile(folder + "/" + kOutputRecordName).is_open());
  EXPECT_FALSE(TOutputFile(folder + "/g_7/d.txt").is_open());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("it was changed since this run wrote it"), std::string::npos) << err;
  EXPECT_NE(err.find("a hard link"), std::string::npos) << err;
  EXPECT_NE(err.find("a folder on its path is a symbolic link"), std::string::npos) << err;
  EXPECT_EQ(slurp(folder + "/b.txt"), "1\nthe user's note\n");
  EXPECT_EQ(slurp(work + "/keep.txt"), "1\n");
  EXPECT_TRUE(fs::is_empty(work + "/elsewhere"));
  closeOutputRecord();
}

// A process killed while it writes the list anew leaves the old list or the
// new one, whole: never an empty or a cut list.
TEST(OutputGate, AKillWhileTheListIsRewrittenLeavesAWholeList) {
  const std::string folder = scratchFolder("gate_list");
  std::string texts[2];
  for (int k = 0; k < 2; ++k) {
    texts[k] = headerText("g");
    for (int line = 0; line < 20000; ++line)
      texts[k] += "R\t1\t" + std::to_string(line + 1) + "\t5\t6\t7\tg_" + std::to_string(k) +
                  "_" + std::to_string(line) + ".qdp\n";
  }
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dir, 0);
  {
    TListFile first;
    ASSERT_TRUE(first.rewrite(dir, texts[0]));
  }
  std::mt19937 random(5);
  for (int attempt = 0; attempt < 20; ++attempt) {
    const pid_t child = fork();
    if (child == 0) {
      for (int k = 0;; k = 1 - k) {
        TListFile list;
        list.rewrite(dir, texts[k]);
      }
    }
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(random)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = slurp(folder + "/" + kOutputRecordName);
    EXPECT_TRUE(now == texts[0] || now == texts[1]) << "attempt " << attempt << ": "
                                                    << now.size() << " bytes";
  }
  close(dir);
}

}  // namespace

namespace {

// Lists of this version and of older ones are read, one entry a file; a
// line longer than any line of a list, or a last line cut by a kill, is
// left out without losing the others.
TEST(OutputList, ReadsEveryVersionOneEntryAFileAndLeavesOutWhatIsNoLine) {
  struct Case {
    const char* label;
    std::string line;
    bool closed, born, change, generation;
  };
  const Case cases[] = {
      {"five fields", "R\t7\t8\t10\t11\t12\ta.txt\n", true, false, false, false},
      {"seven fields", "R\t7\t8\t10\t11\t12\t13\t14\ta.txt\n", true, true, false, false},
      {"ten fields", "R\t7\t8\t10\t11\t12\t13\t14\t15\t16\t17\ta.txt\n", true, true, true, true},
      {"being written, generation", "R\t7\t8\t-\t-\t-\t-\t-\t-\t-\t17\ta.txt\n", false, false,
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string text = headerText("g") + "R\t7\t8\t-\t-\t-\ta.txt\n" + c.line +
                             std::string(100000, 'y') + "\n" + "R\t7\t9\t-\t-\t-\tb.txt\n" +
                             "R\t7\t10\t-\t-\t-\tcut.t";
    std::vector<TRecordEntry> entries;
    TListReader reader("g");
    for (size_t at = 0; at < text.size(); at += 4096)  // in pieces, as read
      reader.feed(text.data() + at, std::min<size_t>(4096, text.size() - at));
    ASSERT_TRUE(reader.finish(entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "a.txt");
    EXPECT_EQ(entries[1].path, "b.txt");
    const TFileIdentity& id = entries[0].identity;
    EXPECT_EQ(id.inode, 8u);
    EXPECT_EQ(id.closed, c.closed);
    EXPECT_EQ(id.born, c.born);
    EXPECT_EQ(id.changeKnown, c.change);
    EXPECT_EQ(id.generationKnown, c.generation);
    TFileIdentity back;
    ASSERT_TRUE(TFileIdentity::parse(id.text(), back));
    EXPECT_EQ(back.text(), id.text());
  }
}

}  // namespace
