#pragma once
// The text of the list of outputs (support/outputRecord.h): a header of two
// comment lines, the first naming the model, then one line per file, "route
// TAB identity TAB path", the identity being "-" while the file is written.
// A later line of a path replaces the earlier ones; a line without tabs is a
// path of a list of an older version, which gives no identity.
#include <string>

#include "support/outputRecord.h"

std::string headerText(const std::string& genericName);
std::string lineOf(const TRecordEntry& entry);
