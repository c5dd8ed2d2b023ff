#pragma once
// Reads the positional text of a model into the settings and collects its
// echo. Title lines are skipped at fixed places and values read in a fixed
// order; a model that cannot be simulated is refused with a TModelError
// whose message names the source, the line and the problem.
#include <iosfwd>
#include <string>
#include <vector>

#include "model/histEvent.h"
#include "model/modelEcho.h"
#include "model/modelScanner.h"

class TSimSettings;
enum class DataType : int;

// The words of a block line, looked for in capitals anywhere in it: the data
// types (the first of the list found names the block's type) and, in a FREQ
// block, the request of the expected spectrum.
struct TDataTypeWord {
  const char* word;
  DataType type;
};
extern const TDataTypeWord kDataTypeWords[6];
extern const char kOutExpWord[];

class TModelReader {
 public:
  TModelReader(TSimSettings& settings, std::string text, std::string source, TModelEcho& echo,
               bool refuseIsolatedSamples = false);
  void read(bool newStructures);  // throws TModelError

 private:
  void readDemes();
  void readDemeSizes();
  void readSamples();
  void readSampleLine(int deme);
  void addActivationEvent(int deme, double age);
  void readGrowthRates();
  void readMigrationMatrices();
  void readMigrationMatrix(int m);
  void checkNoExtraRow(int m);
  void readEvents();
  void checkEventLine(const std::string& line, int lineNumber, int e);
  void readIndependentLoci();
  void readStructures(bool newStructures);
  void readStructure(int k);
  void readBlockLine(int k, int b);
  int readBlockValues(const std::vector<std::string>& values, int lineNumber, int b,
                      DataType type, double& minFreq);
  void checkRatePerSite(int lineNumber, int b, const char* kind, double rate);
  void addBlock(int k, int b, DataType type, int numLoci, double minFreq);
  void deriveTotals(int k);
  void checkLineagesCanMeet() const;  // model/modelMeeting.cpp

  TSimSettings& s_;
  TModelScanner sc_;
  TModelEcho& echo_;
  const bool refuseIsolatedSamples_;
  // Where the migration regime comes from, for the refusal of a model whose
  // lineages can never meet: the first row of each matrix (or the line of
  // the matrix count when there is none) and each event line as read.
  struct EventLine {
    THistoricalEvent event;
    int line;
  };
  std::vector<int> matrixLines_;
  int matrixCountLine_ = 0;
  std::vector<EventLine> eventLines_;
};

// Reads a model from a stream into the settings, with its echo to the console
// (when consoleOutput is set) and, when asked, to the run's model echo file.
// 0 when the stream is failed on entry, the echo file cannot be opened or the
// model is refused (message on the error stream); otherwise 1.
// With refuseIsolatedSamples, a model whose sampled lineages can never meet is
// refused as well. A word where a number belongs is followed, when
// notANumberHint is given, by a line: the word in quotes, then that hint.
// While TSimSettings::holdModelEcho is set, the echo file text is kept
// instead (the file is neither created nor emptied) until writeHeldModelEcho.
int readModelStream(TSimSettings& s, std::istream& is, bool newStructures, bool echoFile,
                    const std::string& source, bool refuseIsolatedSamples = false,
                    const std::string& notANumberHint = "");
// Writes the held echo of the last model read into its echo file, which stays
// open for the run's later lines. True when nothing is held; false, with a
// message, when the file cannot be written.
bool writeHeldModelEcho();
