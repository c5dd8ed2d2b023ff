#pragma once
// An exclusive lock that keeps two processes out of one output folder. It is
// taken on the folder itself; where the file system cannot lock a folder
// (network file systems lock only files opened for writing), on the list of
// outputs inside it instead, which every run opens the same way. The kernel
// releases it when the descriptors close, at the latest when the process ends.
enum class LockResult { LOCKED, BUSY, UNSUPPORTED };

// Tries once, without waiting; recordFd may be -1.
LockResult lockFolder(int folderFd, int recordFd);
