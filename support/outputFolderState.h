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
  std::vector<TRecordEntry> entries;  // the new list
  std::map<std::string, size_t> index;
  std::map<std::string, TFileIdentity> made;  // path -> identity, files this process made
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
// Sets the entry of a path in the new list and adds its line; false, with
// errno, the entry as it was, when the line cannot be written (said once).
bool listEntry(TFolderState& s, const TRecordEntry& e);
