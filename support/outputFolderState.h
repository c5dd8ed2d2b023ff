#pragma once
// What the claimed output folder holds for the process (support/outputFolder.h);
// shared by the claim and the gate, always under its mutex.
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/entryIndex.h"
#include "support/outputList.h"

// A file beside the folder being written under a private name in its folder.
struct TUnnamedFile {
  std::string folder;     // absolute
  std::string temporary;  // its private name there
  std::string name;       // the name it gets
  std::string key;        // its path as listed
  bool replaces = false;  // a file of a run had the name when it was opened
  TFileIdentity old;      // that file, as it was then
};

struct TFolderState {
  std::mutex lock;
  std::string genericName;
  std::filesystem::path folder;         // absolute, links resolved; empty: none claimed
  std::filesystem::path folderAsNamed;  // absolute as named (the folder may be a link)
  int folderFd = -1;
  int lockFd = -1;  // the lock file, where the folder itself cannot be locked
  char route = kRouteOther;
  // A signal ends the run: nothing is opened any more. Set without the lock,
  // which a writer may hold.
  std::atomic<bool> stopped{false};
  std::function<void()> beforeFirstOutput;
  std::vector<TRecordEntry> earlier;
  // The new list, one entry a path, found by path through the index. A file
  // this process made is marked made in its entry while its identity there
  // is the one the process knows; otherwise (no list, a line that could not
  // be written) that identity is kept apart by path.
  std::vector<TRecordEntry> entries;
  TEntryIndex index;
  std::map<std::string, TFileIdentity> madeApart;
  // (device, inode) -> path, files being written
  std::map<std::pair<unsigned long long, unsigned long long>, std::string> openFiles;
  // Files beside the folder written under a private name, given their own
  // name once complete: (device, inode) -> where they go (support/outputGate.cpp)
  std::map<std::pair<unsigned long long, unsigned long long>, TUnnamedFile> unnamed;
  std::set<std::string> refused;  // paths refused (said once)
  std::vector<TFileIdentity> inputs;
  TListFile list;
  bool listing = false;      // the new list is written
  bool listBroken = false;   // the new list could not be started: nothing can be listed
  bool listReported = false; // a failure to write the list was said
  size_t linesSinceRewrite = 0;
};

TFolderState& folderState();
// The entry of a path in the new list; nullptr when it has none.
TRecordEntry* listedEntry(TFolderState& s, const std::string& path);
const TRecordEntry* listedEntry(const TFolderState& s, const std::string& path);
// The identity of the file of a path as this process made and left it;
// nullptr when the process did not make it.
const TFileIdentity* madeIdentity(const TFolderState& s, const std::string& path);
void setMade(TFolderState& s, const std::string& path, const TFileIdentity& identity);
void forgetMade(TFolderState& s, const std::string& path);
// Sets the entry of a path in the new list and adds its line; false, with
// errno, the entry as it was, when the line cannot be written (said once).
bool listEntry(TFolderState& s, const TRecordEntry& e);
