#include "support/outputFile.h"

#include "support/outputRecord.h"

TOutputFile::~TOutputFile() {
  if (is_open()) close();
}

bool TOutputFile::open(const std::string& path, std::ios::openmode mode) {
  path_ = path;
  return openOutputFile(*this, path, mode);
}

void TOutputFile::close() {
  std::ofstream::close();
  noteOutputClosed(path_);
}
