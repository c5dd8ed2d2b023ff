#pragma once
// The temporary folders of spilled sites: one per process and batch, made
// with mkdtemp in the run's output folder as "garbage<batch>.XXXXXX" and
// listed there (support/outputFolder.h), so that the next run of the model
// removes those of a run killed outright. Only temporary files ("Ind_<deme>_
// <gene>.tmp") are ever removed from them.
#include <string>

// The folder of the batch, made in parent (ending in "/") the first time;
// false, with the reason in problem, when it cannot be made.
bool makeOwnTempFolder(const std::string& parent, int batch, std::string& path,
                       std::string& problem);
// The folder made for the batch, empty when none.
std::string ownTempFolder(int batch);
// Removes the temporary files of the batch's folder, which serves the batch
// until the process ends.
void emptyOwnTempFolder(int batch);
// Removes every folder of this process with its temporary files (the end of
// the process, or a signal that ends it).
void removeOwnTempFolders();
// Removes the temporary files of a folder reached from a folder's descriptor,
// no link followed, then the folder when it is left empty; true when it is gone.
bool removeTempFolderAt(int parentFd, const std::string& name);
