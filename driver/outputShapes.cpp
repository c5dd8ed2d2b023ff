#include "driver/outputShapes.h"

#include <cctype>
#include <set>

#include "sfs/obsSFS.h"

namespace {

// The name with every run of digits after the generic name replaced by one
// '#' and without an ascertainment suffix; empty when it does not start with
// the generic name.
std::string spectrumShape(const std::string& name, const std::string& generic) {
  if (generic.empty() || name.compare(0, generic.size(), generic) != 0) return "";
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
  const std::string asc = "-asc#";
  const size_t at = shape.rfind(asc);
  if (at != std::string::npos && shape.find('.', at) == at + asc.size()) shape.erase(at, asc.size());
  return shape;
}

// The names are built for one deme number each, then made shapes; the
// ascertainment suffix is left out of the shapes, so the switch of the run
// does not matter.
std::set<std::string> observedShapes(const std::string& generic) {
  std::set<std::string> shapes;
  for (const bool minor : {true, false})
    for (const std::string& n :
         {TObsAFS::popFileName(generic, minor, 0), TObsAFS::jointFileName(generic, minor, 1, 0),
          TObsAFS::pooledFileName(generic, minor), TObsAFS::multiFileName(generic, minor)})
      shapes.insert(spectrumShape(n, generic));
  shapes.insert(spectrumShape(generic + "_4GT.obs", generic));
  return shapes;
}

}  // namespace

bool isObservedSpectrumName(const std::string& name, const std::string& generic) {
  const std::string shape = spectrumShape(name, generic);
  return !shape.empty() && observedShapes(generic).count(shape) > 0;
}
