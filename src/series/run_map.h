// A map: the outcome of the encounter over two parameters at once, the start
// angle of the series (x) and one field the scenario reads (y). Each row of
// the map is exactly the series that the field, typed with the row's value,
// gives; the tests of all rows share the threads so that the cores stay busy. With
// refinement only the cells where the outcome changes are computed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "records/shard_lines.h"
#include "series/map_rows.h"
#include "series/run_series.h"

namespace lab {

struct MapAxisRequest {
  int field = -1;  // the field of the y axis: m1 m2 m3 dist1 dist2 tdfact
  double from = 0, to = 0;  // in the unit the scenario shows (AU or km; suns)
  int count = 0;
  bool log = false;  // evenly spaced in the logarithm
};

struct MapRequest {
  SeriesRequest series;  // shard: of the map's cells, interleaved in map order
  MapAxisRequest axis;
  int refine = 0;        // levels of refinement; 0: every cell
};

// More y values than this is a mistake, not a map (each is set up before the
// first test).
inline constexpr int kMostMapRows = 10000;

// What refinement keeps for every cell of the map while it runs: the cell
// whose value it takes, its outcome, and where its computed row lies.
inline constexpr double kRefineBytesPerCell = 20;

struct MapCell {
  int row = 0;              // index of the y value
  std::int64_t column = 0;  // index of the test in the row's series
  std::int64_t index = 0;   // row x columns + column
  TestRow test;             // best: decided along the row
  bool computed = true;     // false: the value of its coarse parent
  std::string line;         // the CSV line, with its line feed
};

struct MapEvents {
  // Each cell in map order (rows of ascending index, each in series order),
  // on the thread that called Run.
  std::function<void(const MapCell& cell)> cell;
  // A test whose result should not be trusted, as it is found.
  std::function<void(const std::string& text)> warning;
  // A test whose motion leaves Newtonian gravity, as it is found.
  std::function<void(const std::string& text)> caveat;
  // Tests finished of those planned so far, and steps integrated, a few times
  // a second from a thread of the engine's own.
  std::function<void(std::int64_t done, std::int64_t planned, std::int64_t steps)> progress;
};

struct MapResult {
  bool stopped = false;
  std::int64_t written = 0;   // cells handed out
  std::int64_t computed = 0;  // cells integrated
  // Refinement's sample of the cells it would have inferred (integrated, so
  // among the computed), and those whose outcome differed from the inferred.
  std::int64_t sampled = 0, sampled_differing = 0;
  int warnings = 0;
  std::int64_t untrusted = 0;  // tests warned about (each one of the warnings)
  std::int64_t caveats = 0;    // tests beyond the model (each one of the warnings)
  std::string last_lines, record_json, cross_summary;
  std::int64_t cross_differing = 0, cross_rows = 0;
  ShardChecksum checksum;  // of the lines handed out, for a shard's last line
};

// The y values of the axis: from, ..., to, count of them.
std::vector<double> AxisValues(const MapAxisRequest& axis);

class PreparedMap {
 public:
  // Checks the axis against what the scenario reads, the size of the map
  // against the memory it needs, then sets up the first test of every row as
  // a user would (each row's series itself is prepared as its tests are
  // reached); throws RefusedInput.
  explicit PreparedMap(MapRequest request);
  ~PreparedMap();  // not copied: it holds its first row's series

  const MapRequest& request() const { return request_; }
  int rows() const { return static_cast<int>(ys_.size()); }
  std::int64_t columns() const { return columns_; }
  std::int64_t cells() const { return columns_ * rows(); }
  std::int64_t tests() const { return tests_; }  // cells of this shard
  int jobs() const { return jobs_; }
  const std::vector<double>& ys() const { return ys_; }
  // Each y value as the first column shows it, and as typed into the field.
  const std::vector<std::string>& y_texts() const { return y_texts_; }
  const std::vector<std::string>& field_texts() const { return field_texts_; }
  const std::string& y_column() const { return y_column_; }
  // The start angles of the tests (x), made when first asked for.
  const std::vector<double>& angles() const;
  const std::vector<std::string>& setup_warnings() const { return warnings_; }
  const std::string& header() const { return header_; }
  const std::string& first_lines() const { return first_lines_; }
  const std::string& id() const { return id_; }
  const std::array<std::string, kControlFields>& fields() const { return fields_; }
  bool au() const { return au_; }
  const std::string& scenario() const { return scenario_; }

  // Runs the map once; throws RefusedInput when a row fails (after the
  // cells of the rows before it).
  MapResult Run(const MapEvents& events, const RunStop& stop);

 private:
  void CheckAxis();
  void CheckSize() const;
  void SetUpRows();
  SeriesRequest RowRequest(int row) const;
  RowStart StartOfRow(int row) const;
  std::string Label(int row) const;
  std::string LineOf(const MapCell& cell) const;
  RowEvents EventsOfRows(const MapEvents& events, MapResult& result) const;
  // planned: of every pass so far; before: tests and steps of earlier passes.
  bool RunPlan(const std::vector<RowPlan>& plan, const RowEvents& row_events,
               const MapEvents& events, const RunStop& stop, std::int64_t planned,
               std::int64_t tests_before, std::int64_t steps_before) const;
  bool RunWhole(const MapEvents& events, const RunStop& stop, MapResult& result);
  bool RunRefined(const MapEvents& events, const RunStop& stop, MapResult& result);
  std::string RecordJson(const MapResult& result) const;

  MapRequest request_;
  std::unique_ptr<PreparedSeries> first_row_;  // counts the tests of every row
  mutable std::once_flag angles_made_;
  mutable std::vector<double> angles_;
  std::vector<double> ys_;
  std::vector<std::string> y_texts_, field_texts_, warnings_, row_ids_;
  std::string y_column_, header_, row_header_, first_lines_, id_, start_time_, scenario_;
  std::array<std::string, kControlFields> fields_;
  bool au_ = false;
  std::int64_t columns_ = 0, tests_ = 0;
  int jobs_ = 1;
  bool ran_ = false;
};

}  // namespace lab
