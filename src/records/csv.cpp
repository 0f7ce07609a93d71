#include "records/csv.h"

#include <charconv>
#include <cmath>

#include "records/columns.h"

namespace lab {

std::vector<std::string_view> SplitAt(std::string_view line, char sep) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = line.find(sep);
    parts.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return parts;
    line.remove_prefix(at + 1);
  }
}

namespace {

// Whether a line of this layout holds the columns of that group.
bool Holds(const CsvLayout& layout, ColumnGroup group) {
  switch (group) {
    case ColumnGroup::kShard: return layout.shard;
    case ColumnGroup::kEnergy: return layout.energy;
    case ColumnGroup::kCrosscheck: return layout.crosscheck;
    case ColumnGroup::kFull: return layout.full;
    case ColumnGroup::kRefined: return false;  // the map adds it after the line
    default: return true;
  }
}

}  // namespace

std::string CsvHeader(const CsvLayout& layout) {
  std::string h;
  for (const Column& c : Columns()) {
    if (!Holds(layout, c.group)) continue;
    if (!h.empty()) h += ',';
    h += c.name;
  }
  return h;
}

std::string ExactText(double value) {
  if (!std::isfinite(value)) return "";
  char buf[40];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
  return ec == std::errc() ? std::string(buf, p) : std::string();
}

std::string CsvRow(const CsvLayout& layout, std::int64_t test, const TestRow& row) {
  std::string line;
  bool first = true;
  for (const Column& c : Columns()) {
    if (!Holds(layout, c.group)) continue;
    if (!first) line += ',';
    first = false;
    line += c.group == ColumnGroup::kShard ? std::to_string(test) : c.cell(row);
  }
  return line + '\n';
}

}  // namespace lab
