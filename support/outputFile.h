#pragma once
// An output file that the run opens and closes while it goes on (a project
// file, a spectrum file, a table rewritten by every run): opened through the
// output gate (support/outputRecord.h), and listed with its identity as soon
// as it is closed, so that a later change by the user is seen even when it
// comes before the run ends, and the list names it even when the run is
// later killed outright.
#include <fstream>
#include <string>

class TOutputFile : public std::ofstream {
 public:
  TOutputFile() = default;
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // False, the stream failed, when the gate refuses the file or it cannot be opened.
  bool open(const std::string& path, std::ios::openmode mode);
  void close();

 private:
  std::string path_;
};
