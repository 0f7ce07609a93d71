#include "records/shard_rows.h"

#include <charconv>
#include <cmath>

#include "records/columns.h"
#include "records/cross_columns.h"
#include "records/csv.h"
#include "records/texts.h"
#include "simulation/encounter.h"

namespace lab {

namespace {

// from_chars over the whole text, to a finite number.
bool ReadWhole(std::string_view text, double* value) {
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc() && p == text.data() + text.size() &&
         std::isfinite(*value);
}

}  // namespace

// The name of a map's y column: a field the map can run over, with its unit.
bool MapAxisName(std::string_view name) {
  for (std::string_view n : {"m1", "m2", "m3", "tdfact", "dist1_au", "dist1_km", "dist2_au",
                             "dist2_km"})
    if (name == n) return true;
  return false;
}

std::optional<ShardRows> ShardRows::ForHeader(std::string_view header, std::int64_t map_rows,
                                              std::int64_t total) {
  // A map's header: "test", its y column, a series' columns, and with
  // refinement "computed".
  std::string series_header(header);
  if (map_rows > 0) {
    const auto names = SplitAt(header);
    if (names.size() < 3 || !MapAxisName(names[1])) return std::nullopt;
    series_header = "test" + std::string(header.substr(5 + names[1].size()));
    const std::string refined = std::string(",") + RefinedColumnName();
    if (series_header.size() > refined.size() &&
        series_header.compare(series_header.size() - refined.size(), refined.size(), refined) == 0)
      series_header.resize(series_header.size() - refined.size());
  }
  bool printed = false;
  for (int groups = 0; groups < 8; ++groups) {
    CsvLayout layout{true, (groups & 1) != 0, (groups & 2) != 0, (groups & 4) != 0};
    printed = printed || CsvHeader(layout) == series_header;
  }
  if (!printed) return std::nullopt;
  ShardRows rows;
  if (map_rows > 0) rows.per_series_ = total / map_rows;
  const std::vector<std::string_view> names = SplitAt(header);
  rows.at_ = PlacesIn(names);
  // A map's y value is a number text of the fields, as alpha is.
  const Column* const y = ColumnNamed("alpha");
  for (std::size_t c = 0; c < names.size(); ++c) {
    rows.names_.emplace_back(names[c]);
    rows.columns_.push_back(map_rows > 0 && c == 1 ? y : ColumnNamed(names[c]));
  }
  return rows;
}

std::string ShardRows::Check(const std::vector<std::string_view>& cells, const std::string& where) {
  // Each series of a map decides its best afresh.
  std::int64_t test = 0;
  if (per_series_ > 0 && std::from_chars(cells[0].data(), cells[0].data() + cells[0].size(), test).ec ==
                             std::errc() && test / per_series_ != series_) {
    series_ = test / per_series_;
    best_ = BestSoFar{};
    acc_best_ratio_ = 0;
  }
  for (std::size_t c = 1; c < cells.size() && c < columns_.size(); ++c) {
    if (!columns_[c] || CellReadsBack(*columns_[c], cells[c])) continue;
    if (cells[c].empty()) return "has no " + names_[c] + where + " (the program always fills it)";
    return "has an unreadable " + names_[c] + " " + Echo(cells[c], 24) + where;
  }
  return Compare(cells, where);
}

// A shard decides best in its own order, by the rule of row 2; vesc_body
// is the number in vesc_heading.
std::string ShardRows::Compare(const std::vector<std::string_view>& cells,
                               const std::string& where) {
  double ratio = 0;
  const bool candidate = ReadWhole(cells[at_.ratio], &ratio);
  const std::string_view best = candidate && best_.Takes(ratio) ? "1" : "0";
  if (cells[at_.best] != best)
    return "has best " + std::string(cells[at_.best]) + where + " where its rows before decide " +
           std::string(best);
  if (at_.body >= 0 && !cells[at_.body].empty() && cells[at_.body] != cells[at_.heading].substr(6))
    return "has vesc_body " + std::string(cells[at_.body]) + where + " with the heading " +
           std::string(cells[at_.heading]);
  return at_.acc_end >= 0 ? CompareCross(cells, where) : "";
}

// The accurate method's columns: empty together when it gave no results;
// acc_best by the rule of row 2 in the shard's order; ratio_diff from the two
// ratios; differs from the outcomes.
std::string ShardRows::CompareCross(const std::vector<std::string_view>& cells,
                                    const std::string& where) {
  const bool ran = !cells[at_.acc_end].empty();
  for (int c : {at_.acc_v3_red, at_.acc_best}) {
    if (cells[c].empty() == ran)
      return "has " + std::string(ran ? "no " : "") + names_[c] + where + (ran ? " but " : " but no ") + "acc_end";
  }
  double ratio = 0, acc = 0;
  const bool candidate = ReadWhole(cells[at_.ratio], &ratio);
  const bool acc_candidate = ReadWhole(cells[at_.acc_ratio], &acc);
  if (acc_candidate && !ran) return "has acc_ratio" + where + " but no acc_end";
  const bool acc_best = acc_candidate && BeatsBest(acc_best_ratio_, acc);
  if (acc_best) acc_best_ratio_ = acc;
  if (ran && cells[at_.acc_best] != (acc_best ? "1" : "0"))
    return "has acc_best " + std::string(cells[at_.acc_best]) + where +
           " where its rows before decide " + (acc_best ? "1" : "0");
  const std::string diff = candidate && acc_candidate && acc != 0 ? RatioDiffText(ratio, acc) : "";
  if (cells[at_.ratio_diff] != diff)
    return "has ratio_diff " + Echo(cells[at_.ratio_diff], 24) + where + " where ratio and acc_ratio give " +
           Echo(diff, 24);
  const bool differs = !ran || cells[at_.end] != cells[at_.acc_end] ||
                       cells[at_.best] != cells[at_.acc_best] ||
                       cells[at_.v3_red] != cells[at_.acc_v3_red];
  if (cells[at_.differs] != (differs ? "1" : "0"))
    return "has differs " + std::string(cells[at_.differs]) + where + " where its outcomes give " +
           (differs ? "1" : "0");
  return "";
}

}  // namespace lab
