#pragma once
// The output folder of the model and the list of the files the program wrote
// in it, kept there as "written_by_brimvane.txt": two comment lines naming the
// model, then one line per file (the route that wrote it, its identity once
// the run that wrote it ended, its path below the folder). A later invocation
// of the same model removes a listed file only while it still has that
// identity (driver/staleOutputs.h), and nothing else.
//
// One run per output folder: the folder is locked (flock) for the whole
// process, so that a second run of the model refuses to start instead of
// removing or overwriting the first one's files while it runs. The kernel
// releases the lock when the process ends, however it ends.
//
// Every writer of an output file goes through noteOutputFile before it
// creates or opens the file. The first file noted inside the output folder
// runs, once, the action armed by the run driver (the removal of the earlier
// outputs and the start of the new list), so no output can ever precede that
// removal. noteOutputFile is also the gate that keeps what the run may not
// write: a file in the folder that this process did not make (a user's file,
// a link, a write-protected file, a file an earlier run left and the removal
// kept) and any file the run reads.
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/fileIdentity.h"

extern const char* const kOutputRecordName;  // "written_by_brimvane.txt"

// Routes that wrote a listed file: the results of an estimation are removed
// only by a later estimation of the model.
constexpr char kRouteEstimation = 'E';
constexpr char kRouteOther = 'R';

struct TRecordEntry {
  std::string path;  // below the output folder
  char route = kRouteOther;
  bool identified = false;  // false: written by a run that did not end, or an older list
  TFileIdentity identity;
  std::string keptBecause;  // why the removal kept it, for the gate's message (not listed)
};

enum class FolderClaim { CLAIMED, BUSY, FAILED };

// Makes the output folder when absent, opens and locks it for this process,
// and reads the list an earlier run left there. The folder itself may be a
// link (to a scratch disk, say): it is opened once and every later step goes
// through that descriptor, so no link inside it is ever followed. BUSY when
// another process holds the folder; FAILED when it cannot be opened. Each
// outcome but CLAIMED has been reported on the error stream.
FolderClaim claimOutputFolder(const std::string& folder, const std::string& genericName,
                              char route);
// The descriptor of the claimed folder, -1 when none is claimed.
int outputFolderDescriptor();
// The list the earlier run left in the claimed folder (empty when none).
std::vector<TRecordEntry> earlierOutputs();
// The files the run reads, by identity: never written, never removed.
void protectInputs(const std::vector<TFileIdentity>& inputs);
bool isProtectedInput(const TFileIdentity& identity);

// The action to run once before the first output (empty: disarms).
void armOutputRecord(std::function<void()> beforeFirstOutput);
// Runs the armed action, if any, and disarms it.
void beginOutputs();

// Writes the new list of the claimed folder: its header, then the entries
// carried from the earlier list (files kept there). When the list cannot be
// written, the old one is emptied or removed (never used again) and the run
// says so; its outputs are then written unlisted. False in that case.
bool startOutputRecord(const std::vector<TRecordEntry>& carried);
// Announces an output file (path as the writer opens it, from the current
// folder) and says whether the run may write it. A file inside the claimed
// folder runs beginOutputs first, is refused (with one message) when it
// exists and this process did not make it, and is listed once. A file
// outside the folder is refused only when the run reads it. Safe from any thread.
bool noteOutputFile(const std::string& path);
// noteOutputFile, then the opening of the stream; a refused file leaves the
// stream failed and closed, as a file that cannot be opened does. True when open.
bool openOutputFile(std::ofstream& os, const std::string& path, std::ios::openmode mode);
// Lists the identity that a file this process wrote has now it is closed
// (support/outputFile.h).
void noteOutputClosed(const std::string& path);
// Writes into the list the identity that every file this process wrote and
// did not close as a TOutputFile has now; entries whose files are gone are
// dropped. Called when the process ends, normally or by a signal.
void settleOutputRecord();
// Settles the list, closes it and releases the folder (end of the process, tests).
void closeOutputRecord();

// The entries of a list's text when it was written for the model with this
// generic name; false when it is another model's or no list.
bool parseOutputRecord(const std::string& text, const std::string& genericName,
                       std::vector<TRecordEntry>& entries);
// The same, read from the list in the folder.
bool readOutputRecord(const std::string& folder, const std::string& genericName,
                      std::vector<TRecordEntry>& entries);
