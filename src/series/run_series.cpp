#include "series/run_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "port/control_flow.h"
#include "records/csv.h"
#include "records/shard_lines.h"
#include "series/request_options.h"
#include "records/run_record.h"
#include "records/texts.h"
#include "series/crosscheck.h"
#include "series/ordered_pool.h"
#include "series/parallel_series.h"
#include "series/progress_counters.h"
#include "series/series_port.h"
#include "setup/field_names.h"
#include "setup/number_text.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "setup/series_checks.h"
#include "simulation/lane_step.h"
#include "simulation/run_loop.h"
#include "control/handlers.h"
#include "version.h"

namespace lab {

namespace {

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

// The warning for a test whose total energy changed by more than 1 %. The
// remedy that works is the adaptive method: a larger "t d fact" shrinks the
// fixed step only in proportion to the time it costs (four times the factor
// took three times as long on scenario 8 and still left an error of 460 %).
std::string EnergyWarning(const TestRow& row, const std::string& tdfact) {
  char percent[32];
  const double change = *row.energy_err * 100;
  std::snprintf(percent, sizeof percent, std::abs(change) < 100 ? "%.3g" : "%.0f", change);
  const auto first = tdfact.find_first_not_of(" \t");
  const auto last = tdfact.find_last_not_of(" \t");
  const std::string factor = first == std::string::npos ? "" : tdfact.substr(first, last - first + 1);
  return "the test at " + row.row1[0] + " degrees changed its total energy by " + percent +
         " %; the fixed time step is too coarse for this encounter: run it with --integrator "
         "gauss-radau (--crosscheck shows which rows change); a larger \"t d fact\" (now " +
         Echo(factor) + ") costs time in proportion and may not suffice";
}

// What the scenario text and the field texts ask for that the set-up will not
// do as the user may think. Refusals (a number that is not finite) go to
// *refusal.
std::vector<std::string> SetUpWarnings(const SeriesRequest& r, const SimState& s,
                                       HeadlessPort& port, std::string* refusal) {
  std::vector<std::string> w;
  const FieldCheckContext context{s.testno, DECVAL(port.GetFieldText(2))};
  for (const auto& [field, text] : r.sets) {
    const std::string set = "--set " + std::string(NameOfField(field)) + "=" + Echo(text);
    if (!CheckFieldText(field, text, set, context, &w, refusal)) return w;
  }
  return w;
}

}  // namespace

// The windows' state and the port through which the series is run.
struct PreparedSeries::Engine {
  explicit Engine(std::int64_t max_steps)
      : port(s, max_steps, [this](const TestRow& row) { serial_emit(row); }) {}
  SimState s;
  std::function<void(const TestRow&)> serial_emit = [](const TestRow&) {};
  SeriesPort port;
  PixelLayer picture;
  std::string tdfact;
  bool ran = false;
};

PreparedSeries::PreparedSeries(SeriesRequest request)
    : request_(std::move(request)), engine_(std::make_unique<Engine>(request_.max_steps)) {
  const SeriesRequest& r = request_;
  if (const auto refusals = SeriesOptionsRefusals(r); !refusals.empty())
    throw RefusedInput(JoinLines(refusals));
  lanes_ = r.lanes > 0 ? r.lanes : WidestLanes();
  if (!LanesSupported(lanes_))
    throw RefusedInput("lanes " + std::to_string(lanes_) + " needs a processor with AVX2");
  start_time_ = UtcNow();

  // The windows' start-up and what the user types.
  SimState& s = engine_->s;
  SeriesPort& port = engine_->port;
  // The picture, and the Trajectory Display of its size that the views are
  // laid out for.
  if (r.picture_width > 0) engine_->picture = PixelLayer(r.picture_width, r.picture_height);
  port.trajectory_size = engine_->picture.WindowSize();
  LoadAsUser(r, s, port);
  std::string refusal;
  warnings_ = SetUpWarnings(r, s, port, &refusal);
  angles_ = AnglesOfTexts(port.GetFieldText(11), port.GetFieldText(12), port.GetFieldText(14));
  if (refusal.empty()) series_tests_ = CountSeries(angles_, Echo(port.GetFieldText(14)), &refusal);
  if (!refusal.empty()) throw RefusedInput(refusal);
  tests_ = TestsOfShard(series_tests_, r.shard, r.shards);
  if (r.only) {
    const auto& only = *r.only;
    for (std::size_t k = 0; k < only.size(); ++k) {
      if (r.shards > 0 || only[k] < 0 || only[k] >= series_tests_ || (k > 0 && only[k] <= only[k - 1]))
        throw std::invalid_argument("a choice of tests must be ascending indices of the series");
    }
    tests_ = static_cast<std::int64_t>(only.size());
  }
  jobs_ = ThreadsOfJobs(r.jobs);

  CsvLayout layout{r.shards > 0, r.energy, r.full};
  layout.crosscheck = r.crosscheck;
  header_ = CsvHeader(layout);
  fields_ = FieldsOfFirstTest(s, port);
  au_ = port.GetUnitOption();
  id_ = SeriesId(fields_, au_, r.max_steps, r.integrator, r.crosscheck, header_);
  if (layout.shard) first_lines_ = ShardLine(r.shard, r.shards, id_, kVersion, tests_, series_tests_) + '\n';
  first_lines_ += header_ + '\n';
  engine_->tdfact = port.GetFieldText(13);
}

PreparedSeries::~PreparedSeries() = default;

std::vector<double> PreparedSeries::TestAngles() const {
  std::vector<double> angles;
  angles.reserve(static_cast<std::size_t>(series_tests_));
  double alpha = angles_.start;
  for (std::int64_t t = 0; t < series_tests_; ++t) {
    angles.push_back(alpha);
    alpha = alpha + angles_.step;
  }
  return angles;
}

// The tests themselves: on one thread exactly as a user at the windows
// presses Start, else spread over threads and lanes. Returns the messages of
// tests that could not be set up or run.
std::vector<std::string> PreparedSeries::RunTests(const TakeRow& take_row,
                                                  const SeriesEvents& events,
                                                  const RunStop& stop) {
  const SeriesRequest& r = request_;
  SimState& s = engine_->s;
  SeriesPort& port = engine_->port;
  std::vector<std::string> messages;
  try {
    ProgressCounters counters(jobs_);
    ProgressTicker ticker(counters, events.progress);
    PixelLayer* picture = r.picture ? &engine_->picture : nullptr;
    const bool fixed_only = r.integrator == kEulerSumsName && !r.crosscheck && !r.run_test;
    port.stop = &stop;
    if (r.only && r.only->empty()) {
      // Nothing chosen: nothing to run.
    } else if (jobs_ == 1 && r.shards == 0 && fixed_only && lanes_ == 1 && !r.only) {
      // One thread: exactly a user at the windows pressing Start.
      std::int64_t serial_test = 0;
      engine_->serial_emit = [&](const TestRow& row) { take_row(serial_test++, row); };
      port.layer = picture;
      port.running_steps = &counters.running[0];
      port.tests_done = &counters.tests_done;
      port.steps_done = &counters.steps_done;
      if (port.messages.empty()) port.Click(Button::CommandStart);
    } else {
      s.runstate = 0;
      StartSeries(s, port);
      ParallelSettings settings = SettingsOfRequest(r, lanes_);
      settings.picture = picture;
      settings.progress = &counters;
      settings.stop = &stop;
      if (r.run_test) settings.run_test = r.run_test;
      settings.workers = WorkersFor(jobs_, tests_, settings.TestsPerWorker());
      const TestChoice choice{r.shard, r.shards, 0, r.only};
      messages = RunSeriesInParallel(s, settings, choice, take_row);
    }
  } catch (const ProgramEnded&) {
  } catch (const Interrupted&) {
  }
  return messages;
}

SeriesResult PreparedSeries::Run(const SeriesEvents& events, const RunStop& stop) {
  if (engine_->ran) throw std::logic_error("a prepared series runs once");
  engine_->ran = true;
  const SeriesRequest& r = request_;
  SeriesPort& port = engine_->port;
  SeriesResult result;
  result.warnings = static_cast<int>(warnings_.size());
  const CsvLayout layout{r.shards > 0, r.energy, r.full, r.crosscheck};

  // Rows in series order: row 2's rule, the energy check, one whole line.
  RowJudge judge(r.crosscheck);
  ShardChecksum checksum;  // of a shard's lines, for its last one
  checksum.Add(first_lines_);
  auto take_row = [&](std::int64_t test, TestRow row) {
    if (stop.Requested()) return;
    if (const std::string warning = judge.Take(row, engine_->tdfact); !warning.empty()) {
      ++result.warnings;
      ++result.trust_warnings;
      if (events.warning) events.warning(warning);
    }
    ++result.written;
    const std::string line = CsvRow(layout, test, row);
    checksum.Add(line);
    if (events.row) events.row(test, row, line);
  };

  std::vector<std::string> messages = RunTests(take_row, events, stop);
  if (stop.Requested()) {
    result.stopped = true;
    return result;
  }
  result.picture = std::move(engine_->picture);
  messages.insert(messages.begin(), port.messages.begin(), port.messages.end());
  if (!messages.empty()) {
    std::string text;
    for (const std::string& m : messages) text += (text.empty() ? "" : "\n") + m;
    throw RefusedInput(text);
  }
  result.crc32 = checksum.Value();
  if (layout.shard)
    result.last_lines = ShardEndLine(r.shard, r.shards, result.written, checksum.Value()) + '\n';
  if (r.crosscheck) {
    result.cross_differing = judge.tally().differing();
    result.cross_rows = judge.tally().rows();
    result.cross_summary = CrossSummary(judge.tally());
  }
  result.record_json = RunRecordJson(RecordOf(result));
  return result;
}

RunRecord PreparedSeries::RecordOf(const SeriesResult& result) const {
  return RecordOfRun(request_,
                     {fields_, au_, id_, header_, start_time_, series_tests_, tests_, result.written,
                      jobs_, result.warnings},
                     ArgsOfRequest(request_));
}

RunRecord RecordOfRun(const SeriesRequest& r, const RunFacts& f, std::vector<std::string> args) {
  return RunRecord{r.command_line.empty() ? std::move(args) : r.command_line,
                   f.fields, f.au, r.test.value_or("0"), f.id, f.header, f.start_time,
                   r.integrator, r.crosscheck, r.max_steps,
                   f.series_tests, f.tests, f.written, f.jobs, f.warnings,
                   r.shard, r.shards, ""};
}

std::int64_t TestsOfShard(std::int64_t tests, int shard, int shards) {
  if (shards == 0) return tests;
  return tests >= shard ? (tests - shard) / shards + 1 : 0;
}

SeriesIdentity IdentifySeries(const SeriesRequest& r, const std::string& header) {
  SeriesIdentity identity;
  SimState s;
  SeriesPort port(s, r.max_steps, [](const TestRow&) {});
  LoadAsUser(r, s, port);
  identity.warnings = SetUpWarnings(r, s, port, &identity.refusal);
  if (!identity.refusal.empty()) return identity;
  identity.id = SeriesId(FieldsOfFirstTest(s, port), port.GetUnitOption(), r.max_steps,
                         r.integrator, r.crosscheck, header);
  return identity;
}

ParallelSettings SettingsOfRequest(const SeriesRequest& r, int lanes) {
  ParallelSettings settings;
  settings.max_steps = r.max_steps;
  settings.lanes = lanes;
  const Integrator integrator = *IntegratorOfName(r.integrator);
  if (integrator != Integrator::kEulerSums || r.crosscheck) {
    settings.run_test = [integrator, cross = r.crosscheck, steps = r.max_steps](SimState& test,
                                                                               SeriesPort& port) {
      RunSeriesTest(integrator, cross, steps, test, port);
    };
  }
  return settings;
}

std::string RowJudge::Take(TestRow& row, const std::string& tdfact) {
  row.best = row.candidate && best_.Takes(row.ratio);
  if (crosscheck_) tally_.Decide(row);
  if (row.energy_err && std::abs(*row.energy_err) > encounter::kEnergyChangeLimit) return EnergyWarning(row, tdfact);
  return "";
}

void LoadAsUser(const SeriesRequest& r, SimState& s, HeadlessPort& port) {
  try {
    Form_Load(s, port);
    if (r.test) port.Paste(10, *r.test);
    for (const auto& [field, text] : r.sets) port.SetFieldText(field, text);
    if (r.unit_au) port.SelectUnit(*r.unit_au);
  } catch (const ProgramEnded&) {
  }
  // A series run with a number that names no scenario would quietly keep the
  // fields of the scenario before it: refuse it before the first test.
  if (r.test && (!ReadsWhole(*r.test, false) || !IsPreset(s.testno)))
    throw RefusedInput("--test " + Echo(*r.test) + " names no scenario; the scenarios are " +
                       PresetList());
}

std::vector<std::string> ArgsOfRequest(const SeriesRequest& r) {
  std::vector<std::string> a;
  if (r.test) a.push_back("--test=" + *r.test);
  for (const auto& [field, text] : r.sets) a.push_back("--set=" + std::string(NameOfField(field)) + '=' + text);
  if (r.unit_au) a.push_back(*r.unit_au ? "--unit=au" : "--unit=km");
  if (r.max_steps != SeriesRequest{}.max_steps) a.push_back("--max-steps=" + std::to_string(r.max_steps));
  if (r.integrator != kEulerSumsName) a.push_back("--integrator=" + r.integrator);
  if (r.crosscheck) a.push_back("--crosscheck");
  if (r.energy) a.push_back("--energy");
  if (r.full) a.push_back("--full");
  if (r.shards > 0) a.push_back("--shard=" + std::to_string(r.shard) + '/' + std::to_string(r.shards));
  return a;
}

}  // namespace lab
