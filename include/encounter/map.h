// Maps: how the outcome of the encounter depends on two parameters at once,
// the start angle of the series (x) and one field the scenario reads (y).
// Each row of a map is exactly the series that the field, typed with the
// row's value, gives (Series with that field text added last): the same
// rows, the same CSV columns, the same best flags.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "encounter/scenario.h"
#include "encounter/series.h"

namespace encounter {

struct MapAxis {
  // The field of the y axis: m1 m2 m3 dist1 dist2 tdfact. The scenario must
  // read it: masses only scenario 0 (m2, m3), and scenario 0 derives dist2
  // itself when m3 > 1. Refused otherwise, naming the fields it reads.
  std::string field;
  // In the unit the scenario shows: AU or km for distances (typed into the
  // field with the unit AU, the only way a distance is read), suns for masses.
  double from = 0, to = 0;
  int count = 0;     // values from `from` to `to`, both included
  bool log = false;  // spaced evenly in the logarithm
};

struct MapOptions {
  // As for a series. jobs: threads for all rows together (rows run side by
  // side); shard K/N: the K-th of N interleaved parts of the map's cells in
  // map order; picture: ignored.
  SeriesOptions series;
  // Levels of adaptive refinement: the cells of a grid 2^refine times coarser
  // first, then only where neighbouring cells differ in end or v3_red (and a
  // margin of one block around them), down to every cell; then a random
  // sample of the cells left, whose error MapSummary reports. Not with shards.
  int refine = 0;
};

struct MapCell {
  int y_index = 0;
  double y = 0;            // the value as the first CSV column shows it
  std::int64_t index = 0;  // y_index x columns + row.test
  // The test; row.csv is the map's CSV line (the y value first). With refine
  // a cell not computed (computed false) carries its coarse parent's values
  // under its own angle, and best is decided along the map's row;
  // row.untrusted marks a cell whose result (its own or its parent's) should
  // not be trusted.
  Row row;
  bool computed = true;
};

// The cells of one y value handed out: how many ended each way (by End) and
// how many had body 3 faster than its escape speed (v3_red), and how many
// show a result that should not be trusted (row.untrusted).
struct MapTally {
  double y = 0;
  std::int64_t tests = 0;
  std::array<std::int64_t, kEndCount> ends{};
  std::int64_t red = 0;
  // Of the tests, those integrated; with refine the others were inferred
  // from a computed neighbour and count among the ends as that one ended.
  std::int64_t computed = 0;
  std::int64_t untrusted = 0;
};

struct MapSummary {
  std::int64_t cells = 0;         // handed out
  std::int64_t cells_in_map = 0;  // y values x angles
  std::int64_t computed = 0;      // integrated: with refine, fewer than cells
  // With refine: a seeded random sample of the cells the refinement would
  // have inferred was integrated too (among computed); sampled_differing of
  // them ended otherwise than inferred. sampled_low and sampled_high: the 95 %
  // interval (Wilson's) of that fraction, the error of the inferred cells.
  std::int64_t sampled = 0, sampled_differing = 0;
  double sampled_low = 0, sampled_high = 0;
  // "refined: 25.0 % computed, sampled error 0.6 % [0.1, 3.2]" (per cent to
  // a tenth, the interval rounded outward); "" without refine.
  std::string refined;
  std::vector<std::string> warnings;
  std::int64_t untrusted = 0;     // tests whose result should not be trusted
  std::int64_t caveats = 0;       // tests that ended faster than a tenth of light's speed
  // With crosscheck: the cells compared, and those whose outcome differs.
  std::int64_t cross_rows = 0, cross_differing = 0;
  std::optional<ShardFrame> frame;  // when sharded (tests: cells)
  std::string record_json;  // the record encounter-batch map --meta writes
  std::string map_id;       // names the map (every row's series and the axis)
  // As texts, as the command line prints them (see Summary).
  std::string first_lines, last_lines, crosscheck;
  std::vector<MapTally> tallies;  // one per y value
};

using CellCallback = std::function<void(const MapCell&)>;

// A map set up and checked, ready to run once: every row is set up (and
// refused, with the value named) before the first test.
class Map {
 public:
  Map(const Scenario& scenario, const MapAxis& axis, const MapOptions& options);
  ~Map();
  Map(Map&&) noexcept;
  Map& operator=(Map&&) noexcept;

  const std::vector<std::string>& setup_warnings() const;
  int rows() const;              // y values
  std::int64_t columns() const;  // angles: the tests of each row's series
  std::int64_t cells() const;    // this run (this shard) will hand out
  const std::vector<double>& y() const;
  const std::vector<std::string>& field_texts() const;  // as typed, per y value
  const std::vector<double>& angles() const;            // start angles (degrees)
  const std::string& y_column() const;  // "dist2_au", "tdfact", ...
  Unit unit() const;                    // the unit distances are shown in
  // The nine fields as the first row's first test used them, by caption.
  std::vector<std::pair<std::string, std::string>> fields() const;
  const std::string& header() const;
  const std::string& first_lines() const;
  const std::string& map_id() const;
  int threads() const;

  // Runs the map. on_cell gets each cell in map order (y values ascending in
  // index, angles in series order), on the calling thread; on_progress,
  // stop and on_warning as for Series::Run.
  MapSummary Run(const CellCallback& on_cell, const ProgressCallback& on_progress = {},
                 const StopCallback& stop = {}, const WarningCallback& on_warning = {});

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Map(scenario, axis, options).Run(...).
MapSummary RunMap(const Scenario& scenario, const MapAxis& axis, const MapOptions& options,
                  const CellCallback& on_cell, const ProgressCallback& on_progress = {},
                  const StopCallback& stop = {});

}  // namespace encounter
