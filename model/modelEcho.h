#pragma once
// The echo of a model being read: the same text for the console and for the
// run's model echo file, with the few places where the two differ. The text
// is collected first and written only once the whole model has been read, so
// a refused model leaves no half echo behind. Number formats set while
// echoing stay in force on the target streams, as if written directly.
#include <ostream>
#include <sstream>

class TSimSettings;
enum class DataType : int;

class TModelEcho {
 public:
  TModelEcho(std::ostream* console, std::ostream* file);

  template <class T>
  TModelEcho& operator<<(const T& value) {
    if (console_) consoleText_ << value;
    if (file_) fileText_ << value;
    return *this;
  }
  std::ostream& console() { return consoleText_; }
  std::ostream& file() { return fileText_; }
  bool toConsole() const { return console_ != nullptr; }
  bool toFile() const { return file_ != nullptr; }

  // Writes the collected text to the targets, with its stream formats.
  void flush();

 private:
  std::ostream* console_;
  std::ostream* file_;
  std::ostringstream consoleText_;
  std::ostringstream fileText_;
};

// Echo texts of the model reader, in reading order.
void echoHeader(TModelEcho& echo);
void echoDemeSizes(TModelEcho& echo, const TSimSettings& s);
void echoSamples(TModelEcho& echo, const TSimSettings& s);
void echoGrowthRates(TModelEcho& echo, const TSimSettings& s);
void echoMigrationMatrix(TModelEcho& echo, const TSimSettings& s, int m);
void echoEvents(TModelEcho& echo, const TSimSettings& s);
void echoIndependentLoci(TModelEcho& echo, const TSimSettings& s);
void echoNumBlocks(TModelEcho& echo, const TSimSettings& s, int structure);
// One block line, from the block-line values of the settings as just read.
void echoBlock(TModelEcho& echo, const TSimSettings& s, int numLoci, double minFreq);
