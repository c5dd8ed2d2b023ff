// Removal of the outputs an earlier invocation left in the model's output
// folder. A file is an output when its name has the shape of a name the
// program's own name builders give: the same text with every number in it
// free, so that the files of any run, simulation, bootstrap or deme count.
// Nothing else is touched: files of other names, files of other models,
// folders (but empty spectrum folders) and the run's input files stay.
#include "driver/staleOutputs.h"

#include <cctype>
#include <filesystem>
#include <iostream>
#include <set>
#include <system_error>

#include "driver/dataSetOutput.h"
#include "driver/expSFSBatches.h"
#include "driver/geneticRun.h"
#include "estimation/brentMinimization.h"
#include "estimation/templates.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"

namespace fs = std::filesystem;

namespace {

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name with every run of digits after the generic name replaced by one
// '#'; empty when the name does not start with the generic name.
std::string shapeOf(const std::string& name, const std::string& generic) {
  if (name.compare(0, generic.size(), generic) != 0) return "";
  std::string shape = generic;
  bool inNumber = false;
  for (size_t k = generic.size(); k < name.size(); ++k) {
    const bool digit = std::isdigit(static_cast<unsigned char>(name[k])) != 0;
    if (!digit)
      shape += name[k];
    else if (!inNumber)
      shape += '#';
    inNumber = digit;
  }
  return shape;
}

// SNP ascertainment switched on or off while names are built, so that the
// names of runs with and without it are both known.
class TAscertainmentScope {
 public:
  explicit TAscertainmentScope(bool on) {
    TSimSettings::SNPascertainment = on;
    TSimSettings::ascertainedSize = 1;
  }
  ~TAscertainmentScope() {
    TSimSettings::SNPascertainment = saved_;
    TSimSettings::ascertainedSize = savedSize_;
  }
  TAscertainmentScope(const TAscertainmentScope&) = delete;
  TAscertainmentScope& operator=(const TAscertainmentScope&) = delete;

 private:
  const bool saved_ = TSimSettings::SNPascertainment;
  const int savedSize_ = TSimSettings::ascertainedSize;
};

void addSpectrumNames(std::set<std::string>& names, const std::string& generic) {
  for (const bool minor : {true, false}) {
    const AFS flavour(minor);
    for (const std::string& prefix : {generic, pooledSpectrumPrefix(generic)})
      for (const AFS::FileKind kind :
           {AFS::FileKind::OBSERVED, AFS::FileKind::EXPECTED, AFS::FileKind::DADI}) {
        names.insert(flavour.popSpectrumFileName(".", prefix, 0, kind));
        names.insert(flavour.jointSpectrumFileName(".", prefix, 1, 0, kind));
        names.insert(flavour.multiSpectrumFileName(".", prefix, kind));
      }
  }
  names.insert(AFS::siteCountFileName(".", generic));
}

// The shapes of every output name of the model, and of its spectrum folders.
struct TOutputShapes {
  std::string generic;
  std::set<std::string> files;
  std::string spectrumFolder;

  // False when the model file name gives no output names.
  bool build(const std::string& modelFileName) {
    std::set<std::string> names;
    for (const bool asc : {false, true}) {
      TAscertainmentScope scope(asc);
      TSimSettings probe;
      if (!probe.nameOutputs(modelFileName.c_str(), 0)) return false;
      probe.tplParFileName = modelFileName.c_str();
      generic = probe.genericName.c_str();
      for (const my_string* n : {&probe.qdbFileName, &probe.simparamFileName,
                                 &probe.trueTreesFileName, &probe.mutTreesFileName,
                                 &probe.ascTreesFileName})
        if (!n->is_null()) names.insert(n->c_str());
      names.insert(projectFileName(probe, 0));
      names.insert(keptModelFileName(probe, 0));
      names.insert(maxLikelihoodsFileName(probe));
      names.insert(defaultLhoodFileName(generic.c_str()).c_str());  // when -o is not given
      names.insert(brentLhoodsFileName(generic));
      names.insert(bestLhoodsFileName(generic));
      names.insert(rescaleFactorFileName(generic));
      names.insert(maxLParFileName(modelFileName));
      names.insert(badParameterFileName(probe));
      addSpectrumNames(names, generic);
      spectrumFolder = shapeOf(baseName(::spectrumFolder(probe, 1)), generic);
    }
    for (const std::string& n : names) files.insert(shapeOf(baseName(n), generic));
    files.erase("");
    return true;
  }

  bool isFile(const std::string& name) const {
    const std::string shape = shapeOf(name, generic);
    return !shape.empty() && files.count(shape) > 0;
  }
  bool isFolder(const std::string& name) const {
    const std::string shape = shapeOf(name, generic);
    return !shape.empty() && shape == spectrumFolder;
  }
};

bool isInput(const fs::path& file, const std::vector<fs::path>& inputs) {
  for (const fs::path& input : inputs) {
    std::error_code ec;
    if (fs::equivalent(file, input, ec)) return true;
  }
  return false;
}

// The output files directly inside the folder.
std::vector<fs::path> outputFilesIn(const fs::path& folder, const TOutputShapes& shapes,
                                    const std::vector<fs::path>& inputs) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    std::error_code kind;
    if (!fs::is_regular_file(e.symlink_status(kind))) continue;
    if (shapes.isFile(e.path().filename().string()) && !isInput(e.path(), inputs))
      found.push_back(e.path());
  }
  return found;
}

std::vector<fs::path> spectrumFoldersIn(const fs::path& folder, const TOutputShapes& shapes) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    std::error_code kind;
    if (fs::is_directory(e.symlink_status(kind)) && shapes.isFolder(e.path().filename().string()))
      found.push_back(e.path());
  }
  return found;
}

int removeFiles(const std::vector<fs::path>& files) {
  int removed = 0;
  for (const fs::path& f : files) {
    std::error_code ec;
    if (fs::remove(f, ec))
      ++removed;
    else
      std::cerr << "\nUnable to remove the output file \"" << f.string()
                << "\" left by an earlier run" << std::endl;
  }
  return removed;
}

}  // namespace

bool isOutputFileName(const std::string& fileName, const std::string& genericName) {
  TOutputShapes shapes;
  return shapes.build(genericName + ".par") && shapes.isFile(fileName);
}

bool isSpectrumFolderName(const std::string& folderName, const std::string& genericName) {
  TOutputShapes shapes;
  return shapes.build(genericName + ".par") && shapes.isFolder(folderName);
}

int removeStaleOutputs(const RunOptions& run, const std::string& modelFileName) {
  TOutputShapes shapes;
  if (!shapes.build(modelFileName)) return 0;
  const fs::path folder(shapes.generic);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return 0;
  std::vector<fs::path> inputs;
  for (const my_string* n :
       {&run.modelFileName, &run.templateFileName, &run.defFileName, &run.priorFileName})
    if (!n->is_null()) inputs.emplace_back(n->c_str());

  int removed = removeFiles(outputFilesIn(folder, shapes, inputs));
  for (const fs::path& sub : spectrumFoldersIn(folder, shapes)) {
    removed += removeFiles(outputFilesIn(sub, shapes, inputs));
    std::error_code left;
    fs::remove(sub, left);  // only when it is empty now
  }
  if (removed > 0)
    std::cout << "\nRemoved " << removed << (removed == 1 ? " output file" : " output files")
              << " of an earlier run from the output folder \"" << shapes.generic << "\"\n";
  return removed;
}
