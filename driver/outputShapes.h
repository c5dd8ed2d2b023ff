#pragma once
// The names the program gives the outputs of a model, as shapes: the name
// with every run of digits after the generic name replaced by one '#', so
// that one shape stands for every run, simulation and deme number. A file
// of another shape is never the program's output, whatever a list says.
#include <set>
#include <string>

class TOutputShapes {
 public:
  // False when the model file name gives no output names.
  bool build(const std::string& modelFileName);

  // An output of the model, in its folder or a spectrum folder.
  bool isFile(const std::string& name) const { return has(files_, name); }
  // A result of an estimation, which only a later estimation removes.
  bool isEstimationResult(const std::string& name) const { return has(results_, name); }
  // An observed spectrum of the model, which runs read from their working folder.
  bool isObserved(const std::string& name) const { return has(observed_, name); }
  // A spectrum folder (-j).
  bool isFolder(const std::string& name) const {
    return !spectrumFolder_.empty() && shapeOf(name, generic_) == spectrumFolder_;
  }
  const std::string& generic() const { return generic_; }

  // Empty when the name does not start with the generic name.
  static std::string shapeOf(const std::string& name, const std::string& generic);

 private:
  void addShapes(std::set<std::string>& shapes, const std::set<std::string>& names) const;
  bool has(const std::set<std::string>& shapes, const std::string& name) const;

  std::string generic_;
  std::set<std::string> files_, results_, observed_;
  std::string spectrumFolder_;
};

// Whether a file name (without folder) is one that the program gives an output
// of the model with this generic name inside its output folder: a project file,
// batch list, model echo, tree file, kept model, spectrum file, likelihood,
// parameter or estimation table, whatever the run, simulation or deme numbers.
bool isOutputFileName(const std::string& fileName, const std::string& genericName);
// Whether a folder name (without its parent) is that of a spectrum folder (-j).
bool isSpectrumFolderName(const std::string& folderName, const std::string& genericName);
