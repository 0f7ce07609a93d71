// bench-accuracy: per preset, the time per test of the fixed-step method and
// of the two accurate ones, how far the fixed step's speed / escape-speed
// ratio lies from the accurate one's (gauss-radau), and how far the two
// accurate methods lie apart. All run every test of the series from the same
// start through the batch runner's port.
//
// Usage: bench-accuracy [PRESET...]   (default: 0 2 3 4 8 111)
// Times are processor times of the running thread, in ms per test.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "series/series_port.h"
#include "setup/initial_conditions.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "simulation/accurate_test.h"
#include "simulation/encounter.h"
#include "simulation/run_loop.h"

namespace {

// Processor time of this thread: the machine may be shared.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

struct Run {
  std::optional<lab::TestRow> row;
  double seconds = 0;
  double v3_vesc = 0;  // speed of body 2 over its escape speed at the end
};

// v3 / vesc3 at the end of a test, from the final positions (an absorbed
// body keeps those of its absorption).
double SpeedOverEscape(const lab::SimState& s) {
  double R2[lab::kSlots][lab::kSlots]{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double dx = s.x[j] - s.x[i], dy = s.y[j] - s.y[i];
      R2[i][j] = dx * dx + dy * dy;
    }
  }
  lab::Encounter e;
  lab::ComputeEscapeSpeeds(s, e, R2);
  return s.v[2] / e.vesc3;
}

Run RunTest(lab::Integrator integrator, lab::SimState s) {
  Run r;
  lab::SeriesPort port(s, 0, [&](const lab::TestRow& row) { r.row = row; });
  const double t0 = CpuSeconds();
  lab::RunOneTestWith(integrator, s, port);
  r.seconds = CpuSeconds() - t0;
  r.v3_vesc = SpeedOverEscape(s);
  return r;
}

void Bench(const std::string& preset) {
  lab::SimState s;
  lab::HeadlessPort port(s);
  s.testno = std::stod(preset);
  lab::INIT0(s, port);
  lab::INIT1(s, port);
  lab::StartSeries(s, port);

  int tests = 0, differing = 0;
  double fixed_s = 0, bs_s = 0, accurate_s = 0, fixed_steps = 0, bs_steps = 0, accurate_steps = 0;
  std::vector<double> errors, absorbed;  // tests not ended by an absorption, and those
  double apart = 0;  // largest relative difference of v3 / vesc between the accurate methods
  for (;;) {
    const Run fixed = RunTest(lab::Integrator::kEulerSums, s);
    const Run bs = RunTest(lab::Integrator::kBulirschStoer, s);
    const Run accurate = RunTest(lab::Integrator::kGaussRadau, s);
    ++tests;
    fixed_s += fixed.seconds;
    bs_s += bs.seconds;
    accurate_s += accurate.seconds;
    if (fixed.row) fixed_steps += static_cast<double>(fixed.row->steps);
    if (bs.row) bs_steps += static_cast<double>(bs.row->steps);
    if (accurate.row) accurate_steps += static_cast<double>(accurate.row->steps);
    apart = std::max(apart, std::abs(bs.v3_vesc - accurate.v3_vesc) / bs.v3_vesc);
    if (fixed.row && accurate.row) {
      const lab::TestRow &f = *fixed.row, &a = *accurate.row;
      if (f.end != a.end || f.v3_red != a.v3_red) ++differing;
      if (std::isfinite(accurate.v3_vesc) && accurate.v3_vesc > 0) {
        const double error = std::abs(fixed.v3_vesc - accurate.v3_vesc) / accurate.v3_vesc;
        (f.end == "absorbed" || a.end == "absorbed" ? absorbed : errors).push_back(error);
      }
    } else {
      ++differing;
    }
    // The series' next start: the set-up of this test, then the angle step.
    if (!lab::INITIALISE(s, port)) break;
    s.alpha0 = s.alpha0 + s.dalpha;
    if (!(s.alpha0 <= s.alphaend)) break;
  }
  std::sort(errors.begin(), errors.end());
  const double median = errors.empty() ? 0 : errors[errors.size() / 2];
  const double worst = errors.empty() ? 0 : errors.back();
  char worst_absorbed[16] = "-";
  if (!absorbed.empty()) {
    std::snprintf(worst_absorbed, sizeof worst_absorbed, "%.1e",
                  *std::max_element(absorbed.begin(), absorbed.end()));
  }
  std::printf(
      "| %-6s | %5d | %10.1f | %9.0f | %8.1f | %6.0f | %8.2f | %6.0f | %9.1e | %9.1e | %9s | %4d "
      "| %9.1e |\n",
      preset.c_str(), tests, 1000 * fixed_s / tests, fixed_steps / tests, 1000 * bs_s / tests,
      bs_steps / tests, 1000 * accurate_s / tests, accurate_steps / tests, median, worst,
      worst_absorbed, differing, apart);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> presets(argv + 1, argv + argc);
  if (presets.empty()) presets = {"0", "2", "3", "4", "8", "111"};
  std::printf(
      "| preset | tests | euler-sums ms/test | steps/test | bulirsch-stoer ms/test | steps/test "
      "| gauss-radau ms/test | steps/test | v3/vesc error, median | worst | worst, absorbed "
      "| outcomes differing | accurate methods apart |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const std::string& p : presets) {
    Bench(p);
    std::fflush(stdout);
  }
}
