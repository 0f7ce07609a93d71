// The rows of a map, several series at once: each row is a series of its
// own, run on its own threads, so that while one row finishes its last long
// tests the next rows keep the other cores busy. Rows are handed back in the
// order asked, on the calling thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "series/run_series.h"

namespace lab {

struct RowJob {
  int row = 0;
  std::optional<std::vector<std::int64_t>> only;  // the tests to run; none: all
};

struct RowDone {
  std::vector<std::pair<std::int64_t, TestRow>> tests;  // (test index, row), in order
  std::vector<std::string> warnings;                    // untrusted tests, in order
  std::int64_t steps = 0;                               // integrated in this row
  std::int64_t cross_differing = 0, cross_rows = 0;
};

// Makes the series of a row, run on `threads` threads.
using MakeRowSeries = std::function<std::unique_ptr<PreparedSeries>(const RowJob&, int threads)>;

struct RowsProgress {
  // Tests finished and steps integrated so far, a few times a second.
  std::function<void(std::int64_t tests_done, std::int64_t steps)> report;
  std::int64_t tests_before = 0, steps_before = 0;  // of earlier passes
};

// Runs the jobs on `threads` threads in all; done(k, row) follows in job
// order. Returns false when stop was asked (rows may be missing). A row that
// fails ends the run with RefusedInput, its message led by what names the
// row (label(row)), after the rows before it were handed out.
bool RunRows(const std::vector<RowJob>& jobs, int threads, const MakeRowSeries& make,
             const std::function<std::string(int row)>& label, const RowsProgress& progress,
             const RunStop& stop, const std::function<void(std::size_t k, RowDone& row)>& done);

}  // namespace lab
