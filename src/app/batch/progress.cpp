#include "app/batch/progress.h"

#include <unistd.h>

#include <cstdio>

namespace lab {

ProgressLine::ProgressLine(const ProgressCounters& counters, std::int64_t total_tests, bool quiet)
    : counters_(counters), total_(total_tests), start_(std::chrono::steady_clock::now()) {
  if (!quiet && isatty(STDERR_FILENO)) thread_ = std::thread([this] { Loop(); });
}

ProgressLine::~ProgressLine() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stop_cv_.notify_all();
  thread_.join();
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

void ProgressLine::Say(std::ostream& err, const std::string& line) {
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
  }
  err << line;
  err.flush();
}

void ProgressLine::Loop() {
  std::unique_lock lock(mutex_);
  while (!stop_cv_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; })) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::int64_t done = counters_.tests_done.load(std::memory_order_relaxed);
    std::int64_t steps = counters_.steps_done.load(std::memory_order_relaxed);
    for (const auto& r : counters_.running) steps += r.load(std::memory_order_relaxed);
    const double rate = seconds > 0 ? steps / seconds : 0;
    std::fprintf(stderr, "\r\033[Ktests %lld of %lld   %.1f million steps/s",
                 static_cast<long long>(done), static_cast<long long>(total_), rate / 1e6);
    if (done > 0 && done < total_) {
      const double left = seconds * static_cast<double>(total_ - done) / static_cast<double>(done);
      std::fprintf(stderr, "   about %.0f s left", left);
    }
    std::fflush(stderr);
  }
}

}  // namespace lab
