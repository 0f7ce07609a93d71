// The engine on a thread of its own while the interpreter is released: the
// Python thread meanwhile waits for it a little at a time, passes on its
// warnings and progress, and answers Ctrl-C by asking it to stop. Shared by
// series and maps.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "encounter/series.h"

namespace lab {

// What the engine's thread leaves for the Python thread.
struct Mailbox {
  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;
  std::vector<std::string> warnings;  // not yet passed on
  std::exception_ptr error;
  std::atomic<bool> stop{false};
  std::atomic<std::int64_t> tests_done{0}, steps{0};

  // The engine's callbacks, to be called on the engine's thread.
  void Progress(const encounter::Progress& p);
  bool Stop() const { return stop.load(std::memory_order_relaxed); }
  void Warn(const std::string& text);
};

// Runs work(box) on a thread of its own, with the interpreter released while
// waiting; the Python thread waits at most `poll` seconds at a time, then
// passes on the warnings that came (warn(text)), calls progress(done, total,
// steps) when the count changed, and looks for a pending signal (Ctrl-C
// raises KeyboardInterrupt here, which stops the engine). Whatever ends the
// wait, the engine is asked to stop and joined before this returns; an
// exception of work is raised here.
void RunOnEngineThread(const std::function<void(Mailbox&)>& work, std::int64_t total,
                       const pybind11::object& progress, const pybind11::object& warn, double poll);

}  // namespace lab
