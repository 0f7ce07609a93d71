// How far a run has come, counted by its workers and read by whoever shows
// progress: tests done, steps of finished tests, and each worker's steps in
// its present test; and the ticker that reports them a few times a second.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

namespace lab {

struct ProgressCounters {
  explicit ProgressCounters(int workers) : running(workers) {}
  std::atomic<std::int64_t> tests_done{0};
  std::atomic<std::int64_t> steps_done{0};  // of finished tests
  std::vector<std::atomic<std::int64_t>> running;  // steps of each worker's present test
};

// Calls report(tests done, steps) a few times a second from a thread of its
// own while it lives (none when report is empty). Throws ThreadsUnavailable
// when that thread cannot be started.
class ProgressTicker {
 public:
  using Report = std::function<void(std::int64_t tests_done, std::int64_t steps)>;
  ProgressTicker(const ProgressCounters& counters, Report report);

 private:
  void Loop(const std::stop_token& stop) const;
  const ProgressCounters& counters_;
  Report report_;
  std::jthread thread_;  // last: asked to stop and joined first
};

}  // namespace lab
