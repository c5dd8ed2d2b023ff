// Choice of the input route and the names derived from the input files.
#include <iostream>

#include "driver/optionChecks.h"
#include "driver/optionNumbers.h"
#include "driver/runOptions.h"
#include "driver/usageText.h"
#include "model/simSettings.h"
#include "support/anyoption.h"

namespace {

// Refuses a file whose generic name cannot name an output folder: empty, "."
// or ".." (the outputs would land in the working folder or its parent), or
// too long for the output names.
bool checkGenericName(my_string const& fileName) {
  my_string const generic = genericNameOf(fileName);
  const std::string text = generic.c_str();
  if (text.empty() || text == "." || text == "..") {
    std::cerr << "Invalid input file name \"" << fileName << "\": it gives "
              << (text.empty() ? std::string("an empty name") : "the name \"" + text + "\"")
              << " to the output folder. Exiting program." << std::endl;
    return false;
  }
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      std::cerr << "Invalid input file name \"" << fileName
                << "\": its name holds a control character (a tab, a line end), which the "
                   "names of its outputs and their list cannot hold. Exiting program."
                << std::endl;
      return false;
    }
  if (generic.length() > MAX_GENERIC_NAME_LENGTH) {
    std::cerr << "Input file name \"" << fileName
              << "\" is too long: without folder and extension it may have at most "
              << MAX_GENERIC_NAME_LENGTH << " characters. Exiting program." << std::endl;
    return false;
  }
  return true;
}

// Sets the default likelihood table "G/G.lhoods", G being the generic name of the
// input file, so that it lies in the run's output folder.
bool nameRunAfter(my_string const& inputFileName, RunOptions& run) {
  if (!checkGenericName(inputFileName)) return false;
  run.lhoodFileName = defaultLhoodFileName(genericNameOf(inputFileName));
  return true;
}

bool choosePriorFile(AnyOption& opt, RunOptions& run, char const* priorName) {
  run.priorFileName = priorName;
  run.priorFileGiven = true;
  if (!run.priorFileName.contains(".est")) {
    std::cerr << "Invalid estimation file name \"" << run.priorFileName
              << "\". Lack of \".est\" extension. Exiting program.\n";
    return false;
  }
  char const* numEst = optionValue(opt, 'E');
  if (run.recomputeComplexParams) {
    run.numEstimations = 1;
  } else if (numEst != nullptr) {
    if (!readTruncatedOption('E', numEst, 0, false, run.numEstimations)) {
      opt.printUsage();
      return false;
    }
  } else if (optionValue(opt, 'M') != nullptr) {
    run.numEstimations = 1;
  } else {
    std::cerr << "Need to specify how many estimations to perform (-E numest) when option -e "
                 "is activated\n";
    opt.printUsage();
    return false;
  }
  my_string params(run.templateFileName);
  params.remove_extension();
  run.paramFileName = params + ".params";
  return true;
}

bool chooseTemplateRoute(AnyOption& opt, RunOptions& run) {
  char const* tpl = optionValue(opt, 't');
  if (tpl == nullptr) {
    std::cerr << "Need to specify parameter file name or template file name\n";
    opt.printUsage();
    return false;
  }
  run.useTemplate = true;
  run.templateFileName = tpl;
  if (!run.templateFileName.contains(".tpl")) {
    std::cerr << "Invalid template file name \"" << run.templateFileName
              << "\". Lack of \".tpl\" extension. Exiting program.\n";
    return false;
  }
  if (char const* def = optionValue(opt, 'f')) {
    run.defFileName = def;
    run.defFileGiven = true;
  }
  if (char const* def = optionValue(opt, 'F')) {
    run.defFileName = def;
    run.defFileGiven = true;
    run.recomputeComplexParams = true;
  }
  if (!nameRunAfter(run.templateFileName, run)) return false;
  if (run.defFileGiven && !checkGenericName(run.defFileName)) return false;
  run.numEstimations = 1;
  if (char const* prior = optionValue(opt, 'e')) {
    if (!choosePriorFile(opt, run, prior)) return false;
  }
  if (!run.defFileGiven && !run.priorFileGiven) {
    std::cerr << "Need to specify parameter a definition file name (-d *.def) or\n"
              << "\na parameter estimation file (-e *.est) if template input file is used\n";
    opt.printUsage();
    return false;
  }
  if (run.defFileGiven && run.priorFileGiven && !run.recomputeComplexParams) {
    std::cerr << "Cannot define both a parameter definition file name (-d *.def) and \n"
              << "\na parameter estimation file (-e *.est) if template input file is used\n"
              << "You need to specify how parameters are substituted into template file\n";
    opt.printUsage();
    return false;
  }
  return true;
}

}  // namespace

bool chooseInputRoute(AnyOption& opt, RunOptions& run) {
  if (char const* model = optionValue(opt, 'i')) {
    run.useTemplate = false;
    run.modelFileName = model;
    return nameRunAfter(run.modelFileName, run);
  }
  return chooseTemplateRoute(opt, run);
}

my_string defaultLhoodFileName(my_string const& generic) {
  return generic + "/" + generic + ".lhoods";
}
