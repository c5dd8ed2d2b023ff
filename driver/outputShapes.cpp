#include "driver/outputShapes.h"

#include <cctype>

#include "driver/dataSetOutput.h"
#include "driver/expSFSBatches.h"
#include "driver/geneticRun.h"
#include "driver/runOptions.h"
#include "estimation/brentMinimization.h"
#include "estimation/templates.h"
#include "model/simSettings.h"
#include "sfs/AFS.h"
#include "sfs/obsSFS.h"

namespace {

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
      shapes.insert(TOutputShapes::shapeOf(n, generic));
  shapes.insert(TOutputShapes::shapeOf(generic + "_4GT.obs", generic));
}

}  // namespace

std::string TOutputShapes::shapeOf(const std::string& name, const std::string& generic) {
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

void TOutputShapes::addShapes(std::set<std::string>& shapes,
                              const std::set<std::string>& names) const {
  for (const std::string& n : names) {
    const std::string shape = shapeOf(baseName(n), generic_);
    if (!shape.empty()) shapes.insert(shape);
  }
}

bool TOutputShapes::has(const std::set<std::string>& shapes, const std::string& name) const {
  const std::string shape = shapeOf(name, generic_);
  return !shape.empty() && shapes.count(shape) > 0;
}

bool TOutputShapes::build(const std::string& modelFileName) {
  std::set<std::string> names;
  for (const bool asc : {false, true}) {
    TAscertainmentScope scope(asc);
    TSimSettings probe;
    if (!probe.nameOutputs(modelFileName.c_str(), 0)) return false;
    probe.tplParFileName = modelFileName.c_str();
    generic_ = probe.genericName.c_str();
    for (const my_string* n : {&probe.qdbFileName, &probe.simparamFileName,
                               &probe.trueTreesFileName, &probe.mutTreesFileName,
                               &probe.ascTreesFileName})
      if (!n->is_null()) names.insert(n->c_str());
    names.insert(projectFileName(probe, 0));
    names.insert(keptModelFileName(probe, 0));
    names.insert(maxLikelihoodsFileName(probe));
    names.insert(defaultLhoodFileName(generic_.c_str()).c_str());  // when -o is not given
    names.insert(badParameterFileName(probe));
    names.insert(std::string(probe.runPrefix.c_str()) + "_1.4GT");  // four-gamete counts
    // What an estimation leaves: its tables, best model and spectra.
    std::set<std::string> estimation = {brentLhoodsFileName(generic_),
                                        bestLhoodsFileName(generic_),
                                        rescaleFactorFileName(generic_),
                                        maxLParFileName(modelFileName)};
    addSpectrumNames(estimation, generic_);
    addShapes(results_, estimation);
    addShapes(files_, estimation);
    addObservedNames(observed_, generic_);
    spectrumFolder_ = shapeOf(baseName(spectrumFolder(probe, 1)), generic_);
  }
  addShapes(files_, names);
  return true;
}

bool isOutputFileName(const std::string& fileName, const std::string& genericName) {
  TOutputShapes shapes;
  return shapes.build(genericName + ".par") && shapes.isFile(fileName);
}

bool isSpectrumFolderName(const std::string& folderName, const std::string& genericName) {
  TOutputShapes shapes;
  return shapes.build(genericName + ".par") && shapes.isFolder(folderName);
}
