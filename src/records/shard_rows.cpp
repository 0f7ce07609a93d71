#include "records/shard_rows.h"

#include <charconv>
#include <cmath>

#include "records/cross_columns.h"
#include "records/texts.h"
#include "setup/number_text.h"
#include "simulation/encounter.h"

namespace lab {

enum class ShardRows::Kind {
  kTest,      // checked by merge against the shard's place in the series
  kAngle,     // alpha: a number text of the fields
  kSpeed,     // cut to 3 decimals, not negative
  kDistance,  // cut to 2 decimals (AU) or whole (km), not negative
  kHeading,   // Vesc #1, #2 or #3
  kFlag,      // 0 or 1
  kCount,     // a whole number as printed
  kEnd,       // an end word
  kEnergy,    // 6 significant digits, or empty
  kAccEnd,    // an end word, or empty when the accurate run gave no results
  kAccFlag,   // 0 or 1, or empty with acc_end
  kAccRatio,  // as kRatio
  kRatioDiff, // 3 significant digits, or empty
  kRatio,     // 17 significant digits, not negative, or empty
  kExact,     // the shortest text of a double, not negative, or empty
  kBody,      // 1, 2 or 3, or empty
};

namespace {

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = line.find(',');
    parts.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return parts;
    line.remove_prefix(at + 1);
  }
}

// from_chars over the whole text, to a finite number.
bool ReadWhole(std::string_view text, double* value) {
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc() && p == text.data() + text.size() &&
         std::isfinite(*value);
}

// The text NumberText prints, with at most `decimals` digits after the point
// and, unless `sign`, not negative ("-0" is not printed either).
bool NumberTextForm(std::string_view text, std::size_t decimals, bool sign) {
  std::string t(text);
  const std::size_t e = t.find('E');
  if (e != std::string::npos) t[e] = 'e';
  double v = 0;
  if (!ReadWhole(t, &v) || NumberText(v) != text || (!sign && v < 0)) return false;
  if (e != std::string::npos) return sign || text[e + 1] == '+';
  const std::size_t point = text.find('.');
  return point == std::string_view::npos || text.size() - point - 1 <= decimals;
}

bool NotNegative(double v) { return v >= 0 && !std::signbit(v); }

// The text the program prints for the double it reads as, by `print`.
template <typename Print>
bool PrintedForm(std::string_view text, Print print, bool not_negative) {
  double v = 0;
  return ReadWhole(text, &v) && print(v) == text && (!not_negative || NotNegative(v));
}

std::string Digits(double v, int digits) {
  char buf[40];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
  return ec == std::errc() ? std::string(buf, p) : std::string();
}

bool IsEndWord(std::string_view v) {
  for (std::string_view w : {"escaped", "receded", "absorbed", "passages", "next", "limit", "none"})
    if (v == w) return true;
  return false;
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
    const auto names = Split(header);
    if (names.size() < 3 || !MapAxisName(names[1])) return std::nullopt;
    series_header = "test" + std::string(header.substr(5 + names[1].size()));
    const std::string refined = ",computed";
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
  static const std::pair<std::string_view, Kind> kKinds[] = {
      {"test", Kind::kTest},         {"alpha", Kind::kAngle},       {"v1", Kind::kSpeed},
      {"v2", Kind::kSpeed},          {"v3", Kind::kSpeed},          {"vesc", Kind::kSpeed},
      {"vesc_heading", Kind::kHeading}, {"r3", Kind::kDistance},    {"rmin", Kind::kDistance},
      {"v3_red", Kind::kFlag},       {"steps", Kind::kCount},       {"end", Kind::kEnd},
      {"best", Kind::kFlag},         {"energy_err", Kind::kEnergy}, {"acc_end", Kind::kAccEnd},
      {"acc_v3_red", Kind::kAccFlag}, {"acc_best", Kind::kAccFlag}, {"acc_ratio", Kind::kAccRatio},
      {"ratio_diff", Kind::kRatioDiff}, {"differs", Kind::kFlag},   {"ratio", Kind::kRatio},
      {"t_s", Kind::kExact},         {"v1_kms", Kind::kExact},      {"v2_kms", Kind::kExact},
      {"v3_kms", Kind::kExact},      {"vesc_kms", Kind::kExact},    {"r3_km", Kind::kExact},
      {"rmin_km", Kind::kExact},     {"vesc_body", Kind::kBody},    {"ratio_body", Kind::kBody},
      {"computed", Kind::kFlag},
  };
  ShardRows rows;
  if (map_rows > 0) rows.per_series_ = total / map_rows;
  int* const named[] = {&rows.at_.best,       &rows.at_.ratio,    &rows.at_.heading,
                        &rows.at_.body,       &rows.at_.end,      &rows.at_.v3_red,
                        &rows.at_.acc_end,    &rows.at_.acc_v3_red, &rows.at_.acc_best,
                        &rows.at_.acc_ratio,  &rows.at_.ratio_diff, &rows.at_.differs};
  constexpr std::string_view kNamed[] = {"best",    "ratio",      "vesc_heading", "vesc_body",
                                         "end",     "v3_red",     "acc_end",      "acc_v3_red",
                                         "acc_best", "acc_ratio", "ratio_diff",   "differs"};
  for (std::string_view name : Split(header)) {
    const int c = static_cast<int>(rows.names_.size());
    rows.names_.emplace_back(name);
    if (map_rows > 0 && c == 1) rows.kinds_.push_back(Kind::kAngle);  // y: a number text
    for (const auto& [n, kind] : kKinds)
      if (n == name) rows.kinds_.push_back(kind);
    for (std::size_t k = 0; k < std::size(kNamed); ++k)
      if (kNamed[k] == name) *named[k] = c;
  }
  return rows;
}

bool ShardRows::Readable(Kind kind, std::string_view v) {
  switch (kind) {
    case Kind::kTest: return true;
    case Kind::kAngle: return NumberTextForm(v, 15, true);
    case Kind::kSpeed: return NumberTextForm(v, 3, false);
    case Kind::kDistance: return NumberTextForm(v, 2, false);
    case Kind::kHeading: return v == "Vesc #1" || v == "Vesc #2" || v == "Vesc #3";
    case Kind::kFlag: return v == "0" || v == "1";
    case Kind::kCount: {
      std::int64_t n = 0;
      const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
      return ec == std::errc() && p == v.data() + v.size() && n >= 0 && std::to_string(n) == v;
    }
    case Kind::kEnd: return IsEndWord(v);
    case Kind::kEnergy:
      return v.empty() || PrintedForm(v, [](double d) { return Digits(d, 6); }, false);
    case Kind::kAccEnd: return v.empty() || IsEndWord(v);
    case Kind::kAccFlag: return v.empty() || v == "0" || v == "1";
    case Kind::kRatioDiff: {
      double d = 0;
      return v.empty() || ReadWhole(v, &d);
    }
    case Kind::kAccRatio:
    case Kind::kRatio: return v.empty() || PrintedForm(v, ExactText, true);
    case Kind::kExact: return v.empty() || PrintedForm(v, ShortestText, true);
    case Kind::kBody: return v.empty() || v == "1" || v == "2" || v == "3";
  }
  return false;
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
  for (std::size_t c = 1; c < cells.size() && c < kinds_.size(); ++c) {
    if (!Readable(kinds_[c], cells[c]))
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
