// The rows of a map run as one stream of tests: each row is a series of its
// own, its start state prepared only when its first test is taken, and the
// tests of all rows share the threads and lanes, so that while one row
// finishes its last long tests the next rows keep the cores busy. Tests are
// handed back in map order, on the calling thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "series/parallel_series.h"
#include "series/run_series.h"

namespace lab {

// A row to run and which of its tests.
struct RowPlan {
  int row = 0;
  TestChoice choice;
};

// A row's series at its start: the state after Start, its "t d fact" text
// (for warnings), or why it cannot start.
struct RowStart {
  SimState s;
  std::string tdfact;
  std::string refusal;
  bool ended = false;  // Start ended the program: the row has no tests
};

struct RowEvents {
  bool crosscheck = false;  // tally the cross-check along each row
  // The state a row's tests start from (called on a worker, one row at a time).
  std::function<RowStart(int row)> start;
  // What names the row in a message.
  std::function<std::string(int row)> label;
  // Each test in map order, best decided along its row among the row's
  // tests handed out.
  std::function<void(int row, std::int64_t test, TestRow& result)> test;
  // A test whose result should not be trusted, as it is found.
  std::function<void(int row, const std::string& text)> warning;
  // A test whose motion leaves Newtonian gravity (SpeedCaveat), as it is found.
  std::function<void(int row, const std::string& text)> caveat;
  // After the last test of a row, with the row's cross-check tally.
  std::function<void(int row, const CrossTally& tally)> row_end;
};

// Runs the rows' tests in plan order. Returns false when stop was asked
// (tests may be missing). A row whose set-up or a test fails ends the run
// with RefusedInput, its message led by label(row), after the rest of that
// row's tests were handed out; later rows are not run. Throws
// ThreadsUnavailable when a worker cannot be started.
bool RunRows(const std::vector<RowPlan>& plan, const ParallelSettings& settings,
             const RowEvents& events);

}  // namespace lab
