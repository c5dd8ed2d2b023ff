// A run's model: the output names and folder made from the model file name,
// and the reading of the model directly or through a template.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "model/modelReader.h"
#include "model/simSettings.h"
#include "support/public.h"

// The model file name without extension and folder. A name whose last part
// holds no '.' has no extension: only its folder is dropped.
my_string genericNameOf(const my_string& fileName) {
  std::string name = fileName.c_str();
  size_t sep = name.find_last_of("/\\");
  std::string base = sep == std::string::npos ? name : name.substr(sep + 1);
  my_string generic = fileName;
  if (base.find('.') != std::string::npos) generic.remove_extension();
  generic.remove_path();
  return generic;
}

namespace {

constexpr int kLabelBufferSize = 512;
constexpr int kMaxGenericLength = sizeof(TSimSettings::workingDirectory) - 2;


my_string with(const my_string& prefix, const char* suffix) { return prefix + suffix; }

}  // namespace

int TSimSettings::readInputFile(std::istream& is, bool newStructures, int runIndex, bool echoFile,
                                bool refuseIsolatedSamples, const std::string& source,
                                const std::string& notANumberHint) {
  (void)runIndex;
  const std::string name = !source.empty()        ? source
                           : parFileName.is_null() ? std::string("model stream")
                                                   : "model file \"" +
                                                         std::string(parFileName.c_str()) + "\"";
  return readModelStream(*this, is, newStructures, echoFile, name, refuseIsolatedSamples,
                         notANumberHint);
}

int TSimSettings::readParFileFromString(bool newStructures, int runIndex) {
  (void)runIndex;
  std::istringstream is(modelText);
  // The model made from the template keeps the template's lines.
  const std::string source = tplFileName.is_null()
                                 ? std::string("model text in memory")
                                 : "template \"" + std::string(tplFileName.c_str()) + "\"";
  return readModelStream(*this, is, newStructures, false, source);
}

int TSimSettings::nameOutputs(const my_string& fileName, int runIndex) {
  genericName = genericNameOf(fileName);
  if (genericName.is_null()) {
    std::cerr << "The model file name \"" << fileName << "\" gives no name for the output folder\n";
    return 0;
  }
  if (genericName.length() > kMaxGenericLength) {
    std::cerr << "The model file name \"" << fileName << "\" is too long: its name without folder "
              << "and extension may hold at most " << kMaxGenericLength << " characters\n";
    return 0;
  }
  std::snprintf(workingDirectory, sizeof workingDirectory, "%s/", genericName.c_str());
  char label[kLabelBufferSize];
  int labelLength = std::snprintf(label, sizeof label, "%s_%i", genericName.c_str(), runIndex + 1);
  if (labelLength < 0 || labelLength >= kLabelBufferSize) {
    std::cerr << "The run label of model file \"" << fileName << "\" is too long\n";
    return 0;
  }
  const my_string run = my_string(workingDirectory) + label;
  genFileName = with(run, ".gen");
  qdbFileName = with(run, ".qdb");
  runPrefix = run;
  projectFilePrefix = run;
  batFileName = with(run, ".bat");
  paupFileName = with(run, ".paup");
  trueTreesFileName = with(run, "_true_trees.trees");
  mutTreesFileName = with(run, "_mut_trees.trees");
  ascTreesFileName = SNPascertainment ? with(run, "_asc_trees.trees") : my_string();
  logFileName = my_string(workingDirectory) + genericName + ".log";
  simparamFileName = with(run, ".simparam");
  return 1;
}

// Names the outputs after the model file name, makes the output folder and
// reads the model from the stream.
int TSimSettings::readNamedModel(const my_string& fileName, std::istream& is, bool newStructures,
                                 int runIndex, bool echoFile, bool refuseIsolatedSamples,
                                 const std::string& source, const std::string& notANumberHint) {
  parFileName = fileName;
  if (!nameOutputs(fileName, runIndex)) return 0;
  makeDir(genericName.c_str());
  if (!checkDirExist(genericName.c_str())) {
    std::cerr << "Unable to create the output folder \"" << genericName << "\"\n";
    return 0;
  }
  return readInputFile(is, newStructures, runIndex, echoFile, refuseIsolatedSamples, source,
                       notANumberHint);
}

int TSimSettings::readInputFile(my_string fileName, bool newStructures, int runIndex,
                                bool echoFile, bool refuseIsolatedSamples) {
  std::ifstream file(fileName.c_str());
  return readNamedModel(fileName, file, newStructures, runIndex, echoFile, refuseIsolatedSamples);
}

int TSimSettings::readInputFiles(const bool& useTemplate, const bool& drawFromPriors,
                                 const my_string& parFile, const my_string& tplFile,
                                 const int& runIndex) {
  // A model file that can never give a genealogy is refused before any
  // simulation; on the template route a failing parameter set is reported
  // by the simulations (bad-parameter file) instead.
  if (!useTemplate) {
    if (readInputFile(parFile, true, runIndex, true, true)) return 1;
    std::cerr << "Unable to read file " << parFile << "\n";
    return 0;
  }
  my_string generated = tplFile;
  generated.remove_extension();
  generated += ".par";
  if (drawFromPriors && !drawParametersFromDistributions()) {
    std::cerr << "Impossible to draw parameter values... exiting program\n";
    return 0;
  }
  const int row = drawFromPriors ? 0 : runIndex;
  if (!(*paramValueRows)[row]) {
    std::cerr << "No row of parameter values for run " << runIndex + 1 << "\n";
    return 0;
  }
  if (!createParFileFromTemplateFile(tplFile, row)) {
    std::cerr << "Template file \"" << tplFile << "\" not found. Aborting computations\n";
    return 0;
  }
  // The model made from the template stays in memory: private to this run. It
  // keeps the template's lines, so messages name the template. With a
  // definition file alone only its columns are replaced.
  const std::string source = "template \"" + std::string(tplFile.c_str()) + "\"";
  const bool definitionFileAlone = !drawFromPriors && parameters.paramArray.numElems == 0;
  const std::string hint =
      definitionFileAlone
          ? "is not a column of the definition file, so the template keeps it as it is. A "
            "complex parameter takes its value from its equation in the prior file: give the "
            "prior file with -e and the definition file with -F (in place of -f)"
          : "";
  std::istringstream model(modelText);
  if (readNamedModel(generated, model, true, runIndex, true, false, source, hint)) return 1;
  std::cerr << "Unable to read file " << tplFile << "\n";
  return 0;
}
