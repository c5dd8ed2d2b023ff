// Every input file of the chosen route must open for reading.
#include <fstream>
#include <iostream>

#include "driver/optionChecks.h"
#include "driver/runOptions.h"

namespace {

bool opens(my_string const& name) {
  std::ifstream in(name.c_str());
  return static_cast<bool>(in);
}

// The message of the files that are checked before the program stops.
bool opensOrSays(my_string const& name) {
  if (opens(name)) return true;
  std::cerr << "Unable to open input file (" << name << "). Exiting program." << std::endl;
  return false;
}

bool checkTemplateFiles(RunOptions const& run) {
  bool ok = opensOrSays(run.templateFileName);
  if (run.defFileGiven) {
    if (run.recomputeComplexParams) {
      if (run.priorFileGiven) {
        ok = opensOrSays(run.priorFileName) && ok;
      } else {
        std::cerr << "Need an est file to be able to recompute complex parameters from def file"
                  << std::endl;
        ok = false;
      }
    }
    if (!opensOrSays(run.defFileName)) return false;
  } else if (run.priorFileGiven && !opens(run.priorFileName)) {
    std::cerr << "Unable to open input file (" << run.priorFileName << ")" << std::endl;
    return false;
  }
  return ok;
}

}  // namespace

bool checkInputFiles(RunOptions const& run) {
  if (run.useTemplate) return checkTemplateFiles(run);
  if (!opens(run.modelFileName)) {
    std::cerr << "Unable to open input file (" << run.modelFileName << ")" << std::endl;
    return false;
  }
  return true;
}
