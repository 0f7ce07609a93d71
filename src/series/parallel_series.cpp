// The workers of the pool running tests, one at a time or in lanes, and the
// tests of one series prepared in order.
#include "series/parallel_series.h"

#include <utility>

#include "series/lane_series.h"
#include "series/ordered_pool.h"
#include "series/series_starts.h"
#include "simulation/run_loop.h"

namespace lab {

namespace {

using Pool = OrderedPool<TestJob, TestOutcome>;

// A test's port draws into the outcome's own picture, counts for the
// worker's progress, and leaves the test when the pool stops.
void Attach(const ParallelSettings& settings, const Pool& pool, int worker, SeriesPort& port,
            TestOutcome& o) {
  if (settings.picture) {
    o.layer = std::make_unique<PixelLayer>(settings.picture->width, settings.picture->height, true);
    port.layer = o.layer.get();
    port.trajectory_size = settings.picture->WindowSize();
  }
  port.stop = &pool.stop();
  if (settings.progress) {
    port.running_steps = &settings.progress->running[worker];
    port.tests_done = &settings.progress->tests_done;
    port.steps_done = &settings.progress->steps_done;
  }
}

// A refused set-up is handed on in its place without running.
bool PassRefusal(Pool& pool, Pool::Taken& taken) {
  if (taken.job.refusal.empty()) return false;
  TestOutcome o;
  o.row = taken.job.row;
  o.test = taken.job.test;
  o.messages.push_back(std::move(taken.job.refusal));
  pool.Done(taken.seq, std::move(o));
  return true;
}

void WorkOneAtATime(const ParallelSettings& settings, Pool& pool, int worker) {
  while (auto taken = pool.Take(true)) {
    if (PassRefusal(pool, *taken)) continue;
    TestOutcome o;
    o.row = taken->job.row;
    o.test = taken->job.test;
    SimState& s = taken->job.start;
    SeriesPort port(s, settings.max_steps, [&](const TestRow& row) { o.result = row; });
    Attach(settings, pool, worker, port, o);
    if (settings.run_test) {
      settings.run_test(s, port);
    } else {
      RunOneTest(s, port);
    }
    o.messages = port.messages;
    pool.Done(taken->seq, std::move(o));
  }
}

// With lanes, a worker holds several tests at once, each with its port set
// up as above.
void WorkInLanes(const ParallelSettings& settings, Pool& pool, int worker) {
  struct Held {
    Pool::Taken taken;
    TestOutcome o;
    std::optional<SeriesPort> port;
  };
  std::vector<std::unique_ptr<Held>> held(settings.lanes);
  // A lane whose worker still runs other lanes must not wait for room: the
  // test the caller waits for may be one of those lanes.
  auto next = [&](int slot, LaneTest* test, bool wait) {
    for (;;) {
      auto taken = pool.Take(wait);
      if (!taken) return false;
      if (PassRefusal(pool, *taken)) continue;
      held[slot] = std::make_unique<Held>();
      Held& h = *held[slot];
      h.taken = std::move(*taken);
      h.o.row = h.taken.job.row;
      h.o.test = h.taken.job.test;
      h.port.emplace(h.taken.job.start, settings.max_steps,
                     [&h](const TestRow& row) { h.o.result = row; });
      Attach(settings, pool, worker, *h.port, h.o);
      *test = {&h.taken.job.start, &*h.port};
      return true;
    }
  };
  auto done = [&](int slot) {
    Held& h = *held[slot];
    h.o.messages = h.port->messages;
    pool.Done(h.taken.seq, std::move(h.o));
    held[slot].reset();
  };
  RunTestsInLanes(ShapeOfLanes(settings.lanes), LaneNext(next), done,
                  settings.progress ? &settings.progress->running[worker] : nullptr);
}

}  // namespace

SeriesTests::SeriesTests(const SimState& base, TestChoice choice, TrajectorySize size, int row)
    : next_(base), choice_(std::move(choice)), row_(row) {
  port_.trajectory_size = size;
}

std::optional<TestJob> SeriesTests::Next() {
  while (!done_) {
    const std::int64_t test = test_++;
    SimState start = next_;
    if (!PrepareNextStart(next_, port_)) {
      done_ = true;
      return TestJob{row_, test, std::move(start), port_.messages.back()};
    }
    if (!(next_.alpha0 <= next_.alphaend)) done_ = true;
    if (Chosen(test)) return TestJob{row_, test, std::move(start), {}};
  }
  return std::nullopt;
}

// Of the shard, and of the chosen tests; past the last chosen test the
// series has nothing more to prepare.
bool SeriesTests::Chosen(std::int64_t test) {
  const TestChoice& c = choice_;
  if (c.shards != 0 && (c.first_index + test) % c.shards != c.shard - 1) return false;
  if (!c.only) return true;
  const std::vector<std::int64_t>& only = *c.only;
  if (only.empty() || test >= only.back()) done_ = true;
  while (next_only_ < only.size() && only[next_only_] < test) ++next_only_;
  return next_only_ < only.size() && only[next_only_] == test;
}

void RunTestsInParallel(const ParallelSettings& settings,
                        std::function<std::optional<TestJob>()> next,
                        const std::function<void(TestOutcome&)>& deliver) {
  static const RunStop kNever;
  const bool in_lanes = settings.TestsPerWorker() > 1;
  // Tests taken but not yet handed out: a slow reader of the output holds
  // the workers back instead of letting finished results pile up.
  const std::int64_t ahead =
      4 * static_cast<std::int64_t>(settings.workers) * settings.TestsPerWorker();
  Pool pool(settings.workers, ahead, settings.stop ? *settings.stop : kNever, std::move(next));
  pool.Run(
      [&](int worker) {
        if (in_lanes) {
          WorkInLanes(settings, pool, worker);
        } else {
          WorkOneAtATime(settings, pool, worker);
        }
      },
      deliver);
}

std::vector<std::string> RunSeriesInParallel(
    const SimState& base, const ParallelSettings& settings, const TestChoice& choice,
    const std::function<void(std::int64_t, TestRow&)>& emit) {
  SeriesTests tests(base, choice,
                    settings.picture ? settings.picture->WindowSize() : kHeadlessTrajectorySize);
  std::vector<std::string> messages;
  RunTestsInParallel(settings, [&tests] { return tests.Next(); }, [&](TestOutcome& o) {
    if (o.result) emit(o.test, *o.result);
    if (o.layer) settings.picture->Overlay(*o.layer);
    messages.insert(messages.end(), o.messages.begin(), o.messages.end());
  });
  return messages;
}

}  // namespace lab
