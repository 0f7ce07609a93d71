// A one-line progress display on standard error: tests done of the total,
// steps per second and the time left, a few times a second.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace lab {

struct ProgressCounters {
  explicit ProgressCounters(int workers) : running(workers) {}
  std::atomic<std::int64_t> tests_done{0};
  std::atomic<std::int64_t> steps_done{0};  // of finished tests
  std::vector<std::atomic<std::int64_t>> running;  // steps of each worker's present test
};

class ProgressLine {
 public:
  // Shows nothing when standard error is not a terminal or when quiet.
  ProgressLine(const ProgressCounters& counters, std::int64_t total_tests, bool quiet);
  ~ProgressLine();  // erases the line

  // Writes a whole line (a warning) to err, erasing the progress line first
  // when it is shown; the next update draws it again below.
  void Say(std::ostream& err, const std::string& line);

 private:
  void Loop();
  const ProgressCounters& counters_;
  std::int64_t total_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable stop_cv_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace lab
