// --integrator and --crosscheck: which method integrates the tests, and every
// test run with both methods from the same start, with the columns that tell
// where the fixed step's results differ from an accurate integration.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "series/series_port.h"
#include "simulation/accurate_test.h"
#include "state/sim_state.h"

namespace lab {

std::optional<Integrator> IntegratorOfName(const std::string& name);

// One test at the angle alpha0 of s, through port, with the integrator; with
// cross, first the accurate method on a copy of the start, whose outcome the
// port's row then carries.
void RunBatchTest(Integrator integrator, bool cross, std::int64_t max_steps, SimState& s,
                  SeriesPort& port);

// Series order: row 2 under the accurate method, and the rows that differ.
class CrossTally {
 public:
  // Sets row.cross->best; call after row.best has been decided.
  void Decide(TestRow& row);
  std::int64_t differing() const { return differing_; }
  // Counts the rows of another tally (of another series of a map).
  void Add(std::int64_t differing, std::int64_t rows) {
    differing_ += differing;
    rows_ += rows;
  }
  std::int64_t rows() const { return rows_; }

 private:
  friend class CrossMerge;
  double bestratio_ = 0;
  std::int64_t differing_ = 0, rows_ = 0;
};

// Whether the methods disagree on the end, on best, or on whether body 2
// ended faster than its escape speed (v3_red).
bool OutcomesDiffer(const TestRow& row);

// The closing line on standard error.
std::string CrossSummary(const CrossTally& tally);

}  // namespace lab
