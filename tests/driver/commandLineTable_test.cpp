// The program's answers to command lines: each case gives the arguments, the
// files present in a fresh folder, lines expected (in order, whole lines) on the
// standard output and the standard error stream, lines that must not appear on
// the error stream, whether the usage text is shown, and the exit status.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cliRunner.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

struct CliCase {
  char const* label;
  std::vector<std::string> args;
  Files files;
  std::vector<std::string> out;  // "{exe}" and "{dir}" are replaced
  std::vector<std::string> err;
  bool usage;
  int status;
  std::vector<std::string> notInErr = {};
};

void PrintTo(CliCase const& c, std::ostream* os) { *os << c.label; }

// The command line was accepted and the run began: the placeholder model files
// cannot be read as models.
char const* const kAccepted = "Unable to read input files. Exit program.";
char const* const kVersion = "Brimvane2 (ver 2.0.0 - 10.12.2026)";
char const* const kNeedTemplate = "Need to specify parameter file name or template file name";

Files const kModel{{"m.par", "model\n"}};
Files const kTemplate{{"t.tpl", "tpl\n"}, {"p.est", "[PARAMETERS]\n1 N unif 10 100\n"},
                      {"d.def", "N\n20\n"}};

std::string const kLongStem(199, 'g');
std::string const kStem198(198, 'g');

std::string expand(std::string text, std::string const& dir) {
  for (auto const& [key, value] :
       {std::pair<std::string, std::string>{"{exe}", BRIMVANE_EXE}, {"{dir}", dir}}) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key))
      text.replace(at, key.size(), value);
  }
  return text;
}

// Every expected line appears as a whole line, in this order.
void expectLinesInOrder(std::vector<std::string> const& actual,
                        std::vector<std::string> const& expected, std::string const& dir,
                        char const* stream) {
  size_t next = 0;
  for (std::string const& raw : expected) {
    std::string const line = expand(raw, dir);
    while (next < actual.size() && actual[next] != line) ++next;
    if (next == actual.size()) {
      ADD_FAILURE() << stream << " lacks, in order, the line \"" << line << "\"";
      return;
    }
    ++next;
  }
}

std::string joined(std::vector<std::string> const& lines) {
  std::string text;
  for (auto const& l : lines) text += l + "\n";
  return text;
}

class CommandLineTable : public testing::TestWithParam<CliCase> {};

TEST_P(CommandLineTable, Answers) {
  CliCase const& c = GetParam();
  ProgramRun const run = runProgram(c.label, c.args, c.files);
  SCOPED_TRACE("stdout:\n" + joined(run.out) + "stderr:\n" + joined(run.err));
  EXPECT_EQ(run.status, c.status);
  expectLinesInOrder(run.out, c.out, run.folder, "stdout");
  expectLinesInOrder(run.err, c.err, run.folder, "stderr");
  int usageLines = 0;
  for (auto const& l : run.out) usageLines += l == "Usage:";
  EXPECT_EQ(usageLines, c.usage ? 1 : 0);
  for (auto const& absent : c.notInErr)
    for (auto const& l : run.err) EXPECT_EQ(l.find(absent), std::string::npos) << l;
}

std::vector<std::string> with(std::vector<std::string> args, std::vector<std::string> more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::vector<std::string> const kPlain{"-i", "m.par", "-n", "5"};
std::vector<std::string> const kEstimate{"-t", "t.tpl", "-e", "p.est", "-n", "5", "-M", "0.01"};

CliCase const kCases[] = {
    // Start, run file, echo, help and version.
    {"EchoAndHandOver", kPlain, kModel,
     {"brimvane was invoked with the following command line arguments:",
      "{exe} -i m.par -n 5 "},
     {kAccepted}, false, 1},
    {"NoRunFile", {}, {},
     {"brv was launched without any argument: attempting to read file \"brv_run.txt\""},
     {"Unable to find file \"brv_run.txt\" in current directory({dir})"}, true, 1},
    {"RunFileValid", {}, {{"brv_run.txt", "sub\n-i m.par   -qn\t5\n"}, {"sub/m.par", "x\n"}},
     {"\"brv_run.txt\" contains", "   Path: sub", "   Command line options: -i m.par   -qn\t5",
      "brimvane was invoked with the following command line arguments:",
      "{exe} -i m.par -qn 5 "},
     {kAccepted}, false, 1},
    {"RunFileEmptyPath", {}, {{"brv_run.txt", "\n-n 5\n"}}, {"   Path: "},
     {"  No path specified in file \"brv_run.txt\""}, true, 1},
    {"RunFileMissingFolder", {}, {{"brv_run.txt", "nowhere\n-n 5\n"}}, {},
     {"", "Unable to find path ", "nowhere ", " specified in file \"brv_run.txt\""}, false, 1},
    {"RunFileCarriageReturnInPath", {}, {{"brv_run.txt", "sub\r\n-n 5\r\n"}, {"sub/x", ""}},
     {}, {"Unable to find path ", "sub\r "}, false, 1},
    {"RunFileNoOptions", {}, {{"brv_run.txt", "sub\n\n"}, {"sub/x", ""}}, {},
     {"No options specified on command line"}, true, 1},
    {"RunFileOptionsEndInCarriageReturn", {},
     {{"brv_run.txt", "sub\n-i m.par -n 5\r\n"}, {"sub/m.par", "x\n"}},
     {"{exe} -i m.par -n 5 "}, {kAccepted}, false, 1},
    {"HelpAlone", {"-h"}, {}, {"Usage:"}, {kNeedTemplate}, true, 1},
    {"HelpLongName", {"--help"}, {}, {}, {kNeedTemplate}, true, 1},
    {"Version", {"-v"}, {}, {kVersion, ""}, {}, false, 0},
    {"VersionLongName", {"--version", "-n", "x"}, {}, {kVersion}, {}, false, 0},
    {"HelpThenVersion", {"-h", "-v"}, {}, {"", kVersion, "", "Usage:", kVersion}, {}, true, 0},

    // Input route.
    {"ModelWinsOverTemplate", with(kPlain, {"-t", "bad"}), kModel, {}, {kAccepted}, false, 1},
    {"TemplateWithoutExtension", {"-t", "model.txt", "-n", "5"}, {}, {},
     {"Invalid template file name \"model.txt\". Lack of \".tpl\" extension. Exiting program."},
     false, 1},
    {"TemplateAlone", {"-t", "t.tpl", "-n", "5"}, kTemplate, {},
     {"Need to specify parameter a definition file name (-d *.def) or", "",
      "a parameter estimation file (-e *.est) if template input file is used"},
     true, 1},
    {"DefinitionAndPrior", {"-t", "t.tpl", "-f", "d.def", "-e", "p.est", "-E", "2", "-n", "5"},
     kTemplate,
     {},
     {"Cannot define both a parameter definition file name (-d *.def) and ", "",
      "a parameter estimation file (-e *.est) if template input file is used",
      "You need to specify how parameters are substituted into template file"},
     true, 1},
    {"RecomputedDefinitionAndPrior", {"-t", "t.tpl", "-F", "d.def", "-e", "p.est", "-n", "5"},
     kTemplate, {}, {kAccepted}, false, 1},
    {"PriorWithoutExtension", {"-t", "t.tpl", "-e", "p.txt", "-n", "5"}, kTemplate, {},
     {"Invalid estimation file name \"p.txt\". Lack of \".est\" extension. Exiting program."},
     false, 1},
    {"PriorWithoutCount", {"-t", "t.tpl", "-e", "p.est", "-n", "5"}, kTemplate, {},
     {"Need to specify how many estimations to perform (-E numest) when option -e is "
      "activated"},
     true, 1},
    {"PriorWithCount", {"-t", "t.tpl", "-e", "p.est", "-E", "3", "-n", "5"}, kTemplate, {},
     {kAccepted}, false, 1},
    {"PriorWithZeroCount", {"-t", "t.tpl", "-e", "p.est", "-E", "0", "-n", "5"}, kTemplate,
     {}, {}, false, 0, {"Unable"}},
    {"PriorWithCountNotANumber", {"-t", "t.tpl", "-e", "p.est", "-E", "abc", "-n", "5"},
     kTemplate, {}, {"Invalid value (abc) after -E option: it is not a number. Aborting program"},
     false, 1},
    {"NegativeEstimations", {"-t", "t.tpl", "-e", "p.est", "-E", "-2", "-n", "5"}, kTemplate,
     {}, {"Invalid value (-2) after -E option: it must be at least 0. Aborting program"}, true,
     1},
    {"HugeEstimations", {"-t", "t.tpl", "-e", "p.est", "-E", "1e12", "-n", "5"}, kTemplate, {},
     {"Invalid value (1e12) after -E option: it does not fit in a 32-bit integer. Aborting "
      "program"},
     true, 1},
    {"GenericNameTooLong", {"-i", "dir/" + kLongStem + ".par", "-n", "5"}, {}, {},
     {"Input file name \"dir/" + kLongStem +
      ".par\" is too long: without folder and extension it may have at most 198 characters. "
      "Exiting program."},
     false, 1},
    {"GenericNameLongest", {"-i", kStem198 + ".par", "-n", "5"}, {{kStem198 + ".par", "x"}},
     {}, {kAccepted}, false, 1},
    {"GenericNameEmpty", {"-i", ".par", "-n", "5"}, {{".par", "x"}}, {},
     {"Invalid input file name \".par\": it gives an empty name to the output folder. Exiting "
      "program."},
     false, 1},
    {"GenericNameDot", {"-i", "..par", "-n", "5"}, {{"..par", "x"}}, {},
     {"Invalid input file name \"..par\": it gives the name \".\" to the output folder. "
      "Exiting program."},
     false, 1},
    {"GenericNameDotDot", {"-i", "...par", "-n", "5"}, {{"...par", "x"}}, {},
     {"Invalid input file name \"...par\": it gives the name \"..\" to the output folder. "
      "Exiting program."},
     false, 1},
    {"GenericNameWithATab", {"-i", "a\tb.par", "-n", "5"}, {{"a\tb.par", "x"}}, {},
     {"Invalid input file name \"a\tb.par\": its name holds a control character (a tab, a "
      "line end), which the names of its outputs and their list cannot hold. Exiting program."},
     false, 1},
    {"GenericNameWithALineEnd", {"-i", "a\nb.par", "-n", "5"}, {{"a\nb.par", "x"}}, {},
     {"b.par\": its name holds a control character (a tab, a line end), which the names of its "
      "outputs and their list cannot hold. Exiting program."},
     false, 1},
    {"TemplateGenericNameDot", {"-t", "..tpl", "-f", "d.def", "-n", "5"}, {{"..tpl", "x"}}, {},
     {"Invalid input file name \"..tpl\": it gives the name \".\" to the output folder. "
      "Exiting program."},
     false, 1},
    {"DefinitionGenericNameDotDot", {"-t", "t.tpl", "-f", "...def", "-n", "5"}, kTemplate, {},
     {"Invalid input file name \"...def\": it gives the name \"..\" to the output folder. "
      "Exiting program."},
     false, 1},

    // Number of simulations and the other options, in the order they are checked.
    {"NoSimulations", {"-i", "m.par"}, kModel, {},
     {"Need to specify how many simulations to perform using -n option"}, true, 1},
    {"SimulationsNotInteger", {"-i", "m.par", "-n", "1.5"}, kModel, {},
     {"Need to specify how many simulations to perform after -n option"}, true, 1},
    {"SimulationsText", {"-i", "m.par", "-n", "abc"}, kModel, {},
     {"Need to specify how many simulations to perform after -n option"}, true, 1},
    {"ZeroSimulations", {"-i", "m.par", "-n", "0"}, kModel, {},
     {"Invalid number of simulation to be performed after -n option. Aborting program"}, false,
     1},
    {"NegativeSimulations", {"-i", "m.par", "-n", "-4"}, kModel, {},
     {"Invalid number of simulation to be performed after -n option. Aborting program"}, false,
     1},
    {"HugeSimulations", {"-i", "m.par", "-n", "99999999999"}, kModel, {},
     {"Invalid value (99999999999) after -n option: it does not fit in a 32-bit integer. "
      "Aborting program"},
     false, 1},
    {"NumSimsCheckedBeforeFiles", {"-i", "missing.par", "-n", "0"}, {}, {},
     {"Invalid number of simulation to be performed after -n option. Aborting program"}, false,
     1, {"Unable to open"}},
    {"HugeAscertainedDeme", with(kPlain, {"-a", "99999999999"}), kModel, {},
     {"Invalid value (99999999999) after -a option: it does not fit in a 32-bit integer. "
      "Aborting program"},
     false, 1},
    {"SnpCountNotInteger", with(kPlain, {"-s", "many"}), kModel, {},
     {"Unspecified number of SNPs to output after -s option. Aborting program."}, true, 1},
    {"NegativeSitesInMemory", with(kPlain, {"-k", "-1"}), kModel, {},
     {"Invalid value (-1) after -k option: it must be at least 0. Aborting program"}, false, 1},
    {"HugeSitesInMemory", with(kPlain, {"-k", "1e10"}), kModel, {},
     {"Invalid value (1e10) after -k option: it does not fit in a 32-bit integer. Aborting "
      "program"},
     false, 1},
    {"SitesInMemoryNotFinite", with(kPlain, {"-k", "nan"}), kModel, {},
     {"Invalid value (nan) after -k option: it is not a finite number. Aborting program"},
     false, 1},
    {"ZeroBatches", with(kPlain, {"-B", "0"}), kModel, {},
     {"Chosen no. of batches is zero, setting it to 1", kAccepted}, false, 1},
    {"NegativeBatches", with(kPlain, {"-B", "-7"}), kModel, {},
     {"Chosen no. of batches (-7) is negative, setting it to 1", kAccepted}, false, 1,
     {"zero"}},
    {"TooManyBatches", with(kPlain, {"-B", "500"}), kModel, {},
     {"Chosen no. of batches (500) is too large, setting it to maximum allowed value of 100",
      kAccepted},
     false, 1},
    {"BatchesNotInteger", with(kPlain, {"-B", "x"}), kModel, {},
     {"Invalid number of batches (x), setting it to default value of 12", kAccepted}, false,
     1},
    {"BatchesWithTrailingLetters", with(kPlain, {"-B", "12abc"}), kModel, {},
     {"Invalid number of batches (12abc), setting it to default value of 12", kAccepted},
     false, 1},
    {"HugeBatches", with(kPlain, {"-B", "3000000000"}), kModel, {},
     {"Invalid value (3000000000) after -B option: it does not fit in a 32-bit integer. "
      "Aborting program"},
     false, 1},
    {"ThreadsAboveBatches", with(kPlain, {"-c", "16"}), kModel, {},
     {"Adjusting number of threads (16) to number of defined  batches (12)", kAccepted}, false,
     1},
    {"ThreadsAboveRepairedBatches", with(kPlain, {"-c", "16", "-B", "500"}), kModel, {},
     {"Chosen no. of batches (500) is too large, setting it to maximum allowed value of 100",
      kAccepted},
     false, 1, {"Adjusting"}},
    {"ThreadsAboveChosenBatches", with(kPlain, {"--cores=9", "--numBatches", "4"}), kModel, {},
     {"Adjusting number of threads (9) to number of defined  batches (4)"}, false, 1},
    {"NegativeThreads", with(kPlain, {"-c", "-1"}), kModel, {},
     {"Invalid value (-1) after -c option: it must be at least 0. Aborting program"}, false, 1},
    {"NegativeBootstraps", with(kPlain, {"-b", "-1"}), kModel, {},
     {"Invalid value (-1) after -b option: it must be at least 0. Aborting program"}, false, 1},
    {"HugeBootstraps", with(kPlain, {"-b", "3000000000"}), kModel, {},
     {"Invalid value (3000000000) after -b option: it does not fit in a 32-bit integer. "
      "Aborting program"},
     false, 1},
    {"DataSetsBeyond32Bits", {"-i", "m.par", "-n", "100000", "-b", "30000"}, kModel, {},
     {"Invalid numbers of simulations (-n 100000) and bootstraps (-b 30000): they give "
      "3000100000 data sets, more than the 2147483647 allowed. Aborting program"},
     false, 1},
    {"DataSetsAtTheLimit", {"-i", "m.par", "-n", "1", "-b", "2147483646"}, kModel, {}, {kAccepted},
     false, 1},
    {"HugeSeed", with(kPlain, {"-r", "1e30"}), kModel, {},
     {"Invalid value (1e30) after -r option: it is too large for a seed (at most "
      "9200000000000000000). Aborting program"},
     false, 1},
    {"SeedBeyond32Bits", with(kPlain, {"-r", "-5000000000"}), kModel, {}, {kAccepted}, false,
     1},
    {"SeedWithAFraction", with(kPlain, {"-r", "13.7"}), kModel, {},
     {"Invalid value (13.7) after -r option: it is not an integer. Aborting program"}, false,
     1},
    {"SeedInExponentForm", with(kPlain, {"-r", "1e3"}), kModel, {}, {kAccepted}, false, 1,
     {"Invalid"}},

    // Input files.
    {"MissingModel", {"-i", "missing.par", "-n", "5"}, {}, {},
     {"Unable to open input file (missing.par)"}, false, 1},
    {"MissingTemplate", {"-t", "no.tpl", "-f", "d.def", "-n", "5"}, kTemplate, {},
     {"Unable to open input file (no.tpl). Exiting program."}, false, 1},
    {"MissingTemplateAndDefinition", {"-t", "no.tpl", "-f", "no.def", "-n", "5"}, {}, {},
     {"Unable to open input file (no.tpl). Exiting program.",
      "Unable to open input file (no.def). Exiting program."},
     false, 1},
    {"RecomputeWithoutPrior", {"-t", "t.tpl", "-F", "d.def", "-n", "5"}, kTemplate, {},
     {"Need an est file to be able to recompute complex parameters from def file"}, false, 1},
    {"MissingPrior", {"-t", "t.tpl", "-e", "no.est", "-E", "2", "-n", "5"}, kTemplate, {},
     {"Unable to open input file (no.est)"}, false, 1},
    {"MissingDefinition", {"-t", "t.tpl", "-f", "no.def", "-n", "5"}, kTemplate, {},
     {"Unable to open input file (no.def). Exiting program."}, false, 1},

    // Estimation and repetitions.
    {"EstimationWithoutTemplate", with(kPlain, {"-M", "0.01", "-d"}), kModel, {},
     {"Brent minimization procedure requires the presence of \"est\" and \"tpl\" files,",
      " which are not found here"},
     false, 1},
    {"EstimationWithoutSpectrum", kEstimate, kTemplate, {},
     {"Brent minimization procedure (-M) requires the computation of a derived (-d) or minor "
      "(-m) allele frequency spectrum, and neither option is given"},
     false, 1},
    {"EstimationDefaults", with(kEstimate, {"-d"}), kTemplate, {},
     {"Unspecified maximum number of simulation to perform. Setting it to -n option",
      "Unspecified maximum number of loops to perform. Setting it to 20", kAccepted},
     false, 1, {"Unspecified number of loops"}},
    {"EstimationRepairs",
     with(kEstimate, {"-m", "-w", "0.5", "-N", "0", "-l", "0", "-L", "4"}), kTemplate, {},
     {"Warning: parameter -w set to too large value. Resetting it to max value of 0.1",
      "Invalid maximum number of simulation to perform. Setting it to -n option",
      "Unspecified number of loops to perform. Setting it to 10",
      "Maximum number of loops is smaller than minimum number of loops. Setting max to min",
      kAccepted},
     false, 1},
    {"EstimationSmallTolerance", with(kEstimate, {"-d", "-w", "1e-9", "-L", "30"}), kTemplate,
     {},
     {"Warning: parameter -w set to too small value. Resetting it to min value of 1e-5",
      kAccepted},
     false, 1},
    {"NegativeMaxSimulations", with(kEstimate, {"-d", "-N", "-1"}), kTemplate, {},
     {"Invalid value (-1) after -N option: it must be at least 0. Aborting program"}, false, 1},
    {"ToleranceWithoutEstimation", with(kPlain, {"-w", "0.5", "-N", "-1"}), kModel, {},
     {kAccepted}, false, 1, {"Warning", "-N"}},
    {"Repetitions", with(kPlain, {"-R", "3"}), kModel, {}, {kAccepted}, false, 1},
    {"ZeroRepetitions", with(kPlain, {"-R", "0"}), kModel, {},
     {"Invalid value (0) after -R option: it must be at least 1. Aborting program"}, false, 1},
    {"RepetitionsOnTemplate", {"-t", "t.tpl", "-f", "d.def", "-n", "5", "-R", "0"}, kTemplate,
     {"Cannot use the -R option when -t option or -d options are used. Use -E option in that "
      "case"},
     {kAccepted}, false, 1},

    // Parser forms on the real command line.
    {"GluedValue", {"-i", "m.par", "-n5"}, kModel, {}, {kAccepted}, false, 1},
    {"ValueAfterEquals", {"-i", "m.par", "-n=5"}, kModel, {}, {kAccepted}, false, 1},
    {"LongNameEquals", {"--ifile=m.par", "--numsims=5"}, kModel, {}, {kAccepted}, false, 1},
    {"LongNameNextArgument", {"--ifile", "m.par", "--numsims", "5"}, kModel, {}, {kAccepted},
     false, 1},
    {"Cluster", {"-i", "m.par", "-qdn", "5"}, kModel, {}, {kAccepted}, false, 1},
    {"ClusterSwallowsRest", {"-i", "m.par", "-qn5d"}, kModel, {},
     {"Need to specify how many simulations to perform after -n option"}, true, 1},
    {"UnknownOptionsIgnored", {"-i", "m.par", "--bogus", "-Z", "extra", "-n", "5"}, kModel, {},
     {"Warning: unknown option \"--bogus\" is ignored",
      "Warning: unknown option \"-Z\" is ignored",
      "Warning: argument \"extra\" follows no option and is ignored", kAccepted},
     false, 1},
    {"ValueAtTheEnd", {"-i", "m.par", "-n"}, kModel, {},
     {"Missing value after -n option: it is the last argument. Aborting program"}, false, 1},

    // Arguments a user mistypes: unknown ones are reported and the run goes on;
    // a value that is missing or not a number is refused naming the option.
    {"UnknownLongOptionEvenWhenQuiet", with(kPlain, {"-q", "--dfs", "--foo=3"}), kModel, {},
     {"Warning: unknown option \"--dfs\" is ignored",
      "Warning: unknown option \"--foo=3\" is ignored", kAccepted},
     false, 1},
    {"UnknownLetterInCluster", {"-i", "m.par", "-qZn", "5"}, kModel, {},
     {"Warning: unknown option \"-Z\" in \"-qZn\" is ignored", kAccepted}, false, 1},
    {"LoneDashes", with(kPlain, {"-", "--"}), kModel, {},
     {"Warning: unknown option \"-\" is ignored", "Warning: unknown option \"--\" is ignored",
      kAccepted},
     false, 1},
    {"UnknownOptionInRunFile", {}, {{"brv_run.txt", "sub\n-i m.par --dfs -n 5 x\n"},
                                    {"sub/m.par", "x\n"}},
     {}, {"Warning: unknown option \"--dfs\" is ignored",
          "Warning: argument \"x\" follows no option and is ignored", kAccepted},
     false, 1},
    {"UnknownOptionWithVersion", {"--dfs", "-v"}, {}, {kVersion},
     {"Warning: unknown option \"--dfs\" is ignored"}, false, 0},
    {"ValueTakenByTheNextOption", with(kEstimate, {"-d", "-M", "-L", "40"}), kTemplate, {},
     {"Missing value after -M option: it is followed by the option -L. Aborting program"},
     false, 1, {"Unspecified", "Unable", "follows no option"}},
    {"SimulationsTakenByTheNextOption", {"-i", "m.par", "-n", "-d"}, kModel, {},
     {"Missing value after -n option: it is followed by the option -d. Aborting program"},
     false, 1},
    {"BatchesTakenByTheNextOption", with(kPlain, {"-B", "--cores", "2"}), kModel, {},
     {"Missing value after -B option: it is followed by the option --cores. Aborting program"},
     false, 1, {"Invalid number of batches", "follows no option"}},
    {"UnknownOptionWithAMissingValue", {"-i", "m.par", "-Z", "-n"}, kModel, {},
     {"Missing value after -n option: it is the last argument. Aborting program"}, false, 1,
     {"Warning"}},
    {"LongNameAtTheEnd", {"-i", "m.par", "-n", "5", "--maxlhood"}, kModel, {},
     {"Missing value after --maxlhood option: it is the last argument. Aborting program"}, false,
     1},
    {"ClusterAtTheEnd", {"-i", "m.par", "-qn"}, kModel, {},
     {"Missing value after -n option: it is the last argument. Aborting program"}, false, 1},
    {"TextOptionAtTheEnd", with(kPlain, {"-o"}), kModel, {},
     {"Missing value after -o option: it is the last argument. Aborting program"}, false, 1},
    {"EmptyValue", with(kPlain, {"--seed="}), kModel, {},
     {"Missing value after -r option: its value is empty. Aborting program"}, false, 1},
    {"TrailingGarbage", with(kPlain, {"-b", "10x"}), kModel, {},
     {"Invalid value (10x) after -b option: it is not a number. Aborting program"}, false, 1},
    {"NumberTrailingGarbage", with(kPlain, {"-k", "100k"}), kModel, {},
     {"Invalid value (100k) after -k option: it is not a number. Aborting program"}, false, 1},
    {"IntegerOptionGivenAFraction", with(kEstimate, {"-d", "-l", "2.5"}), kTemplate, {},
     {"Invalid value (2.5) after -l option: it is not an integer. Aborting program"}, false, 1},
    {"ThreadsNotANumber", with(kPlain, {"-c", "x"}), kModel, {},
     {"Invalid value (x) after -c option: it is not a number. Aborting program"}, false, 1},
    {"StopCriterionNotANumber", with(kEstimate, {"-d", "-M", "tiny"}), kTemplate, {},
     {"Invalid value (tiny) after -M option: it is not a number. Aborting program"}, false, 1},
    {"ToleranceNotFinite", with(kEstimate, {"-d", "-w", "nan"}), kTemplate, {},
     {"Invalid value (nan) after -w option: it is not a finite number. Aborting program"}, false,
     1},
    {"UnusedOptionStillChecked", with(kPlain, {"-w", "0.0l"}), kModel, {},
     {"Invalid value (0.0l) after -w option: it is not a number. Aborting program"}, false, 1},
    {"NegativeSeedIsAValue", with(kPlain, {"-r", "-5"}), kModel, {}, {kAccepted}, false, 1,
     {"Warning", "Missing"}},
    {"NegativeSnpCountIsAValue", with(kPlain, {"-s", "-3"}), kModel, {}, {kAccepted}, false, 1,
     {"Warning", "Missing"}},
    {"SimulationsWithGarbageKeepTheirMessage", {"-i", "m.par", "-n", "10x"}, kModel, {},
     {"Need to specify how many simulations to perform after -n option"}, true, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTable, testing::ValuesIn(kCases),
                         [](testing::TestParamInfo<CliCase> const& info) {
                           return std::string(info.param.label);
                         });

}  // namespace
