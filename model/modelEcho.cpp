#include "model/modelEcho.h"

#include <iomanip>

#include "model/simSettings.h"

namespace {

void takeFormat(std::ostream& to, const std::ostream& from) {
  to.flags(from.flags());
  to.precision(from.precision());
  to.fill(from.fill());
}

void writeOut(std::ostream& target, std::ostringstream& text) {
  target << text.str();
  takeFormat(target, text);
}

template <class Value>
void perDeme(TModelEcho& echo, int n, const Value& value) {
  for (int i = 0; i < n; ++i) echo << "Deme " << i << "\t" << value(i) << "\n";
}

std::ostream& rate(std::ostream& os, double value) {
  return os << std::fixed << std::setprecision(10) << value;
}

std::ostream& fixed5(std::ostream& os, double value) {
  return os << std::fixed << std::setprecision(5) << value;
}

void writeBlock(std::ostream& os, const TSimSettings& s, int numLoci, double minFreq,
                bool console) {
  const char* sep = "   ";
  if (s.dataType == DataType::FREQ && console) {
    os << "Data type: FREQ   :  recombination and mutation rates\n";
    rate(os, s.recRate) << sep;
    rate(os, s.mutRate) << sep;
  } else {
    os << "\n   " << numLoci << " partially linked ";
    switch (s.dataType) {
      case DataType::MICROSAT:
        os << (console ? "MICROSAT:" : "MICROSAT loci:")
           << "\n      recombination, mutation rates, geometric parameter, and range "
              "constraint : ";
        rate(os, s.recRate) << sep;
        rate(os, s.mutRate) << sep;
        fixed5(os, s.geometricParam) << sep << s.rangeConstraint;
        break;
      case DataType::RFLP:
        os << (console ? "RFLP    :" : "RFLP loci:")
           << "\n      recombination and mutation rates                  : ";
        rate(os, s.recRate) << sep;
        rate(os, s.mutRate);
        break;
      case DataType::DNA:
        os << (console ? "DNA     :" : "DNA loci:")
           << "\n      recombination, mutation rates and transition rates :";
        rate(os, s.recRate) << sep;
        rate(os, s.mutRate) << sep;
        fixed5(os, s.transitionRate);
        break;
      case DataType::SNP:
        os << (console ? "SNP     :" : "SNP loci:")
           << "\n      recombination rate and minimum frequency      : ";
        rate(os, s.recRate) << sep;
        rate(os, s.mutRate) << sep;
        os << std::fixed << std::setprecision(console ? 7 : 5) << minFreq;
        break;
      case DataType::STANDARD:
        os << (console ? "STANDARD     :" : "STANDARD loci:")
           << "\n      recombination rate and minimum frequency      : ";
        rate(os, s.recRate) << sep;
        rate(os, s.mutRate) << sep;
        break;
      case DataType::FREQ:
        os << "FREQ data:\n      recombination and mutation rates                  : ";
        rate(os, s.recRate) << sep;
        rate(os, s.mutRate);
        break;
    }
  }
  if (s.dataType == DataType::FREQ) {
    os << (s.outputExpSFS && TSimSettings::compMAF ? "\n   Output expected MAF spectrum"
                                                   : "\n   Do not output expected MAF spectrum");
    if (s.outputExpSFS && TSimSettings::compDAF)
      os << (console ? "\n   Output expected DAF spectrum" : "\n  Output expected DAF spectrum");
    else
      os << "\n   Do not output expected DAF spectrum";
  }
  os << "\n";
}

}  // namespace

TModelEcho::TModelEcho(std::ostream* console, std::ostream* file)
    : console_(console), file_(file) {
  if (console_) takeFormat(consoleText_, *console_);
  if (file_) takeFormat(fileText_, *file_);
}

void TModelEcho::flush() {
  if (console_) writeOut(*console_, consoleText_);
  if (file_) writeOut(*file_, fileText_);
  consoleText_.str("");
  fileText_.str("");
}

void echoHeader(TModelEcho& echo) {
  if (echo.toFile())
    echo.file() << "Simulation parameters for current simulations\n"
                << "=============================================\n\n";
}

void echoDemeSizes(TModelEcho& echo, const TSimSettings& s) {
  echo << "\nDeme sizes\n";
  perDeme(echo, s.numDemes, [&](int i) { return s.demeSizes[i]; });
  echo << "\n";
}

void echoSamples(TModelEcho& echo, const TSimSettings& s) {
  echo << "\nSample sizes\n";
  perDeme(echo, s.numDemes, [&](int i) { return s.sampleSizes[i]; });
  echo << "\nSample ages\n";
  perDeme(echo, s.numDemes, [&](int i) { return s.sampleAges[i]; });
  echo << "\n";
}

void echoGrowthRates(TModelEcho& echo, const TSimSettings& s) {
  echo << "Growth rates\n";
  perDeme(echo, s.numDemes, [&](int i) { return s.growthRates[i]; });
  echo << "\n";
}

void echoMigrationMatrix(TModelEcho& echo, const TSimSettings& s, int m) {
  if (echo.toConsole()) echo.console() << "\nMigration matrix " << m << "\n" << s.migrationMatrices[m];
  if (echo.toFile())
    echo.file() << "\nMigration matrix\n"
                << "Note that migration rates have been pre-multiplied by factor "
                   "TDemeCollection::CTTimeUnit ("
                << TDemeCollection::CTTimeUnit << ")\n"
                << s.migrationMatrices[m];
}

void echoEvents(TModelEcho& echo, const TSimSettings& s) {
  echo << "\nHistorical events\n";
  for (int e = 0; e < s.historicalEvents.numElems; ++e)
    echo << "Event " << e << "\n" << s.historicalEvents[e] << "\n";
  if (s.historicalEvents.numElems == 0) echo << "No historical events defined in input file ...\n";
  echo << "\n";
}

void echoIndependentLoci(TModelEcho& echo, const TSimSettings& s) {
  echo << "\nNumber of independent loci to simulate : " << s.numIndependentLoci;
  if (s.differentStructurePerLocus) {
    echo << "\nEach with a different chromosomal structure\n";
  } else {
    if (echo.toConsole()) echo.console() << "\nwith the same chromosomal structure\n";
    if (echo.toFile()) echo.file() << "\nWith the same chromosomal structure\n";
  }
}

void echoNumBlocks(TModelEcho& echo, const TSimSettings& s, int structure) {
  echo << "\nNumber of linkage blocks to simulate in structure " << structure + 1 << ": "
       << s.numBlocks[structure] << "\n";
}

void echoBlock(TModelEcho& echo, const TSimSettings& s, int numLoci, double minFreq) {
  if (echo.toConsole()) writeBlock(echo.console(), s, numLoci, minFreq, true);
  if (echo.toFile()) writeBlock(echo.file(), s, numLoci, minFreq, false);
}
