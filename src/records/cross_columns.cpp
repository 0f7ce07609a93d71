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

std::optional<CrossMerge> CrossMerge::ForHeader(const std::string& header) {
  CrossMerge m;
  m.at_ = PlacesIn(SplitAt(header));
  const ColumnPlaces& at = m.at_;
  for (int place : {at.end, at.v3_red, at.best, at.acc_end, at.acc_v3_red, at.acc_best,
                    at.acc_ratio, at.differs})
    if (place < 0) return std::nullopt;
  return m;
}

std::string CrossMerge::Redecide(const std::string& row) {
  const std::vector<std::string_view> parts = SplitAt(row);
  std::vector<std::string> cells(parts.begin(), parts.end());
  if (cells.size() <= static_cast<std::size_t>(at_.differs)) return row;
  const std::string& ratio_text = cells[at_.acc_ratio];
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
  const bool ran = !cells[at_.acc_end].empty();
  if (ran) cells[at_.acc_best] = best ? "1" : "0";
  const bool differs = !ran || cells[at_.end] != cells[at_.acc_end] ||
                       cells[at_.best] != cells[at_.acc_best] ||
                       cells[at_.v3_red] != cells[at_.acc_v3_red];
  cells[at_.differs] = differs ? "1" : "0";
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
