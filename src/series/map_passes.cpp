// The passes of a map: every cell at once, or refinement level by level; and
// the record of the run.
#include <charconv>
#include <sstream>

#include "encounter/end.h"

#include "records/csv.h"
#include "records/run_record.h"
#include "records/texts.h"
#include "series/crosscheck.h"
#include "series/map_refine.h"
#include "series/map_rows.h"
#include "series/ordered_pool.h"
#include "series/progress_counters.h"
#include "series/run_map.h"
#include "setup/field_names.h"
#include "setup/number_text.h"

namespace lab {

namespace {

// Cells alike in the end of the test and in whether body 2 ended faster than
// its escape speed look alike on the map.
int OutcomeOf(const TestRow& t) {
  const auto end = encounter::EndOfName(t.end);
  return (end ? static_cast<int>(*end) : encounter::kEndCount) * 2 + (t.v3_red ? 1 : 0);
}

// The number as the shortest text that reads back as it, as --y takes it.
std::string ExactText(double value) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

// The encounter-batch arguments that run the map again, for a map asked for
// through the library (the command line passes its own).
std::vector<std::string> ArgsOfMapRequest(const MapRequest& r) {
  std::vector<std::string> a = ArgsOfRequest(r.series);
  a.insert(a.begin(), "map");
  const MapAxisRequest& y = r.axis;
  a.push_back("--y=" + std::string(NameOfField(y.field)) + '=' + ExactText(y.from) + ':' +
              ExactText(y.to) + ':' + std::to_string(y.count));
  if (y.log) a.push_back("--y-log");
  if (r.refine > 0) a.push_back("--refine=" + std::to_string(r.refine));
  return a;
}

}  // namespace

// What every pass does with the rows: set up each when reached, name it,
// pass on its warnings.
RowEvents PreparedMap::EventsOfRows(const MapEvents& events, MapResult& result) const {
  RowEvents rows;
  rows.crosscheck = request_.series.crosscheck;
  rows.start = [this](int row) { return StartOfRow(row); };
  rows.label = [this](int row) { return Label(row); };
  rows.warning = [this, &events, &result](int row, const std::string& text) {
    ++result.warnings;
    ++result.untrusted;
    if (events.warning) events.warning(Label(row) + ": " + text);
  };
  rows.caveat = [this, &events, &result](int row, const std::string& text) {
    ++result.warnings;
    ++result.caveats;
    if (events.caveat) events.caveat(Label(row) + ": " + text);
  };
  return rows;
}

bool PreparedMap::RunPlan(const std::vector<RowPlan>& plan, const RowEvents& row_events,
                          const MapEvents& events, const RunStop& stop, std::int64_t planned,
                          std::int64_t tests_before, std::int64_t steps_before) const {
  std::int64_t tests = 0;
  for (const RowPlan& p : plan) tests += p.choice.only ? static_cast<std::int64_t>(p.choice.only->size()) : columns_;
  ProgressCounters counters(jobs_);
  ProgressTicker ticker(counters, !events.progress ? ProgressTicker::Report() :
      [&](std::int64_t done, std::int64_t steps) {
        events.progress(tests_before + done, planned, steps_before + steps);
      });
  ParallelSettings settings = SettingsOfRequest(request_.series, first_row_->lanes());
  settings.progress = &counters;
  settings.stop = &stop;
  settings.workers = WorkersFor(jobs_, tests, settings.TestsPerWorker());
  return RunRows(plan, settings, row_events);
}

bool PreparedMap::RunWhole(const MapEvents& events, const RunStop& stop, MapResult& result) {
  const SeriesRequest& r = request_.series;
  std::vector<RowPlan> plan;
  for (int row = 0; row < rows(); ++row)
    plan.push_back({row, TestChoice{r.shard, r.shards, row * columns_, std::nullopt}});
  RowEvents each = EventsOfRows(events, result);
  each.test = [&](int row, std::int64_t test, TestRow& t) {
    MapCell cell{row, test, row * columns_ + test, std::move(t), true, {}};
    cell.line = LineOf(cell);
    result.checksum.Add(cell.line);
    ++result.written;
    ++result.computed;
    if (events.cell) events.cell(cell);
  };
  each.row_end = [&result](int, const CrossTally& tally) {
    result.cross_differing += tally.differing();
    result.cross_rows += tally.rows();
  };
  return RunPlan(plan, each, events, stop, tests_, 0, 0);
}

bool PreparedMap::RunRefined(const MapEvents& events, const RunStop& stop, MapResult& result) {
  RefinePlan plan(rows(), columns_, request_.refine);
  std::vector<std::unique_ptr<TestRow>> computed(static_cast<std::size_t>(cells()));
  std::int64_t tests_done = 0, steps_done = 0;
  RowEvents each = EventsOfRows(events, result);
  each.test = [&](int row, std::int64_t test, TestRow& t) {
    plan.Set(row, test, OutcomeOf(t));
    ++tests_done;
    steps_done += t.steps;
    computed[row * columns_ + test] = std::make_unique<TestRow>(std::move(t));
  };
  auto run_batch = [&](std::vector<std::vector<std::int64_t>> batch) {
    std::vector<RowPlan> pass;
    std::int64_t planned = tests_done;
    for (int row = 0; row < rows(); ++row) {
      if (batch[row].empty()) continue;
      planned += static_cast<std::int64_t>(batch[row].size());
      pass.push_back({row, TestChoice{0, 0, 0, std::move(batch[row])}});
    }
    return RunPlan(pass, each, events, stop, planned, tests_done, steps_done);
  };
  for (auto batch = plan.Next(); !batch.empty(); batch = plan.Next())
    if (!run_batch(std::move(batch))) return false;
  // What the rules missed, measured on a sample of the cells they left.
  if (!run_batch(plan.Sample())) return false;
  result.computed = plan.computed();
  result.sampled = plan.sampled();
  result.sampled_differing = plan.sampled_differing();

  // Every cell, its value its own or its coarse parent's; best decided along
  // each row as the series would decide it.
  const bool cross = request_.series.crosscheck;
  const std::vector<double>& angles = this->angles();
  for (int row = 0; row < rows(); ++row) {
    BestSoFar best;
    CrossTally tally;
    for (std::int64_t c = 0; c < columns_; ++c) {
      MapCell cell;
      cell.row = row;
      cell.column = c;
      cell.index = row * columns_ + c;
      const std::int64_t source = plan.Source(row, c);
      cell.test = *computed[source];
      cell.computed = source == cell.index;
      if (!cell.computed) cell.test.row1[0] = NumberText(angles[c]);
      cell.test.best = cell.test.candidate && best.Takes(cell.test.ratio);
      if (cross) tally.Decide(cell.test);
      cell.line = LineOf(cell);
      result.checksum.Add(cell.line);
      ++result.written;
      if (events.cell) events.cell(cell);
    }
    result.cross_differing += tally.differing();
    result.cross_rows += tally.rows();
  }
  return true;
}

std::string PreparedMap::RecordJson(const MapResult& result) const {
  const SeriesRequest& r = request_.series;
  const MapAxisRequest& a = request_.axis;
  RunRecord m = RecordOfRun(r,
                            {fields_, au_, id_, header_, start_time_, cells(), tests_,
                             result.written, jobs_, result.warnings, result.untrusted},
                            ArgsOfMapRequest(request_));
  std::ostringstream j;
  j << ",\n  \"map\": {\n    \"y\": " << JsonString(NameOfField(a.field))
    << ",\n    \"column\": " << JsonString(y_column_) << ",\n    \"from\": " << JsonString(NumberText(a.from))
    << ",\n    \"to\": " << JsonString(NumberText(a.to)) << ",\n    \"count\": " << a.count
    << ",\n    \"spacing\": " << (a.log ? "\"log\"" : "\"linear\"") << ",\n    \"field_texts\": [";
  for (int row = 0; row < rows(); ++row) j << (row ? ", " : "") << JsonString(field_texts_[row]);
  j << "],\n    \"rows\": " << rows() << ",\n    \"columns\": " << columns_
    << ",\n    \"refine\": " << request_.refine << ",\n    \"cells_computed\": " << result.computed;
  if (request_.refine > 0)
    j << ",\n    \"cells_sampled\": " << result.sampled << ",\n    \"sampled_differing\": "
      << result.sampled_differing << ",\n    \"refined\": "
      << JsonString(RefinedWords(result.computed, cells(),
                                 WilsonInterval(result.sampled_differing, result.sampled)));
  j << "\n  }";
  m.more_json = j.str();
  return RunRecordJson(m);
}

}  // namespace lab
