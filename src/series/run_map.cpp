#include "series/run_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "port/control_flow.h"
#include "records/csv.h"
#include "records/shard_lines.h"
#include "records/run_record.h"
#include "records/texts.h"
#include "series/crosscheck.h"
#include "series/map_refine.h"
#include "series/map_rows.h"
#include "setup/field_names.h"
#include "setup/initial_conditions.h"
#include "setup/number_text.h"
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

std::string HexOf(const std::string& key) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a, 64 bits
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return hex;
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
  jobs_ = r.jobs > 0 ? r.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  CheckAxis();
  SetUpRows();
}

PreparedMap::~PreparedMap() = default;

// The axis as the scenario will read it; each value as the field's text.
void PreparedMap::CheckAxis() {
  const MapAxisRequest& a = request_.axis;
  const SeriesRequest& r = request_.series;
  if (std::find(std::begin(kAxisFields), std::end(kAxisFields), a.field) == std::end(kAxisFields))
    throw RefusedInput("--y takes one of m1 m2 m3 dist1 dist2 tdfact (the angles are the x axis)");
  const std::string name = NameOfField(a.field);
  if (a.count < 1 || a.count > kMostMapRows)
    throw RefusedInput("--y " + name + ": from 1 to " + std::to_string(kMostMapRows) + " values");
  if (!std::isfinite(a.from) || !std::isfinite(a.to) || (a.log && !(a.from > 0 && a.to > 0)))
    throw RefusedInput("--y " + name + ": the range must be finite" +
                       (a.log ? std::string(" and above 0 for --y-log") : ""));
  for (const auto& [field, text] : r.sets)
    if (field == a.field) throw RefusedInput("--set " + name + " and --y " + name + " name the same field");
  if (request_.refine < 0 || request_.refine > 20)
    throw RefusedInput("--refine takes a number of levels from 0 to 20");
  if (request_.refine > 0 && r.shards > 0)
    throw RefusedInput("--refine decides level by level what to compute; it cannot run as shards");

  // The fields as Start will read them, with the scenario and the edits.
  SimState s;
  HeadlessPort port(s);
  LoadAsUser(r, s, port);
  const double m3 = DECVAL(port.GetFieldText(2));
  const std::vector<int> moved = FieldsMoved(s.testno, m3);
  if (std::find(moved.begin(), moved.end(), a.field) == moved.end())
    throw RefusedInput("--y " + name + ": " + WhyNotRead(a.field, s.testno, m3) +
                       "; a map of scenario " + NumberText(s.testno) + " runs over " + NamesOf(moved));
  const bool au = port.GetUnitOption();
  y_column_ = name + (IsDistance(a.field) ? (au ? "_au" : "_km") : "");
  ys_ = AxisValues(a);
  for (double y : ys_) {
    y_texts_.push_back(NumberText(y));
    // Distances are read only with the unit AU: a km value is typed in AU.
    field_texts_.push_back(!IsDistance(a.field) ? NumberText(y)
                           : au                 ? NumberText(y) + " AU"
                                                : NumberText(y / s.auc) + " AU");
  }
}

std::string PreparedMap::Label(int row) const {
  return std::string(NameOfField(request_.axis.field)) + "=" + Echo(field_texts_[row]);
}

std::unique_ptr<PreparedSeries> PreparedMap::RowSeries(
    int row, std::optional<std::vector<std::int64_t>> only, int threads) const {
  SeriesRequest r = request_.series;
  r.sets.emplace_back(request_.axis.field, field_texts_[row]);
  r.shard = r.shards = 0;
  r.jobs = threads;
  r.picture = false;
  r.only = std::move(only);
  return std::make_unique<PreparedSeries>(std::move(r));
}

// Every row set up before the first test: a value the set-up refuses is
// found now, not after hours of other rows.
void PreparedMap::SetUpRows() {
  const SeriesRequest& r = request_.series;
  std::string key = "map\x1f" + y_column_;
  for (int row = 0; row < rows(); ++row) {
    std::unique_ptr<PreparedSeries> series;
    try {
      series = RowSeries(row, std::nullopt, 1);
      if (const std::string refusal = FirstTestRefusal(series->request()); !refusal.empty())
        throw RefusedInput(refusal);
    } catch (const RefusedInput& e) {
      throw RefusedInput(Label(row) + ": " + e.what());
    }
    if (row == 0) {
      columns_ = series->series_tests();
      angles_ = series->TestAngles();
      fields_ = series->fields();
      au_ = series->au();
      row_header_ = series->header();
    }
    for (const std::string& w : series->setup_warnings())
      if (std::find(warnings_.begin(), warnings_.end(), w) == warnings_.end()) warnings_.push_back(w);
    key += '\x1f' + field_texts_[row] + '\x1f' + series->id();
  }
  if (static_cast<double>(columns_) * rows() > static_cast<double>(kMostTests))
    throw RefusedInput("the map would have more than 1000000000 cells");
  if (request_.refine > 0)
    if (std::string w = RefineLevelsWarning(rows(), columns_, request_.refine); !w.empty())
      warnings_.push_back(std::move(w));
  const bool sharded = r.shards > 0;
  header_ = (sharded ? "test," : "") + y_column_ + ',' + row_header_ +
            (request_.refine > 0 ? ",computed" : "");
  key += '\x1f' + header_ + '\x1f' + std::to_string(request_.refine);
  id_ = HexOf(key);
  tests_ = cells();
  if (sharded) {
    tests_ = tests_ >= r.shard ? (tests_ - r.shard) / r.shards + 1 : 0;
    first_lines_ = ShardLine(r.shard, r.shards, id_, kVersion, tests_, cells()) + " rows " +
                   std::to_string(rows()) + '\n';
  }
  first_lines_ += header_ + '\n';
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
        ShardEndLine(r.shard, r.shards, result.written, result.checksum.Value()) + '\n';
  if (r.crosscheck) {
    CrossTally tally;
    tally.Add(result.cross_differing, result.cross_rows);
    result.cross_summary = CrossSummary(tally);
  }
  result.record_json = RecordJson(result);
  return result;
}

}  // namespace lab
