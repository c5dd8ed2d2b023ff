#include "driver/masterSettings.h"

#include <iostream>

#include "estimation/templateChecks.h"
#include "estimation/templates.h"
#include "model/simSettings.h"

bool prepareMasterSettings(TSimSettings& master, const RunOptions& run) {
  master.tplParFileName = run.modelFileName;
  if (run.numRepetitions >= 2) {
    master.numValueRows = run.numRepetitions;
    return true;
  }
  if (!run.useTemplate) {
    master.numValueRows = 1;
    return true;
  }
  master.tplFileName = run.templateFileName;
  // Read once: every run and the file of best values use this text, whatever
  // becomes of the file while the process runs.
  if (!readTextFile(run.templateFileName.c_str(), master.templateText.edit())) {
    std::cerr << "Template file \"" << run.templateFileName << "\" not found. Aborting "
              << "computations\n";
    return false;
  }
  my_string generated = run.templateFileName;
  generated.remove_extension();
  master.tplParFileName = generated + ".par";
  if (run.priorFileGiven) {
    master.numValueRows = run.numEstimations;
    if (!master.readEstimationFile(run.priorFileName)) {
      std::cerr << "Problems in reading estimation file \"" << run.priorFileName
                << "\", aborting computations\n";
      return false;
    }
  }
  if (run.defFileGiven &&
      !master.readDefinitionFile(run.defFileName, run.templateFileName,
                                 run.recomputeComplexParams)) {
    std::cerr << "Problems in reading definition file \"" << run.defFileName
              << "\", aborting computations\n";
    return false;
  }
  master.scanTplFile(run.templateFileName.c_str());
  if (run.defFileGiven) {
    const std::string prior = run.recomputeComplexParams ? run.priorFileName.c_str() : "";
    return checkTemplateNames(std::cerr, master, TNameSource{run.defFileName.c_str(), true, prior});
  }
  if (run.priorFileGiven)
    return checkTemplateNames(std::cerr, master, TNameSource{run.priorFileName.c_str(), false, ""});
  return true;
}
