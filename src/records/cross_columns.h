// The columns --crosscheck adds to a CSV row, and merge's second look at them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "records/columns.h"
#include "simulation/cross_outcome.h"

namespace lab {

// The column ratio_diff: (ratio - acc_ratio) / acc_ratio, 3 significant digits.
std::string RatioDiffText(double ratio, double acc_ratio);

// merge: the accurate method's best and the flag decided again in series
// order, for rows that carry the columns of --crosscheck.
class CrossMerge {
 public:
  // Nothing when the header has no such columns.
  static std::optional<CrossMerge> ForHeader(const std::string& header);
  // A row without its test index, its best already decided.
  std::string Redecide(const std::string& row);
  // The next row begins another series (the next row of a map).
  void NewSeries() { bestratio_ = 0; }
  std::string Summary() const;

 private:
  ColumnPlaces at_;  // where the columns it compares stand
  double bestratio_ = 0;
  std::int64_t differing_ = 0, rows_ = 0;
};

}  // namespace lab
