#pragma once
// An output file of the run as a stream: opened through the output gate
// (support/outputFolder.h), written through its descriptor, and listed with
// its identity when it is closed. Every write is checked, the last ones when
// the file is closed: a full disk or a lost file system leaves the stream
// failed, so that the writer reports the file and the run ends with status 1.
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

// A buffer that writes to a descriptor; failed once a write fails.
class TDescriptorBuffer : public std::streambuf {
 public:
  TDescriptorBuffer();
  void attach(int fd);
  // Writes what is buffered; false when any write failed.
  bool drain();
  int descriptor() const { return fd_; }
  // Where the file ends after what was written through this buffer (the
  // offset at attach plus every byte written); -1 once a write failed.
  long long endOfWrites() const { return failed_ ? -1 : written_; }
  void detach();

 protected:
  int_type overflow(int_type c) override;
  int sync() override;
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override;

 private:
  std::vector<char> buffer_;
  int fd_ = -1;
  long long written_ = 0;  // bytes written to the descriptor
  bool failed_ = false;
};

class TOutputFile : public std::ostream {
 public:
  TOutputFile();
  explicit TOutputFile(const std::string& path, std::ios::openmode mode = std::ios::trunc);
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // False, the stream failed, when the gate refuses the file or it cannot be
  // opened (errno tells why); std::ios::app appends, anything else empties it.
  bool open(const std::string& path, std::ios::openmode mode = std::ios::trunc);
  bool is_open() const { return buffer_.descriptor() >= 0; }
  // Writes what is left, lists the file and closes it; the stream fails when
  // anything could not be written.
  void close();
  const std::string& path() const { return path_; }
  // A file made only if something is written into it: the path is kept, and
  // openDeferred opens it the first time it is called.
  void defer(const std::string& path) { deferred_ = path; }
  bool openDeferred();

 private:
  std::string deferred_;
  TDescriptorBuffer buffer_;
  std::string path_;
};

// Writes a whole text to an output file through the gate; false when any of it
// could not be written.
bool writeOutputText(const std::string& path, const std::string& text);
