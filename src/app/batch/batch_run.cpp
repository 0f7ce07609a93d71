#include "app/batch/batch_run.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <ostream>

#include "app/batch/batch_options.h"
#include "app/batch/map_command.h"
#include "app/batch/progress.h"
#include "app/batch/signals.h"
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
  std::ofstream output_stream;

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
    if (o.output) output_stream.open(output.TempName(), std::ios::binary | std::ios::trunc);
    return true;
  }

  // The picture and the record go to their temporary files first, then all
  // files appear together. Returns the exit status.
  int Commit(const BatchOptions& o, const encounter::Summary& summary, std::ostream& err) {
    auto written_out = [&](ReplacingFile& file, const std::string& data) {
      if (file.Write(data)) return true;
      err << "encounter-batch: cannot write " << Echo(file.TempName()) << ": "
          << std::strerror(errno) << '\n';
      return false;
    };
    if (o.png && !written_out(png, summary.png)) return 2;
    if (o.meta && !written_out(meta, summary.record_json)) return 2;
    if (o.output) {
      output_stream.close();
      if (!output_stream) {
        err << "encounter-batch: cannot write " << Echo(*o.output) << '\n';
        return 1;
      }
    }
    std::string error;
    for (ReplacingFile* file : {&output, &png, &meta}) {
      if (file->IsOpen() && !file->Commit(&error)) {
        err << "encounter-batch: " << error << '\n';
        return file == &output ? 1 : 2;
      }
    }
    return 0;
  }
};

// One series, its rows to the CSV as they come, then its files.
int RunOneSeries(const BatchOptions& o, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err) {
  std::optional<encounter::Series> series;
  try {
    series.emplace(ScenarioOf(o), SeriesOptionsOf(o, args));
  } catch (const encounter::InputError& e) {
    PrintLines(err, e.what(), "encounter-batch: ");
    return 2;
  }
  Targets targets;
  if (!targets.Open(o, err)) return 2;
  std::ostream& csv = o.output ? static_cast<std::ostream&>(targets.output_stream) : out;
  if (!csv) return StoppedStatus(err);
  for (const std::string& w : series->setup_warnings())
    err << "encounter-batch: warning: " << w << '\n';

  bool write_failed = false;
  bool header_written = false;
  ProgressCounters counters(1);
  std::optional<encounter::Summary> summary;
  try {
    ProgressLine progress(counters, series->tests(), o.quiet);
    auto on_row = [&](const encounter::Row& row) {
      csv << (header_written ? "" : series->first_lines()) << row.csv;
      csv.flush();
      header_written = true;
      if (!csv) write_failed = true;
    };
    auto on_progress = [&](const encounter::Progress& p) {
      counters.tests_done.store(p.tests_done, std::memory_order_relaxed);
      counters.steps_done.store(p.steps, std::memory_order_relaxed);
    };
    auto stop = [&] { return write_failed || StopRequested(); };
    auto on_warning = [&](const std::string& w) {
      progress.Say(err, "encounter-batch: warning: " + w + '\n');
    };
    summary = series->Run(on_row, on_progress, stop, on_warning);
  } catch (const encounter::InputError& e) {
    PrintLines(err, e.what(), "encounter-batch: ");
    return 2;
  } catch (const encounter::Stopped&) {
    if (write_failed) RequestStopForWriteError();
    return StoppedStatus(err);
  } catch (const encounter::Error& e) {
    err << "encounter-batch: " << e.what() << '\n';
    return 2;
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
  const std::size_t warnings = summary->warnings.size();
  if (warnings > 0)
    err << "encounter-batch: " << warnings << (warnings == 1 ? " warning" : " warnings") << '\n';
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
  std::string error;
  const auto options = ParseBatchOptions(args, &error);
  if (!options) {
    err << "encounter-batch: " << error << '\n';
    return 2;
  }
  const BatchOptions& o = *options;
  if (o.help || o.version || o.list_presets) {
    if (o.help) out << kBatchHelp;
    if (o.version) out << "encounter-batch " << encounter::Version() << '\n';
    if (o.list_presets) ListPresets(out);
    out.flush();
    return out ? 0 : StoppedStatus(err);
  }
  return RunOneSeries(o, args, out, err);
}

}  // namespace lab
