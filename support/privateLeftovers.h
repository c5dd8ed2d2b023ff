#pragma once
// Names a process gives its files for an instant, and what a process killed
// in that instant leaves under them.
//
// A file beside the output folder (the seed file, an -o table) is written as
// ".<name>.<pid>.<k>.new" and given its name when complete, the file it
// replaces moved aside first as ".<name>.<pid>.<k>.old"; where the file
// system makes no unnamed files, a new output in the folder is made as
// ".<name>.<pid>.<k>.new", listed, then given its name; the removal of an
// earlier output moves it aside as ".<name>.removed" before it removes it;
// the list is written anew as ".written_by_brimvane.txt.<pid>.<k>.new" and
// renamed over the old one; a temporary folder is made as
// "garbage<batch>.XXXXXX" and listed right after. The next run of the model,
// which alone holds the folder, removes what a killed run left under those
// names when it can tell a run made it: a file the list names, under that
// name or the name it was made for, with the identity it has but for its
// status change time (which renaming sets); in the output folder also an
// empty file, a copy of the model's list and an empty temporary folder.
// Anything else under such a name stays.
#include <string>
#include <vector>

#include "support/outputList.h"

// The name of this process's k-th try at a file of that name.
std::string privateName(const std::string& name, int k);
// The name the file a private name replaces gets while it is checked.
std::string asideName(const std::string& privateNameOfNew);
// The name a listed file gets while the removal checks it.
std::string removalName(const std::string& name);

// Removes the leftovers of killed runs from the folder, from its folders of
// spectra ("<model>_<k>") and from the folders of the files beside it;
// listed is the list the earlier run left.
void removePrivateLeftovers(int folderFd, const std::string& genericName,
                            const std::vector<TRecordEntry>& listed);
// Whether a file name is one of those names.
bool isPrivateName(const std::string& name);
