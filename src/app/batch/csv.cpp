#include "app/batch/csv.h"

#include <charconv>
#include <ostream>

#include "app/batch/crosscheck.h"
#include "simulation/encounter.h"

namespace lab {

std::string CsvHeader(const CsvLayout& layout) {
  std::string h = layout.shard ? "test," : "";
  h += "alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,";
  if (layout.energy) h += "energy_err,";
  if (layout.crosscheck) h += CrossHeader();
  return h + "ratio";
}

std::string ExactText(double value) {
  char buf[40];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
  return ec == std::errc() ? std::string(buf, p) : std::string();
}

void WriteCsvRow(std::ostream& out, const CsvLayout& layout, std::int64_t test,
                 const TestRow& row) {
  const auto& r = row.row1;
  if (layout.shard) out << test << ',';
  out << r[0] << ',' << r[1] << ',' << r[2] << ',' << r[3] << ',' << r[4] << ','
      << row.vesc_heading << ',' << r[5] << ',' << r[6] << ',' << (row.v3_red ? 1 : 0) << ','
      << row.steps << ',' << row.end << ',' << (row.best ? 1 : 0) << ',';
  if (layout.energy) {
    if (row.energy_err) {
      char buf[32];
      const auto [p, ec] =
          std::to_chars(buf, buf + sizeof buf, *row.energy_err, std::chars_format::general, 6);
      out << std::string_view(buf, ec == std::errc() ? p - buf : 0);
    }
    out << ',';
  }
  if (layout.crosscheck) WriteCrossColumns(out, row);
  if (row.candidate) out << ExactText(row.ratio);
  out << '\n';
}

bool TakesRowTwo(const TestRow& row, double* bestratio) {
  if (!row.candidate || !BeatsBest(*bestratio, row.ratio)) return false;
  *bestratio = row.ratio;
  return true;
}

}  // namespace lab
