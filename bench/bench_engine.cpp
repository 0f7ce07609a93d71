// bench-engine: the engine's steps per second through the real run loop and
// the headless port, against a minimal loop of the same per-step arithmetic.
//
// (a) a hand-written loop: forces, motion, geometry and the nearest distance
//     of body 2, for three bodies, nothing else;
// (b) RunTests on a whole series of preset 2 (and preset 8 for the record).
// The last line is "ratio R" = (b) / (a) for preset 2.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "setup/initial_conditions.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "port/control_flow.h"
#include "control/handlers.h"
#include "control/headless_port.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Counts the steps of the finished tests.
class CountingPort : public lab::HeadlessPort {
 public:
  using HeadlessPort::HeadlessPort;
  void TestFinished(const lab::TestSummary& t) override { steps += t.steps; }
  std::int64_t steps = 0;
};

// Steps per second of RunTests over the whole series of a preset.
double SeriesRate(const char* preset, std::int64_t* steps) {
  lab::SimState s;
  CountingPort port(s);
  port.record_points = false;
  lab::Form_Load(s, port);
  port.Paste(10, preset);
  const auto t0 = Clock::now();
  try {
    port.Click(lab::Button::CommandStart);
  } catch (const lab::ProgramEnded&) {
  }
  *steps = port.steps;
  return static_cast<double>(port.steps) / Seconds(t0);
}

// The same per-step arithmetic for three bodies, from the start state of
// preset 2's first test, with nothing around it.
double MinimalRate(std::int64_t steps, double* checksum) {
  lab::SimState s;
  lab::HeadlessPort port(s);
  s.testno = 2;
  lab::INIT0(s, port);
  lab::INIT1(s, port);
  lab::INITIALISE(s, port);

  double m[3], x[3], y[3], x0[3], y0[3], vx0[3], vy0[3], v[3];
  double dx[3][3], dy[3][3], r2[3][3], s1x[3] = {}, s1y[3] = {}, s2x[3] = {}, s2y[3] = {};
  for (int i = 0; i < 3; ++i) {
    m[i] = s.m[i], x0[i] = x[i] = s.x0[i], y0[i] = y[i] = s.y0[i];
    vx0[i] = s.vx0[i], vy0[i] = s.vy0[i];
  }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      dx[i][j] = x[j] - x[i], dy[i][j] = y[j] - y[i];
      r2[i][j] = dx[i][j] * dx[i][j] + dy[i][j] * dy[i][j];
    }
  const double G = s.G, dt = s.tdelta;
  double rr2 = 0;
  const auto t0 = Clock::now();
  for (std::int64_t n = 1; n <= steps; ++n) {
    for (int i = 0; i < 3; ++i) {
      double ax = 0, ay = 0;
      for (int j = 0; j < 3; ++j) {
        if (j == i) continue;
        const double q = (m[j] * G) / r2[i][j];
        const double r = std::sqrt(r2[i][j]);
        ax = ax + (dx[i][j] * q) / r;
        ay = ay + (dy[i][j] * q) / r;
      }
      s1x[i] += ax, s1y[i] += ay, s2x[i] += s1x[i], s2y[i] += s1y[i];
    }
    const double tn = static_cast<double>(n);
    for (int i = 0; i < 3; ++i) {
      x[i] = x0[i] + dt * (tn * vx0[i] + dt * s2x[i]);
      y[i] = y0[i] + dt * (tn * vy0[i] + dt * s2y[i]);
      const double vx = s.vx[i] + dt * s1x[i], vy = s.vy[i] + dt * s1y[i];
      v[i] = std::sqrt(vx * vx + vy * vy);
    }
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        if (j == i) continue;
        dx[i][j] = x[j] - x[i], dy[i][j] = y[j] - y[i];
        r2[i][j] = dx[i][j] * dx[i][j] + dy[i][j] * dy[i][j];
      }
    rr2 = r2[0][2] < r2[1][2] ? r2[0][2] : r2[1][2];
  }
  const double rate = static_cast<double>(steps) / Seconds(t0);
  *checksum = rr2 + v[0] + v[1] + v[2];
  return rate;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::stoi(argv[1]) : 3;
  double best_a = 0, best_b = 0, best_8 = 0, checksum = 0;
  std::int64_t steps2 = 0, steps8 = 0;
  for (int k = 0; k < rounds; ++k) {
    best_b = std::fmax(best_b, SeriesRate("2", &steps2));
    best_a = std::fmax(best_a, MinimalRate(steps2, &checksum));
  }
  best_8 = SeriesRate("8", &steps8);
  std::printf("minimal loop, three bodies:  %.2f million steps/s (checksum %.6g)\n", best_a / 1e6,
              checksum);
  std::printf("RunTests, preset 2 series:   %.2f million steps/s (%lld steps)\n", best_b / 1e6,
              static_cast<long long>(steps2));
  std::printf("RunTests, preset 8 series:   %.2f million steps/s (%lld steps)\n", best_8 / 1e6,
              static_cast<long long>(steps8));
  std::printf("ratio %.3f\n", best_b / best_a);
  return 0;
}
