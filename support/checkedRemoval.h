#pragma once
// Removal of a file only while it is the one a check found: looked at again
// whole, moved aside to a private name, and removed only when what was moved
// is that file; a file saved, edited or write-protected under the name
// meanwhile is given back its name and kept.
#include <string>

#include "support/fileIdentity.h"

// Removes name in the folder dir while it is the file checked; true when it went.
bool removeCheckedFile(int dir, const std::string& name, const TFileIdentity& checked);
