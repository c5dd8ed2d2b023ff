// With the same seed, batch count and input, every output file is the same byte
// for byte whatever the number of threads.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "runFolder.h"

namespace {

using Args = std::vector<std::string>;


std::map<std::string, std::string> runWithThreads(const std::string& example, Args args,
                                                  const std::string& threads) {
  RunFolder f("determinism");
  f.copyExample(example);
  args.insert(args.end(), {"-q", "-r", "21", "-B", "7", "-c", threads});
  RunOutput r = f.run(args);
  EXPECT_EQ(r.status, 0) << threads << r.err;
  return f.outputs();
}

TEST(RunDeterminism, OutputFilesDoNotDependOnTheNumberOfThreads) {
  const std::pair<const char*, Args> cases[] = {
      {"twoDemes", {"-i", "twoDemes.par", "-n", "900", "-d", "-m", "-R", "2"}},
      {"twoDemes", {"-i", "twoDemes.par", "-n", "700", "-d", "-m", "-u"}},
      {"twoDemes", {"-i", "twoDemes.par", "-n", "700", "-d", "-P", "-0"}},
      {"splitTemplate", {"-t", "split.tpl", "-f", "split.def", "-n", "500", "-d"}},
      {"splitTemplate", {"-t", "split.tpl", "-e", "split.est", "-E", "2", "-n", "500", "-d"}},
  };
  for (const auto& [example, args] : cases) {
    const std::string label = args[1] + " " + args[args.size() - 1];
    const auto one = runWithThreads(example, args, "1");
    EXPECT_GT(one.size(), 5u) << label;
    for (const char* threads : {"3", "0"}) {
      const auto other = runWithThreads(example, args, threads);
      ASSERT_EQ(other.size(), one.size()) << label << " -c " << threads;
      for (const auto& [name, text] : one) {
        auto it = other.find(name);
        ASSERT_NE(it, other.end()) << label << " -c " << threads << ": " << name;
        EXPECT_EQ(it->second, text) << label << " -c " << threads << ": " << name;
      }
    }
  }
}

}  // namespace
