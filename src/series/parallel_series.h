// The tests of one series spread over threads. Each test starts from the
// state the series would have at its start: the start states are prepared
// one after another, exactly as the series advances its angle (and, in test
// 6.5, its zoom), and the results come back in series order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "series/series_port.h"
#include "series/stop.h"
#include "simulation/pixel_layer.h"
#include "series/progress_counters.h"
#include "state/sim_state.h"

namespace lab {

struct ParallelSettings {
  int jobs = 1;
  int shard = 0, shards = 0;  // 0: every test
  std::int64_t max_steps = 0;
  PixelLayer* picture = nullptr;  // drawn in series order, as one window would
  ProgressCounters* progress = nullptr;
  // Runs one test (RunOneTest when empty).
  std::function<void(SimState&, SeriesPort&)> run_test;
  int lanes = 1;  // tests side by side in each thread's SIMD lanes (1, 2 or 4)
  const RunStop* stop = nullptr;  // asked between tests and at every display step
  // Only these tests (ascending indices) are run, the others only prepared;
  // empty: every test (of the shard).
  std::vector<std::int64_t> only;
};

// base: the state after the run start (fields read, drawing cleared). Rows
// arrive in series order with the index of their test; the messages of
// refused set-ups and failed tests are returned in series order. A stop
// (settings.stop) ends the run early: no more tests are begun.
std::vector<std::string> RunSeriesInParallel(
    const SimState& base, const ParallelSettings& settings,
    const std::function<void(std::int64_t test, TestRow& row)>& emit);

// How many tests a series from angle start to end in steps of step runs (at
// most cap): the first always, then while the angle stays at or below end.
std::int64_t CountTests(double start, double step, double end, std::int64_t cap);

}  // namespace lab
