#include "series/map_rows.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

namespace lab {

namespace {

using std::chrono::milliseconds;

// What the workers share with the thread that hands the rows out.
struct Shared {
  explicit Shared(std::size_t jobs, int workers)
      : outcomes(jobs), done_now(workers), steps_now(workers) {}
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::optional<RowDone>> outcomes;
  std::size_t next_job = 0, next_out = 0;
  int running = 0;
  std::atomic<bool> abandoned{false};  // the caller left early (its done threw)
  // The first failing row and its message: rows after it are not run.
  std::atomic<std::size_t> failed_at{std::numeric_limits<std::size_t>::max()};
  std::string failure;
  // Progress: of finished rows, and of each worker's present row.
  std::atomic<std::int64_t> tests_done{0}, steps_done{0};
  std::vector<std::atomic<std::int64_t>> done_now, steps_now;
};

// One row's series, its tests collected in order.
bool RunOneRow(Shared& sh, int worker, std::size_t k, const RowJob& job, int threads,
               const MakeRowSeries& make, const std::function<std::string(int)>& label,
               bool progress, const RunStop& stop) {
  RowDone row;
  const RunStop row_stop([&sh, &stop, k] {
    return k > sh.failed_at.load() || sh.abandoned.load() || stop.Requested();
  });
  SeriesEvents events;
  events.row = [&row](std::int64_t test, const TestRow& t, const std::string&) {
    row.tests.emplace_back(test, t);
    row.steps += t.steps;
  };
  events.warning = [&row](const std::string& text) { row.warnings.push_back(text); };
  if (progress) {
    events.progress = [&sh, worker](std::int64_t done, std::int64_t steps) {
      sh.done_now[worker].store(done);
      sh.steps_now[worker].store(steps);
    };
  }
  try {
    const SeriesResult result = make(job, threads)->Run(events, row_stop);
    if (result.stopped) return false;
    row.cross_differing = result.cross_differing;
    row.cross_rows = result.cross_rows;
  } catch (const std::exception& e) {
    // Refused input, or no memory left: the row fails, and with it the map.
    std::lock_guard lock(sh.mutex);
    if (k < sh.failed_at.load()) {
      sh.failed_at.store(k);
      sh.failure = label(job.row) + ": " + e.what();
    }
    sh.changed.notify_all();
    return false;
  }
  sh.tests_done += static_cast<std::int64_t>(row.tests.size());
  sh.steps_done += row.steps;
  sh.done_now[worker].store(0);
  sh.steps_now[worker].store(0);
  std::lock_guard lock(sh.mutex);
  sh.outcomes[k] = std::move(row);
  sh.changed.notify_all();
  return true;
}

// Takes rows while there are any, no further ahead of the caller than
// `ahead` rows, so that finished rows do not pile up.
void Work(Shared& sh, int worker, int threads, std::size_t ahead, const std::vector<RowJob>& jobs,
          const MakeRowSeries& make, const std::function<std::string(int)>& label, bool progress,
          const RunStop& stop) {
  for (;;) {
    std::size_t k = 0;
    {
      std::unique_lock lock(sh.mutex);
      auto over = [&] {
        return sh.abandoned || stop.Requested() || sh.next_job >= jobs.size() ||
               sh.next_job > sh.failed_at.load();
      };
      while (!over() && sh.next_job >= sh.next_out + ahead)
        sh.changed.wait_for(lock, milliseconds(100));
      if (over()) break;
      k = sh.next_job++;
    }
    if (!RunOneRow(sh, worker, k, jobs[k], threads, make, label, progress, stop)) break;
  }
  std::lock_guard lock(sh.mutex);
  --sh.running;
  sh.changed.notify_all();
}

}  // namespace

bool RunRows(const std::vector<RowJob>& jobs, int threads, const MakeRowSeries& make,
             const std::function<std::string(int row)>& label, const RowsProgress& progress,
             const RunStop& stop, const std::function<void(std::size_t k, RowDone& row)>& done) {
  if (jobs.empty()) return !stop.Requested();
  const int workers = static_cast<int>(std::min<std::size_t>(std::max(threads, 1), jobs.size()));
  const int per_row = std::max(1, threads / workers);
  Shared sh(jobs.size(), workers);
  sh.running = workers;
  std::vector<std::thread> pool;
  bool ticking = static_cast<bool>(progress.report);
  std::thread ticker;
  // However the caller leaves, the threads end first.
  struct Join {
    Shared& sh;
    std::vector<std::thread>& pool;
    std::thread& ticker;
    bool& ticking;
    ~Join() {
      {
        std::lock_guard lock(sh.mutex);
        sh.abandoned = true;
        ticking = false;
        sh.changed.notify_all();
      }
      for (auto& t : pool) t.join();
      if (ticker.joinable()) ticker.join();
    }
  } join{sh, pool, ticker, ticking};
  for (int w = 0; w < workers; ++w)
    pool.emplace_back(Work, std::ref(sh), w, per_row, 2 * static_cast<std::size_t>(workers),
                      std::cref(jobs), std::cref(make), std::cref(label), ticking, std::cref(stop));
  if (ticking) {
    ticker = std::thread([&] {
      for (;;) {
        {
          std::unique_lock lock(sh.mutex);
          if (sh.changed.wait_for(lock, milliseconds(250), [&] { return !ticking; })) return;
        }
        std::int64_t tests = progress.tests_before + sh.tests_done.load();
        std::int64_t steps = progress.steps_before + sh.steps_done.load();
        for (int w = 0; w < workers; ++w) tests += sh.done_now[w].load(), steps += sh.steps_now[w].load();
        progress.report(tests, steps);
      }
    });
  }

  for (std::size_t k = 0; k < jobs.size(); ++k) {
    std::optional<RowDone> row;
    {
      std::unique_lock lock(sh.mutex);
      sh.changed.wait(lock, [&] { return sh.outcomes[k].has_value() || sh.running == 0; });
      if (!sh.outcomes[k]) break;
      row = std::move(sh.outcomes[k]);
      sh.outcomes[k].reset();
      sh.next_out = k + 1;
      sh.changed.notify_all();
    }
    done(k, *row);
  }
  {
    std::unique_lock lock(sh.mutex);
    sh.changed.wait(lock, [&] { return sh.running == 0; });
  }
  if (stop.Requested()) return false;
  if (!sh.failure.empty()) throw RefusedInput(sh.failure);
  return true;
}

}  // namespace lab
