#include "app/batch/batch_run.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <ostream>
#include <sstream>
#include <thread>

#include "app/batch/batch_options.h"
#include "app/batch/batch_port.h"
#include "app/batch/crosscheck.h"
#include "app/batch/csv.h"
#include "app/batch/merge.h"
#include "app/batch/parallel_series.h"
#include "app/batch/progress.h"
#include "app/batch/replacing_file.h"
#include "app/batch/stop.h"
#include "app/batch/texts.h"
#include "app/batch/png_encode.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "simulation/lane_step.h"
#include "simulation/run_loop.h"
#include "ui/control_flow.h"
#include "ui/handlers.h"
#include "version.h"

namespace lab {

namespace {

// The Control Display's fields by their captions.
constexpr const char* kFieldCaptions[kControlFields] = {
    "m1",      "m2",    "m3",      "dist 1", "dist 2", "t delta", "n stars", "cond",
    "v limit", "r limit", "test", "start",  "end",    "t d fact", "d alpha"};

// A series of more tests than this is a mistake, not a study.
constexpr std::int64_t kMostTests = 1000000000;

// The angles of the series as Start will read them from the fields.
struct Angles {
  double start, end, step;
};
Angles AnglesOf(HeadlessPort& port) {
  return {ReadNumber(port.GetFieldText(11)), ReadNumber(port.GetFieldText(12)),
          ReadNumber(port.GetFieldText(14))};
}

// How many tests the series runs, exactly as the run loop advances the angle
// (alpha0 + dalpha, while at or below the last angle); or why it cannot run:
// nobody is there to press Stop on a series that never ends.
std::int64_t CountSeries(const Angles& a, const std::string& dalpha_text, std::string* refusal) {
  if (!std::isfinite(a.start) || !std::isfinite(a.end) || !std::isfinite(a.step)) {
    *refusal = "the angles \"start\", \"end\" and \"d alpha\" must be finite numbers";
    return 0;
  }
  if (!(a.start + a.step <= a.end)) return 1;
  if (!(a.step > 0)) {
    *refusal = "the angle increment \"d alpha\" (" + Echo(dalpha_text) +
               ") never reaches the last angle; the series would not end";
    return 0;
  }
  const double estimate = (a.end - a.start) / a.step;
  if (!(estimate < static_cast<double>(kMostTests) + 2)) {
    *refusal = "the series would run about " + NumberText(estimate) +
               " tests, more than 1000000000; choose a larger \"d alpha\" or a shorter range";
    return 0;
  }
  std::int64_t n = 1;
  for (double alpha = a.start;;) {
    const double next = alpha + a.step;
    if (!(next <= a.end)) break;
    if (next == alpha) {
      *refusal = "the angle increment \"d alpha\" (" + Echo(dalpha_text) +
                 ") no longer changes the angle at " + NumberText(alpha) +
                 " degrees; the series would not end";
      return 0;
    }
    alpha = next;
    if (++n > kMostTests) {
      *refusal = "the series would run more than 1000000000 tests";
      return 0;
    }
  }
  return n;
}

// Whether a field's text reads as a number from its first to its last
// character (blanks aside), as opposed to a number followed by other text.
bool ReadsWhole(std::string text, bool comma_is_point) {
  std::string t;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    if (comma_is_point && c == ',') c = '.';
    if (c == 'd' || c == 'D') c = 'e';
    t += c;
  }
  if (t.size() >= 2 && t[0] == '&') return true;  // &H and &O integers
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty() || t[0] == '+' || t[0] == 'i' || t[0] == 'I' || t[0] == 'n' || t[0] == 'N')
    return false;
  double v = 0;
  const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  return (ec == std::errc() || ec == std::errc::result_out_of_range) && p == t.data() + t.size();
}

bool EndsInAU(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.size() > 2 && (text[text.size() - 2] == 'A' || text[text.size() - 2] == 'a') &&
         (text.back() == 'U' || text.back() == 'u');
}

std::string ScenarioList() {
  std::string list;
  for (double n : PresetNumbers()) list += (list.empty() ? "" : " ") + NumberText(n);
  return list;
}

bool IsScenario(double testno) {
  const auto numbers = PresetNumbers();
  return std::find(numbers.begin(), numbers.end(), testno) != numbers.end();
}

// What the options ask for that the set-up will not do as the user may think.
// Refusals (a number that is not finite) go to *refusal.
std::vector<std::string> SetUpWarnings(const BatchOptions& o, const SimState& s,
                                       HeadlessPort& port, std::string* refusal) {
  std::vector<std::string> w;
  const std::string scenario = "scenario " + NumberText(s.testno);
  if (o.test) {
    if (!ReadsWhole(*o.test, false))
      w.push_back("--test " + Echo(*o.test) + " reads as " + NumberText(s.testno));
    if (!IsScenario(s.testno))
      w.push_back("--test " + Echo(*o.test) + ": no scenario has the number " +
                  NumberText(s.testno) + "; the fields keep their values (scenarios: " +
                  ScenarioList() + ")");
  }
  const double m3 = DECVAL(port.GetFieldText(2));
  for (const auto& [field, text] : o.sets) {
    const std::string set = "--set " + std::string(NameOfField(field)) + "=" + Echo(text);
    const std::string caption = std::string("\"") + kFieldCaptions[field] + "\"";
    if (field == 3 || field == 4) {
      if (!EndsInAU(text)) {
        w.push_back(set + ": " + caption +
                    " is read only when its text ends in the unit AU (\"2.5 AU\"); this text "
                    "is ignored");
        continue;
      }
      std::string number = text;
      while (number.back() == ' ') number.pop_back();
      number.resize(number.size() - 2);
      if (!std::isfinite(ReadNumber(number))) {
        *refusal = set + ": the number is not finite";
        return w;
      }
      if (!ReadsWhole(number, false))
        w.push_back(set + " reads as " + NumberText(ReadNumber(number)) + " AU");
      if (field == 4 && s.testno == 0 && m3 > 1)
        w.push_back(set + ": scenario 0 derives \"dist 2\" from \"dist 1\" and \"m3\" when m3 > 1; "
                          "this text is overwritten");
      continue;
    }
    const bool comma = field <= 2 || field == 13;
    const double value = comma ? DECVAL(text) : ReadNumber(text);
    if (!std::isfinite(value)) {
      *refusal = set + ": the number is not finite";
      return w;
    }
    if (!ReadsWhole(text, comma)) w.push_back(set + " reads as " + NumberText(value));
    if (field == 0 && s.testno == 0 && value != 1)
      w.push_back(set + ": scenario 0 sets \"m1\" to 1 whatever the field holds");
    else if (field <= 2 && s.testno != 0)
      w.push_back(set + ": " + scenario +
                  " moves the bodies with its own masses; " + caption +
                  " only changes the comparisons (regime, escape speed shown)");
  }
  return w;
}

// The windows' fields when the first test has been set up: the texts the
// series uses and the derived values it shows.
std::array<std::string, kControlFields> FieldsOfFirstTest(const SimState& s, HeadlessPort& port) {
  struct Probe : HeadlessPort {
    using HeadlessPort::HeadlessPort;
    void YieldEvents() override { throw ProgramEnded{}; }
    void WaitEvents() override { throw ProgramEnded{}; }
  };
  SimState copy = s;
  Probe probe(copy);
  probe.fields = port.fields;
  probe.unit = port.unit;
  probe.record_points = false;
  try {
    StartSeries(copy, probe);
    RunOneTest(copy, probe);
  } catch (const ProgramEnded&) {
  }
  return probe.fields;
}

// Names the series for merging shards: every field text the series uses,
// the unit, the step limit, the columns and the program version (FNV-1a, 64 bits).
std::string SeriesId(const std::array<std::string, kControlFields>& fields, bool au,
                     const BatchOptions& o, const std::string& header) {
  std::string key;
  for (int f : {0, 1, 2, 3, 4, 10, 11, 12, 13, 14}) key += fields[f] + '\x1f';
  key += au ? "au" : "km";
  key += '\x1f' + std::to_string(o.max_steps) + '\x1f' + header + '\x1f' + kVersion;
  if (o.integrator != kEulerSumsName) key += '\x1f' + o.integrator;
  if (o.crosscheck) key += std::string("\x1f" "crosscheck ") + kFastestAccurateName;
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return hex;
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

// The twenty scenarios as the fields show them after a load.
void ListPresets(std::ostream& out) {
  out << "scenario unit  m1 m2 m3  dist1 dist2  start end dalpha  tdfact  regime; fields read\n";
  for (double number : PresetNumbers()) {
    SimState s;
    HeadlessPort port(s);
    Form_Load(s, port);
    port.Paste(10, NumberText(number));
    auto f = [&](int i) {
      std::string t = port.GetFieldText(i);
      t.erase(0, t.find_first_not_of(' '));
      return t;
    };
    out << NumberText(number) << "  " << (port.GetUnitOption() ? "AU" : "km") << "  " << f(0)
        << ' ' << f(1) << ' ' << f(2) << "  " << f(3) << ' ' << f(4) << "  " << f(11) << ' '
        << f(12) << ' ' << f(14) << "  " << f(13) << "  "
        << (s.m1 >= s.mbig ? "central mass" : "pair") << (s.pauseflag ? ", pause" : "")
        << (number == 0 ? "; reads m2 m3 (m1 is 1), dist1 dist2 with AU (dist2 derived "
                          "when m3 > 1), start end dalpha tdfact\n"
                        : "; reads dist1 dist2 with AU, start end dalpha tdfact; m1 m2 m3 "
                          "only for the regime\n");
  }
}

struct MetaRecord {
  std::vector<std::string> args;
  std::array<std::string, kControlFields> fields;
  bool au = false;
  std::string scenario, series, header, start_time;
  std::int64_t series_tests = 0, tests = 0, written = 0;  // tests: of this run (or shard)
  int jobs = 0, warnings = 0;
};

std::string MetaJson(const BatchOptions& o, const MetaRecord& m) {
  std::ostringstream j;
  j << "{\n  \"program\": \"encounter-batch\",\n  \"version\": " << JsonString(kVersion)
    << ",\n  \"command_line\": [\"encounter-batch\"";
  for (const std::string& a : m.args) j << ", " << JsonString(a);
  j << "],\n  \"scenario\": " << JsonString(m.scenario) << ",\n  \"fields\": {";
  bool first = true;
  for (int f : {0, 1, 2, 3, 4, 11, 12, 13, 14}) {
    j << (first ? "\n" : ",\n") << "    " << JsonString(kFieldCaptions[f]) << ": "
      << JsonString(m.fields[f]);
    first = false;
  }
  j << "\n  },\n  \"derived\": {";
  first = true;
  for (int f : {5, 6, 8, 9}) {
    j << (first ? "\n" : ",\n") << "    " << JsonString(kFieldCaptions[f]) << ": "
      << JsonString(m.fields[f]);
    first = false;
  }
  j << "\n  },\n  \"unit\": \"" << (m.au ? "AU" : "km") << "\",\n  \"max_steps\": " << o.max_steps
    << ",\n  \"integrator\": " << JsonString(o.integrator)
    << ",\n  \"crosscheck\": " << (o.crosscheck ? "true" : "false")
    << ",\n  \"crosscheck_integrator\": "
    << (o.crosscheck ? JsonString(kFastestAccurateName) : std::string("null"))
    << ",\n  \"columns\": " << JsonString(m.header) << ",\n  \"series\": " << JsonString(m.series)
    << ",\n  \"tests_in_series\": " << m.series_tests << ",\n  \"tests_to_run\": " << m.tests
    << ",\n  \"tests_written\": " << m.written
    << ",\n  \"threads\": " << m.jobs << ",\n  \"shard\": ";
  if (o.shards > 0) {
    j << "\"" << o.shard << "/" << o.shards << "\"";
  } else {
    j << "null";
  }
  j << ",\n  \"warnings\": " << m.warnings << ",\n  \"start_time\": " << JsonString(m.start_time)
    << ",\n  \"end_time\": " << JsonString(UtcNow()) << ",\n  \"host\": "
    << JsonString(HostName()) << "\n}\n";
  return j.str();
}

// The status of a run that stopped early: the signal's, or 1 for output
// that could not be written.
int StoppedStatus(std::ostream& err) {
  if (const int signal = StopSignal()) return 128 + signal;  // SIGPIPE too: the reader left
  err << "encounter-batch: cannot write the output: " << std::strerror(errno ? errno : EIO)
      << '\n';
  return 1;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ResetStop();
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
  if (o.help || o.version || o.list_presets) {
    if (o.help) out << kBatchHelp;
    if (o.version) out << "encounter-batch " << kVersion << '\n';
    if (o.list_presets) ListPresets(out);
    out.flush();
    return out ? 0 : StoppedStatus(err);
  }
  const int lanes = o.lanes > 0 ? o.lanes : WidestLanes();
  if (!LanesSupported(lanes)) {
    err << "encounter-batch: --lanes " << lanes << " needs a processor with AVX2\n";
    return 2;
  }
  const std::string start_time = UtcNow();

  // The windows' start-up and what the user types.
  SimState s;
  std::vector<std::string> messages;
  std::vector<std::string> warnings;
  std::function<void(const TestRow&)> serial_emit = [](const TestRow&) {};
  BatchPort port(s, o.max_steps, [&](const TestRow& row) { serial_emit(row); });
  try {
    Form_Load(s, port);
    if (o.test) port.Paste(10, *o.test);
    for (const auto& [field, text] : o.sets) port.SetFieldText(field, text);
    if (o.unit_au) port.SelectUnit(*o.unit_au);
  } catch (const ProgramEnded&) {
  }
  std::string refusal;
  warnings = SetUpWarnings(o, s, port, &refusal);
  const Angles angles = AnglesOf(port);
  std::int64_t total = refusal.empty() ? CountSeries(angles, port.GetFieldText(14), &refusal) : 0;
  if (!refusal.empty()) {
    err << "encounter-batch: " << refusal << '\n';
    return 2;
  }
  const std::int64_t series_total = total;
  if (o.shards > 0) total = total >= o.shard ? (total - o.shard) / o.shards + 1 : 0;

  // Every file is checked, and its temporary made, before the first step.
  ReplacingFile output_file, png_file, meta_file;
  for (auto [name, file] : {std::pair{&o.output, &output_file}, std::pair{&o.png, &png_file},
                            std::pair{&o.meta, &meta_file}}) {
    if (*name && !file->Open(**name, &error)) {
      err << "encounter-batch: " << error << '\n';
      return 2;
    }
  }
  std::ofstream output_stream;
  if (o.output) output_stream.open(output_file.TempName(), std::ios::binary | std::ios::trunc);
  std::ostream& csv = o.output ? static_cast<std::ostream&>(output_stream) : out;
  if (!csv) return StoppedStatus(err);

  CsvLayout layout{o.shards > 0, o.energy, o.full};
  layout.crosscheck = o.crosscheck;
  const Integrator integrator = *IntegratorOfName(o.integrator);
  CrossTally tally;
  const auto used_fields = FieldsOfFirstTest(s, port);
  const std::string header = CsvHeader(layout);
  const std::string series = SeriesId(used_fields, port.GetUnitOption(), o, header);
  std::string first_lines;
  if (layout.shard) {
    first_lines = ShardLine(o.shard, o.shards, series, kVersion, total, series_total) + '\n';
  }
  first_lines += header + '\n';

  for (const std::string& w : warnings) err << "encounter-batch: warning: " << w << '\n';
  int warning_count = static_cast<int>(warnings.size());

  // Rows in series order: row 2's rule, the energy check, one whole line.
  bool header_written = false;
  std::int64_t written = 0;
  BestSoFar best;
  ProgressLine* progress_line = nullptr;
  const std::string tdfact = port.GetFieldText(13);
  auto write_row = [&](std::int64_t test, TestRow row) {
    if (StopRequested()) return;
    row.best = row.candidate && best.Takes(row.ratio);
    if (o.crosscheck) tally.Decide(row);
    if (row.energy_err && std::abs(*row.energy_err) > 0.01) {
      ++warning_count;
      char percent[32];
      const double change = *row.energy_err * 100;
      std::snprintf(percent, sizeof percent, std::abs(change) < 100 ? "%.3g" : "%.0f", change);
      const std::string warning =
          "encounter-batch: warning: the test at " + row.row1[0] +
          " degrees changed its total energy by " + percent +
          " %; the time step is too coarse for this encounter: try a larger \"t d fact\" (now " +
          Echo(tdfact) + ")\n";
      if (progress_line) {
        progress_line->Say(err, warning);
      } else {
        err << warning;
      }
    }
    std::string line = CsvRow(layout, test, row);
    if (!header_written) line.insert(0, first_lines);
    header_written = true;
    csv << line;
    csv.flush();
    ++written;
    if (!csv) RequestStopForWriteError();
  };

  const int jobs = o.jobs > 0 ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
  PixelLayer picture;
  try {
    ProgressCounters counters(jobs);
    ProgressLine progress(counters, total, o.quiet);
    progress_line = &progress;
    const bool fixed_only = integrator == Integrator::kEulerSums && !o.crosscheck;
    if (jobs == 1 && !layout.shard && fixed_only && lanes == 1) {
      // One thread: exactly a user at the windows pressing Start.
      std::int64_t serial_test = 0;
      serial_emit = [&](const TestRow& row) { write_row(serial_test++, row); };
      port.layer = o.png ? &picture : nullptr;
      port.running_steps = &counters.running[0];
      port.tests_done = &counters.tests_done;
      port.steps_done = &counters.steps_done;
      if (port.messages.empty()) port.Click(Button::CommandStart);
    } else {
      s.runstate = 0;
      StartSeries(s, port);
      ParallelSettings settings{jobs, o.shard, o.shards, o.max_steps,
                                o.png ? &picture : nullptr, &counters, {}};
      settings.lanes = lanes;
      if (!fixed_only) {
        settings.run_test = [&](SimState& test, BatchPort& test_port) {
          RunBatchTest(integrator, o.crosscheck, o.max_steps, test, test_port);
        };
      }
      messages = RunSeriesInParallel(s, settings, [&](std::int64_t test, TestRow& row) {
        write_row(test, row);
      });
    }
  } catch (const ProgramEnded&) {
  } catch (const Interrupted&) {
  }
  progress_line = nullptr;
  if (StopRequested()) return StoppedStatus(err);
  messages.insert(messages.begin(), port.messages.begin(), port.messages.end());
  for (const std::string& m : messages) err << "encounter-batch: " << m << '\n';
  if (!messages.empty()) return 2;

  // Complete: the shard's last line, then the files.
  std::string last_lines = header_written ? "" : first_lines;
  if (layout.shard) last_lines += ShardEndLine(o.shard, o.shards, written) + '\n';
  csv << last_lines;
  csv.flush();
  if (!csv) {
    RequestStopForWriteError();
    return StoppedStatus(err);
  }
  // The picture and the record go to their temporary files first, so that
  // all files appear together or none does.
  auto written_out = [&](ReplacingFile& file, const std::string& data) {
    if (file.Write(data)) return true;
    err << "encounter-batch: cannot write " << Echo(file.TempName()) << ": " << std::strerror(errno)
        << '\n';
    return false;
  };
  if (o.png) {
    const std::string bytes = EncodePng(picture);
    if (bytes.empty()) {
      err << "encounter-batch: cannot encode the picture " << Echo(*o.png) << '\n';
      return 2;
    }
    if (!written_out(png_file, bytes)) return 2;
  }
  if (o.meta) {
    const MetaRecord m{args,         used_fields,  port.GetUnitOption(), o.test.value_or("0"),
                       series,       header,       start_time,           series_total,
                       total,        written,      jobs,                 warning_count};
    if (!written_out(meta_file, MetaJson(o, m))) return 2;
  }
  if (o.output) {
    output_stream.close();
    if (!output_stream) {
      err << "encounter-batch: cannot write " << Echo(*o.output) << '\n';
      return 1;
    }
  }
  for (ReplacingFile* file : {&output_file, &png_file, &meta_file}) {
    if (file->IsOpen() && !file->Commit(&error)) {
      err << "encounter-batch: " << error << '\n';
      return file == &output_file ? 1 : 2;
    }
  }
  if (o.crosscheck) err << "encounter-batch: " << CrossSummary(tally) << '\n';
  if (warning_count > 0)
    err << "encounter-batch: " << warning_count << (warning_count == 1 ? " warning" : " warnings")
        << '\n';
  return 0;
}

}  // namespace lab
