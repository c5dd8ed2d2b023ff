#include "support/anyoption.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

char* copyText(char const* text) {
  size_t const n = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (copy == nullptr) {
    std::cerr << "\nOPTIONS ERROR : Failed allocating memory\nExiting." << std::endl;
    std::exit(0);
  }
  std::memcpy(copy, text, n + 1);
  return copy;
}

template <typename T>
bool growTable(T*& table, int capacity, T freeValue) {
  int const newSize = 2 * capacity + 1;
  T* grown = static_cast<T*>(std::realloc(table, sizeof(T) * newSize));
  if (grown == nullptr) return false;
  for (int i = capacity; i < newSize; ++i) grown[i] = freeValue;
  table = grown;
  return true;
}

template <typename T>
T* allocTable(int size, T freeValue) {
  T* table = static_cast<T*>(std::malloc(sizeof(T) * (size > 0 ? size : 1)));
  if (table != nullptr)
    for (int i = 0; i < size; ++i) table[i] = freeValue;
  return table;
}

}  // namespace

// ---------------------------------------------------------------- construction

AnyOption::AnyOption() { init(); }

AnyOption::AnyOption(int maxOptions) { init(maxOptions, maxOptions); }

AnyOption::AnyOption(int maxOptions, int maxLetterOptions) {
  init(maxOptions, maxLetterOptions);
}

bool AnyOption::init() { return init(10, 10); }

bool AnyOption::init(int maxOptions, int maxLetterOptions) {
  argCount = 0;
  argValues = nullptr;
  optionFileName = nullptr;
  programName = nullptr;
  positionalIndexes = nullptr;
  numPositional = 0;
  maxPositional = 0;
  longOptionCapacity = maxOptions;
  longOptionNames = nullptr;
  longOptionKinds = nullptr;
  longOptionSlots = nullptr;
  numLongOptions = 0;
  letterOptionCapacity = maxLetterOptions;
  optionLetters = nullptr;
  letterOptionKinds = nullptr;
  letterOptionSlots = nullptr;
  numLetterOptions = 0;
  optionValues = nullptr;
  numValueSlots = 0;
  usageLines = nullptr;
  usageCapacity = 3;
  numUsageLines = 0;
  commandLineGiven = false;
  optionFileGiven = false;
  tablesAllocated = false;
  posixStyle = true;
  verbose = false;
  shortPrefix = '-';
  std::strcpy(longPrefix, "--");
  fileDelimiterChar = '#';
  nameValueSeparator = '=';
  commentChar = '#';
  fileValueSeparator = ':';
  lineEnd = '\n';
  blankChar = ' ';
  terminatorChar = '\0';
  valuesAllocated = false;
  usagePending = true;
  hadOptions = false;
  autoUsage = false;
  if (!allocTables()) {
    std::cerr << "\nOPTIONS ERROR : Failed allocating memory\nExiting." << std::endl;
    std::exit(0);
  }
  return true;
}

bool AnyOption::allocTables() {
  longOptionNames = allocTable<char const*>(longOptionCapacity, nullptr);
  longOptionKinds = allocTable<int>(longOptionCapacity, 0);
  longOptionSlots = allocTable<int>(longOptionCapacity, -1);
  optionLetters = allocTable<char>(letterOptionCapacity, '0');
  letterOptionKinds = allocTable<int>(letterOptionCapacity, 0);
  letterOptionSlots = allocTable<int>(letterOptionCapacity, -1);
  usageLines = allocTable<char const*>(usageCapacity, nullptr);
  tablesAllocated = true;  // the destructor frees whatever was obtained
  return longOptionNames && longOptionKinds && longOptionSlots && optionLetters &&
         letterOptionKinds && letterOptionSlots && usageLines;
}

AnyOption::~AnyOption() {
  if (!tablesAllocated) return;
  std::free(longOptionNames);
  std::free(longOptionKinds);
  std::free(longOptionSlots);
  std::free(optionLetters);
  std::free(letterOptionKinds);
  std::free(letterOptionSlots);
  std::free(usageLines);
  if (valuesAllocated) {
    for (int i = 0; i < numValueSlots; ++i) std::free(optionValues[i]);
    std::free(optionValues);
  }
  std::free(positionalIndexes);
}

// ---------------------------------------------------------------- switches

void AnyOption::noPOSIX() { posixStyle = false; }
void AnyOption::POSIX() { posixStyle = true; }
void AnyOption::setVerbose() { verbose = true; }
void AnyOption::autoUsagePrint(bool on) { autoUsage = on; }
void AnyOption::setCommandPrefixChar(char prefix) { shortPrefix = prefix; }

void AnyOption::setCommandLongPrefix(char* prefix) {
  std::strncpy(longPrefix, prefix, 2);
  longPrefix[2] = '\0';
}

// Option files always use '#' for comments; these two setters only record the
// character asked for.
void AnyOption::setFileCommentChar(char comment) { fileDelimiterChar = comment; }
void AnyOption::setFileDelimiterChar(char delimiter) { fileDelimiterChar = delimiter; }

bool AnyOption::CommandSet() const { return commandLineGiven; }
bool AnyOption::FileSet() const { return optionFileGiven; }
bool AnyOption::hasOptions() const { return hadOptions; }

// ---------------------------------------------------------------- usage text

void AnyOption::addUsage(char const* line) {
  if (numUsageLines == usageCapacity) growUsageTable(line);
  usageLines[numUsageLines++] = line;
}

void AnyOption::printUsage() {
  if (!usagePending) return;
  usagePending = false;
  std::cout << std::endl;
  for (int i = 0; i < numUsageLines; ++i) std::cout << usageLines[i] << std::endl;
  std::cout << std::endl;
}

void AnyOption::printAutoUsage() {
  if (autoUsage) printUsage();
}

// ---------------------------------------------------------------- registration

void AnyOption::failExtraMemory(char const* what) {
  std::cout << "\nOPTIONS ERROR : Failed allocating extra memory \n"
            << what << "\nExiting.\n" << std::endl;
  std::exit(0);
}

void AnyOption::growLongTables(char const* name) {
  if (!growTable(longOptionNames, longOptionCapacity, static_cast<char const*>(nullptr)) ||
      !growTable(longOptionKinds, longOptionCapacity, 0) ||
      !growTable(longOptionSlots, longOptionCapacity, -1))
    failExtraMemory((std::string("While adding the option : \"") + name + "\"").c_str());
  longOptionCapacity *= 2;
}

void AnyOption::growLetterTables(char letter) {
  if (!growTable(optionLetters, letterOptionCapacity, '0') ||
      !growTable(letterOptionKinds, letterOptionCapacity, 0) ||
      !growTable(letterOptionSlots, letterOptionCapacity, -1))
    failExtraMemory((std::string("While adding the option: \"") + letter + "\"").c_str());
  letterOptionCapacity *= 2;
}

void AnyOption::growUsageTable(char const* line) {
  if (!growTable(usageLines, usageCapacity, static_cast<char const*>(nullptr)))
    failExtraMemory((std::string("While adding the usage/help  : \"") + line + "\"").c_str());
  usageCapacity *= 2;
}

void AnyOption::addOption(char const* name, int kind) {
  if (numLongOptions == longOptionCapacity) growLongTables(name);
  longOptionNames[numLongOptions] = name;
  longOptionKinds[numLongOptions] = kind;
  longOptionSlots[numLongOptions] = numValueSlots;
  ++numLongOptions;
}

void AnyOption::addOption(char letter, int kind) {
  if (!posixStyle) {
    if (verbose)
      std::cout << "Ignoring the option character \"" << letter
                << "\" ( POSIX options are turned off )" << std::endl;
    return;
  }
  if (numLetterOptions == letterOptionCapacity) growLetterTables(letter);
  optionLetters[numLetterOptions] = letter;
  letterOptionKinds[numLetterOptions] = kind;
  letterOptionSlots[numLetterOptions] = numValueSlots;
  ++numLetterOptions;
}

// A registration made after the value table exists gets a slot in it too.
void AnyOption::takeSlot() {
  ++numValueSlots;
  if (!valuesAllocated) return;
  char** grown = static_cast<char**>(std::realloc(optionValues, sizeof(char*) * numValueSlots));
  if (grown == nullptr) failExtraMemory("While adding a value slot");
  grown[numValueSlots - 1] = nullptr;
  optionValues = grown;
}

void AnyOption::setOption(char const* name) { addOption(name, COMMON_OPT); takeSlot(); }
void AnyOption::setOption(char letter) { addOption(letter, COMMON_OPT); takeSlot(); }
void AnyOption::setOption(char const* name, char letter) {
  addOption(name, COMMON_OPT);
  addOption(letter, COMMON_OPT);
  takeSlot();
}
void AnyOption::setCommandOption(char const* name) { addOption(name, COMMAND_OPT); takeSlot(); }
void AnyOption::setCommandOption(char letter) { addOption(letter, COMMAND_OPT); takeSlot(); }
void AnyOption::setCommandOption(char const* name, char letter) {
  addOption(name, COMMAND_OPT);
  addOption(letter, COMMAND_OPT);
  takeSlot();
}
void AnyOption::setFileOption(char const* name) { addOption(name, FILE_OPT); takeSlot(); }
void AnyOption::setFileOption(char letter) { addOption(letter, FILE_OPT); takeSlot(); }
void AnyOption::setFileOption(char const* name, char letter) {
  addOption(name, FILE_OPT);
  addOption(letter, FILE_OPT);
  takeSlot();
}
void AnyOption::setFlag(char const* name) { addOption(name, COMMON_FLAG); takeSlot(); }
void AnyOption::setFlag(char letter) { addOption(letter, COMMON_FLAG); takeSlot(); }
void AnyOption::setFlag(char const* name, char letter) {
  addOption(name, COMMON_FLAG);
  addOption(letter, COMMON_FLAG);
  takeSlot();
}
void AnyOption::setCommandFlag(char const* name) { addOption(name, COMMAND_FLAG); takeSlot(); }
void AnyOption::setCommandFlag(char letter) { addOption(letter, COMMAND_FLAG); takeSlot(); }
void AnyOption::setCommandFlag(char const* name, char letter) {
  addOption(name, COMMAND_FLAG);
  addOption(letter, COMMAND_FLAG);
  takeSlot();
}
void AnyOption::setFileFlag(char const* name) { addOption(name, FILE_FLAG); takeSlot(); }
void AnyOption::setFileFlag(char letter) { addOption(letter, FILE_FLAG); takeSlot(); }
void AnyOption::setFileFlag(char const* name, char letter) {
  addOption(name, FILE_FLAG);
  addOption(letter, FILE_FLAG);
  takeSlot();
}

// ---------------------------------------------------------------- value table

bool AnyOption::valueStoreOK() {
  if (valuesAllocated) return true;
  optionValues = allocTable<char*>(numValueSlots, nullptr);
  if (optionValues == nullptr) {
    std::cerr << "\nOPTIONS ERROR : Failed allocating memory\nExiting." << std::endl;
    std::exit(0);
  }
  valuesAllocated = true;
  return true;
}

bool AnyOption::processOptions() { return valueStoreOK(); }

void AnyOption::storeCopy(int slot, char const* value) {
  if (slot < 0 || slot >= numValueSlots) return;
  std::free(optionValues[slot]);
  optionValues[slot] = copyText(value);
}

int AnyOption::findLongName(char const* name, int length) const {
  for (int i = 0; i < numLongOptions; ++i) {
    char const* registered = longOptionNames[i];
    if (static_cast<int>(std::strlen(registered)) == length &&
        std::strncmp(registered, name, length) == 0)
      return i;
  }
  return -1;
}

int AnyOption::findLetter(char c) const {
  for (int i = 0; i < numLetterOptions; ++i)
    if (optionLetters[i] == c) return i;
  return -1;
}

char* AnyOption::getValue(char const* name) {
  valueStoreOK();
  int const i = findLongName(name, static_cast<int>(std::strlen(name)));
  return i < 0 ? nullptr : optionValues[longOptionSlots[i]];
}

char* AnyOption::getValue(char letter) {
  valueStoreOK();
  int const i = findLetter(letter);
  return i < 0 ? nullptr : optionValues[letterOptionSlots[i]];
}

bool AnyOption::getFlag(char const* name) {
  char const* value = getValue(name);
  return value != nullptr && std::strcmp(value, "true") == 0;
}

bool AnyOption::getFlag(char letter) {
  char const* value = getValue(letter);
  return value != nullptr && std::strcmp(value, "true") == 0;
}

bool AnyOption::setValue(char const* name, char* value) {
  valueStoreOK();
  int const i = findLongName(name, static_cast<int>(std::strlen(name)));
  if (i < 0) return false;
  storeCopy(longOptionSlots[i], value);
  return true;
}

bool AnyOption::setValue(char letter, char* value) {
  valueStoreOK();
  int const i = findLetter(letter);
  if (i < 0) return false;
  storeCopy(letterOptionSlots[i], value);
  return true;
}

bool AnyOption::setFlagOn(char const* name) {
  char text[] = "true";
  return setValue(name, text);
}

bool AnyOption::setFlagOn(char letter) {
  char text[] = "true";
  return setValue(letter, text);
}

// ---------------------------------------------------------------- command line

void AnyOption::useCommandArgs(int argc, char** argv) {
  argCount = argc;
  argValues = argv;
  programName = argc > 0 ? argv[0] : nullptr;
  commandLineGiven = true;
  hadOptions = argc > 1;
}

void AnyOption::processCommandArgs(int argc, char** argv) {
  useCommandArgs(argc, argv);
  processCommandArgs();
}

void AnyOption::processCommandArgs(int argc, char** argv, int maxPositionalArgs) {
  maxPositional = maxPositionalArgs;
  processCommandArgs(argc, argv);
}

void AnyOption::processCommandArgs(int maxPositionalArgs) {
  maxPositional = maxPositionalArgs;
  processCommandArgs();
}

void AnyOption::processCommandArgs() {
  if (!commandLineGiven) return;
  valueStoreOK();
  if (numValueSlots == 0) return;
  if (maxPositional == 0) maxPositional = argCount;
  std::free(positionalIndexes);
  positionalIndexes = allocTable<int>(maxPositional + 1, 0);
  numPositional = 0;
  if (positionalIndexes == nullptr) {
    std::cerr << "\nOPTIONS ERROR : Failed allocating memory\nExiting." << std::endl;
    std::exit(0);
  }
  unknownArgs.clear();
  valueMissingOption.clear();
  for (int i = 1; i < argCount; ++i) {
    char* s = argValues[i];
    bool const hasNext = i + 1 < argCount;
    bool const isLong = s[0] == longPrefix[0] && s[0] != '\0' && s[1] == longPrefix[1];
    if (isLong || (s[0] == shortPrefix && s[0] != '\0' && !posixStyle)) {
      int waitingSlot = -1;
      char* const name = s + (isLong ? 2 : 1);
      if (!parseLongOption(name, waitingSlot)) recordUnknown(s, s);
      if (waitingSlot >= 0 && hasNext)
        storeCopy(waitingSlot, argValues[++i]);
      else if (waitingSlot >= 0)
        valueMissingOption = s;
    } else if (s[0] == shortPrefix && s[0] != '\0') {
      char const waiting = parsePosixCluster(s);
      if (waiting != kNothingWaits && hasNext) {
        ++i;
        if (!setValue(waiting, argValues[i])) reportUnknown(argValues[i]);
      } else if (waiting != kNothingWaits) {
        valueMissingOption = std::string(1, shortPrefix) + waiting;
      }
    } else {
      recordPositional(i);
    }
  }
}

void AnyOption::recordPositional(int index) {
  if (numPositional < maxPositional) {
    positionalIndexes[numPositional++] = index;
  } else if (verbose) {
    std::cout << "Ignoring extra argument: " << argValues[index] << std::endl;
  }
}

void AnyOption::reportUnknown(char const* what) {
  if (verbose) std::cout << "Unknown command argument option : " << what << std::endl;
  printAutoUsage();
}

void AnyOption::recordUnknown(std::string option, char const* argument) {
  unknownArgs.push_back({std::move(option), argument});
}

// A long option: "name=value", or "name" (a value option then waits for the next
// argument, reported through waitingSlot). False when the name is not one the
// command line accepts.
bool AnyOption::parseLongOption(char* text, int& waitingSlot) {
  waitingSlot = -1;
  char* const separator = std::strchr(text, nameValueSeparator);
  bool const glued = separator != nullptr && separator != text;
  int const nameLength =
      glued ? static_cast<int>(separator - text) : static_cast<int>(std::strlen(text));
  int const i = findLongName(text, nameLength);
  int const kind = i < 0 ? 0 : longOptionKinds[i];
  if (kind == COMMON_FLAG || kind == COMMAND_FLAG) {
    storeCopy(longOptionSlots[i], "true");
  } else if (kind == COMMON_OPT || kind == COMMAND_OPT) {
    if (glued)
      storeCopy(longOptionSlots[i], separator + 1);
    else
      waitingSlot = longOptionSlots[i];
  } else {
    reportUnknown(text);
    return false;
  }
  return true;
}

int AnyOption::matchChar(char c) const {
  for (int i = 0; i < numLetterOptions; ++i) {
    int const kind = letterOptionKinds[i];
    if (optionLetters[i] == c && kind != FILE_OPT && kind != FILE_FLAG) return i;
  }
  return -1;
}

bool AnyOption::findFlag(char* name) {
  int const i = findLongName(name, static_cast<int>(std::strlen(name)));
  if (i < 0) return false;
  int const kind = longOptionKinds[i];
  if (kind != COMMON_FLAG && kind != COMMAND_FLAG) return false;
  storeCopy(longOptionSlots[i], "true");
  return true;
}

// A cluster of letters after a single dash (the argument includes the dash).
// Returns the letter that waits for the next argument as its value, or '0' when
// none waits.
char AnyOption::parsePosixCluster(char* argument) {
  if (argument[1] == '\0') recordUnknown(argument, argument);  // a lone dash
  for (char* p = argument + 1; *p != '\0'; ++p) {
    int const i = matchChar(*p);
    if (i < 0) {
      char letter[2] = {*p, '\0'};
      reportUnknown(letter);
      recordUnknown(std::string(1, shortPrefix) + *p, argument);
      continue;
    }
    int const kind = letterOptionKinds[i];
    if (kind == COMMON_FLAG || kind == COMMAND_FLAG) {
      storeCopy(letterOptionSlots[i], "true");
      continue;
    }
    if (p[1] == '\0') return *p;
    char* value = p + 1;
    while (*value == blankChar || *value == nameValueSeparator) ++value;
    storeCopy(letterOptionSlots[i], value);
    return kNothingWaits;
  }
  return kNothingWaits;
}

int AnyOption::getArgc() const { return numPositional; }

char* AnyOption::getArgv(int index) const {
  if (index < 0 || index >= numPositional) return nullptr;
  return argValues[positionalIndexes[index]];
}

// ---------------------------------------------------------------- option file

void AnyOption::useFiileName(char const* name) {
  optionFileName = name;
  optionFileGiven = true;
}

bool AnyOption::processFile(char const* name) {
  useFiileName(name);
  return processFile();
}

bool AnyOption::processFile() {
  if (!optionFileGiven || optionFileName == nullptr) return false;
  valueStoreOK();
  if (numValueSlots == 0) return false;
  char* buffer = readFile(optionFileName);
  if (buffer == nullptr) return false;
  consumeFile(buffer);
  std::free(buffer);
  return true;
}

// The whole file as one NUL-terminated text (owned by the caller), null when the
// file cannot be read.
char* AnyOption::readFile(char const* name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return nullptr;
  std::ostringstream content;
  content << in.rdbuf();
  return copyText(content.str().c_str());
}

// Splits the text into lines; only lines ended by a line break are processed.
void AnyOption::consumeFile(char* buffer) {
  char* line = buffer;
  for (char* end = std::strchr(line, lineEnd); end != nullptr;
       end = std::strchr(line, lineEnd)) {
    *end = terminatorChar;
    if (line[0] != '#') processLine(line, static_cast<int>(end - line));
    line = end + 1;
  }
}

// "name : value" stores a value; a line without a usable separator names a flag.
void AnyOption::processLine(char* line, int length) {
  char* const separator = std::strchr(line, fileValueSeparator);
  int const position = separator == nullptr ? -1 : static_cast<int>(separator - line);
  bool const splits = length > 0 && line[0] != fileValueSeparator &&
                      line[length - 1] != fileValueSeparator && position >= 1 &&
                      position <= length - 3;
  if (!splits) {
    justValue(chomp(line));
    return;
  }
  *separator = terminatorChar;
  separator[-1] = terminatorChar;  // the name is followed by one character before ':'
  valuePairs(line, separator + 1);
}

void AnyOption::valuePairs(char* name, char* value) {
  name = chomp(name);
  value = chomp(value);
  int const nameLength = static_cast<int>(std::strlen(name));
  if (nameLength == 1) {
    for (int i = 0; i < numLetterOptions; ++i) {
      if (optionLetters[i] == name[0] &&
          (letterOptionKinds[i] == COMMON_OPT || letterOptionKinds[i] == FILE_OPT)) {
        storeCopy(letterOptionSlots[i], value);
        return;
      }
    }
  }
  for (int i = 0; i < numLongOptions; ++i) {
    if (std::strcmp(longOptionNames[i], name) == 0 &&
        (longOptionKinds[i] == COMMON_OPT || longOptionKinds[i] == FILE_OPT)) {
      storeCopy(longOptionSlots[i], value);
      return;
    }
  }
  if (verbose) std::cout << "Unknown option in resourcefile : " << name << std::endl;
}

void AnyOption::justValue(char* name) {
  int const nameLength = static_cast<int>(std::strlen(name));
  if (nameLength == 1) {
    for (int i = 0; i < numLetterOptions; ++i) {
      if (optionLetters[i] == name[0] &&
          (letterOptionKinds[i] == COMMON_FLAG || letterOptionKinds[i] == FILE_FLAG)) {
        storeCopy(letterOptionSlots[i], "true");
        return;
      }
    }
  }
  for (int i = 0; i < numLongOptions; ++i) {
    if (std::strcmp(longOptionNames[i], name) == 0 &&
        (longOptionKinds[i] == COMMON_FLAG || longOptionKinds[i] == FILE_FLAG)) {
      storeCopy(longOptionSlots[i], "true");
      return;
    }
  }
  if (verbose) std::cout << "Unknown option in resourcefile : " << name << std::endl;
}

// Trims blanks on both sides, in place.
char* AnyOption::chomp(char* text) {
  while (*text == blankChar) ++text;
  char* end = text + std::strlen(text);
  while (end > text && end[-1] == blankChar) *--end = terminatorChar;
  return text;
}
