// bench-map: a map of preset 2, 360 start angles (0 to 359 degrees) by 100
// values of dist 2, once on the full grid and once with adaptive refinement.
// Reports the time of each, the fraction of the fine grid the refinement
// computed and the fraction of cells whose outcome (end, v3_red) differs
// from the full grid's, of all cells and of those inferred (to set beside
// the error the refinement measured on its sample, which it reports); every
// computed cell must equal the full grid's. The full grid's test-steps per
// second of processor time: its rate per core.
//
// Usage: bench-map [--levels L] [--y NAME=FROM:TO:COUNT] [--end DEGREES]
//                  [--jobs N] [--pictures PREFIX] [--keep FILE]
// --pictures writes PREFIX.svg and PREFIX.png of the full map; --keep keeps
// the full map's CSV in FILE, and a later run with the same FILE reads it
// instead of computing the full grid again (to try other levels).
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Run {
  double seconds = 0, cpu = 0;
  int status = 0;
  std::vector<std::vector<std::string>> cells;  // the CSV, header left out
  std::string err;
};

Run RunMap(const std::vector<std::string>& args, const std::string& keep = "") {
  std::ostringstream out, err;
  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = CpuSeconds();
  Run r;
  if (std::ifstream kept(keep); !keep.empty() && kept) {
    out << kept.rdbuf();
    std::printf("(the full grid read from %s)\n", keep.c_str());
  } else {
    r.status = lab::RunBatch(args, out, err);
    if (!keep.empty() && r.status == 0) std::ofstream(keep) << out.str();
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.cpu = CpuSeconds() - c0;
  r.err = err.str();
  std::istringstream in(out.str());
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> cells(1);
    for (char c : line) {
      if (c == ',') {
        cells.emplace_back();
      } else {
        cells.back() += c;
      }
    }
    r.cells.push_back(cells);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::string levels = "3", y = "dist2=1.5:3:100", end = "359", jobs, pictures, keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    (a == "--levels" ? levels : a == "--y" ? y : a == "--end" ? end : a == "--jobs" ? jobs
     : a == "--keep" ? keep : pictures) = argv[i + 1];
  }
  std::vector<std::string> args = {"map", "--quiet", "--test", "2", "--set", "start=0",
                                   "--set", "end=" + end, "--set", "dalpha=1", "--y", y};
  if (!jobs.empty()) args.insert(args.end(), {"--jobs", jobs});
  std::vector<std::string> full_args = args;
  if (!pictures.empty())
    full_args.insert(full_args.end(), {"--map-svg", pictures + ".svg", "--map-png", pictures + ".png"});
  const Run full = RunMap(full_args, keep);
  // Columns: y, alpha, ..., v3_red (10th), steps (11th), ...
  double steps = 0;
  for (const auto& cells : full.cells) steps += cells.size() > 10 ? std::stod(cells[10]) : 0;
  std::printf("full grid: %zu cells in %.1f s (processor time %.1f s; status %d); "
              "%.1f million test-steps/s per core\n",
              full.cells.size(), full.seconds, full.cpu, full.status, steps / full.cpu / 1e6);
  std::fflush(stdout);
  args.insert(args.end(), {"--refine", levels});
  const Run refined = RunMap(args);
  if (full.status != 0 || refined.status != 0 || full.cells.size() != refined.cells.size()) {
    std::printf("failed: %s%s\n", full.err.c_str(), refined.err.c_str());
    return 1;
  }
  // Columns: y, alpha, ..., v3_red (10th), steps, end (12th), best, ratio...; computed last.
  std::size_t computed = 0, differing = 0, inferred_differing = 0, unequal = 0;
  for (std::size_t k = 0; k < full.cells.size(); ++k) {
    const auto& f = full.cells[k];
    auto r = refined.cells[k];
    const bool was_computed = r.back() == "1";
    r.pop_back();
    if (was_computed) {
      ++computed;
      // best is decided along the refined row, the rest is the test's own.
      r[12] = f[12];
      unequal += r != f;
    }
    const bool differs = r[9] != f[9] || r[11] != f[11];
    differing += differs;
    inferred_differing += differs && !was_computed;
  }
  const double n = static_cast<double>(full.cells.size());
  std::printf("refined (%s levels): %.1f s (processor time %.1f s); computed %zu of %zu cells (%.1f %%); "
              "differing %zu (%.2f %%); computed cells unlike the full grid's: %zu\n",
              levels.c_str(), refined.seconds, refined.cpu, computed, full.cells.size(), 100 * computed / n,
              differing, 100 * differing / n, unequal);
  const double inferred = n - static_cast<double>(computed);
  std::printf("differing among the %.0f inferred cells: %zu (%.2f %%); the refinement's own words: %s",
              inferred, inferred_differing, inferred > 0 ? 100 * inferred_differing / inferred : 0.0,
              refined.err.substr(std::min(refined.err.find("refined: "), refined.err.size())).c_str());
  return unequal == 0 ? 0 : 1;
}
