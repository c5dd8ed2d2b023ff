#pragma once
// The list of the files the program made in an output folder, kept there as
// "written_by_brimvane.txt": two comment lines naming the model, then one line
// per file or temporary folder, "route TAB identity TAB path" (path below the
// folder, or absolute for a file outside it). A file is listed with its device
// and inode the moment it is created, and again with its size and time when
// its writer closes it; a later line of a path replaces the earlier ones, and
// a line "route TAB x TAB path" takes them back (a file that got no name).
//
// The list is never truncated in place: it is written whole under a new name
// and renamed over the old one, and the new file then takes the lines of the
// run as they come, each in one write. A process killed at any moment leaves
// the old list or the new one, at worst without its last, unfinished line.
#include <cstddef>
#include <string>
#include <vector>

#include "support/fileIdentity.h"

extern const char* const kOutputRecordName;  // "written_by_brimvane.txt"

// What made a listed entry: the results of an estimation are removed only by a
// later estimation of the model; temporary folders by any later run.
constexpr char kRouteEstimation = 'E';
constexpr char kRouteOther = 'R';
constexpr char kRouteTempFolder = 'T';

struct TRecordEntry {
  std::string path;
  char route = kRouteOther;
  TFileIdentity identity;  // not known: an entry of a list of an older version
  std::string keptBecause;  // why the removal kept it (not listed)
  bool dropped = false;     // the line takes back an earlier line of the path
};

std::string headerText(const std::string& genericName);
std::string lineOf(const TRecordEntry& entry);
// The entries of a list's text when it was written for the model with this
// generic name; false when it is another model's or no list.
bool parseOutputRecord(const std::string& text, const std::string& genericName,
                       std::vector<TRecordEntry>& entries);

// Writes every byte to the descriptor; false when a write fails.
bool writeAll(int fd, const char* data, size_t size);

// The list file of a folder as this process writes it.
class TListFile {
 public:
  TListFile() = default;
  ~TListFile() { close(); }
  TListFile(const TListFile&) = delete;
  TListFile& operator=(const TListFile&) = delete;

  // Writes the text under a new name in the folder and renames it over the
  // list; false, the old list untouched, when it cannot.
  bool rewrite(int folderFd, const std::string& text);
  // Adds a line to the list last written; false when it cannot.
  bool append(const std::string& line);
  bool isOpen() const { return fd_ >= 0; }
  void close();

 private:
  int fd_ = -1;
};
