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

// The tests of row `row` that belong to shard K of N, the cells of the map
// dealt out in map order.
std::vector<std::int64_t> ShardColumns(int row, std::int64_t columns, int shard, int shards) {
  std::vector<std::int64_t> only;
  const std::int64_t first = row * columns;
  std::int64_t c = ((shard - 1 - first) % shards + shards) % shards;
  for (; c < columns; c += shards) only.push_back(c);
  return only;
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

bool PreparedMap::RunWhole(const MapEvents& events, const RunStop& stop, MapResult& result) {
  const SeriesRequest& r = request_.series;
  std::vector<RowJob> jobs;
  for (int row = 0; row < rows(); ++row) {
    if (r.shards == 0) {
      jobs.push_back({row, std::nullopt});
    } else if (auto only = ShardColumns(row, columns_, r.shard, r.shards); !only.empty()) {
      jobs.push_back({row, std::move(only)});
    }
  }
  RowsProgress progress;
  if (events.progress)
    progress.report = [&](std::int64_t done, std::int64_t steps) { events.progress(done, tests_, steps); };
  auto make = [this](const RowJob& job, int threads) { return RowSeries(job.row, job.only, threads); };
  auto label = [this](int row) { return Label(row); };
  return RunRows(jobs, jobs_, make, label, progress, stop, [&](std::size_t k, RowDone& done) {
    const int row = jobs[k].row;
    for (const std::string& w : done.warnings) {
      ++result.warnings;
      if (events.warning) events.warning(Label(row) + ": " + w);
    }
    for (auto& [test, t] : done.tests) {
      MapCell cell{row, test, row * columns_ + test, std::move(t), true, {}};
      cell.line = LineOf(cell);
      result.checksum.Add(cell.line);
      ++result.written;
      ++result.computed;
      if (events.cell) events.cell(cell);
    }
    result.cross_differing += done.cross_differing;
    result.cross_rows += done.cross_rows;
  });
}

bool PreparedMap::RunRefined(const MapEvents& events, const RunStop& stop, MapResult& result) {
  RefinePlan plan(rows(), columns_, request_.refine);
  std::vector<std::unique_ptr<TestRow>> computed(static_cast<std::size_t>(cells()));
  RowsProgress progress;
  auto make = [this](const RowJob& job, int threads) { return RowSeries(job.row, job.only, threads); };
  auto label = [this](int row) { return Label(row); };
  for (auto batch = plan.Next(); !batch.empty(); batch = plan.Next()) {
    std::vector<RowJob> jobs;
    std::int64_t planned = progress.tests_before;
    for (int row = 0; row < rows(); ++row) {
      if (batch[row].empty()) continue;
      planned += static_cast<std::int64_t>(batch[row].size());
      jobs.push_back({row, std::move(batch[row])});
    }
    if (events.progress)
      progress.report = [&, planned](std::int64_t done, std::int64_t steps) { events.progress(done, planned, steps); };
    const bool whole = RunRows(jobs, jobs_, make, label, progress, stop, [&](std::size_t k, RowDone& done) {
      const int row = jobs[k].row;
      for (const std::string& w : done.warnings) {
        ++result.warnings;
        if (events.warning) events.warning(Label(row) + ": " + w);
      }
      for (auto& [test, t] : done.tests) {
        plan.Set(row, test, OutcomeOf(t));
        ++progress.tests_before;
        progress.steps_before += t.steps;
        computed[row * columns_ + test] = std::make_unique<TestRow>(std::move(t));
      }
    });
    if (!whole) return false;
  }
  result.computed = plan.computed();

  // Every cell, its value its own or its coarse parent's; best decided along
  // each row as the series would decide it.
  const bool cross = request_.series.crosscheck;
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
      if (!cell.computed) cell.test.row1[0] = NumberText(angles_[c]);
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
  RunRecord m;
  m.args = r.command_line.empty() ? ArgsOfMapRequest(request_) : r.command_line;
  m.fields = fields_;
  m.au = au_;
  m.scenario = scenario_;
  m.series = id_;
  m.header = header_;
  m.start_time = start_time_;
  m.integrator = r.integrator;
  m.crosscheck = r.crosscheck;
  m.max_steps = r.max_steps;
  m.series_tests = cells();
  m.tests = tests_;
  m.written = result.written;
  m.jobs = jobs_;
  m.warnings = result.warnings;
  m.shard = r.shard;
  m.shards = r.shards;
  std::ostringstream j;
  j << ",\n  \"map\": {\n    \"y\": " << JsonString(NameOfField(a.field))
    << ",\n    \"column\": " << JsonString(y_column_) << ",\n    \"from\": " << JsonString(NumberText(a.from))
    << ",\n    \"to\": " << JsonString(NumberText(a.to)) << ",\n    \"count\": " << a.count
    << ",\n    \"spacing\": " << (a.log ? "\"log\"" : "\"linear\"") << ",\n    \"field_texts\": [";
  for (int row = 0; row < rows(); ++row) j << (row ? ", " : "") << JsonString(field_texts_[row]);
  j << "],\n    \"rows\": " << rows() << ",\n    \"columns\": " << columns_
    << ",\n    \"refine\": " << request_.refine << ",\n    \"cells_computed\": " << result.computed
    << "\n  }";
  m.more_json = j.str();
  return RunRecordJson(m);
}

}  // namespace lab
