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

#include "series/progress_counters.h"

namespace lab {

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
