#include "app/batch/batch_run.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ostream>

#include "app/batch/batch_options.h"
#include "app/batch/column_list.h"
#include "app/batch/command_common.h"
#include "app/batch/map_command.h"
#include "app/batch/progress.h"
#include "app/batch/rerun.h"
#include "app/batch/trajectory_command.h"
#include "records/signals.h"
#include "encounter/encounter.h"
#include "records/merge.h"
#include "records/texts.h"
#include "setup/field_names.h"

namespace lab {

namespace {

// The scenarios as the fields show them after a load.
void ListPresets(std::ostream& out) {
  out << "scenario unit  m1 m2 m3  dist1 dist2  start end dalpha  tdfact  regime; fields read\n";
  for (const encounter::Preset& p : encounter::Presets()) {
    out << p.number << "  " << encounter::UnitName(p.unit) << "  " << p.m1
        << ' ' << p.m2 << ' ' << p.m3 << "  " << p.dist1 << ' ' << p.dist2 << "  " << p.start
        << ' ' << p.end << ' ' << p.dalpha << "  " << p.tdfact << "  " << p.regime
        << (p.pause ? ", pause" : "") << "; reads " << p.reads << '\n';
  }
}

// The last line of a run: how far it came, in how long, with how many
// warnings; signal as for LastLineText.
void SayLastLine(const SeriesCommandLine& o, std::ostream& err, std::int64_t written,
                 std::int64_t total, std::chrono::steady_clock::time_point started,
                 std::size_t warnings, int signal) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const int count = static_cast<int>(warnings);
  if (!o.quiet)
    err << "encounter-batch: " << LastLineText(written, total, seconds, count, signal) << '\n';
  else if (signal == 0 && count > 0)
    err << "encounter-batch: " << count << (count == 1 ? " warning" : " warnings") << '\n';
}

// One series, its rows to the CSV as they come, then its files.
int RunOneSeries(const SeriesCommandLine& o, const RunPlan& plan, std::ostream& out,
                 std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  std::optional<encounter::Series> series;
  try {
    encounter::SeriesOptions options = o.series;
    options.command_line = plan.args;
    series.emplace(o.scenario, options);
  } catch (const encounter::InputError& e) {
    PrintRefusal(err, e.what());
    return 2;
  }
  if (const std::string refusal = SeriesRefusal(plan, series->series_id()); !refusal.empty()) {
    err << "encounter-batch: " << refusal << '\n';
    return 2;
  }
  OutputFiles files({{"--output", o.output}, {"--png", o.png}, {"--meta", o.meta}});
  if (!files.Open(err)) return 2;
  std::ostream& csv = files.Csv(out);
  if (!csv) return StoppedStatus(err);
  for (const std::string& w : series->setup_warnings())
    err << "encounter-batch: warning: " << w << '\n';

  bool write_failed = false;
  bool header_written = false;
  std::int64_t written = 0;
  std::size_t warnings = series->setup_warnings().size();
  ProgressCounters counters(1);
  std::optional<encounter::Summary> summary;
  try {
    const std::chrono::seconds every(o.progress_every);
    ProgressLine progress(counters, series->tests(), FaceOfStandardError(o.quiet, every), every,
                          err);
    auto on_row = [&](const encounter::Row& row) {
      csv << (header_written ? "" : series->first_lines()) << row.csv;
      csv.flush();
      header_written = true;
      ++written;
      if (!csv) write_failed = true;
    };
    auto on_progress = [&](const encounter::Progress& p) {
      counters.tests_done.store(p.tests_done, std::memory_order_relaxed);
      counters.steps_done.store(p.steps, std::memory_order_relaxed);
    };
    auto stop = [&] { return write_failed || StopRequested(); };
    auto on_warning = [&](const std::string& w) {
      ++warnings;
      progress.Say(err, "encounter-batch: warning: " + w + '\n');
    };
    summary = series->Run(on_row, on_progress, stop, on_warning);
  } catch (const encounter::InputError& e) {
    PrintRefusal(err, e.what());
    SayLastLine(o, err, written, series->tests(), started, warnings, -1);
    return 2;
  } catch (const encounter::Stopped&) {
    if (write_failed) RequestStopForWriteError();
    const int status = StoppedStatus(err);
    SayLastLine(o, err, written, series->tests(), started, warnings,
                StopSignal() ? StopSignal() : -1);
    return status;
  } catch (const encounter::Error& e) {  // no threads, or the picture could not be made
    err << "encounter-batch: " << e.what() << '\n';
    return 1;
  }

  // Complete: the shard's last line, then the files.
  csv << (header_written ? "" : series->first_lines()) << summary->last_lines;
  csv.flush();
  if (!csv) {
    RequestStopForWriteError();
    return StoppedStatus(err);
  }
  // The picture and the record go to their temporary files first, then all
  // files appear together.
  if (!files.Write("--png", summary->png, err) || !files.Write("--meta", summary->record_json, err))
    return 1;
  if (const int status = files.Commit(err)) return status;
  if (o.series.crosscheck) err << "encounter-batch: " << summary->crosscheck << '\n';
  SayLastLine(o, err, written, series->tests(), started, summary->warnings.size(), 0);
  return 0;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ResetStop();
  if (!args.empty() && args[0] == "merge") {
    return MergeShards(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  if (!args.empty() && args[0] == "map") {
    return RunMapCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  if (!args.empty() && args[0] == "trajectory") {
    return RunTrajectoryCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  std::string error;
  const auto plan = PlanRun(args, false, &error);
  if (plan && plan->map) return RunMapPlan(*plan, out, err);
  const auto options = plan ? ParseSeriesCommandLine(plan->args, &error) : std::nullopt;
  if (!options) return CommandLineRefused(err, "", error);
  const SeriesCommandLine& o = *options;
  if (o.help || o.version || o.list_presets || o.list_columns) {
    if (o.help) out << SeriesHelp();
    if (o.version) out << "encounter-batch " << encounter::Version() << '\n';
    if (o.list_presets) ListPresets(out);
    if (o.list_columns) out << ColumnTable();
    return ListingStatus(out, err);
  }
  return RunOneSeries(o, *plan, out, err);
}

}  // namespace lab
