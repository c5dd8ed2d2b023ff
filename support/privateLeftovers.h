#pragma once
// Names a process gives its files for an instant, and what a process killed
// in that instant leaves under them in its output folder.
//
// Where the file system makes no unnamed files, a new output is made as
// ".<name>.<pid>.<k>.new", listed, then given its name; the list is written
// anew as ".written_by_brimvane.txt.<pid>.<k>.new" and renamed over the old
// one; a temporary folder is made as "garbage<batch>.XXXXXX" and listed right
// after. The next run of the model, which alone holds the folder, removes
// what a killed run left under those names when it can tell the run made it:
// a file its list names with the identity it has, an empty file, a copy of
// the model's list, an empty temporary folder. Anything else under such a
// name stays.
#include <string>
#include <vector>

#include "support/outputList.h"

// The name of this process's k-th try at a file of that name.
std::string privateName(const std::string& name, int k);

// Removes the leftovers of killed runs from the folder and from its folders of
// spectra ("<model>_<k>"); listed is the list the earlier run left.
void removePrivateLeftovers(int folderFd, const std::string& genericName,
                            const std::vector<TRecordEntry>& listed);
