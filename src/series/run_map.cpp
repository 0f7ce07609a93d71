#include "series/run_map.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "port/control_flow.h"
#include "records/columns.h"
#include "records/csv.h"
#include "records/shard_lines.h"
#include "records/run_record.h"
#include "records/texts.h"
#include "series/crosscheck.h"
#include "series/map_refine.h"
#include "series/map_rows.h"
#include "series/ordered_pool.h"
#include "setup/field_names.h"
#include "setup/initial_conditions.h"
#include "setup/number_text.h"
#include "setup/units.h"
#include "simulation/run_loop.h"
#include "control/handlers.h"
#include "version.h"

namespace lab {

namespace {

constexpr int kAxisFields[] = {0, 1, 2, 3, 4, 13};

bool IsDistance(int field) { return field == 3 || field == 4; }

// The fields of a scenario that change the bodies' motion when typed over:
// the free-form scenario 0 takes its masses (but not m1) from the fields,
// the others only their distances, and scenario 0 derives dist 2 itself once
// body 2 weighs more than a sun.
std::vector<int> FieldsMoved(double testno, double m3) {
  if (testno != 0) return {3, 4, 13};
  if (m3 > 1) return {1, 2, 3, 13};
  return {1, 2, 3, 4, 13};
}

std::string NamesOf(const std::vector<int>& fields) {
  std::string names;
  for (int f : fields) names += (names.empty() ? "" : " ") + std::string(NameOfField(f));
  return names;
}

// Why the scenario would not read the axis field at all.
std::string WhyNotRead(int field, double testno, double m3) {
  const std::string scenario = "scenario " + NumberText(testno);
  if (field == 0 && testno == 0) return "scenario 0 sets \"m1\" to 1 whatever the field holds";
  if (field <= 2)
    return scenario + " moves the bodies with its own masses; \"" + kFieldCaptions[field] +
           "\" would only change the comparisons";
  return "scenario 0 derives \"dist 2\" from \"dist 1\" and \"m3\" when m3 > 1 (m3 is " +
         NumberText(m3) + ")";
}

// Why the set-up of the series' first test would refuse it, or nothing.
std::string FirstTestRefusal(const SeriesRequest& r) {
  SimState s;
  HeadlessPort port(s);
  LoadAsUser(r, s, port);
  try {
    s.runstate = 0;
    StartSeries(s, port);
    if (!INITIALISE(s, port) && !port.messages.empty()) return port.messages.back();
  } catch (const ProgramEnded&) {
  }
  return "";
}

// The memory this process may take: the machine's, or less under a limit
// on its address space.
double MemoryForRun() {
  double bytes = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    bytes = std::min(bytes, static_cast<double>(limit.rlim_cur));
  return bytes;
}

// Bytes as a person reads them: 7.2 GB, 512 MB.
std::string BytesText(double bytes) {
  char text[32];
  if (bytes >= 1e9) {
    std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
  } else {
    std::snprintf(text, sizeof text, "%.0f MB", bytes / 1e6);
  }
  return text;
}

}  // namespace

std::vector<double> AxisValues(const MapAxisRequest& a) {
  std::vector<double> ys;
  for (int k = 0; k < a.count; ++k) {
    const double f = a.count == 1 ? 0 : static_cast<double>(k) / (a.count - 1);
    ys.push_back(k == a.count - 1 && k > 0 ? a.to
                 : a.log                   ? a.from * std::pow(a.to / a.from, f)
                                           : a.from + (a.to - a.from) * f);
  }
  return ys;
}

PreparedMap::PreparedMap(MapRequest request) : request_(std::move(request)) {
  const SeriesRequest& r = request_.series;
  start_time_ = UtcNow();
  scenario_ = r.test.value_or("0");
  jobs_ = ThreadsOfJobs(r.jobs);
  CheckAxis();
  SetUpRows();
}

PreparedMap::~PreparedMap() = default;

// The axis as the scenario will read it; each value as the field's text.
void PreparedMap::CheckAxis() {
  const MapAxisRequest& a = request_.axis;
  const SeriesRequest& r = request_.series;
  if (std::find(std::begin(kAxisFields), std::end(kAxisFields), a.field) == std::end(kAxisFields))
    throw RefusedInput("y takes one of m1 m2 m3 dist1 dist2 tdfact (the angles are the x axis)");
  const std::string name = NameOfField(a.field);
  if (a.count < 1 || a.count > kMostMapRows)
    throw RefusedInput("y " + name + ": from 1 to " + std::to_string(kMostMapRows) + " values");
  if (!std::isfinite(a.from) || !std::isfinite(a.to) || (a.log && !(a.from > 0 && a.to > 0)))
    throw RefusedInput("y " + name + ": the range must be finite" +
                       (a.log ? std::string(" and above 0 on a logarithmic axis") : ""));
  for (const auto& [field, text] : r.sets)
    if (field == a.field) throw RefusedInput("y " + name + ": a field set and the y axis name the same field");
  if (request_.refine < 0 || request_.refine > 20)
    throw RefusedInput("refine takes a number of levels from 0 to 20");
  if (request_.refine > 0 && r.shards > 0)
    throw RefusedInput("refine decides level by level what to compute; it cannot run as shards");

  // The fields as Start will read them, with the scenario and the edits.
  SimState s;
  HeadlessPort port(s);
  LoadAsUser(r, s, port);
  const double m3 = DECVAL(port.GetFieldText(2));
  const std::vector<int> moved = FieldsMoved(s.testno, m3);
  if (std::find(moved.begin(), moved.end(), a.field) == moved.end())
    throw RefusedInput("y " + name + ": " + WhyNotRead(a.field, s.testno, m3) +
                       "; a map of scenario " + NumberText(s.testno) + " runs over " + NamesOf(moved));
  const bool au = port.GetUnitOption();
  y_column_ = name + (IsDistance(a.field) ? (au ? "_au" : "_km") : "");
  ys_ = AxisValues(a);
  for (double y : ys_) {
    y_texts_.push_back(NumberText(y));
    // A distance is the y value as its column shows it, typed in AU.
    field_texts_.push_back(!IsDistance(a.field) ? y_texts_.back()
                                                : DistanceFieldText(ReadNumber(y_texts_.back()), au));
  }
}

std::string PreparedMap::Label(int row) const {
  return std::string(NameOfField(request_.axis.field)) + "=" + Echo(field_texts_[row]);
}

// The request of a row's series: the field typed last with the row's value.
SeriesRequest PreparedMap::RowRequest(int row) const {
  SeriesRequest r = request_.series;
  r.sets.emplace_back(request_.axis.field, field_texts_[row]);
  r.shard = r.shards = 0;
  r.jobs = 1;
  r.picture = false;
  r.only.reset();
  return r;
}

// The state of a row's series once Start was pressed, as a series run on
// threads begins.
RowStart PreparedMap::StartOfRow(int row) const {
  const SeriesRequest r = RowRequest(row);
  RowStart start;
  SeriesPort port(start.s, r.max_steps, [](const TestRow&) {});
  LoadAsUser(r, start.s, port);
  start.tdfact = port.GetFieldText(13);
  try {
    start.s.runstate = 0;
    StartSeries(start.s, port);
  } catch (const ProgramEnded&) {
    start.ended = true;
  }
  for (const std::string& m : port.messages) start.refusal += (start.refusal.empty() ? "" : "\n") + m;
  return start;
}

// The size of the map before any row but the first is looked at: its cells,
// and what refinement keeps for each.
void PreparedMap::CheckSize() const {
  if (static_cast<double>(columns_) * rows() > static_cast<double>(kMostTests))
    throw RefusedInput("the map would have more than 1000000000 cells");
  if (request_.refine == 0) return;
  const double needed = static_cast<double>(cells()) * kRefineBytesPerCell;
  const double room = MemoryForRun();
  if (needed > room)
    throw RefusedInput("--refine keeps " + NumberText(kRefineBytesPerCell) + " bytes for each of the " +
                       std::to_string(cells()) + " cells: " + BytesText(needed) + ", more than the " +
                       BytesText(room) + " this process may use");
}

// The first row counts the tests of every row (the angles are no axis); then
// each row's first test is set up: a value the set-up refuses is found now,
// not after hours of other rows.
void PreparedMap::SetUpRows() {
  const SeriesRequest& r = request_.series;
  try {
    first_row_ = std::make_unique<PreparedSeries>(RowRequest(0));
  } catch (const RefusedInput& e) {
    throw RefusedInput(Label(0) + ": " + e.what());
  }
  columns_ = first_row_->series_tests();
  fields_ = first_row_->fields();
  au_ = first_row_->au();
  row_header_ = first_row_->header();
  CheckSize();
  std::string key = "map\x1f" + y_column_;
  for (int row = 0; row < rows(); ++row) {
    const SeriesRequest row_request = RowRequest(row);
    SeriesIdentity identity = IdentifySeries(row_request, row_header_);
    if (identity.refusal.empty()) identity.refusal = FirstTestRefusal(row_request);
    if (!identity.refusal.empty()) throw RefusedInput(Label(row) + ": " + identity.refusal);
    for (const std::string& w : identity.warnings)
      if (std::find(warnings_.begin(), warnings_.end(), w) == warnings_.end()) warnings_.push_back(w);
    key += '\x1f' + field_texts_[row] + '\x1f' + identity.id;
  }
  const bool sharded = r.shards > 0;
  header_ = (sharded ? "test," : "") + y_column_ + ',' + row_header_ +
            (request_.refine > 0 ? std::string(",") + RefinedColumnName() : "");
  key += '\x1f' + header_ + '\x1f' + std::to_string(request_.refine);
  id_ = IdOfKey(key);
  tests_ = TestsOfShard(cells(), r.shard, r.shards);
  if (sharded)
    first_lines_ = ShardLine(r.shard, r.shards, id_, kVersion, tests_, cells()) + " rows " +
                   std::to_string(rows()) + '\n';
  first_lines_ += header_ + '\n';
  if (request_.refine > 0)
    if (std::string w = RefineLevelsWarning(rows(), columns_, request_.refine); !w.empty())
      warnings_.push_back(std::move(w));
}

const std::vector<double>& PreparedMap::angles() const {
  std::call_once(angles_made_, [this] { angles_ = first_row_->TestAngles(); });
  return angles_;
}

std::string PreparedMap::LineOf(const MapCell& cell) const {
  const SeriesRequest& r = request_.series;
  const CsvLayout layout{false, r.energy, r.full, r.crosscheck};
  std::string line = r.shards > 0 ? std::to_string(cell.index) + ',' : std::string();
  line += y_texts_[cell.row] + ',' + CsvRow(layout, cell.column, cell.test);
  if (request_.refine > 0) line.insert(line.size() - 1, cell.computed ? ",1" : ",0");
  return line;
}

MapResult PreparedMap::Run(const MapEvents& events, const RunStop& stop) {
  if (ran_) throw std::logic_error("a prepared map runs once");
  ran_ = true;
  MapResult result;
  result.warnings = static_cast<int>(warnings_.size());
  result.checksum.Add(first_lines_);
  const bool whole = request_.refine > 0 ? RunRefined(events, stop, result)
                                         : RunWhole(events, stop, result);
  if (!whole) {
    result.stopped = true;
    return result;
  }
  const SeriesRequest& r = request_.series;
  if (r.shards > 0)
    result.last_lines =
        ShardEndLine(r.shard, r.shards, result.written, result.untrusted,
                     result.checksum.Value()) + '\n';
  if (r.crosscheck) {
    CrossTally tally;
    tally.Add(result.cross_differing, result.cross_rows);
    result.cross_summary = CrossSummary(tally);
  }
  result.record_json = RecordJson(result);
  return result;
}

}  // namespace lab
