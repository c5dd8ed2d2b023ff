#include "driver/commandLine.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <iostream>

#include "driver/optionChecks.h"
#include "driver/runFile.h"
#include "driver/runOptions.h"
#include "driver/usageText.h"
#include "support/anyoption.h"
#include "support/globals.h"

namespace {

void takeStartStamp() {
  std::time_t const now = std::time(nullptr);
  std::strftime(strTime, sizeof strTime, "%d/%m/20%y at %H:%M:%S", std::localtime(&now));
}

my_string currentFolder() {
  char* folder = getcwd(nullptr, 0);  // sized by the C library: no length limit
  my_string name(folder != nullptr ? folder : "");
  std::free(folder);
  return name;
}

void echoCommandLine(int argc, char** argv) {
  std::cout << "brimvane was invoked with the following command line arguments:\n";
  for (int i = 0; i < argc; ++i) std::cout << argv[i] << " ";
  std::cout << "\n";
}

}  // namespace

int readCommandLine(int argc, char** argv, AnyOption& opt, ArgumentVector& newArg,
                    RunOptions& run) {
  takeStartStamp();
  run.startFolder = currentFolder();
  gettimeofday(&run.startTime, nullptr);
  registerUsageAndOptions(opt);

  if (argc == 1 && !readRunFile(opt, run.startFolder, argc, argv, newArg)) return 1;
  opt.processCommandArgs(argc, argv);
  if (argc > 1) echoCommandLine(argc, argv);

  if (optionFlag(opt, 'h')) opt.printUsage();
  bool const version = optionValue(opt, 'v') != nullptr;
  // A value taken by the next option leaves that option's own value behind as
  // an argument that follows no option: the refusal alone says what is wrong.
  if (!version && !checkOptionValues(opt)) return 1;
  warnIgnoredArguments(opt);
  if (version) {
    std::cout << versionLine() << "\n\n";
    return 0;
  }
  if (!chooseInputRoute(opt, run) || !checkNumericOptions(opt, run) ||
      !checkInputFiles(run) || !checkEstimationOptions(opt, run))
    return 1;
  return CONTINUE_RUN;
}
