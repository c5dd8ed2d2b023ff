#include "model/modelReader.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "model/simSettings.h"
#include "support/globals.h"
#include "support/outputFile.h"

const TDataTypeWord kDataTypeWords[6] = {
    {"MICROSAT", DataType::MICROSAT}, {"DNA", DataType::DNA},
    {"SNP", DataType::SNP},           {"RFLP", DataType::RFLP},
    {"STANDARD", DataType::STANDARD}, {"FREQ", DataType::FREQ}};
const char kOutExpWord[] = "OUTEXP";

namespace {

constexpr double kMaxTime = 9.2e18;  // times and sizes must fit a 64-bit integer

std::string str(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// Rates keep up to 10 significant digits, so that 2147483648 is not shown rounded.
std::string rateText(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::string deme(int i) { return "deme " + std::to_string(i); }

template <class T>
void emptyArray(T& array) {
  array.numElems = 0;
  array.reserved = 0;
}

bool isNumber(const std::string& token) {
  double v = 0;
  return parseDecimal(token, v) == NumberStatus::OK;
}

std::string lowerCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string upperCase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool makeZeroMatrix(TMigrationMatrix& m, int n) {
  m.size = n;
  m.de_allocate_matrix();
  m.size = n;
  return m.allocate_matrix() != 0;
}

// The type word of a block line: the first of the list found anywhere in it.
bool findDataType(const std::string& upperLine, DataType& type) {
  for (const TDataTypeWord& t : kDataTypeWords) {
    if (upperLine.find(t.word) != std::string::npos) {
      type = t.type;
      return true;
    }
  }
  return false;
}

// The values of a block line: what follows its first token, which only a blank ends.
std::string blockValuesText(const std::string& line) {
  size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos) return "";
  size_t blank = line.find(' ', i);
  return blank == std::string::npos ? "" : line.substr(blank + 1);
}

}  // namespace

TModelReader::TModelReader(TSimSettings& settings, std::string text, std::string source,
                           TModelEcho& echo, bool refuseIsolatedSamples)
    : s_(settings),
      sc_(std::move(text), std::move(source)),
      echo_(echo),
      refuseIsolatedSamples_(refuseIsolatedSamples) {}

void TModelReader::read(bool newStructures) {
  readDemes();
  readDemeSizes();
  echoDemeSizes(echo_, s_);
  readSamples();
  echoSamples(echo_, s_);
  readGrowthRates();
  echoGrowthRates(echo_, s_);
  readMigrationMatrices();
  readEvents();
  if (refuseIsolatedSamples_) checkLineagesCanMeet();
  echoEvents(echo_, s_);
  readIndependentLoci();
  echoIndependentLoci(echo_, s_);
  readStructures(newStructures);
}

void TModelReader::readDemes() {
  sc_.skipLine();
  emptyArray(s_.historicalEvents);
  long n = sc_.integer("the number of demes", INT_MIN, INT_MAX);
  if (n < 1) sc_.fail(sc_.tokenLine(), "no deme: the number of demes is " + std::to_string(n));
  s_.numDemes = static_cast<int>(n);
  sc_.readToDelim();
  sc_.skipLine();
}

void TModelReader::readDemeSizes() {
  emptyArray(s_.demeSizes);
  for (int i = 0; i < s_.numDemes; ++i) {
    double size = sc_.number("the size of " + deme(i));
    if (size < 0) sc_.fail(sc_.tokenLine(), deme(i) + " has a negative size (" + str(size) + ")");
    if (size >= kMaxTime) sc_.fail(sc_.tokenLine(), "the size of " + deme(i) + " is too large");
    s_.demeSizes.Add(static_cast<long>(size));
    sc_.readToDelim();
  }
}

void TModelReader::readSamples() {
  sc_.skipLine();
  emptyArray(s_.sampleSizes);
  emptyArray(s_.sampleAges);
  emptyArray(s_.inbreedingCoefs);
  emptyArray(s_.historicalEvents);
  s_.totalSampleSize = 0;
  for (int i = 0; i < s_.numDemes; ++i) readSampleLine(i);
  if (s_.totalSampleSize == 0) sc_.fail("no sampled gene: every sample size is 0");
}

void TModelReader::readSampleLine(int i) {
  const int line = sc_.line();
  if (sc_.atEnd()) sc_.fail(line, "the model ends where the sample of " + deme(i) + " was expected");
  const std::vector<std::string> values = splitValues(sc_.readLine());
  if (values.empty()) sc_.fail(line, "the sample size of " + deme(i) + " is missing");
  double size = checkedNumber(sc_, line, values[0], "the sample size of " + deme(i));
  if (size < 0) sc_.fail(line, deme(i) + " has a negative sample size (" + str(size) + ")");
  double total = static_cast<double>(s_.totalSampleSize) + size;
  if (total > INT_MAX) sc_.fail(line, "the sample sizes are too large");
  s_.sampleSizes.Add(static_cast<int>(size));
  s_.totalSampleSize = static_cast<int>(total);

  double age = 0;
  if (values.size() > 1) {
    age = checkedNumber(sc_, line, values[1], "the sample age of " + deme(i));
    if (age < 0) sc_.fail(line, deme(i) + " has a negative sample age (" + str(age) + ")");
    if (age >= kMaxTime) sc_.fail(line, "the sample age of " + deme(i) + " is too large");
  }
  s_.sampleAges.Add(age);
  if (age != 0) addActivationEvent(i, age);
  double inbreeding = 0;
  if (values.size() > 2)
    inbreeding = checkedNumber(sc_, line, values[2], "the inbreeding coefficient of " + deme(i));
  if (inbreeding < 0 || inbreeding > 1)
    sc_.fail(line, "the inbreeding coefficient of " + deme(i) + " (" + str(inbreeding) +
                       ") is not between 0 and 1");
  s_.inbreedingCoefs.Add(inbreeding);
}

void TModelReader::addActivationEvent(int i, double age) {
  THistoricalEvent event;
  event.time = static_cast<int64_t>(age);
  event.timeCT = age / TDemeCollection::CTTimeUnit;
  event.source = event.sink = i;
  event.migrants = 0;
  event.newSize = 1.0;
  event.newGrowthRate = 0;
  event.newMigMatrix = 0;
  event.activateLineages = true;
  s_.historicalEvents.Add(event);
}

void TModelReader::readGrowthRates() {
  sc_.skipLine();
  emptyArray(s_.growthRates);
  for (int i = 0; i < s_.numDemes; ++i) {
    s_.growthRates.Add(sc_.number("the growth rate of " + deme(i)));
    sc_.readToDelim();
  }
}

void TModelReader::readMigrationMatrices() {
  sc_.skipLine();
  long count = sc_.integer("the number of migration matrices", INT_MIN, INT_MAX);
  if (count < 0)
    sc_.fail(sc_.tokenLine(), "negative number of migration matrices (" + std::to_string(count) + ")");
  s_.numMigrationMatrices = static_cast<int>(count);
  matrixCountLine_ = sc_.tokenLine();
  matrixLines_.clear();
  sc_.readToDelim();
  emptyArray(s_.migrationMatrices);
  if (count == 0) {
    TMigrationMatrix zero;
    if (!makeZeroMatrix(zero, s_.numDemes)) sc_.fail("not enough memory for a migration matrix");
    s_.migrationMatrices.Add(zero);
    return;
  }
  for (int m = 0; m < count; ++m) {
    readMigrationMatrix(m);
    echoMigrationMatrix(echo_, s_, m);
  }
}

void TModelReader::readMigrationMatrix(int m) {
  sc_.skipLine();
  const int n = s_.numDemes;
  const std::string name = "migration matrix " + std::to_string(m);
  const std::string wrongSize = name + " has the wrong size: ";
  TMigrationMatrix matrix;
  if (!makeZeroMatrix(matrix, n)) sc_.fail("not enough memory for " + name);
  for (int r = 0; r < n; ++r) {
    int rowLine = sc_.line();
    int onRowLine = 0;  // values read from the line where the row starts
    for (int c = 0; c < n; ++c) {
      std::string token;
      if (!sc_.nextToken(token))
        sc_.fail(sc_.tokenLine(), "the model ends inside " + name + " (row " + std::to_string(r) + ")");
      if (c == 0) rowLine = sc_.tokenLine();
      if (c == 0 && r == 0) matrixLines_.push_back(rowLine);
      double v = 0;
      if (parseDecimal(token, v) == NumberStatus::NOT_NUMBER &&
          (token.rfind("//", 0) == 0 || (c > 0 && sc_.tokenLine() != rowLine))) {
        if (c == 0)
          sc_.fail(sc_.tokenLine(), wrongSize + std::to_string(r) + " rows where " +
                                        std::to_string(n) + " were expected");
        sc_.fail(rowLine, wrongSize + "row " + std::to_string(r) + " holds " + std::to_string(c) +
                              " values where " + std::to_string(n) + " were expected");
      }
      v = checkedNumber(sc_, sc_.tokenLine(), token,
                        "the migration rate from " + deme(r) + " to " + deme(c) + " in " + name);
      if (v < 0)
        sc_.fail(sc_.tokenLine(), "negative migration rate (" + str(v) + ") from " + deme(r) +
                                      " to " + deme(c) + " in " + name);
      matrix.elems[r][c] = v * TDemeCollection::CTTimeUnit;
      if (sc_.tokenLine() == rowLine) ++onRowLine;
    }
    for (const std::string& extra : splitValues(sc_.readToDelim())) {
      if (!isNumber(extra)) continue;
      // A short row took the first values of the next row's line, whose other
      // values are then left over: the short row is the fault.
      if (onRowLine < n)
        sc_.fail(rowLine, wrongSize + "row " + std::to_string(r) + " holds " +
                              std::to_string(onRowLine) + " values where " + std::to_string(n) +
                              " were expected");
      sc_.fail(rowLine, wrongSize + "row " + std::to_string(r) + " holds more than " +
                            std::to_string(n) + " values");
    }
  }
  checkNoExtraRow(m);
  s_.migrationMatrices.Add(matrix);
}

// The line after a matrix is a title; a line of numbers there is one row too many.
void TModelReader::checkNoExtraRow(int m) {
  const std::vector<std::string> values = splitValues(sc_.peekLine());
  if (values.empty()) return;
  for (const std::string& v : values)
    if (!isNumber(v)) return;
  sc_.fail(sc_.line(), "migration matrix " + std::to_string(m) + " has the wrong size: more than " +
                           std::to_string(s_.numDemes) + " rows");
}

void TModelReader::readEvents() {
  sc_.skipLine();
  long count = sc_.integer("the number of historical events", INT_MIN, INT_MAX);
  if (count < 0)
    sc_.fail(sc_.tokenLine(), "negative number of historical events (" + std::to_string(count) + ")");
  sc_.readToDelim();
  eventLines_.clear();
  for (int e = 0; e < count; ++e) {
    const int line = sc_.line();
    if (sc_.atEnd())
      sc_.fail(line, "the model ends where historical event " + std::to_string(e) + " was expected");
    const std::string text = sc_.readLine();
    checkEventLine(text, line, e);
    std::istringstream is(text + "\n");
    THistoricalEvent event;
    is >> event;
    s_.historicalEvents.Add(event);
    eventLines_.push_back({event, line});
  }
  s_.numHistoricalEvents = s_.historicalEvents.numElems;
}

void TModelReader::checkEventLine(const std::string& text, int line, int e) {
  const std::vector<std::string> v = splitValues(text);
  const std::string event = "historical event " + std::to_string(e);
  if (v.size() < 5)
    sc_.fail(line, event + " needs at least five values (time, source, sink, migrants, new size), " +
                       std::to_string(v.size()) + " found");
  double time = checkedNumber(sc_, line, v[0], "the time of " + event);
  if (time >= kMaxTime) sc_.fail(line, "the time of " + event + " is too large");
  // The event reader stores a negative time as 0: the event moves to the present.
  if (time < 0)
    sc_.warn(line, "the time of " + event + " is negative (" + v[0] +
                       "); the event is moved to time 0, the present");
  const long lastDeme = s_.numDemes - 1;
  checkedInteger(sc_, line, v[1], "the source deme of " + event, 0, lastDeme);
  checkedInteger(sc_, line, v[2], "the sink deme of " + event, 0, lastDeme);
  checkedNumber(sc_, line, v[3], "the migrants of " + event);
  checkedNumber(sc_, line, v[4], "the new size of " + event);
  if (v.size() > 5 && lowerCase(v[5]).find("keep") == std::string::npos)
    checkedNumber(sc_, line, v[5], "the new growth rate of " + event);
  if (v.size() > 6) {
    const std::string matrix = lowerCase(v[6]);
    if (matrix.find("keep") == std::string::npos && matrix.find("nomig") == std::string::npos)
      checkedInteger(sc_, line, v[6], "the migration matrix index of " + event, 0,
                     s_.migrationMatrices.numElems - 1);
  }
}

void TModelReader::readIndependentLoci() {
  sc_.skipLine();
  long n = sc_.integer("the number of independent loci", INT_MIN, INT_MAX);
  const int line = sc_.tokenLine();
  if (n < 1) sc_.fail(line, "no chromosome: the number of independent loci is " + std::to_string(n));
  s_.numIndependentLoci = static_cast<int>(n);
  std::string rest = sc_.readToDelim();
  rest = rest.substr(0, rest.find("//"));
  std::string flag;
  for (char c : rest)
    if (c != ' ' && c != '\t' && c != '\r') flag += c;
  s_.differentStructurePerLocus =
      flag.empty() ? 0
                   : static_cast<int>(checkedInteger(sc_, line, flag, "the flag of one structure per chromosome",
                                                     INT_MIN, INT_MAX));
}

void TModelReader::readStructures(bool newStructures) {
  s_.outputExpSFS = false;
  if (newStructures) {
    const int n = s_.differentStructurePerLocus ? s_.numIndependentLoci : 1;
    // Each structure takes at least four lines: title, block count, title, block.
    if (4L * n > sc_.remainingLines())
      sc_.fail(sc_.line(), "the model holds fewer than the " + std::to_string(n) +
                               " chromosome structures it declares");
    s_.numChromStructures = n;
    s_.createNewChromStructures(n);
  } else {
    s_.resetChromStructures();
  }
  for (int k = 0; k < s_.numChromStructures; ++k) readStructure(k);
}

void TModelReader::readStructure(int k) {
  const std::string name = "structure " + std::to_string(k + 1);
  sc_.skipLine();
  long n = sc_.integer("the number of linkage blocks of " + name, INT_MIN, INT_MAX);
  const int line = sc_.tokenLine();
  s_.numBlocks[k] = static_cast<int>(n);
  echoNumBlocks(echo_, s_, k);
  if (n < 1) sc_.fail(line, name + " has no linkage block (" + std::to_string(n) + " declared)");
  sc_.readToDelim();
  sc_.skipLine();
  for (int b = 0; b < n; ++b) {
    if (sc_.atEnd())
      sc_.fail(sc_.line(), "the model ends where block " + std::to_string(b + 1) + " of " + name +
                               " was expected");
    readBlockLine(k, b);
  }
  deriveTotals(k);
}

void TModelReader::readBlockLine(int k, int b) {
  const int line = sc_.line();
  const std::string upper = upperCase(sc_.readToDelim());
  DataType type;
  if (!findDataType(upper, type))
    sc_.fail(line, "no data type in the block line (MICROSAT, DNA, SNP, RFLP, STANDARD or FREQ)");
  s_.dataType = type;
  double minFreq = 0;
  switch (type) {
    case DataType::MICROSAT:
      s_.geometricParam = 0;
      s_.rangeConstraint = 0;
      break;
    case DataType::DNA:
      s_.transitionRate = 0.33;
      break;
    case DataType::FREQ:
      s_.outputExpSFS = false;
      break;
    default:
      break;
  }
  const int numLoci =
      readBlockValues(splitValues(blockValuesText(upper)), line, b, type, minFreq);
  // Loci are counted per chromosome in 32 bits.
  if (s_.totalNumLoci[k] + numLoci > INT_MAX)
    sc_.fail(line, "the blocks of structure " + std::to_string(k + 1) + " hold more than " +
                       std::to_string(INT_MAX) + " loci");
  addBlock(k, b, type, numLoci, minFreq);
  echoBlock(echo_, s_, numLoci, minFreq);
}

int TModelReader::readBlockValues(const std::vector<std::string>& v, int line, int b,
                                  DataType type, double& minFreq) {
  if (v.empty()) sc_.fail(line, "the block line gives no number of loci");
  double loci = checkedNumber(sc_, line, v[0], "the number of loci of the block");
  if (loci < 1) sc_.fail(line, "a block with no loci (" + v[0] + ")");
  if (loci > INT_MAX) sc_.fail(line, "the number of loci of the block is too large");
  auto value = [&](size_t i, const char* what, double& target) {
    if (i < v.size()) target = checkedNumber(sc_, line, v[i], what);
  };
  value(1, "the recombination rate of the block", s_.recRate);
  if (s_.recRate < 0) sc_.fail(line, "negative recombination rate (" + str(s_.recRate) + ")");
  value(2, "the mutation rate of the block", s_.mutRate);
  if (s_.mutRate < 0) sc_.fail(line, "negative mutation rate (" + str(s_.mutRate) + ")");
  if (type != DataType::FREQ) {
    checkRatePerSite(line, b, "recombination", s_.recRate);
    checkRatePerSite(line, b, "mutation", s_.mutRate);
  }
  switch (type) {
    case DataType::MICROSAT:
      value(3, "the geometric parameter of the block", s_.geometricParam);
      // Steps are 1 + floor(ln U / ln g) repeats: g = 1 would give steps without end.
      if (s_.geometricParam < 0 || s_.geometricParam >= 1)
        sc_.fail(line, "the geometric parameter of block " + std::to_string(b + 1) + " is " +
                           rateText(s_.geometricParam) +
                           ": it lies from 0 up to, not including, 1");
      if (v.size() > 4)
        s_.rangeConstraint = static_cast<int>(
            checkedInteger(sc_, line, v[4], "the range constraint of the block", INT_MIN, INT_MAX));
      // A negative range would give a lowest allele above the highest one.
      if (s_.rangeConstraint < 0)
        sc_.fail(line, "negative range constraint of the block (" + v[4] + ")");
      if (s_.rangeConstraint == 1) s_.rangeConstraint = 0;
      break;
    case DataType::DNA:
      value(3, "the transition rate of the block", s_.transitionRate);
      // The share of substitutions that are transitions.
      if (s_.transitionRate < 0 || s_.transitionRate > 1)
        sc_.fail(line, "the transition rate of block " + std::to_string(b + 1) + " is " +
                           rateText(s_.transitionRate) + ": it is a share, from 0 to 1");
      break;
    case DataType::SNP:
      value(3, "the minimum frequency of the block", minFreq);
      break;
    case DataType::FREQ:
      if (v.size() > 3) s_.outputExpSFS = v[3].find(kOutExpWord) != std::string::npos;
      break;
    default:
      break;
  }
  return static_cast<int>(loci);
}

// A rate per site (or locus) and generation is a probability: above 1 it can
// only be a typing error, and it would make a data set run for minutes before
// failing. Rates inherited from an earlier block line are checked as well.
void TModelReader::checkRatePerSite(int line, int b, const char* kind, double rate) {
  if (rate > 1.0)
    sc_.fail(line, std::string("the ") + kind + " rate of block " + std::to_string(b + 1) +
                       " is " + rateText(rate) + ": a rate per site and generation is at most 1");
}

void TModelReader::addBlock(int k, int b, DataType type, int numLoci, double minFreq) {
  MY_TArrayAsVector<TBlock>& blocks = s_.blocks[k];
  TBlock block;
  block.recRate = s_.recRate;
  block.recRateToPrevious = b > 0 ? blocks[b - 1].recRate : 0;
  block.mutRate = s_.mutRate;
  block.geometricParam = type == DataType::MICROSAT ? s_.geometricParam : 0;
  block.transitionRate = type == DataType::DNA ? s_.transitionRate : 0.333;
  block.rangeConstraint = type == DataType::MICROSAT ? s_.rangeConstraint : 0;
  block.dataType = type;
  block.minFreq = type == DataType::SNP ? minFreq : 0;
  block.numLoci = numLoci;
  block.firstLocus = b > 0 ? blocks[b - 1].lastLocus + 1 : 0;
  block.lastLocus = block.firstLocus + numLoci - 1;
  s_.lociPerBlock[k].Add(numLoci);
  blocks.Add(block);
  s_.totalNumLoci[k] += numLoci;
  s_.totalMutRate[k] += numLoci * s_.mutRate;
}

void TModelReader::deriveTotals(int k) {
  const MY_TArrayAsVector<TBlock>& blocks = s_.blocks[k];
  double total = 0;
  bool mixed = false;
  for (int b = 0; b < blocks.numElems; ++b) {
    total += (blocks[b].numLoci - 1) * blocks[b].recRate;
    if (b > 0) {
      total += blocks[b - 1].recRate;
      mixed = mixed || blocks[b].dataType != blocks[b - 1].dataType;
    }
  }
  s_.totalRecRate[k] = total;
  s_.mixedDataTypes[k] = mixed;
}

namespace {

// The echo file text of the last model read while the echo is held, with the
// stream format the echo left, and the file it goes to.
struct THeldEcho {
  bool held = false;
  std::string fileName;
  std::string text;
  std::ios::fmtflags flags{};
  std::streamsize precision = 6;
  char fill = ' ';
};

THeldEcho& heldEcho() {
  static THeldEcho echo;
  return echo;
}

bool openEchoFile(const std::string& name) {
  if (QdlSimulConditions.is_open()) QdlSimulConditions.close();
  QdlSimulConditions.clear();
  QdlSimulConditions.open(name);
  if (QdlSimulConditions.is_open()) return true;
  std::cerr << "Unable to open the model echo file \"" << name << "\"\n";
  return false;
}

}  // namespace

int readModelStream(TSimSettings& s, std::istream& is, bool newStructures, bool echoFile,
                    const std::string& source, bool refuseIsolatedSamples,
                    const std::string& notANumberHint) {
  if (is.fail() || is.bad()) return 0;
  const std::string echoName = std::string("./") + s.simparamFileName.c_str();
  const bool hold = echoFile && TSimSettings::holdModelEcho;
  if (echoFile && !hold && !openEchoFile(echoName)) return 0;
  // A held echo is collected with the format the echo file stream has now, as
  // if it were written directly.
  std::ostringstream held;
  held.flags(QdlSimulConditions.flags());
  held.precision(QdlSimulConditions.precision());
  held.fill(QdlSimulConditions.fill());
  std::ostream* echoTarget = hold ? static_cast<std::ostream*>(&held) : &QdlSimulConditions;
  std::string text{std::istreambuf_iterator<char>(is), std::istreambuf_iterator<char>()};
  TModelEcho echo(consoleOutput ? &std::cout : nullptr, echoFile ? echoTarget : nullptr);
  echoHeader(echo);
  try {
    TModelReader(s, std::move(text), source, echo, refuseIsolatedSamples).read(newStructures);
  } catch (const TModelError& error) {
    std::cerr << error.what() << "\n";
    if (!error.notANumber.empty() && !notANumberHint.empty())
      std::cerr << "\"" << error.notANumber << "\" " << notANumberHint << "\n";
    return 0;
  }
  echo.flush();
  if (hold) {
    held << "\n";
    THeldEcho& h = heldEcho();
    h.held = true;
    // Absolute: the run may write it from another folder (an estimation
    // writes from inside the output folder).
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(echoName, ec);
    h.fileName = ec ? echoName : absolute.lexically_normal().string();
    h.text = held.str();
    h.flags = held.flags();
    h.precision = held.precision();
    h.fill = held.fill();
  } else if (echoFile) {
    QdlSimulConditions << "\n";
    QdlSimulConditions.flush();
  }
  return 1;
}

bool writeHeldModelEcho() {
  THeldEcho& h = heldEcho();
  if (!h.held) return true;
  h.held = false;
  if (!openEchoFile(h.fileName)) return false;
  QdlSimulConditions << h.text;
  QdlSimulConditions.flags(h.flags);
  QdlSimulConditions.precision(h.precision);
  QdlSimulConditions.fill(h.fill);
  QdlSimulConditions.flush();
  return static_cast<bool>(QdlSimulConditions);
}
