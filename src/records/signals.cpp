#include "records/signals.h"

#include <atomic>
#include <csignal>

namespace lab {

namespace {

// 0: run on; a signal number; or -1 for a failed write.
std::atomic<int> stop_flag{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler writes it");

extern "C" void OnStopSignal(int signal) {
  int expected = 0;
  stop_flag.compare_exchange_strong(expected, signal);
}

}  // namespace

void InstallStopHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a read from a FIFO or a write to a stalled pipe returns
  // EINTR instead of waiting on, and the caller sees the flag.
  sa.sa_flags = 0;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  // A reader that went away (head) is output that cannot be written: the
  // write fails with EPIPE and the run ends with status 1, files removed.
  signal(SIGPIPE, SIG_IGN);
}

void ResetStop() { stop_flag.store(0); }

void RequestStopForWriteError() {
  int expected = 0;
  stop_flag.compare_exchange_strong(expected, -1);
}

bool StopRequested() { return stop_flag.load(std::memory_order_relaxed) != 0; }

int StopSignal() {
  const int f = stop_flag.load();
  return f > 0 ? f : 0;
}

}  // namespace lab
