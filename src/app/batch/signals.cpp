#include "app/batch/signals.h"

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
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  // A reader that went away (head) ends the run quietly, temporary files
  // removed; when SIGPIPE was ignored by whoever started us, the failed write
  // is reported instead.
  struct sigaction old {};
  sigaction(SIGPIPE, nullptr, &old);
  if (old.sa_handler != SIG_IGN) sigaction(SIGPIPE, &sa, nullptr);
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
