#include "records/fd_stream.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "records/signals.h"

namespace lab {

namespace {

// A regular file takes any write at once; anything else may make it wait.
bool MayWait(int fd) {
  struct stat st {};
  return fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
}

// The next piece for a descriptor that may wait: at most PIPE_BUF bytes (a
// pipe with room takes them without waiting), ending with a line feed when
// one is among them.
std::size_t Piece(std::string_view data) {
  if (data.size() <= PIPE_BUF) return data.size();
  const std::size_t feed = data.substr(0, PIPE_BUF).rfind('\n');
  return feed == std::string_view::npos ? PIPE_BUF : feed + 1;
}

}  // namespace

bool WriteWhole(int fd, std::string_view data) {
  if (fd < 0 && !data.empty()) {
    errno = EBADF;
    return false;
  }
  const bool may_wait = !data.empty() && MayWait(fd);
  while (!data.empty()) {
    if (may_wait) {
      pollfd p{fd, POLLOUT, 0};
      const int ready = poll(&p, 1, 100);
      if (ready < 0 && errno != EINTR) return false;
      if (ready <= 0) {
        if (StopRequested()) {
          errno = EINTR;
          return false;
        }
        continue;
      }
    }
    const ssize_t n = write(fd, data.data(), may_wait ? Piece(data) : data.size());
    if (n < 0) {
      if (errno != EINTR && errno != EAGAIN) return false;
      if (StopRequested()) return false;
      continue;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void FdStreamBuf::Reset(int fd) {
  fd_ = fd;
  failed_ = false;
  setp(buf_, buf_ + sizeof buf_);
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
  if (!Drain(false)) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int FdStreamBuf::sync() { return Drain(true) ? 0 : -1; }

// Writes what is buffered and keeps what is left of it. flush: all of it,
// but after a stop only whole lines; a full buffer: up to its last line feed.
bool FdStreamBuf::Drain(bool flush) {
  const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  std::size_t n = pending.size();
  if (lines_ && (!flush || StopRequested())) {
    const std::size_t feed = pending.rfind('\n');
    if (feed != std::string_view::npos) n = feed + 1;
    else if (flush) n = 0;  // a stop: the cut line is dropped
  }
  if (!failed_ && n > 0 && !WriteWhole(fd_, pending.substr(0, n))) failed_ = true;
  const std::size_t left = flush ? 0 : pending.size() - n;
  std::memmove(buf_, buf_ + n, left);
  setp(buf_, buf_ + sizeof buf_);
  pbump(static_cast<int>(left));
  return !failed_;
}

}  // namespace lab
