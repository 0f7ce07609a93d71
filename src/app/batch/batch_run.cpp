#include "app/batch/batch_run.h"

#include <cstdio>
#include <ostream>
#include <thread>

#include "app/batch/batch_options.h"
#include "app/batch/batch_port.h"
#include "app/batch/csv.h"
#include "app/batch/merge.h"
#include "app/batch/parallel_series.h"
#include "app/batch/progress.h"
#include "app/batch/trajectory_png.h"
#include "setup/number_text.h"
#include "simulation/lane_step.h"
#include "simulation/run_loop.h"
#include "ui/control_flow.h"
#include "ui/handlers.h"
#include "version.h"

namespace lab {

namespace {

// The angles of the series as Start will read them from the fields.
struct Angles {
  double start, end, step;
};
Angles AnglesOf(HeadlessPort& port) {
  return {ReadNumber(port.GetFieldText(11)), ReadNumber(port.GetFieldText(12)),
          ReadNumber(port.GetFieldText(14))};
}

// A series whose angle never passes the last angle runs until Stop, and
// nobody is there to press it.
bool SeriesEnds(const Angles& a) { return a.step > 0 || !(a.start + a.step <= a.end); }

// Names the series for merging shards: every field a series reads, the unit,
// the step limit and the columns (FNV-1a, 64 bits).
std::string SeriesId(HeadlessPort& port, const BatchOptions& o) {
  std::string key;
  for (int f : {0, 1, 2, 3, 4, 10, 11, 12, 13, 14}) key += port.GetFieldText(f) + '\x1f';
  key += port.GetUnitOption() ? "au" : "km";
  key += '\x1f' + std::to_string(o.max_steps) + (o.energy ? "e" : "");
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return hex;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && args[0] == "merge") {
    return MergeShards(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  std::string error;
  const auto options = ParseBatchOptions(args, &error);
  if (!options) {
    err << "encounter-batch: " << error << '\n';
    return 2;
  }
  const BatchOptions& o = *options;
  if (o.help || o.version) {
    if (o.help) out << kBatchHelp;
    if (o.version) out << "encounter-batch " << kVersion << '\n';
    return 0;
  }
  const int lanes = o.lanes > 0 ? o.lanes : WidestLanes();
  if (!LanesSupported(lanes)) {
    err << "encounter-batch: --lanes " << lanes << " needs a processor with AVX2\n";
    return 2;
  }
  if (o.png && !CanWriteFile(*o.png)) {
    err << "encounter-batch: cannot write the picture " << *o.png << '\n';
    return 2;
  }

  // The windows' start-up and what the user types, then the run.
  const CsvLayout layout{o.energy, o.shards > 0};
  std::string first_lines;
  bool header_written = false;
  auto write_row = [&](std::int64_t test, const TestRow& row) {
    if (!header_written) out << first_lines;
    header_written = true;
    WriteCsvRow(out, layout, test, row);
    out.flush();
  };
  std::int64_t serial_test = 0;
  SimState s;
  BatchPort port(s, o.max_steps, [&](const TestRow& row) { write_row(serial_test++, row); });
  PixelLayer picture;
  std::vector<std::string> messages;
  try {
    Form_Load(s, port);
    if (o.test) port.Paste(10, *o.test);
    for (const auto& [field, text] : o.sets) port.SetFieldText(field, text);
    if (o.unit_au) port.SelectUnit(*o.unit_au);
    const Angles angles = AnglesOf(port);
    if (!SeriesEnds(angles)) {
      err << "encounter-batch: the angle increment \"d alpha\" (" << port.GetFieldText(14)
          << ") never reaches the last angle; the series would not end\n";
      return 2;
    }
    if (layout.shard) first_lines = ShardLine(o.shard, o.shards, SeriesId(port, o)) + '\n';
    first_lines += CsvHeader(layout) + '\n';

    const int jobs = o.jobs > 0 ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
    ProgressCounters counters(jobs);
    constexpr std::int64_t kCounted = 10000000;  // beyond that, an estimate will do
    std::int64_t total = CountTests(angles.start, angles.step, angles.end, kCounted);
    if (total == kCounted)
      total = static_cast<std::int64_t>((angles.end - angles.start) / angles.step) + 1;
    if (layout.shard) total = (total - o.shard + o.shards) / o.shards;
    ProgressLine progress(counters, total, o.quiet);
    if (jobs == 1 && !layout.shard && lanes == 1) {
      // One thread: exactly a user at the windows pressing Start.
      port.energy = o.energy;
      port.layer = o.png ? &picture : nullptr;
      port.running_steps = &counters.running[0];
      port.tests_done = &counters.tests_done;
      port.steps_done = &counters.steps_done;
      if (port.messages.empty()) port.Click(Button::CommandStart);
    } else {
      s.runstate = 0;
      StartSeries(s, port);
      ParallelSettings settings{jobs,         o.shard,  o.shards,
                                o.max_steps,  o.energy, o.png ? &picture : nullptr,
                                &counters};
      settings.lanes = lanes;
      messages = RunSeriesInParallel(s, settings, write_row);
    }
  } catch (const ProgramEnded&) {
  }
  messages.insert(messages.begin(), port.messages.begin(), port.messages.end());

  for (const std::string& m : messages) err << "encounter-batch: " << m << '\n';
  if (!messages.empty()) return 2;
  if (!header_written) out << first_lines;
  if (o.png) {
    const std::string failed = WriteTrajectoryPng(picture, *o.png);
    if (!failed.empty()) {
      err << "encounter-batch: " << failed << '\n';
      return 2;
    }
  }
  return 0;
}

}  // namespace lab
