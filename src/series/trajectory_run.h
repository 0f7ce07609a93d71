// One test of a series followed from inside: its start state prepared as the
// series prepares it, integrated by the series' own runner, and its state
// handed out as points (every so many steps, at each display step, and at
// each closest approach, absorption and at the end) while it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encounter/trajectory.h"
#include "series/run_series.h"
#include "series/stop.h"
#include "simulation/test_row.h"

namespace lab {

struct TrajectorySettings {
  std::int64_t every = 1;      // a point every this many time steps
  bool display_steps = false;  // instead: at each display step
};

struct TrajectoryOutcome {
  TestRow row;       // the test's row, best decided among this test alone
  std::string line;  // its CSV line
  std::int64_t points = 0;
  std::vector<std::string> warnings;  // of the set-up and of the test
};

using PointSink = std::function<void(const encounter::TrajectoryPoint&)>;

// The index of the series test whose angle is alpha, as the series steps it
// or as its row prints it; -1 when there is none.
std::int64_t TestOfAngle(const std::vector<double>& angles, double alpha);

class PreparedTrajectory {
 public:
  // Throws RefusedInput for an angle that is not the series', every below
  // 1, or what the series refuses.
  PreparedTrajectory(SeriesRequest request, double alpha, const TrajectorySettings& settings);
  ~PreparedTrajectory();
  PreparedTrajectory(const PreparedTrajectory&) = delete;
  PreparedTrajectory& operator=(const PreparedTrajectory&) = delete;

  std::int64_t test() const { return test_; }
  double alpha() const { return alpha_; }
  bool au() const { return au_; }   // the scenario shows distances in AU
  double auc() const { return auc_; }  // km per AU
  const std::vector<std::string>& setup_warnings() const;

  // Runs the test once; points reach sink on a thread of the engine, in
  // time order. Throws RefusedInput for a test whose values stopped being
  // finite, Interrupted when stopped.
  TrajectoryOutcome Run(const PointSink& sink, const RunStop& stop);

 private:
  void Follow(SimState& s, SeriesPort& port);
  TrajectorySettings settings_;
  std::unique_ptr<PreparedSeries> series_;
  std::int64_t test_ = 0;
  double alpha_ = 0, auc_ = 0;
  bool au_ = false;
  const PointSink* sink_ = nullptr;
  std::int64_t points_ = 0;
};

}  // namespace lab
