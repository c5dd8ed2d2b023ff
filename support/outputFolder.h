#pragma once
// The output folder of a model, claimed by one process at a time, and the one
// gate through which every output file of the run is opened.
//
// The folder is made when absent, opened once and locked (flock) for the life
// of the process: a second run of the model refuses to start instead of
// removing or overwriting the first one's files; the kernel releases the lock
// however the process ends. Every later step goes through the folder's
// descriptor, so no link inside it is ever followed.
//
// Inside the folder, a file is created with O_CREAT|O_EXCL|O_NOFOLLOW relative
// to that descriptor and listed with the device and inode of the descriptor
// at once (support/outputList.h); an existing file is opened again only when
// this process made it and it is still as the process left it. Outside the
// folder (the seed file, the parameter table, an -o table), a file is written
// anew and renamed over the old one, never through a link, and only over a
// file an earlier run listed with the identity it still has.
#include <functional>
#include <string>
#include <vector>

#include "support/fileIdentity.h"
#include "support/outputList.h"

enum class FolderClaim { CLAIMED, BUSY, FAILED };

// Claims the folder for this process and reads the list an earlier run left
// there; inputs are the files the run reads, never written. BUSY when another
// process holds the folder; FAILED when it cannot be made or opened, or its
// list cannot be replaced (write-protected, a link, not a list). Each outcome
// but CLAIMED has been reported on the error stream.
FolderClaim claimOutputFolder(const std::string& folder, const std::string& genericName,
                              char route, const std::vector<TFileIdentity>& inputs = {});
// The descriptor of the claimed folder, -1 when none is claimed.
int outputFolderDescriptor();
// The list the earlier run left in the claimed folder (empty when none); it
// stays as read until the folder is released.
const std::vector<TRecordEntry>& earlierOutputs();
// Whether a path lies inside the claimed folder; rel is then its path below it.
bool insideOutputFolder(const std::string& path, std::string& rel);
// The path from the current folder made absolute, without "." or "..".
std::string absolutePath(const std::string& path);

// The action to run once before the first output of the folder (empty: disarms).
void armOutputRecord(std::function<void()> beforeFirstOutput);
// Runs the armed action, if any, and disarms it.
void beginOutputs();
// Writes the new list of the claimed folder: its header, then the entries
// carried from the earlier list (files kept there). False, with a message,
// when it cannot be written: no file is then made in the folder.
bool startOutputRecord(const std::vector<TRecordEntry>& carried);

// Opens an output file for writing (path as the writer names it, from the
// current folder; appended when append, else emptied): its descriptor, open
// to append (O_APPEND: bytes another process adds meanwhile stay whole), or
// -1 with the reason in problem (a file the run may not write is refused as
// one that cannot be opened; one whose line in the list cannot be written is
// not made, errno telling why). An existing name is looked at before it is
// opened for writing, so a named pipe or a device is refused, never waited
// on. Safe from any thread.
int openOutputDescriptor(const std::string& path, bool append, std::string& problem);
// Removes an output file this process made, while it is as the process left it.
void removeOwnOutputFile(const std::string& path);
// Lists the identity of the file open on fd now that its writer is done with
// it, having written size bytes in all (-1: its writes failed); the
// descriptor stays open. A file of another size was written by someone else
// too, and is listed as changed. A file beside the folder, written under a
// private name, gets its own name now when complete (every byte written).
// False, with a message or errno, when the file is not kept as written: its
// line cannot be written (a file in the folder is then removed), or a file
// beside the folder does not get its name (the old file is then kept).
bool outputDescriptorClosed(int fd, long long size);
// Lists a temporary folder this process made (path below the claimed
// folder); false when its line cannot be written.
bool noteTempFolder(const std::string& rel, const TFileIdentity& identity);
// From now on every opening is refused (a signal ends the run). Takes no
// lock: a writer may hold the gate's.
void stopOutputs();
// Writes the final list, closes it and releases the folder (end of the process, tests).
void closeOutputRecord();

// Why the gate would refuse to write a file outside the claimed folder as it
// is now; empty when it would write it.
std::string whyOutsideOutputKept(const std::string& path);
