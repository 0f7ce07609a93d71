// The ticker that reports a run's progress counters.
#include "series/progress_counters.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "series/ordered_pool.h"

namespace lab {

ProgressTicker::ProgressTicker(const ProgressCounters& counters, Report report)
    : counters_(counters), report_(std::move(report)) {
  if (!report_) return;
  try {
    thread_ = std::jthread([this](std::stop_token stop) { Loop(stop); });
  } catch (const std::system_error& e) {
    throw CannotStart(1, e);
  }
}

void ProgressTicker::Loop(const std::stop_token& stop) const {
  std::mutex mutex;
  std::condition_variable_any woken;  // by the stop
  std::unique_lock lock(mutex);
  while (!woken.wait_for(lock, stop, std::chrono::milliseconds(250), [] { return false; }) &&
         !stop.stop_requested()) {
    std::int64_t steps = counters_.steps_done.load();
    for (const auto& r : counters_.running) steps += r.load();
    report_(counters_.tests_done.load(), steps);
  }
}

}  // namespace lab
