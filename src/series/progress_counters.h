// How far a series has come, counted by its workers and read by whoever
// shows progress: tests done, steps of finished tests, and each worker's
// steps in its present test.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace lab {

struct ProgressCounters {
  explicit ProgressCounters(int workers) : running(workers) {}
  std::atomic<std::int64_t> tests_done{0};
  std::atomic<std::int64_t> steps_done{0};  // of finished tests
  std::vector<std::atomic<std::int64_t>> running;  // steps of each worker's present test
};

}  // namespace lab
