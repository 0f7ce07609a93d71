#include "app/batch/batch_run.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ostream>

#include "app/batch/batch_options.h"
#include "app/batch/progress.h"
#include "app/batch/rerun.h"
#include "records/signals.h"
#include "encounter/encounter.h"
#include "records/merge.h"
#include "records/replacing_file.h"
#include "records/texts.h"
#include "setup/field_names.h"

namespace lab {

namespace {

// The scenarios as the fields show them after a load.
void ListPresets(std::ostream& out) {
  out << "scenario unit  m1 m2 m3  dist1 dist2  start end dalpha  tdfact  regime; fields read\n";
  for (const encounter::Preset& p : encounter::Presets()) {
    out << p.number << "  " << (p.unit == encounter::Unit::kAU ? "AU" : "km") << "  " << p.m1
        << ' ' << p.m2 << ' ' << p.m3 << "  " << p.dist1 << ' ' << p.dist2 << "  " << p.start
        << ' ' << p.end << ' ' << p.dalpha << "  " << p.tdfact << "  " << p.regime
        << (p.pause ? ", pause" : "") << "; reads " << p.reads << '\n';
  }
}

encounter::Scenario ScenarioOf(const BatchOptions& o) {
  encounter::Scenario scenario;
  scenario.test = o.test;
  for (const auto& [field, text] : o.sets) scenario.fields.emplace_back(NameOfField(field), text);
  if (o.unit_au) scenario.unit = *o.unit_au ? encounter::Unit::kAU : encounter::Unit::kKm;
  return scenario;
}

encounter::SeriesOptions SeriesOptionsOf(const BatchOptions& o,
                                         const std::vector<std::string>& args) {
  encounter::SeriesOptions options;
  options.integrator = o.integrator;
  options.crosscheck = o.crosscheck;
  options.lanes = o.lanes;
  options.jobs = o.jobs;
  options.shard = o.shard;
  options.shards = o.shards;
  options.max_steps = o.max_steps;
  options.energy = o.energy;
  options.full = o.full;
  options.picture = o.png.has_value();
  options.picture_width = o.png_width;
  options.picture_height = o.png_height;
  options.command_line = args;
  return options;
}

// The status of a run that stopped early: the signal's, or 1 for output
// that could not be written.
int StoppedStatus(std::ostream& err) {
  if (const int signal = StopSignal()) return 128 + signal;  // SIGPIPE too: the reader left
  err << "encounter-batch: cannot write the output: " << std::strerror(errno ? errno : EIO)
      << '\n';
  return 1;
}

void PrintLines(std::ostream& err, const std::string& text, const char* prefix) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    err << prefix << text.substr(start, end - start) << '\n';
    if (end == std::string::npos) return;
    start = end + 1;
  }
}

// The files a run writes besides standard output, each under a temporary
// name until the run is complete.
struct Targets {
  ReplacingFile output, png, meta;

  // Every file is checked, and its temporary made, before the first step.
  bool Open(const BatchOptions& o, std::ostream& err) {
    std::string error;
    for (auto [name, file] : {std::pair{&o.output, &output}, std::pair{&o.png, &png},
                              std::pair{&o.meta, &meta}}) {
      if (*name && !file->Open(**name, &error)) {
        err << "encounter-batch: " << error << '\n';
        return false;
      }
    }
    // Two outputs in one file, or one in the file of a redirected stream,
    // would destroy each other.
    error = ClashingTargets({{"--output", &output}, {"--png", &png}, {"--meta", &meta}}, !o.output);
    if (!error.empty()) {
      err << "encounter-batch: " << error << '\n';
      return false;
    }
    return true;
  }

  // The picture and the record go to their temporary files first, then all
  // files appear together. Returns the exit status: 1 for a file that could
  // not be written.
  int Commit(const BatchOptions& o, const encounter::Summary& summary, std::ostream& err) {
    auto written_out = [&](ReplacingFile& file, const std::string& data) {
      if (file.Write(data)) return true;
      err << "encounter-batch: cannot write " << Echo(file.Name()) << ": "
          << std::strerror(errno) << '\n';
      return false;
    };
    if (o.png && !written_out(png, summary.png)) return 1;
    if (o.meta && !written_out(meta, summary.record_json)) return 1;
    std::string error;
    for (ReplacingFile* file : {&output, &png, &meta}) {
      if (file->IsOpen() && !file->Commit(&error)) {
        err << "encounter-batch: " << error << '\n';
        return 1;
      }
    }
    return 0;
  }
};

// The last line of a run: how far it came, in how long, with how many
// warnings; signal as for LastLineText.
void SayLastLine(const BatchOptions& o, std::ostream& err, std::int64_t written,
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
int RunOneSeries(const BatchOptions& o, const RunPlan& plan, std::ostream& out,
                 std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  std::optional<encounter::Series> series;
  try {
    series.emplace(ScenarioOf(o), SeriesOptionsOf(o, plan.args));
  } catch (const encounter::InputError& e) {
    PrintLines(err, e.what(), "encounter-batch: ");
    return 2;
  }
  if (const std::string refusal = SeriesRefusal(plan, series->series_id()); !refusal.empty()) {
    err << "encounter-batch: " << refusal << '\n';
    return 2;
  }
  Targets targets;
  if (!targets.Open(o, err)) return 2;
  std::ostream& csv = o.output ? targets.output.Stream() : out;
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
    PrintLines(err, e.what(), "encounter-batch: ");
    SayLastLine(o, err, written, series->tests(), started, warnings, -1);
    return 2;
  } catch (const encounter::Stopped&) {
    if (write_failed) RequestStopForWriteError();
    const int status = StoppedStatus(err);
    SayLastLine(o, err, written, series->tests(), started, warnings,
                StopSignal() ? StopSignal() : -1);
    return status;
  } catch (const encounter::Error& e) {  // the picture could not be made
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
  if (const int status = targets.Commit(o, *summary, err)) return status;
  if (o.crosscheck) err << "encounter-batch: " << summary->crosscheck << '\n';
  SayLastLine(o, err, written, series->tests(), started, summary->warnings.size(), 0);
  return 0;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ResetStop();
  if (!args.empty() && args[0] == "merge") {
    return MergeShards(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  std::string error;
  const auto plan = PlanRun(args, &error);
  const auto options = plan ? ParseBatchOptions(plan->args, &error) : std::nullopt;
  if (!options) {
    err << "encounter-batch: " << error << '\n';
    return 2;
  }
  const BatchOptions& o = *options;
  if (o.help || o.version || o.list_presets) {
    if (o.help) out << BatchHelp();
    if (o.version) out << "encounter-batch " << encounter::Version() << '\n';
    if (o.list_presets) ListPresets(out);
    out.flush();
    return out ? 0 : StoppedStatus(err);
  }
  return RunOneSeries(o, *plan, out, err);
}

}  // namespace lab
