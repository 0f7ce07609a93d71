// Tests spread over threads. Each test starts from the state its series
// would have at its start: the start states of a series are prepared one
// after another, exactly as the series advances its angle (and, in test
// 6.5, its zoom), and the results come back in the order the tests were
// taken. A series hands out its own tests; a map the tests of its rows one
// row after another, so that the lanes of a thread are refilled from the
// next row while a row's last long tests still run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/headless_port.h"
#include "series/progress_counters.h"
#include "series/series_port.h"
#include "series/stop.h"
#include "simulation/pixel_layer.h"
#include "simulation/test_row.h"
#include "state/sim_state.h"

namespace lab {

// A test taken from its series.
struct TestJob {
  int row = 0;            // the row of a map (0 in a series)
  std::int64_t test = 0;  // the index of the test in its series
  SimState start;         // the state the series has when this test begins
  // Not empty: the test's set-up refused it (the message); it does not run,
  // and its series has no more tests.
  std::string refusal;
};

struct TestOutcome {
  int row = 0;
  std::int64_t test = 0;
  std::optional<TestRow> result;      // none: refused, or no finite values
  std::vector<std::string> messages;  // why not
  std::unique_ptr<PixelLayer> layer;  // its drawing, with a picture
};

// Which tests of a series run; the others are only prepared.
struct TestChoice {
  // Shard K of N: the tests whose first_index + test leaves K - 1 divided
  // by N (first_index: the map's cell index of the row's first test).
  int shard = 0, shards = 0;
  std::int64_t first_index = 0;
  // Only these tests (ascending indices); none: every test (of the shard).
  std::optional<std::vector<std::int64_t>> only;
};

// The tests of one series in order, each start state the previous one after
// its set-up and one step of the angle.
class SeriesTests {
 public:
  SeriesTests(const SimState& base, TestChoice choice, TrajectorySize size, int row = 0);
  SeriesTests(const SeriesTests&) = delete;
  SeriesTests& operator=(const SeriesTests&) = delete;

  // The next chosen test; none once the series (or its choice) has ended.
  std::optional<TestJob> Next();

 private:
  bool Chosen(std::int64_t test);
  SimState next_;
  HeadlessPort port_{next_};
  TestChoice choice_;
  int row_;
  std::size_t next_only_ = 0;
  std::int64_t test_ = 0;
  bool done_ = false;
};

struct ParallelSettings {
  int workers = 1;
  std::int64_t max_steps = 0;
  PixelLayer* picture = nullptr;  // the size each test's own drawing takes
  ProgressCounters* progress = nullptr;  // one running entry per worker at least
  // Runs one test (RunOneTest when empty).
  std::function<void(SimState&, SeriesPort&)> run_test;
  int lanes = 1;  // tests side by side in each thread's SIMD lanes (1, 2, 4 or 8)
  const RunStop* stop = nullptr;  // asked between tests and at every display step
  // The tests a worker holds at once: its lanes, when it runs the tests itself.
  int TestsPerWorker() const { return lanes > 1 && !run_test ? lanes : 1; }
};

// Runs the tests next hands out (called under a lock, in order) on the
// workers; deliver gets each outcome in the same order on this thread. A
// stop ends the run early: no more tests are begun. Throws
// ThreadsUnavailable when a worker cannot be started.
void RunTestsInParallel(const ParallelSettings& settings,
                        std::function<std::optional<TestJob>()> next,
                        const std::function<void(TestOutcome&)>& deliver);

// One series: base is the state after the run start (fields read, drawing
// cleared). Rows arrive in series order with the index of their test, the
// drawing of each test is laid over settings.picture in that order, and the
// messages of refused set-ups and failed tests are returned in series order.
std::vector<std::string> RunSeriesInParallel(
    const SimState& base, const ParallelSettings& settings, const TestChoice& choice,
    const std::function<void(std::int64_t test, TestRow& row)>& emit);

}  // namespace lab
