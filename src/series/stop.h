// Asking a running series to stop. Whoever runs the series (a signal handler,
// a button, a notebook's Ctrl-C) answers `asked`; the series looks between
// steps and between rows, so every row it hands out is whole.
#pragma once

#include <atomic>
#include <functional>

namespace lab {

// Thrown out of the run loop once a stop is requested.
struct Interrupted {};

class RunStop {
 public:
  RunStop() = default;
  explicit RunStop(std::function<bool()> asked) : asked_(std::move(asked)) {}

  // Polled from every worker: asked_ must be cheap and safe from any thread.
  bool Requested() const {
    if (stopped_.load(std::memory_order_relaxed)) return true;
    if (asked_ && asked_()) stopped_.store(true, std::memory_order_relaxed);
    return stopped_.load(std::memory_order_relaxed);
  }
  void Request() { stopped_.store(true); }

 private:
  std::function<bool()> asked_;
  mutable std::atomic<bool> stopped_{false};
};

}  // namespace lab
