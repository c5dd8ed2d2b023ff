#include "support/checkedRemoval.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/privateLeftovers.h"

namespace {

// Whether the file now at name in dir is the one checked and still may go
// (not write-protected since). Whole: with its status change time, which
// catches an edit whose modification time was set back; moving a file aside
// sets that time, so what was moved is compared by its content only.
bool isChecked(int dir, const std::string& name, const TFileIdentity& checked, bool whole) {
  struct stat info;
  TFileIdentity now;
  return statFile(dir, name, info, now) && S_ISREG(info.st_mode) && !isWriteProtected(info) &&
         (whole ? checked.describes(now) : checked.describesContent(now));
}

}  // namespace

bool removeCheckedFile(int dir, const std::string& name, const TFileIdentity& checked) {
  if (!isChecked(dir, name, checked, true)) return false;
  const std::string aside = removalName(name);
  if (renameat2(dir, name.c_str(), dir, aside.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return false;
    return unlinkat(dir, name.c_str(), 0) == 0;  // no such rename here: checked just now
  }
  if (isChecked(dir, aside, checked, false)) return unlinkat(dir, aside.c_str(), 0) == 0;
  renameat2(dir, aside.c_str(), dir, name.c_str(), RENAME_NOREPLACE);
  return false;
}
