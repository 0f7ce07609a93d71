// The cross-check's comparison of a test under the fixed step with the same
// test under the accurate method, and its count over a series.
#pragma once

#include <cstdint>
#include <string>

#include "simulation/test_row.h"

namespace lab {

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
