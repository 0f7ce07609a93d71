// bench-sweep: a sweep through the batch runner on one thread, with 1, 2, 4
// and 8 tests at a time in the SIMD lanes (8 only with AVX2). A preset 2
// series of 360 tests (start angles 0 to 359 degrees) and the preset 8
// series; test-steps per second and nanoseconds per lane-step for each
// number of lanes.
//
// The bound: a step of one lane takes 18 divisions and 3 square roots (per
// pair of bodies, two quotients of mass and distance squared, the distance,
// and four divisions by it), each a vector instruction for all lanes of a
// register. A loop of such independent instructions on 4-wide vectors (2-wide
// without AVX2) measures how fast this processor's divider can deliver them:
// no engine that computes them all can step a lane faster. It is measured
// before the first run and after every run, and the least time counts: the
// machine's speed changes from minute to minute. "bound" is that
// time per lane-step, and "of bound" the bound divided by the engine's time
// at the default width. When the two bodies of the pair have equal masses
// (preset 2 and most others), their two quotients are one number and the
// engine takes 15 divisions; the bound of 15 is shown beside it, as the floor
// of such a step.
// "ratio R" = (time with 1 lane) / (time with the default width).
//
// "kernel alone" steps eight lanes of preset 2 tests far from their
// encounters with nothing else: no display is shown, no test ends; the
// engine's time beyond it is the run loop's share (displays, encounters).
//
// Times are the processor time of the process (one thread), so that other
// work on the machine disturbs them less; the wall-clock time is shown too.
// Usage: bench-sweep [ROUNDS] [--widest] (ROUNDS default 1; the best round
// counts). --widest runs only the default width and the preset 2 sweep: the
// bound, the engine and the kernel alone, quick enough to repeat.
#include <ctime>
#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "control/handlers.h"
#include "control/headless_port.h"
#include "series/series_port.h"
#include "simulation/lane_step.h"
#include "simulation/run_loop.h"

namespace {

constexpr int kDivisions = 18, kTwinDivisions = 15, kRoots = 3;  // per lane-step

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

constexpr long kRounds = 2000000;

// Seconds per round of the step's divisions and roots on independent
// vectors. The divisor goes through an empty asm each round, so that no
// quotient can be computed once for all rounds.
#pragma GCC push_options
#pragma GCC target("avx2")
template <int Divisions>
double DividerAvx2() {
  __m256d x[Divisions + kRoots];
  for (int k = 0; k < Divisions + kRoots; ++k)
    x[k] = _mm256_set_pd(1.2345678 + k * 0.137, 3.3331 + k * 0.71, 0.91234 + k, 7.777 + k * 0.31);
  __m256d y = _mm256_set_pd(0.7123, 1.98765, 2.5555, 0.333);
  const double c0 = CpuSeconds();
  for (long n = 0; n < kRounds; ++n) {
    asm volatile("" : "+x"(y));
    #pragma GCC unroll 18
    for (int k = 0; k < Divisions; ++k) {
      const __m256d q = _mm256_div_pd(x[k], y);
      asm volatile("" : : "x"(q));
    }
    #pragma GCC unroll 3
    for (int k = Divisions; k < Divisions + kRoots; ++k) {
      const __m256d r = _mm256_sqrt_pd(_mm256_add_pd(x[k], y));
      asm volatile("" : : "x"(r));
    }
  }
  return (CpuSeconds() - c0) / kRounds;
}
#pragma GCC pop_options

template <int Divisions>
double DividerSse2() {
  __m128d x[Divisions + kRoots];
  for (int k = 0; k < Divisions + kRoots; ++k)
    x[k] = _mm_set_pd(1.2345678 + k * 0.137, 3.3331 + k * 0.71);
  __m128d y = _mm_set_pd(0.7123, 1.98765);
  const double c0 = CpuSeconds();
  for (long n = 0; n < kRounds; ++n) {
    asm volatile("" : "+x"(y));
    #pragma GCC unroll 18
    for (int k = 0; k < Divisions; ++k) {
      const __m128d q = _mm_div_pd(x[k], y);
      asm volatile("" : : "x"(q));
    }
    #pragma GCC unroll 3
    for (int k = Divisions; k < Divisions + kRoots; ++k) {
      const __m128d r = _mm_sqrt_pd(_mm_add_pd(x[k], y));
      asm volatile("" : : "x"(r));
    }
  }
  return (CpuSeconds() - c0) / kRounds;
}

// The best of several tries: nanoseconds per lane-step.
template <int Divisions>
double DividerBound(bool avx2) {
  double best = 1e9;
  for (int t = 0; t < 5; ++t) {
    const double s = avx2 ? DividerAvx2<Divisions>() / 4 : DividerSse2<Divisions>() / 2;
    if (s < best) best = s;
  }
  return best * 1e9;
}

// The bounds of 18 and of 15 divisions, measured again between the runs: the
// machine's speed changes from minute to minute, and the least time seen in
// the whole benchmark is the divider's own.
struct Bounds {
  bool avx2;
  double full = 1e9, twin = 1e9;
  int times = 0;
  void Measure() {
    ++times;
    full = std::min(full, DividerBound<kDivisions>(avx2));
    twin = std::min(twin, DividerBound<kTwinDivisions>(avx2));
  }
};

// Nanoseconds per lane-step of the lanes' kernel alone, at the widest layout,
// best of `rounds`: tests of preset 2 (start angles 10, 17, ... degrees, each
// some steps further than the one before, so that their display steps fall
// apart) stepped from the start, over and over, for 30000 steps each. At
// every stop the lanes go on as if the run loop had shown the displays.
double KernelAlone(int rounds) {
  const lab::LaneShape shape = lab::ShapeOfLanes(lab::WidestLanes());
  const int lanes = shape.lanes();
  lab::SimState base;
  lab::HeadlessPort setup(base);
  lab::Form_Load(base, setup);
  setup.Paste(10, "2");
  base.runstate = 0;
  lab::StartSeries(base, setup);
  std::vector<lab::SimState> starts(lanes);
  std::vector<lab::RunningTest> tests(lanes);
  for (int k = 0; k < lanes; ++k) {
    lab::SimState& s = starts[k];
    s = base;
    s.alpha0 = 10 + 7 * k;
    lab::SeriesPort port(s, 0, [](const lab::TestRow&) {});
    lab::SetUpTest(s, tests[k], port);
    for (int i = 0; i < 37 * k; ++i) lab::StepOnce(s, tests[k], port);
  }
  auto b = std::make_unique<lab::LaneBlock>();
  const unsigned all = (1u << lanes) - 1;
  double best = 1e9;
  for (int r = 0; r < 10 * rounds; ++r) {
    double steps = 0;
    const double c0 = CpuSeconds();
    for (int k = 0; k < lanes; ++k) lab::LoadLane(*b, k, starts[k], tests[k]);
    for (lab::LaneStop stop; stop.redo == 0 && b->at.n[0] < 30000;) {
      stop = lab::AdvanceLanes(*b, shape, all);
      for (int k = 0; k < lanes; ++k) {
        if (b->at.n[k] == b->next100[k]) b->next100[k] += 100;
      }
    }
    for (int k = 0; k < lanes; ++k) steps += b->at.n[k] - static_cast<double>(starts[k].tcnt);
    best = std::min(best, (CpuSeconds() - c0) / steps * 1e9);
  }
  return best;
}

struct Sweep {
  double cpu = 0, wall = 0;
  long long steps = 0;
  std::string csv;
};

// The sum of the column "steps" (the tenth).
long long StepsOf(const std::string& csv) {
  std::istringstream in(csv);
  std::string line;
  long long steps = 0;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream cells(line);
    std::string cell;
    for (int i = 0; i < 10; ++i) std::getline(cells, cell, ',');
    steps += std::stoll(cell);
  }
  return steps;
}

Sweep Run(std::vector<std::string> args, int lanes) {
  args.insert(args.end(), {"--jobs", "1", "--quiet", "--lanes", std::to_string(lanes)});
  std::ostringstream out, err;
  const double c0 = CpuSeconds();
  const auto w0 = std::chrono::steady_clock::now();
  lab::RunBatch(args, out, err);
  Sweep s;
  s.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
  s.cpu = CpuSeconds() - c0;
  s.csv = out.str();
  s.steps = StepsOf(s.csv);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 1;
  bool only_widest = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--widest") {
      only_widest = true;
    } else {
      rounds = std::stoi(argv[i]);
    }
  }
  const int widest = lab::WidestLanes();
  std::vector<int> widths = {1, 2, 4};
  if (widest == 8) widths.push_back(8);
  if (only_widest) widths = {widest};
  const bool avx2 = lab::LanesSupported(8);
  Bounds bounds{avx2};
  bounds.Measure();
  const std::vector<std::pair<const char*, std::vector<std::string>>> series = {
      {"preset 2, 360 tests", {"--test", "2", "--set", "start=0", "--set", "end=359",
                               "--set", "dalpha=1"}},
      {"preset 8 series", {"--test", "8"}},
  };
  double cpu1 = 0, cpu_widest = 0, wall1 = 0, wall_widest = 0, ns_widest = 0;
  for (const auto& [name, args] : series) {
    if (only_widest && name != series.front().first) continue;
    std::string reference;
    for (int lanes : widths) {
      Sweep best;
      for (int r = 0; r < rounds; ++r) {
        Sweep s = Run(args, lanes);
        bounds.Measure();
        if (r == 0 || s.cpu < best.cpu) best = std::move(s);
      }
      if (reference.empty()) reference = best.csv;
      const double ns = best.cpu / static_cast<double>(best.steps) * 1e9;
      std::printf("%-20s lanes %d: %6.2f million test-steps/s, %5.2f ns per lane-step "
                  "(%lld steps, %.2f s, wall %.2f s)%s\n",
                  name, lanes, 1e3 / ns, ns, best.steps, best.cpu, best.wall,
                  best.csv == reference ? "" : "  OUTPUT DIFFERS");
      std::fflush(stdout);
      if (series.front().first == name) {
        if (lanes == 1) cpu1 = best.cpu, wall1 = best.wall;
        if (lanes == widest) cpu_widest = best.cpu, wall_widest = best.wall, ns_widest = ns;
      }
    }
  }
  const double kernel = KernelAlone(rounds);
  bounds.Measure();
  const double bound = bounds.full, twin = bounds.twin;
  std::printf("divider bound: %.2f ns per lane-step (%d divisions and %d roots in %s vectors; the best of %d "
              "measurements between the runs); %.2f ns with the %d divisions of a pair of equal masses\n",
              bound, kDivisions, kRoots, avx2 ? "4-wide AVX2" : "2-wide SSE2", bounds.times, twin, kTwinDivisions);
  std::printf("kernel alone        lanes %d: %5.2f ns per lane-step, of bound %.3f (of the bound of %d: %.3f)\n",
              widest, kernel, bound / kernel, kTwinDivisions, twin / kernel);
  std::printf("of bound %.3f (preset 2, %d lanes; of the bound of %d divisions: %.3f)\n", bound / ns_widest,
              widest, kTwinDivisions, twin / ns_widest);
  if (only_widest) return 0;
  std::printf("wall-clock ratio %.3f\n", wall1 / wall_widest);
  std::printf("ratio %.3f\n", cpu1 / cpu_widest);
  return 0;
}
