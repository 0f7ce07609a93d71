#include "records/shard_row_rules.h"

#include <charconv>

#include "records/csv.h"
#include "records/texts.h"

namespace lab {

ShardRowRules::ShardRowRules(std::string_view header, std::int64_t map_rows, std::int64_t total) {
  for (std::string_view name : SplitAt(header)) names_.emplace_back(name);
  for (int c = 0; c < static_cast<int>(names_.size()); ++c) {
    if (names_[c] == "ratio") ratio_ = c;
    if (names_[c] == "ratio_body") ratio_body_ = c;
  }
  if (map_rows > 0) per_row_ = total / map_rows;
}

std::string ShardRowRules::Check(const std::vector<std::string_view>& cells,
                                 const std::string& where) {
  if (ratio_body_ >= 0 && cells[ratio_body_].empty() != cells[ratio_].empty())
    return cells[ratio_].empty() ? "has ratio_body" + where + " but no ratio"
                                 : "has no ratio_body" + where + " but a ratio";
  if (per_row_ == 0) return "";
  // The y values of a map are fields that cannot be negative: no sign.
  const std::string_view y = cells[1];
  if (!y.empty() && (y[0] == '-' || y[0] == '+'))
    return "has an unreadable " + names_[1] + " " + Echo(y, 24) + where;
  std::int64_t test = 0;
  std::from_chars(cells[0].data(), cells[0].data() + cells[0].size(), test);
  if (test / per_row_ != row_) {
    row_ = test / per_row_;
    y_ = std::string(y);
  } else if (y != y_) {
    return "has " + names_[1] + " " + Echo(y, 24) + where + " where its row of the map has " +
           Echo(y_, 24);
  }
  return "";
}

}  // namespace lab
