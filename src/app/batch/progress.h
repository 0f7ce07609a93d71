// How far a run has come, on standard error. On a terminal: one line drawn
// over itself a few times a second (tests done of the total, steps per
// second, the time left). Anywhere else (a Slurm log, a file): a whole line
// every so often, which a log keeps. And at the end one last line: tests,
// time, warnings.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "series/progress_counters.h"

namespace lab {

enum class ProgressFace { kNone, kTerminal, kLog };

// What standard error gets: nothing when quiet, the redrawn line on a
// terminal, else a line every `every` (none when it is zero).
ProgressFace FaceOfStandardError(bool quiet, std::chrono::milliseconds every);

class ProgressLine {
 public:
  // kTerminal draws on the process's standard error; kLog writes whole lines
  // to err every `every`.
  ProgressLine(const ProgressCounters& counters, std::int64_t total_tests, ProgressFace face,
               std::chrono::milliseconds every, std::ostream& err);
  ~ProgressLine();  // erases the terminal line

  // Writes a whole line (a warning) to err, erasing the terminal line first
  // when it is shown; the next update draws it again below.
  void Say(std::ostream& err, const std::string& line);

 private:
  void Loop();
  const ProgressCounters& counters_;
  std::int64_t total_;
  ProgressFace face_;
  std::chrono::milliseconds every_;
  std::ostream& err_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable stop_cv_;
  bool stop_ = false;
  std::thread thread_;
};

// A time span as a log reads it: "4.2 s", "2 min 5 s", "3 h 12 min".
std::string DurationText(double seconds);

// The line a log gets every so often, without the program's name.
std::string ProgressLogText(std::int64_t done, std::int64_t total, std::int64_t steps,
                            double seconds);

// The last line of a run, without the program's name: the tests written, the
// time taken and the warnings; for a run stopped early (signal: the signal's
// number, -1 for output that could not be written) how far it came.
std::string LastLineText(std::int64_t done, std::int64_t total, double seconds, int warnings,
                         int signal);

}  // namespace lab
