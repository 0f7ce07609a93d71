#include "app/batch/map_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "encounter/units.h"
#include "series/map_refine.h"
#include "setup/field_names.h"

namespace lab {

namespace {

// "0.950 ± 0.011", padded to one width.
std::string Fraction(std::int64_t count, std::int64_t n) {
  if (n == 0) return "-";
  const double p = static_cast<double>(count) / static_cast<double>(n);
  char text[48];
  std::snprintf(text, sizeof text, "%.3f \u00b1 %.3f", p, std::sqrt(p * (1 - p) / static_cast<double>(n)));
  return text;
}

std::string Padded(std::string text, std::size_t width) {
  // The sign ± is two bytes but one column.
  std::size_t columns = 0;
  for (unsigned char c : text) columns += (c & 0xc0) != 0x80;
  if (columns < width) text.append(width - columns, ' ');
  return text;
}

}  // namespace

std::string MapSummaryTable(const encounter::Map& map, const encounter::MapSummary& summary) {
  std::array<bool, encounter::kEndCount> seen{};
  for (const auto& t : summary.tallies)
    for (int e = 0; e < encounter::kEndCount; ++e) seen[e] = seen[e] || t.ends[e] > 0;
  // The y values and the counts as printed; each column two blanks wider
  // than its widest text, so that no two run together.
  std::vector<std::string> ys, counts;
  std::size_t first = std::max<std::size_t>(map.y_column().size(), 8);
  std::size_t second = 6;
  for (const auto& t : summary.tallies) {
    char y[40];
    std::snprintf(y, sizeof y, "%.15g", t.y);
    ys.emplace_back(y);
    counts.push_back(std::to_string(t.tests));
    first = std::max(first, ys.back().size());
    second = std::max(second, counts.back().size());
  }
  first += 2;
  second += 2;
  // A refined map's fractions count the inferred cells as their parents
  // ended: the counts of both stand beside them.
  const bool refined = !summary.refined.empty();
  const std::size_t apart = std::max<std::size_t>(second, 10);
  std::string table = "summary: fraction of the tests \u00b1 standard error, by " + map.y_column() + '\n';
  table += Padded(map.y_column(), first) + Padded("tests", second);
  if (refined) table += Padded("computed", apart) + Padded("inferred", apart);
  for (int e = 0; e < encounter::kEndCount; ++e)
    if (seen[e]) table += Padded(encounter::EndName(static_cast<encounter::End>(e)), 16);
  // Untrusted: a count, the tests whose total energy changed by more than
  // the limit (the cells that show such a test's result, with refine).
  table += Padded("v3_red", 16) + "untrusted\n";
  for (std::size_t k = 0; k < summary.tallies.size(); ++k) {
    const auto& t = summary.tallies[k];
    table += Padded(ys[k], first) + Padded(counts[k], second);
    if (refined)
      table += Padded(std::to_string(t.computed), apart) + Padded(std::to_string(t.tests - t.computed), apart);
    for (int e = 0; e < encounter::kEndCount; ++e)
      if (seen[e]) table += Padded(Fraction(t.ends[e], t.tests), 16);
    table += Padded(Fraction(t.red, t.tests), 16) + std::to_string(t.untrusted) + '\n';
  }
  return table;
}

std::string SampledErrorWords(const encounter::MapSummary& summary) {
  const SampledError e{summary.sampled, summary.sampled_differing, summary.sampled_low,
                       summary.sampled_high};
  if (e.sampled == 0) return ", " + SampledErrorText(e);
  return ", " + SampledErrorText(e) + " (" + std::to_string(e.differing) + " of " +
         std::to_string(e.sampled) + " inferred cells sampled ended otherwise)";
}

}  // namespace lab
