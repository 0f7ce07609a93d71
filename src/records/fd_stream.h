// Output to a file descriptor that never outwaits a stop: a write to a pipe
// or terminal waits in poll, a tenth of a second at a time, and gives up
// (errno EINTR) once SIGINT or SIGTERM asked the program to stop. Pipes get
// at most PIPE_BUF bytes a write, cut after a line feed where one falls, so
// that a reader that stalls keeps whole lines.
#pragma once

#include <ostream>
#include <streambuf>
#include <string_view>

namespace lab {

// Writes all of data; false (errno set) on a fault or a stop.
bool WriteWhole(int fd, std::string_view data);

// lines: text that is cut off by a stop never leaves; only whole lines do.
// A full buffer is then written up to its last line feed.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd = -1, bool lines = false) : lines_(lines) { Reset(fd); }
  FdStreamBuf(const FdStreamBuf&) = delete;
  FdStreamBuf& operator=(const FdStreamBuf&) = delete;
  ~FdStreamBuf() override { sync(); }
  void Reset(int fd);  // what is buffered is dropped

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool Drain(bool flush);
  int fd_ = -1;
  bool lines_ = false, failed_ = false;
  char buf_[16384];
};

// An ostream on a descriptor it does not own.
class FdStream : public std::ostream {
 public:
  explicit FdStream(int fd = -1, bool lines = false) : std::ostream(nullptr), buf_(fd, lines) {
    rdbuf(&buf_);
  }
  void Reset(int fd) {
    buf_.Reset(fd);
    clear();
  }

 private:
  FdStreamBuf buf_;
};

}  // namespace lab
