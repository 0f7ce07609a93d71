// The columns --crosscheck adds to a row, and merge's second look at them:
// the accurate method's best and the flag, decided again in series order.
#include "records/cross_columns.h"

#include <charconv>
#include <string_view>
#include <vector>

#include "records/columns.h"
#include "records/csv.h"
#include "simulation/encounter.h"

namespace lab {

std::string RatioDiffText(double ratio, double acc_ratio) {
  char buf[32];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, (ratio - acc_ratio) / acc_ratio,
                                     std::chars_format::general, 3);
  return ec == std::errc() ? std::string(buf, p) : std::string();
}

}  // namespace lab

namespace lab {

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    cells.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) return cells;
    start = comma + 1;
  }
}

}  // namespace

std::optional<CrossMerge> CrossMerge::ForHeader(const std::string& header) {
  const std::vector<std::string> names = Split(header);
  const ColumnPlaces at = PlacesIn({names.begin(), names.end()});
  CrossMerge m;
  m.end_ = at.end;
  m.v3_red_ = at.v3_red;
  m.best_ = at.best;
  m.acc_end_ = at.acc_end;
  m.acc_v3_red_ = at.acc_v3_red;
  m.acc_best_ = at.acc_best;
  m.acc_ratio_ = at.acc_ratio;
  m.differs_ = at.differs;
  for (int place : {m.end_, m.v3_red_, m.best_, m.acc_end_, m.acc_v3_red_, m.acc_best_,
                    m.acc_ratio_, m.differs_})
    if (place < 0) return std::nullopt;
  return m;
}

std::string CrossMerge::Redecide(const std::string& row) {
  std::vector<std::string> cells = Split(row);
  if (cells.size() <= static_cast<std::size_t>(differs_)) return row;
  const std::string& ratio_text = cells[acc_ratio_];
  bool best = false;
  if (!ratio_text.empty()) {
    // merge has read every cell whole before; a ratio read only in part
    // would decide acc_best of the rows after it.
    double ratio = 0;
    const auto [p, ec] =
        std::from_chars(ratio_text.data(), ratio_text.data() + ratio_text.size(), ratio);
    if (ec != std::errc() || p != ratio_text.data() + ratio_text.size()) return row;
    best = BeatsBest(bestratio_, ratio);
    if (best) bestratio_ = ratio;
  }
  const bool ran = !cells[acc_end_].empty();
  if (ran) cells[acc_best_] = best ? "1" : "0";
  const bool differs = !ran || cells[end_] != cells[acc_end_] || cells[best_] != cells[acc_best_] ||
                       cells[v3_red_] != cells[acc_v3_red_];
  cells[differs_] = differs ? "1" : "0";
  differing_ += differs;
  ++rows_;
  std::string out = cells[0];
  for (std::size_t c = 1; c < cells.size(); ++c) out += ',' + cells[c];
  return out;
}

std::string CrossMerge::Summary() const {
  CrossTally tally;
  tally.differing_ = differing_;
  tally.rows_ = rows_;
  return CrossSummary(tally);
}

}  // namespace lab
