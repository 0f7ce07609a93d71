#include "engine_thread.h"

#include <chrono>
#include <thread>
#include <utility>

namespace lab {

namespace py = pybind11;

namespace {

// Whatever ends the Python side (a finished run, Ctrl-C, an exception in a
// callback), the thread is asked to stop and joined, interpreter released,
// before this object is gone.
class EngineThread {
 public:
  EngineThread(const std::function<void(Mailbox&)>& work, Mailbox& box)
      : box_(box), thread_([&work, &box] { Run(work, box); }) {}
  ~EngineThread() {
    box_.stop = true;
    py::gil_scoped_release release;
    thread_.join();
  }
  EngineThread(const EngineThread&) = delete;
  EngineThread& operator=(const EngineThread&) = delete;

 private:
  static void Run(const std::function<void(Mailbox&)>& work, Mailbox& box) {
    try {
      work(box);
    } catch (...) {
      std::lock_guard lock(box.mutex);
      box.error = std::current_exception();
    }
    std::lock_guard lock(box.mutex);
    box.finished = true;
    box.changed.notify_all();
  }

  Mailbox& box_;
  std::thread thread_;
};

}  // namespace

void Mailbox::Progress(const encounter::Progress& p) {
  tests_done = p.tests_done;
  steps = p.steps;
}

void Mailbox::Warn(const std::string& text) {
  std::lock_guard lock(mutex);
  warnings.push_back(text);
  changed.notify_all();
}

void RunOnEngineThread(const std::function<void(Mailbox&)>& work, std::int64_t total,
                       const py::object& progress, const py::object& warn, double poll) {
  Mailbox box;
  const auto wait = std::chrono::duration<double>(poll > 0 ? poll : 0.05);
  {
    EngineThread engine(work, box);
    std::int64_t shown = -1;
    std::vector<std::string> warnings;
    for (bool finished = false; !finished;) {
      {
        py::gil_scoped_release release;
        std::unique_lock lock(box.mutex);
        box.changed.wait_for(lock, wait, [&] { return box.finished || !box.warnings.empty(); });
        finished = box.finished;
        warnings.swap(box.warnings);
      }
      for (const std::string& text : warnings) warn(text);
      warnings.clear();
      const std::int64_t done = finished && !box.error ? total : box.tests_done.load();
      if (!progress.is_none() && done != shown) {
        progress(done, total, box.steps.load());
        shown = done;
      }
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
  }
  if (box.error) std::rethrow_exception(box.error);
}

}  // namespace lab
