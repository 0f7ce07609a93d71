// How merge reads the rows of a shard: every cell in the exact form the
// program prints it (digits and decimals as printed, an exponent only where
// one is printed, flags 0 or 1, the end words, finite ratios that are not
// negative), and the columns a shard decides in its own order (best; with
// --crosscheck acc_best, ratio_diff and differs) as its own rows decide them.
// A shard edited by hand is refused even when its checksum was made anew.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/columns.h"
#include "records/csv.h"

namespace lab {

class ShardRows {
 public:
  // Nothing when the header (with the column "test") is not one the program
  // prints. A map's shard (map_rows > 0) has the y value after "test" and
  // holds map_rows series of total / map_rows tests, each deciding its own best.
  static std::optional<ShardRows> ForHeader(std::string_view header, std::int64_t map_rows = 0,
                                            std::int64_t total = 0);

  // The next row of the shard, split at its commas, the test index first;
  // where: " in line N". "" or the fault ("has an unreadable v1 \"21.E97\" in line 3").
  std::string Check(const std::vector<std::string_view>& cells, const std::string& where);

 private:
  std::string Compare(const std::vector<std::string_view>& cells, const std::string& where);
  std::string CompareCross(const std::vector<std::string_view>& cells, const std::string& where);

  std::vector<std::string> names_;
  std::vector<const Column*> columns_;  // each column's entry in the table
  ColumnPlaces at_;  // the cells Check compares with one another
  std::int64_t per_series_ = 0;  // tests in each series of a map; 0: one series
  std::int64_t series_ = -1;     // the series of the last row checked
  BestSoFar best_;
  double acc_best_ratio_ = 0;
};

}  // namespace lab
