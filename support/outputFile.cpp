#include "support/outputFile.h"

#include <unistd.h>

#include "support/outputFolder.h"

namespace {
constexpr size_t kBufferSize = 1 << 16;
}

TDescriptorBuffer::TDescriptorBuffer() : buffer_(kBufferSize) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

void TDescriptorBuffer::attach(int fd) {
  fd_ = fd;
  const off_t at = lseek(fd, 0, SEEK_CUR);
  written_ = at > 0 ? at : 0;
  failed_ = false;
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

void TDescriptorBuffer::detach() {
  fd_ = -1;
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool TDescriptorBuffer::drain() {
  const size_t n = static_cast<size_t>(pptr() - pbase());
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  if (fd_ < 0 || !writeAll(fd_, buffer_.data(), n)) failed_ = true;
  written_ += static_cast<long long>(n);
  return !failed_;
}

TDescriptorBuffer::int_type TDescriptorBuffer::overflow(int_type c) {
  if (!drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int TDescriptorBuffer::sync() { return drain() ? 0 : -1; }

TDescriptorBuffer::pos_type TDescriptorBuffer::seekoff(off_type off, std::ios_base::seekdir dir,
                                                       std::ios_base::openmode) {
  if (off != 0 || dir != std::ios_base::cur || fd_ < 0) return pos_type(off_type(-1));
  return pos_type(written_ + (pptr() - pbase()));
}

TOutputFile::TOutputFile() : std::ostream(nullptr) { rdbuf(&buffer_); }

TOutputFile::TOutputFile(const std::string& path, std::ios::openmode mode) : TOutputFile() {
  open(path, mode);
}

TOutputFile::~TOutputFile() {
  if (is_open()) close();
}

bool TOutputFile::open(const std::string& path, std::ios::openmode mode) {
  if (is_open()) close();
  clear();
  path_ = path;
  std::string problem;
  const int fd = openOutputDescriptor(path, (mode & std::ios::app) != 0, problem);
  if (fd < 0) {
    setstate(std::ios::failbit);
    return false;
  }
  buffer_.attach(fd);
  return true;
}

bool TOutputFile::openDeferred() {
  if (is_open()) return true;
  if (deferred_.empty()) return false;
  const std::string path = deferred_;
  deferred_.clear();
  return open(path);
}

void TOutputFile::close() {
  const int fd = buffer_.descriptor();
  if (fd < 0) {
    setstate(std::ios::failbit);
    return;
  }
  bool written = buffer_.drain();
  const bool listed = outputDescriptorClosed(fd, buffer_.endOfWrites());
  written = ::close(fd) == 0 && written && listed;
  buffer_.detach();
  if (!written) setstate(std::ios::badbit);
}

bool writeOutputText(const std::string& path, const std::string& text) {
  TOutputFile out(path);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return !out.fail();
}
