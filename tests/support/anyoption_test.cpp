#include "tests/support/scratchFolders.h"
#include "support/anyoption.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// An argument vector that owns its texts.
struct Args {
  explicit Args(std::vector<std::string> words) : texts(std::move(words)) {
    texts.insert(texts.begin(), "prog");
    for (auto& t : texts) pointers.push_back(&t[0]);
    pointers.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(texts.size()); }
  char** argv() { return pointers.data(); }
  std::vector<std::string> texts;
  std::vector<char*> pointers;
};

// The registrations the driver's options look like.
void registerSample(AnyOption& opt) {
  opt.setFlag("dsfs", 'd');
  opt.setFlag("quiet", 'q');
  opt.setOption("numsims", 'n');
  opt.setFlag("removeZeroSFS", '0');
}

// The sample registrations parsed once over an argument vector that lives
// as long as the values read from it.
struct SampleParse {
  explicit SampleParse(std::vector<std::string> words) : args(std::move(words)) {
    registerSample(opt);
    opt.processCommandArgs(args.argc(), args.argv());
  }
  Args args;
  AnyOption opt;
};

struct ParseCase {
  std::vector<std::string> args;
  char const* n;  // expected value of -n, null when unset
  bool d;
  bool q;
};

class ParseForms : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseForms, GiveExpectedValuesAndFlags) {
  ParseCase const& c = GetParam();
  SampleParse parse(c.args);
  AnyOption& opt = parse.opt;
  char const* n = opt.getValue('n');
  if (c.n == nullptr) {
    EXPECT_EQ(n, nullptr);
  } else {
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n, c.n);
    EXPECT_STREQ(opt.getValue("numsims"), c.n);  // letter and name share a slot
  }
  EXPECT_EQ(opt.getFlag('d'), c.d);
  EXPECT_EQ(opt.getFlag("dsfs"), c.d);
  EXPECT_EQ(opt.getFlag('q'), c.q);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseForms,
    testing::Values(
        ParseCase{{"-n", "1000"}, "1000", false, false},
        ParseCase{{"-n1000"}, "1000", false, false},
        ParseCase{{"-n=1000"}, "1000", false, false},
        ParseCase{{"-n= =7"}, "7", false, false},  // blanks and '=' skipped
        ParseCase{{"--numsims", "1000"}, "1000", false, false},
        ParseCase{{"--numsims=1000"}, "1000", false, false},
        ParseCase{{"-dqn", "50"}, "50", true, true},
        ParseCase{{"-dn50q"}, "50q", true, false},
        ParseCase{{"--numsims="}, "", false, false},
        ParseCase{{"--numsims"}, nullptr, false, false},
        ParseCase{{"-n"}, nullptr, false, false},
        ParseCase{{"-n", "-d"}, "-d", false, false},
        ParseCase{{"--numsims", "--quiet"}, "--quiet", false, false},
        ParseCase{{"--quiet=no"}, nullptr, false, true},
        ParseCase{{"--foo", "-x", "-d"}, nullptr, true, false},
        ParseCase{{"-", "--", "=", "-q"}, nullptr, false, true},
        ParseCase{{"--=numsims", "5"}, nullptr, false, false},
        ParseCase{{"--NUMSIMS=5"}, nullptr, false, false},  // case-sensitive
        ParseCase{{"-n", "1", "-n", "2"}, "2", false, false},
        ParseCase{{"pos1", "-q", "pos2"}, nullptr, false, true}));

// What a parse ignores or leaves incomplete is recorded for the caller; the
// values are those of the table above.
struct IgnoredCase {
  std::vector<std::string> args;
  std::vector<std::string> unknown;  // "option|argument"
  std::vector<std::string> positional;
  char const* withoutValue;
};

class IgnoredArguments : public testing::TestWithParam<IgnoredCase> {};

TEST_P(IgnoredArguments, AreRecorded) {
  IgnoredCase const& c = GetParam();
  SampleParse parse(c.args);
  AnyOption& opt = parse.opt;
  std::vector<std::string> unknown;
  for (auto const& u : opt.unknownOptions()) unknown.push_back(u.option + "|" + u.argument);
  EXPECT_EQ(unknown, c.unknown);
  std::vector<std::string> positional;
  for (int i = 0; i < opt.getArgc(); ++i) positional.push_back(opt.getArgv(i));
  EXPECT_EQ(positional, c.positional);
  EXPECT_EQ(opt.optionWithoutValue(), c.withoutValue);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IgnoredArguments,
    testing::Values(
        IgnoredCase{{"-n", "5", "-q"}, {}, {}, ""},
        IgnoredCase{{"--dfs", "--foo=bar", "-n", "5"}, {"--dfs|--dfs", "--foo=bar|--foo=bar"}, {},
                    ""},
        IgnoredCase{{"-qZdY"}, {"-Z|-qZdY", "-Y|-qZdY"}, {}, ""},
        IgnoredCase{{"-dn5Z"}, {}, {}, ""},  // the Z belongs to the value 5Z
        IgnoredCase{{"-", "--", "--=numsims"}, {"-|-", "--|--", "--=numsims|--=numsims"}, {}, ""},
        IgnoredCase{{"a", "-n", "1", "b"}, {}, {"a", "b"}, ""},
        IgnoredCase{{"-q", "-n"}, {}, {}, "-n"},
        IgnoredCase{{"-dn"}, {}, {}, "-n"},
        IgnoredCase{{"--numsims"}, {}, {}, "--numsims"},
        IgnoredCase{{"--numsims", "-q"}, {}, {}, ""},  // -q is taken as the value
        IgnoredCase{{"--numsims="}, {}, {}, ""}));

TEST(AnyOption, EachParseStartsItsOwnRecord) {
  AnyOption opt;
  registerSample(opt);
  Args first({"--dfs", "-n"});
  opt.processCommandArgs(first.argc(), first.argv());
  ASSERT_EQ(opt.unknownOptions().size(), 1u);
  Args second({"-n", "3"});
  opt.processCommandArgs(second.argc(), second.argv());
  EXPECT_TRUE(opt.unknownOptions().empty());
  EXPECT_EQ(opt.optionWithoutValue(), "");
}

TEST(AnyOption, LookupsOfUnknownOrUnsetGiveNothing) {
  AnyOption empty;
  EXPECT_EQ(empty.getValue('n'), nullptr);
  EXPECT_FALSE(empty.getFlag("quiet"));

  AnyOption opt;
  registerSample(opt);
  Args a({"-n", "true"});
  opt.processCommandArgs(a.argc(), a.argv());
  EXPECT_TRUE(opt.getFlag('n'));  // a value "true" reads as a set flag
  EXPECT_EQ(opt.getValue('z'), nullptr);
  EXPECT_EQ(opt.getValue("dsfs"), nullptr);
  EXPECT_TRUE(opt.hasOptions());
}

TEST(AnyOption, NoRegistrationRecordsNothing) {
  AnyOption opt;
  Args a({"-n", "5", "pos"});
  opt.processCommandArgs(a.argc(), a.argv());
  EXPECT_EQ(opt.getArgc(), 0);
  EXPECT_EQ(opt.getValue('n'), nullptr);
  EXPECT_TRUE(opt.hasOptions());
}

TEST(AnyOption, PositionalArgumentsAreRecordedUpToTheLimit) {
  AnyOption opt;
  registerSample(opt);
  Args a({"a", "-q", "b", "c"});
  opt.processCommandArgs(a.argc(), a.argv(), 2);
  ASSERT_EQ(opt.getArgc(), 2);
  EXPECT_STREQ(opt.getArgv(0), "a");
  EXPECT_STREQ(opt.getArgv(1), "b");
  EXPECT_EQ(opt.getArgv(2), nullptr);
}

TEST(AnyOption, TablesGrowPastTheirInitialCapacity) {
  std::vector<std::string> names;
  for (int i = 0; i < 45; ++i) names.push_back("opt" + std::to_string(i));
  AnyOption opt;
  for (int i = 0; i < 45; ++i) opt.setOption(names[i].c_str(), static_cast<char>('!' + i));
  for (int i = 0; i < 7; ++i) opt.addUsage("line");
  Args a({"--opt44=last", "-!first", "--opt20", "mid"});
  opt.processCommandArgs(a.argc(), a.argv());
  EXPECT_STREQ(opt.getValue("opt44"), "last");
  EXPECT_STREQ(opt.getValue("opt0"), "first");
  EXPECT_STREQ(opt.getValue(static_cast<char>('!' + 20)), "mid");
}

TEST(AnyOption, KindsLimitWhereAnOptionIsAccepted) {
  AnyOption opt;
  opt.setFileOption("fileonly", 'f');
  opt.setCommandFlag("cmdflag", 'c');
  Args a({"--fileonly=3", "-f", "4", "-c"});
  opt.processCommandArgs(a.argc(), a.argv());
  EXPECT_EQ(opt.getValue('f'), nullptr);
  EXPECT_TRUE(opt.getFlag("cmdflag"));
}

TEST(AnyOption, WithoutPosixASingleDashIntroducesALongName) {
  AnyOption opt;
  opt.noPOSIX();
  opt.setOption("numsims", 'n');
  Args a({"-numsims", "9", "-n", "3"});
  opt.processCommandArgs(a.argc(), a.argv());
  EXPECT_STREQ(opt.getValue("numsims"), "9");
  EXPECT_EQ(opt.getValue('n'), nullptr);  // the letter was never registered
}

TEST(AnyOption, UsageIsPrintedOnce) {
  AnyOption opt;
  opt.addUsage("first");
  opt.addUsage("");
  opt.addUsage("second");
  opt.addUsage("third");
  testing::internal::CaptureStdout();
  opt.printUsage();
  opt.printUsage();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nfirst\n\nsecond\nthird\n\n");
}

TEST(AnyOption, OptionFileLinesSetValuesAndFlags) {
  std::string const path = scratchPath("anyoption_file_test");
  {
    std::ofstream out(path);
    out << "# a comment : ignored\n"
        << "numsims : 250\n"
        << "n : 260\n"
        << "  quiet  \n"
        << "unknown : 1\n"
        << "d\n"
        << "fileopt : x y \n"
        << "cmdonly : 5\n"
        << "tail";  // no line break: not read
  }
  AnyOption opt;
  opt.setOption("numsims");
  opt.setOption('n');
  opt.setFlag("quiet", 'q');
  opt.setFlag("dsfs", 'd');
  opt.setFileOption("fileopt");
  opt.setFlag("tail");
  opt.setCommandOption("cmdonly");
  ASSERT_TRUE(opt.processFile(path.c_str()));
  EXPECT_TRUE(opt.FileSet());
  EXPECT_STREQ(opt.getValue("numsims"), "250");
  EXPECT_STREQ(opt.getValue('n'), "260");
  EXPECT_TRUE(opt.getFlag('q'));
  EXPECT_TRUE(opt.getFlag("dsfs"));  // set by the letter line "d"
  EXPECT_STREQ(opt.getValue("fileopt"), "x y");
  EXPECT_EQ(opt.getValue("cmdonly"), nullptr);
  EXPECT_FALSE(opt.getFlag("tail"));
  std::remove(path.c_str());
  EXPECT_FALSE(opt.processFile("/nonexistent/folder/options.txt"));
}

}  // namespace

namespace {

// A late registration must not reach past the value table.
TEST(AnyOption, RegistrationAfterTheFirstLookupGetsASlot) {
  AnyOption opt;
  opt.setFlag("quiet", 'q');
  EXPECT_FALSE(opt.getFlag('q'));  // creates the value table
  opt.setOption("late", 'l');
  Args a({"-q", "-l", "7"});
  opt.processCommandArgs(a.argc(), a.argv());
  EXPECT_TRUE(opt.getFlag("quiet"));
  EXPECT_STREQ(opt.getValue("late"), "7");
}

}  // namespace
