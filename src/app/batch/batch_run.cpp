#include "app/batch/batch_run.h"

#include <charconv>
#include <cmath>
#include <ostream>

#include "app/batch/batch_options.h"
#include "app/batch/batch_port.h"
#include "setup/number_text.h"
#include "ui/control_flow.h"
#include "ui/handlers.h"

namespace lab {

namespace {

constexpr const char* kHeader =
    "alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,ratio";

std::string RatioText(const TestRow& row) {
  if (!row.candidate) return "";
  char buf[40];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, row.ratio, std::chars_format::general, 17);
  return ec == std::errc() ? std::string(buf, p) : "";
}

void WriteRow(std::ostream& out, const TestRow& row) {
  const auto& r = row.row1;
  out << r[0] << ',' << r[1] << ',' << r[2] << ',' << r[3] << ',' << r[4] << ','
      << row.vesc_heading << ',' << r[5] << ',' << r[6] << ',' << (row.v3_red ? 1 : 0) << ','
      << row.steps << ',' << row.end << ',' << (row.best ? 1 : 0) << ',' << RatioText(row)
      << '\n';
  out.flush();
}

// A series whose angle never passes the last angle runs until Stop, and
// nobody is there to press it.
bool SeriesEnds(HeadlessPort& port) {
  const double start = ReadNumber(port.GetFieldText(11));
  const double end = ReadNumber(port.GetFieldText(12));
  const double step = ReadNumber(port.GetFieldText(14));
  return step > 0 || !(start + step <= end);
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto options = ParseBatchOptions(args, &error);
  if (!options) {
    err << "encounter-batch: " << error << '\n';
    return 2;
  }
  if (options->help) {
    out << kBatchHelp;
    return 0;
  }

  SimState s;
  bool header_written = false;
  BatchPort port(s, options->max_steps, [&](const TestRow& row) {
    if (!header_written) out << kHeader << '\n';
    header_written = true;
    WriteRow(out, row);
  });

  try {
    Form_Load(s, port);
    if (options->test) port.Paste(10, *options->test);
    for (const auto& [field, text] : options->sets) port.SetFieldText(field, text);
    if (options->unit_au) port.SelectUnit(*options->unit_au);
    if (!SeriesEnds(port)) {
      err << "encounter-batch: the angle increment \"d alpha\" (" << port.GetFieldText(14)
          << ") never reaches the last angle; the series would not end\n";
      return 2;
    }
    if (port.messages.empty()) port.Click(Button::CommandStart);
  } catch (const ProgramEnded&) {
  }

  for (const std::string& m : port.messages) err << "encounter-batch: " << m << '\n';
  if (!port.messages.empty()) return 2;
  if (!header_written) out << kHeader << '\n';
  return 0;
}

}  // namespace lab
