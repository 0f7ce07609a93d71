// bench-sweep: a sweep through the batch runner on one thread, one, two and
// four tests at a time in the SIMD lanes (four only with AVX2). A preset 2
// series of 360 tests (start angles 0 to 359 degrees) and the preset 8
// series; test-steps per second for each lane width, and a last line
// "ratio R" = (time with 1 lane) / (time with the default width) for the
// preset 2 sweep.
//
// Times are the processor time of the process (one thread), so that other
// work on the machine disturbs them less; the wall-clock time is shown too.
// Usage: bench-sweep [ROUNDS] (default 1; the best round counts).
#include <ctime>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "simulation/lane_step.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
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
  const int rounds = argc > 1 ? std::stoi(argv[1]) : 1;
  const int widest = lab::WidestLanes();
  std::vector<int> widths = {1, 2};
  if (widest == 4) widths.push_back(4);
  const std::vector<std::pair<const char*, std::vector<std::string>>> series = {
      {"preset 2, 360 tests", {"--test", "2", "--set", "start=0", "--set", "end=359",
                               "--set", "dalpha=1"}},
      {"preset 8 series", {"--test", "8"}},
  };
  double cpu1 = 0, cpu_widest = 0, wall1 = 0, wall_widest = 0;
  for (const auto& [name, args] : series) {
    std::string reference;
    for (int lanes : widths) {
      Sweep best;
      for (int r = 0; r < rounds; ++r) {
        Sweep s = Run(args, lanes);
        if (r == 0 || s.cpu < best.cpu) best = std::move(s);
      }
      if (reference.empty()) reference = best.csv;
      std::printf("%-20s lanes %d: %6.2f million test-steps/s (%lld steps, %.2f s, wall %.2f s)%s\n",
                  name, lanes, static_cast<double>(best.steps) / best.cpu / 1e6, best.steps,
                  best.cpu, best.wall, best.csv == reference ? "" : "  OUTPUT DIFFERS");
      std::fflush(stdout);
      if (series.front().first == name) {
        if (lanes == 1) cpu1 = best.cpu, wall1 = best.wall;
        if (lanes == widest) cpu_widest = best.cpu, wall_widest = best.wall;
      }
    }
  }
  std::printf("wall-clock ratio %.3f\n", wall1 / wall_widest);
  std::printf("ratio %.3f\n", cpu1 / cpu_widest);
  return 0;
}
