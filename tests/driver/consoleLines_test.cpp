// The console lines reach a pipe or a log file while the program runs, as on a
// terminal, and stay there when the run is stopped (the log of a batch job).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "runFolder.h"

namespace {

// Far more data sets than a run reaches before it is stopped.
const char* kEndlessModel =
    "//Number of demes\n1\n//Deme sizes\n10000\n//Sample sizes\n20\n//Growth rates\n0\n"
    "//Number of migration matrices\n0\n//historical events\n0 historical event\n"
    "//Number of independent loci\n1 0\n//Per chromosome: number of blocks\n1\n"
    "//per block\nDNA 1000 0 1e-7 0.33\n";

// Starts the program in the folder with its standard output on a pipe; the
// time limit only ends a program that nothing stopped.
int startOnPipe(const RunFolder& folder, const std::vector<std::string>& args, int& readEnd) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  std::vector<std::string> words{BRIMVANE_EXE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    if (chdir(folder.path().c_str()) != 0) _exit(127);
    signal(SIGTERM, SIG_DFL);
    alarm(60);
    execv(BRIMVANE_EXE, argv.data());
    _exit(127);
  }
  close(fds[1]);
  readEnd = fds[0];
  return child;
}

// Reads until the text holds the line (any line when it is empty: to the end
// of the pipe).
std::string readUntil(int fd, const std::string& line) {
  std::string text;
  char buffer[4096];
  while (line.empty() || text.find(line + "\n") == std::string::npos) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

TEST(ConsoleLines, ReachAPipeWhileTheRunGoesOnAndStayWhenItIsStopped) {
  RunFolder folder("console");
  folder.write("endless.par", kEndlessModel);
  int readEnd = -1;
  const int pid =
      startOnPipe(folder, {"-i", "endless.par", "-n", "100000000", "-x", "-q", "-r", "5"}, readEnd);
  ASSERT_GT(pid, 0);
  const std::string seedLine = "Random generator seed : 5";
  const std::string header = readUntil(readEnd, seedLine);
  int waitStatus = 0;
  const bool running = waitpid(pid, &waitStatus, WNOHANG) == 0;
  if (running) kill(pid, SIGTERM);  // as a job's cancel or time limit does
  readUntil(readEnd, "");
  close(readEnd);
  if (running) waitpid(pid, &waitStatus, 0);
  ASSERT_TRUE(running) << "the lines came only when the program ended:\n" << header;
  EXPECT_NE(header.find("brimvane was invoked with the following command line arguments:\n"),
            std::string::npos)
      << header;
  EXPECT_NE(header.find(seedLine + "\n"), std::string::npos) << header;
}

}  // namespace
