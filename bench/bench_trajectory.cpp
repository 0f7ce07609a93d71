// bench-trajectory: the longest test of scenario 2 followed from inside
// (a point every 1000 steps) against the same test alone in a series, on
// one thread each. Target: the trajectory takes at most 1.1 times as long.
//
// Usage: bench-trajectory [REPEATS]   (default 3; the best of them counts)
// Times are processor seconds of the process.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "encounter/encounter.h"

namespace {

// Processor time of the whole process (the engine's thread does the work,
// the caller's waits): the machine may be shared.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  encounter::Scenario scenario{"2", {}, std::nullopt};
  encounter::SeriesOptions one;
  one.jobs = 1;
  one.lanes = 1;

  // The longest test of the series.
  double alpha = 0;
  std::int64_t steps = 0;
  encounter::RunSeries(scenario, one, [&](const encounter::Row& row) {
    if (row.steps > steps) {
      steps = row.steps;
      alpha = row.alpha;
    }
  });
  const std::string angle = std::to_string(alpha);
  encounter::Scenario alone{"2", {{"start", angle}, {"end", angle}}, std::nullopt};

  double series_s = 1e300, trajectory_s = 1e300;
  std::int64_t points = 0;
  for (int r = 0; r < repeats; ++r) {
    double t0 = CpuSeconds();
    encounter::RunSeries(alone, one, [](const encounter::Row&) {});
    series_s = std::min(series_s, CpuSeconds() - t0);
    encounter::TrajectoryOptions o;
    o.every = 1000;
    t0 = CpuSeconds();
    const auto summary =
        encounter::RunTrajectory(scenario, alpha, o, [](const encounter::TrajectoryPoint&) {});
    trajectory_s = std::min(trajectory_s, CpuSeconds() - t0);
    points = summary.points;
  }
  std::printf("scenario 2, the test at %g degrees: %lld steps, %lld points\n", alpha,
              static_cast<long long>(steps), static_cast<long long>(points));
  std::printf("alone in a series  %.3f s\ntrajectory         %.3f s\nratio              %.3f (target <= 1.1)\n",
              series_s, trajectory_s, trajectory_s / series_s);
  return 0;
}
