// What ties the cells of a shard's rows to one another, beyond each cell's
// own form: the cells the program always fills (the unrounded values of
// --full and vesc_body), ratio_body present exactly with a ratio, and in a
// map's shard a y value without a sign that stays the same along each row
// of the map. A shard edited by hand this way is refused even when its
// checksum was made anew.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

class ShardRowRules {
 public:
  // header: the shard's second line (with the column "test"); map_rows > 0
  // for a map's shard of `total` cells in map_rows rows.
  ShardRowRules(std::string_view header, std::int64_t map_rows, std::int64_t total);

  // The next row, split at its commas, the test index first (already read
  // as a number); where: " in line N". "" or the fault.
  std::string Check(const std::vector<std::string_view>& cells, const std::string& where);

 private:
  std::vector<std::string> names_;
  int ratio_ = -1, ratio_body_ = -1;
  std::int64_t per_row_ = 0;  // cells in each row of a map; 0: a series
  std::int64_t row_ = -1;     // the map row of the cells seen last
  std::string y_;             // and its y value
};

}  // namespace lab
