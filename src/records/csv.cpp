#include "records/csv.h"

#include <charconv>
#include <cmath>

#include "records/cross_columns.h"
#include "records/texts.h"

namespace lab {

namespace {

void WriteEnergy(std::string& line, const TestRow& row) {
  if (row.energy_err) {
    char buf[32];
    const auto [p, ec] =
        std::to_chars(buf, buf + sizeof buf, *row.energy_err, std::chars_format::general, 6);
    if (ec == std::errc()) line.append(buf, p);
  }
}

void WriteFull(std::string& line, const TestRow& row) {
  for (double value : {row.t_s, row.v[0], row.v[1], row.v[2], row.vesc}) {
    line += ShortestText(value);
    line += ',';
  }
  line += ShortestText(row.r3) + ',' + ShortestText(row.rmin) + ',';
  if (row.vesc_body > 0) line += std::to_string(row.vesc_body);
  line += ',';
  if (row.candidate && row.ratio_body > 0) line += std::to_string(row.ratio_body);
}

// Optional groups of columns after the fixed ones: those before "ratio",
// then those after it.
struct Group {
  bool CsvLayout::*on;
  bool before_ratio;
  std::string columns;
  void (*write)(std::string&, const TestRow&);
};
const Group kGroups[] = {
    {&CsvLayout::energy, true, "energy_err", WriteEnergy},
    {&CsvLayout::crosscheck, true, CrossHeader(), AppendCrossColumns},
    {&CsvLayout::full, false, "t_s,v1_kms,v2_kms,v3_kms,vesc_kms,r3_km,rmin_km,vesc_body,ratio_body", WriteFull},
};

}  // namespace

std::string CsvHeader(const CsvLayout& layout) {
  std::string h = layout.shard ? "test," : "";
  h += "alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,";
  for (const Group& g : kGroups)
    if (layout.*g.on && g.before_ratio) h += g.columns + ',';
  h += "ratio";
  for (const Group& g : kGroups)
    if (layout.*g.on && !g.before_ratio) h += ',' + g.columns;
  return h;
}

std::string ExactText(double value) {
  if (!std::isfinite(value)) return "";
  char buf[40];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
  return ec == std::errc() ? std::string(buf, p) : std::string();
}

std::string CsvRow(const CsvLayout& layout, std::int64_t test, const TestRow& row) {
  const auto& r = row.row1;
  std::string line;
  if (layout.shard) line += std::to_string(test) + ',';
  line += r[0] + ',' + r[1] + ',' + r[2] + ',' + r[3] + ',' + r[4] + ',' + row.vesc_heading +
          ',' + r[5] + ',' + r[6] + ',' + (row.v3_red ? "1," : "0,") + std::to_string(row.steps) +
          ',' + row.end + ',' + (row.best ? "1," : "0,");
  for (const Group& g : kGroups) {
    if (layout.*g.on && g.before_ratio) {
      g.write(line, row);
      line += ',';
    }
  }
  if (row.candidate) line += ExactText(row.ratio);
  for (const Group& g : kGroups) {
    if (layout.*g.on && !g.before_ratio) {
      line += ',';
      g.write(line, row);
    }
  }
  return line + '\n';
}

}  // namespace lab
