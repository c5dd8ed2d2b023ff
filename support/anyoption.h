#pragma once
// Command-line option parser: options are registered under a long name and/or a
// letter that share one value slot; the argument vector (POSIX letter clusters and
// glued values, GNU "--name=value" and "--name value") fills the slots, which the
// caller then reads by letter or by name. Unknown options are ignored; they are
// recorded, with a value option left without its value at the end of the
// arguments, so that the caller can report them. A second, independent front end
// reads "name : value" lines from an option file.
//
// Registration keeps pointers to the caller's strings: register string literals or
// strings that outlive the parser. Values found while parsing are copied.
#include <string>
#include <vector>

class AnyOption {
 public:
  AnyOption();
  explicit AnyOption(int maxOptions);
  AnyOption(int maxOptions, int maxLetterOptions);
  ~AnyOption();
  AnyOption(AnyOption const&) = delete;
  AnyOption& operator=(AnyOption const&) = delete;

  // Switches, prefixes and separators (all before registration and parsing).
  void noPOSIX();
  void POSIX();
  void setVerbose();
  void autoUsagePrint(bool on);
  void setCommandPrefixChar(char prefix);
  void setCommandLongPrefix(char* prefix);
  void setFileCommentChar(char comment);
  void setFileDelimiterChar(char delimiter);

  // Usage text.
  void addUsage(char const* line);
  void printUsage();
  void printAutoUsage();

  // Registration; each call takes one new value slot.
  void setOption(char const* name);
  void setOption(char letter);
  void setOption(char const* name, char letter);
  void setCommandOption(char const* name);
  void setCommandOption(char letter);
  void setCommandOption(char const* name, char letter);
  void setFileOption(char const* name);
  void setFileOption(char letter);
  void setFileOption(char const* name, char letter);
  void setFlag(char const* name);
  void setFlag(char letter);
  void setFlag(char const* name, char letter);
  void setCommandFlag(char const* name);
  void setCommandFlag(char letter);
  void setCommandFlag(char const* name, char letter);
  void setFileFlag(char const* name);
  void setFileFlag(char letter);
  void setFileFlag(char const* name, char letter);
  // Registers one name or letter of the given kind with the current slot.
  void addOption(char const* name, int kind);
  void addOption(char letter, int kind);

  // Command line.
  void useCommandArgs(int argc, char** argv);
  void processCommandArgs();
  void processCommandArgs(int maxPositional);
  void processCommandArgs(int argc, char** argv);
  void processCommandArgs(int argc, char** argv, int maxPositional);
  bool hasOptions() const;
  int getArgc() const;            // positional arguments recorded
  char* getArgv(int index) const;  // the index-th positional argument, null beyond

  // An option the last parse did not know: the option as written ("--dfs",
  // "-Z") and the whole argument it stood in ("-qZn" for the letter Z).
  struct UnknownOption {
    std::string option;
    std::string argument;
  };
  std::vector<UnknownOption> const& unknownOptions() const { return unknownArgs; }
  // The value option that ended the arguments still waiting for its value, as
  // written ("-n", "--numsims"); empty when there is none.
  std::string const& optionWithoutValue() const { return valueMissingOption; }

  // Option file.
  void useFiileName(char const* name);
  bool processFile();
  bool processFile(char const* name);

  // Values.
  char* getValue(char const* name);
  char* getValue(char letter);
  bool getFlag(char const* name);
  bool getFlag(char letter);
  bool setValue(char const* name, char* value);
  bool setValue(char letter, char* value);
  bool setFlagOn(char const* name);
  bool setFlagOn(char letter);

  bool CommandSet() const;
  bool FileSet() const;
  bool processOptions();
  bool valueStoreOK();

  // Letter scan helper: the index of the first registered letter c that the command
  // line accepts, or -1.
  int matchChar(char c) const;
  // Sets the command-line flag of this long name; false when there is none.
  bool findFlag(char* name);

 private:
  // Option kinds.
  enum {
    COMMON_OPT = 1,
    COMMAND_OPT = 2,
    FILE_OPT = 3,
    COMMON_FLAG = 4,
    COMMAND_FLAG = 5,
    FILE_FLAG = 6
  };
  static constexpr char kNothingWaits = '0';

  bool init();
  bool init(int maxOptions, int maxLetterOptions);
  bool allocTables();
  void growLongTables(char const* name);
  void growLetterTables(char letter);
  void growUsageTable(char const* line);
  void failExtraMemory(char const* what);
  void takeSlot();
  void storeCopy(int slot, char const* value);

  int findLongName(char const* name, int length) const;
  int findLetter(char c) const;
  bool parseLongOption(char* text, int& waitingSlot);
  char parsePosixCluster(char* argument);
  void recordPositional(int index);
  void reportUnknown(char const* what);
  void recordUnknown(std::string option, char const* argument);

  char* readFile(char const* name);
  void consumeFile(char* buffer);
  void processLine(char* line, int length);
  void valuePairs(char* name, char* value);
  void justValue(char* name);
  char* chomp(char* text);

  int argCount;
  char** argValues;
  char const* optionFileName;
  char* programName;
  int* positionalIndexes;
  int numPositional;
  int maxPositional;
  int longOptionCapacity;
  char const** longOptionNames;
  int* longOptionKinds;
  int* longOptionSlots;
  int numLongOptions;
  int letterOptionCapacity;
  char* optionLetters;
  int* letterOptionKinds;
  int* letterOptionSlots;
  int numLetterOptions;
  char** optionValues;
  int numValueSlots;
  char const** usageLines;
  int usageCapacity;
  int numUsageLines;
  bool commandLineGiven;
  bool optionFileGiven;
  bool tablesAllocated;
  bool posixStyle;
  bool verbose;
  char shortPrefix;
  char longPrefix[3];
  char fileDelimiterChar;
  char nameValueSeparator;
  char commentChar;
  char fileValueSeparator;
  char lineEnd;
  char blankChar;
  char terminatorChar;
  bool valuesAllocated;
  bool usagePending;
  bool hadOptions;
  bool autoUsage;
  std::vector<UnknownOption> unknownArgs;
  std::string valueMissingOption;
};
