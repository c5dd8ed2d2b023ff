// Removal of the outputs an earlier invocation left in the model's output
// folder. The earlier invocation's list of written files says what may go; a
// listed file goes only when its name has the shape of a name the program's
// own name builders give (the same text with every number in it free) and no
// run reads it. Nothing else is touched: unlisted files, files of other names
// or models, folders (but empty spectrum folders) and every input file stay.
#include "driver/staleOutputs.h"

#include <cctype>
#include <filesystem>
#include <iostream>
#include <set>
#include <system_error>

#include "driver/dataSetOutput.h"
#include "driver/expSFSBatches.h"
#include "driver/geneticRun.h"
#include "driver/runFile.h"
#include "estimation/brentMinimization.h"
#include "estimation/templates.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"
#include "support/outputRecord.h"

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

// The shapes of the names of the observed spectra (and four-gamete
// distribution) of the model, which runs read from their working folder.
void addObservedNames(std::set<std::string>& shapes, const std::string& generic) {
  for (const bool minor : {true, false})
    for (const std::string& n :
         {TObsAFS::popFileName(generic, minor, 0), TObsAFS::jointFileName(generic, minor, 1, 0),
          TObsAFS::pooledFileName(generic, minor), TObsAFS::multiFileName(generic, minor)})
      shapes.insert(shapeOf(n, generic));
  shapes.insert(shapeOf(generic + "_4GT.obs", generic));
}

// The shapes of every output name of the model, and of its spectrum folders.
struct TOutputShapes {
  std::string generic;
  std::set<std::string> files;
  std::set<std::string> observed;  // observed spectra a run reads
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
      names.insert(std::string(probe.runPrefix.c_str()) + "_1.4GT");  // four-gamete counts
      addSpectrumNames(names, generic);
      addObservedNames(observed, generic);
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
  bool isObserved(const std::string& name) const {
    const std::string shape = shapeOf(name, generic);
    return !shape.empty() && observed.count(shape) > 0;
  }
  bool isFolder(const std::string& name) const {
    const std::string shape = shapeOf(name, generic);
    return !shape.empty() && shape == spectrumFolder;
  }
};

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

bool sameFile(const fs::path& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

bool hasExtension(const fs::path& file, const char* extension) {
  return file.extension() == extension;
}

// A listed entry: a name in the folder or in one of its spectrum folders, with
// an output's name; empty when the entry is none of these.
fs::path listedOutput(const std::string& entry, const TStaleOutputs& stale,
                      const TOutputShapes& shapes) {
  const fs::path rel = fs::path(entry).lexically_normal();
  if (rel.empty() || rel.is_absolute() || rel.has_root_path()) return fs::path();
  std::vector<std::string> parts;
  for (const fs::path& part : rel) parts.push_back(part.string());
  if (parts.empty() || parts.size() > 2) return fs::path();
  if (parts.size() == 2 && !shapes.isFolder(parts[0])) return fs::path();
  if (!shapes.isFile(parts.back())) return fs::path();
  return fs::path(stale.folder) / rel;
}

bool removeListedFile(const fs::path& file) {
  std::error_code ec;
  if (fs::remove(file, ec)) return true;
  std::cerr << "\nUnable to remove the output file \"" << file.string()
            << "\" left by an earlier run" << std::endl;
  return false;
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

TStaleOutputs prepareStaleOutputs(const RunOptions& run, const std::string& modelFileName) {
  TStaleOutputs stale;
  TOutputShapes shapes;
  if (modelFileName.empty() || !shapes.build(modelFileName)) return stale;
  stale.genericName = shapes.generic;
  stale.folder = absolutePath(shapes.generic);
  stale.workingFolder = absolutePath(".");
  for (const my_string* n :
       {&run.modelFileName, &run.templateFileName, &run.defFileName, &run.priorFileName})
    if (!n->is_null()) stale.inputs.push_back(absolutePath(n->c_str()));
  if (run.useTemplate) stale.inputs.push_back(absolutePath(modelFileName));  // generated model
  if (!run.startFolder.is_null())
    stale.inputs.push_back((fs::path(run.startFolder.c_str()) / kRunFileName).string());
  return stale;
}

bool isInputFile(const std::string& path, const TStaleOutputs& stale) {
  const fs::path file(path);
  for (const std::string& input : stale.inputs)
    if (sameFile(file, input)) return true;
  const std::string name = file.filename().string();
  if (name == kRunFileName || hasExtension(file, ".tpl") || hasExtension(file, ".def") ||
      hasExtension(file, ".est"))
    return true;
  if (stale.genericName.empty() || !sameFile(file.parent_path(), stale.workingFolder))
    return false;
  TOutputShapes shapes;
  return shapes.build(stale.genericName + ".par") && shapes.isObserved(name);
}

int removeStaleOutputs(const TStaleOutputs& stale) {
  if (stale.genericName.empty()) return 0;
  std::vector<std::string> listed, carried;
  const bool hasList = readOutputRecord(stale.folder, stale.genericName, listed);
  TOutputShapes shapes;
  int removed = 0;
  if (hasList && shapes.build(stale.genericName + ".par")) {
    std::set<fs::path> spectrumFolders;
    for (const std::string& entry : listed) {
      const fs::path file = listedOutput(entry, stale, shapes);
      std::error_code kind;
      if (file.empty() || !fs::is_regular_file(fs::symlink_status(file, kind))) continue;
      if (isInputFile(file.string(), stale)) continue;
      if (!removeListedFile(file)) {
        carried.push_back(entry);
        continue;
      }
      ++removed;
      if (file.parent_path() != fs::path(stale.folder)) spectrumFolders.insert(file.parent_path());
    }
    for (const fs::path& sub : spectrumFolders) {
      std::error_code left;
      fs::remove(sub, left);  // only when it is empty now
    }
  }
  startOutputRecord(stale.genericName, carried);
  if (removed > 0)
    std::cout << "\nRemoved " << removed << (removed == 1 ? " output file" : " output files")
              << " of an earlier run from the output folder \"" << stale.genericName << "\"\n";
  return removed;
}
