// The CSV the batch runner prints, and the shard files merge reads back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "simulation/test_row.h"

namespace lab {

// Which columns a line holds. The fixed columns come first; each optional
// group adds its columns where its entry in csv.cpp puts them.
struct CsvLayout {
  bool shard = false;   // a leading column "test" (the index of the test in the series)
  bool energy = false;  // energy_err, before ratio
  bool full = false;    // the unrounded values, at the end
  bool crosscheck = false;  // the accurate method's outcome, before ratio
};

std::string CsvHeader(const CsvLayout& layout);
// One line, with its line feed.
std::string CsvRow(const CsvLayout& layout, std::int64_t test, const TestRow& row);

// The parts of a line between its separators (a CSV line at its commas);
// the parts look into `line`, which must outlive them.
std::vector<std::string_view> SplitAt(std::string_view line, char sep = ',');

// A number with 17 significant digits: read back, it is the same double.
std::string ExactText(double value);

// Row 2's rule in series order: the first candidate, then each whose ratio
// is smaller than the best so far. A ratio of 0 is a ratio like any other.
struct BestSoFar {
  bool any = false;
  double ratio = 0;
  bool Takes(double candidate_ratio) {
    if (any && !(candidate_ratio < ratio)) return false;
    any = true;
    ratio = candidate_ratio;
    return true;
  }
};

}  // namespace lab
