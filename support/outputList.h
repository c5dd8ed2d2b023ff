#pragma once
// The list of the files the program made in an output folder, kept there as
// "written_by_brimvane.txt": two comment lines naming the model, then one line
// per file or temporary folder, "route TAB identity TAB path" (path below the
// folder, or absolute for a file outside it). A file is listed with its device
// and inode the moment it is created, before it has its name, and again with
// its size and times when its writer closes it; a later line of a path
// replaces the earlier ones, and a line "route TAB x TAB path" takes them
// back (a file that got no name). A file whose line cannot be written is not
// made (support/outputFolder.h).
//
// The list is never truncated in place: it is written whole under a new name
// and renamed over the old one, and the new file then takes the lines of the
// run as they come, each in one write; a line that cannot be written whole is
// cut off again. A process killed at any moment leaves the old list or the
// new one, at worst without its last, unfinished line. The list is written
// anew, one line a file, whenever the lines of its files outnumber them
// twice, and it is read piece by piece, so that reading it takes memory for
// its files, not for its text.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/entryIndex.h"
#include "support/fileIdentity.h"

extern const char* const kOutputRecordName;  // "written_by_brimvane.txt"

// What made a listed entry: the results of an estimation are removed only by a
// later estimation of the model; temporary folders by any later run.
constexpr char kRouteEstimation = 'E';
constexpr char kRouteOther = 'R';
constexpr char kRouteTempFolder = 'T';

// Kept for every listed file, as read and as this run lists it: no more
// than its path, its identity and a few bytes.
struct TRecordEntry {
  std::string path;
  TFileIdentity identity;  // not known: an entry of a list of an older version
  const char* keptBecause = "";  // why the removal kept it, a lasting text (not listed)
  char route = kRouteOther;
  bool dropped = false;  // the line takes back an earlier line of the path
  bool made = false;     // this process made the file (not listed)
};

std::string headerText(const std::string& genericName);
// The first line of the list of the model.
std::string listHeaderLine(const std::string& genericName);
std::string lineOf(const TRecordEntry& entry);
// The entries of a list's text when it was written for the model with this
// generic name; false when it is another model's or no list.
bool parseOutputRecord(const std::string& text, const std::string& genericName,
                       std::vector<TRecordEntry>& entries);
// The same read from a descriptor, piece by piece; false too when it cannot be read.
bool readOutputRecord(int fd, const std::string& genericName, std::vector<TRecordEntry>& entries);

// Takes a list's text in pieces and keeps one entry a file; a line longer
// than any line of a list is left out.
class TListReader {
 public:
  explicit TListReader(std::string genericName) : genericName_(std::move(genericName)) {}
  // The text has that many lines: room for their entries is made at once
  // when it turns out to be a list, so that they are not moved as they come.
  void expect(size_t lines) { expected_ = lines; }
  void feed(const char* data, size_t size);
  // The entries; false when the text is no list of the model.
  bool finish(std::vector<TRecordEntry>& entries);

 private:
  static constexpr size_t kLongestLine = 1 << 16;
  void take(const std::string& line);
  std::string genericName_;
  std::string pending_;
  bool skipping_ = false, headerSeen_ = false, refused_ = false;
  size_t expected_ = 0;
  std::vector<TRecordEntry> entries_;
  // By path; a file beside the folder by path and inode, since the new file
  // that replaces it is listed under its path before the rename.
  TEntryIndex index_;
};

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
  // The same for the list of a model: its header and a line for each entry
  // that keep accepts, written a piece at a time, so that a list of many
  // files is never held whole as text.
  bool rewrite(int folderFd, const std::string& genericName,
               const std::vector<TRecordEntry>& entries,
               const std::function<bool(const TRecordEntry&)>& keep);
  // Adds a line to the list last written; false, with errno, when it cannot
  // (the list is then as it was).
  bool append(const std::string& line);
  bool isOpen() const { return fd_ >= 0; }
  void close();

 private:
  bool rewriteWith(int folderFd, const std::function<bool(int fd)>& write);
  int fd_ = -1;
};
