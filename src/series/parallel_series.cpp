#include "series/parallel_series.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "series/lane_series.h"
#include "series/series_starts.h"
#include "series/stop.h"
#include "simulation/run_loop.h"
#include "control/headless_port.h"

namespace lab {

namespace {

struct Job {
  std::int64_t seq;   // order among the jobs handed out
  std::int64_t test;  // index of the test in the series
  SimState start;     // the state the series has when this test begins
};

// Hands out the tests in series order. Between two tests the series changes
// only what the test set-up changes and the angle step, so each start state
// is the previous one after a set-up and one step of the angle.
class Tests {
 public:
  Tests(const SimState& base, int shard, int shards, TrajectorySize size,
        const std::vector<std::int64_t>& only)
      : next_(base), shard_(shard), shards_(shards), only_(only) {
    port_.trajectory_size = size;
  }

  std::optional<Job> Take() {
    std::lock_guard lock(mutex_);
    while (!done_) {
      const std::int64_t test = test_++;
      SimState start = next_;
      if (!PrepareNextStart(next_, port_)) {
        done_ = true;
        refusal_ = {test, port_.messages.back()};
        return std::nullopt;
      }
      if (!(next_.alpha0 <= next_.alphaend)) done_ = true;
      if (Chosen(test)) return Job{seq_++, test, start};
    }
    return std::nullopt;
  }
  // The refused set-up, if the series stopped at one: (test, message).
  std::optional<std::pair<std::int64_t, std::string>> refusal_;

 private:
  // Of the shard, and of the chosen tests; past the last chosen test the
  // series has nothing more to prepare.
  bool Chosen(std::int64_t test) {
    if (shards_ != 0 && test % shards_ != shard_ - 1) return false;
    if (only_.empty()) return true;
    if (test >= only_.back()) done_ = true;
    while (next_only_ < only_.size() && only_[next_only_] < test) ++next_only_;
    return next_only_ < only_.size() && only_[next_only_] == test;
  }

  std::mutex mutex_;
  SimState next_;
  HeadlessPort port_{next_};
  int shard_, shards_;
  const std::vector<std::int64_t>& only_;
  std::size_t next_only_ = 0;
  std::int64_t test_ = 0, seq_ = 0;
  bool done_ = false;
};

struct Outcome {
  std::int64_t test = 0;
  std::optional<TestRow> row;
  std::vector<std::string> messages;
  std::unique_ptr<PixelLayer> layer;
};

// A test's port draws into the outcome's own picture and counts for the
// worker's progress.
void Attach(const ParallelSettings& settings, int worker, SeriesPort& port, Outcome& o) {
  if (settings.picture) {
    o.layer = std::make_unique<PixelLayer>(settings.picture->width, settings.picture->height, true);
    port.layer = o.layer.get();
    port.trajectory_size = settings.picture->WindowSize();
  }
  port.stop = settings.stop;
  if (settings.progress) {
    port.running_steps = &settings.progress->running[worker];
    port.tests_done = &settings.progress->tests_done;
    port.steps_done = &settings.progress->steps_done;
  }
}

}  // namespace

std::int64_t CountTests(double start, double step, double end, std::int64_t cap) {
  std::int64_t n = 0;
  double alpha = start;
  do {
    ++n;
    alpha = alpha + step;
  } while (alpha <= end && n < cap);
  return n;
}

std::vector<std::string> RunSeriesInParallel(
    const SimState& base, const ParallelSettings& settings,
    const std::function<void(std::int64_t, TestRow&)>& emit) {
  Tests tests(base, settings.shard, settings.shards,
              settings.picture ? settings.picture->WindowSize() : kHeadlessTrajectorySize,
              settings.only);
  auto stopped = [&] { return settings.stop && settings.stop->Requested(); };
  std::mutex mutex;
  std::condition_variable arrived;
  std::map<std::int64_t, Outcome> outcomes;  // by seq
  int running = settings.jobs;
  // Tests taken but not yet handed to emit: a slow reader of the output holds
  // the workers back instead of letting finished results pile up.
  std::condition_variable room;
  std::int64_t in_flight = 0;
  const bool in_lanes = settings.lanes > 1 && !settings.run_test;
  const std::int64_t ahead =
      4 * static_cast<std::int64_t>(settings.jobs) * (in_lanes ? settings.lanes : 1);

  // With lanes, a worker holds several tests at once, each with its port set
  // up as in the loop below.
  struct Held {
    Job job;
    Outcome o;
    std::optional<SeriesPort> port;
  };
  auto work_in_lanes = [&](int worker) {
    std::vector<std::unique_ptr<Held>> held(settings.lanes);
    // A lane whose worker still runs other lanes must not wait for room: the
    // test the writer waits for may be one of those lanes.
    auto next = [&](int slot, LaneTest* test, bool wait) {
      {
        std::unique_lock lock(mutex);
        while (in_flight >= ahead && !stopped()) {
          if (!wait) return false;
          room.wait_for(lock, std::chrono::milliseconds(100));
        }
        if (stopped()) return false;
        ++in_flight;
      }
      auto job = tests.Take();
      if (!job) {
        std::lock_guard lock(mutex);
        --in_flight;
        return false;
      }
      held[slot] = std::make_unique<Held>();
      Held& h = *held[slot];
      h.job = std::move(*job);
      h.o.test = h.job.test;
      h.port.emplace(h.job.start, settings.max_steps, [&h](const TestRow& row) { h.o.row = row; });
      SeriesPort& port = *h.port;
      Attach(settings, worker, port, h.o);
      *test = {&h.job.start, &port};
      return true;
    };
    auto done = [&](int slot) {
      Held& h = *held[slot];
      h.o.messages = h.port->messages;
      {
        std::lock_guard lock(mutex);
        outcomes.emplace(h.job.seq, std::move(h.o));
        arrived.notify_all();
      }
      held[slot].reset();
    };
    try {
      RunTestsInLanes(settings.lanes, LaneNext(next), done,
                      settings.progress ? &settings.progress->running[worker] : nullptr);
    } catch (const Interrupted&) {
    }
  };

  auto work_one_at_a_time = [&](int worker) {
    for (;;) {
      {
        std::unique_lock lock(mutex);
        while (in_flight >= ahead && !stopped())
          room.wait_for(lock, std::chrono::milliseconds(100));
        if (stopped()) break;
        ++in_flight;
      }
      auto job = tests.Take();
      if (!job) {
        std::lock_guard lock(mutex);
        --in_flight;
        break;
      }
      Outcome o;
      o.test = job->test;
      SimState& s = job->start;
      SeriesPort port(s, settings.max_steps, [&](const TestRow& row) { o.row = row; });
      Attach(settings, worker, port, o);
      try {
        if (settings.run_test) {
          settings.run_test(s, port);
        } else {
          RunOneTest(s, port);
        }
      } catch (const Interrupted&) {
        break;
      }
      o.messages = port.messages;
      std::lock_guard lock(mutex);
      outcomes.emplace(job->seq, std::move(o));
      arrived.notify_all();
    }
  };
  auto work = [&](int worker) {
    if (in_lanes) {
      work_in_lanes(worker);
    } else {
      work_one_at_a_time(worker);
    }
    std::lock_guard lock(mutex);
    --running;
    arrived.notify_all();
  };
  std::vector<std::thread> threads;
  for (int w = 0; w < settings.jobs; ++w) threads.emplace_back(work, w);

  // Results in series order.
  std::vector<std::string> messages;
  for (std::int64_t seq = 0;; ++seq) {
    Outcome o;
    {
      std::unique_lock lock(mutex);
      arrived.wait(lock, [&] { return outcomes.count(seq) || running == 0; });
      const auto it = outcomes.find(seq);
      if (it == outcomes.end()) break;
      o = std::move(it->second);
      outcomes.erase(it);
      --in_flight;
    }
    room.notify_all();
    if (o.row) emit(o.test, *o.row);
    if (o.layer) settings.picture->Overlay(*o.layer);
    messages.insert(messages.end(), o.messages.begin(), o.messages.end());
  }
  for (auto& t : threads) t.join();
  if (tests.refusal_) messages.push_back(tests.refusal_->second);
  return messages;
}

}  // namespace lab
