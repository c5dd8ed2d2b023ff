// Which data types the spectra of simulated data (-d, -m) are counted from,
// and the words that tell a user why a model gets none.
#include <string>

#include "driver/dataSetOutput.h"
#include "driver/projectFile.h"
#include "model/simSettings.h"
#include "support/globals.h"

namespace {

std::string askedSpectra() {
  if (TSimSettings::compMAF && TSimSettings::compDAF)
    return "the derived- and minor-allele spectra (-d, -m)";
  return TSimSettings::compDAF ? "the derived-allele spectra (-d)"
                               : "the minor-allele spectra (-m)";
}

const char* typeName(DataType type) {
  switch (type) {
    case DataType::MICROSAT: return "MICROSAT";
    case DataType::RFLP: return "RFLP";
    case DataType::DNA: return "DNA";
    case DataType::SNP: return "SNP";
    case DataType::STANDARD: return "STANDARD";
    case DataType::FREQ: break;
  }
  return "FREQ";
}

}  // namespace

std::string unmadeSpectraReason(const TSimSettings& s) {
  if (!TSimSettings::compMAF && !TSimSettings::compDAF) return "";
  const std::string none = askedSpectra() + " of the simulated data sets are not computed: ";
  if (dataTypesMixed(s))
    return none +
           "the model mixes data types (blocks of several types, or chromosomes of different "
           "types), and the spectra are counted from models whose blocks are all SNP, or all "
           "DNA with -s";
  const DataType type = projectFileDataType(s);
  if (type == DataType::SNP || (type == DataType::DNA && OUTPUT_DNA_AS_SNP)) return "";
  if (type == DataType::DNA)
    return none +
           "DNA sites enter the spectra only when they are written as SNPs: add -s 0 (every "
           "site) or -s <n> (at most n sites)";
  return none + "they are counted from SNP or DNA data, and the model's data are " +
         typeName(type);
}
