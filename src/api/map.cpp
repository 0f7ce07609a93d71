// The public library's maps: the scenario, axis and options turned into the
// engine's request, and the engine's cells into the library's typed cells.
#include "encounter/map.h"

#include <cstdlib>

#include "api/api_rows.h"
#include "series/map_refine.h"
#include "series/request_options.h"
#include "series/ordered_pool.h"
#include "series/run_map.h"
#include "setup/field_names.h"
#include "version.h"

namespace encounter {

namespace {

lab::MapRequest RequestOf(const Scenario& scenario, const MapAxis& axis, const MapOptions& o) {
  if (const auto refusals = lab::MapOptionsRefusals(axis, o); !refusals.empty())
    throw InputError(lab::JoinLines(refusals));
  lab::MapRequest r;
  r.series = lab::RequestOf(scenario, o.series);
  r.series.picture = false;  // a map draws no trajectories
  r.series.picture_width = r.series.picture_height = 0;
  r.axis.field = lab::FieldOfName(axis.field);
  if (r.axis.field < 0)
    throw InputError("y: unknown field \"" + axis.field + "\" (m1 m2 m3 dist1 dist2 tdfact)");
  r.axis.from = axis.from;
  r.axis.to = axis.to;
  r.axis.count = axis.count;
  r.axis.log = axis.log;
  r.refine = o.refine;
  return r;
}

void Count(MapTally& tally, const Row& row, bool computed) {
  ++tally.tests;
  if (computed) ++tally.computed;
  ++tally.ends[static_cast<int>(row.end)];
  if (row.v3_red) ++tally.red;
  if (row.untrusted) ++tally.untrusted;
}

}  // namespace

// The engine's prepared map behind the library's.
struct Map::Impl : lab::PreparedMap {
  using lab::PreparedMap::PreparedMap;
};

Map::Map(const Scenario& scenario, const MapAxis& axis, const MapOptions& options) {
  try {
    impl_ = std::make_unique<Impl>(RequestOf(scenario, axis, options));
  } catch (const lab::RefusedInput& e) {
    throw InputError(e.what());
  }
}

Map::~Map() = default;
Map::Map(Map&&) noexcept = default;
Map& Map::operator=(Map&&) noexcept = default;

const std::vector<std::string>& Map::setup_warnings() const { return impl_->setup_warnings(); }
int Map::rows() const { return impl_->rows(); }
std::int64_t Map::columns() const { return impl_->columns(); }
std::int64_t Map::cells() const { return impl_->tests(); }
const std::vector<double>& Map::y() const { return impl_->ys(); }
const std::vector<std::string>& Map::field_texts() const { return impl_->field_texts(); }
const std::vector<double>& Map::angles() const { return impl_->angles(); }
const std::string& Map::y_column() const { return impl_->y_column(); }
Unit Map::unit() const { return impl_->au() ? Unit::kAU : Unit::kKm; }
const std::string& Map::header() const { return impl_->header(); }
const std::string& Map::first_lines() const { return impl_->first_lines(); }
const std::string& Map::map_id() const { return impl_->id(); }
int Map::threads() const { return impl_->jobs(); }

std::vector<std::pair<std::string, std::string>> Map::fields() const {
  std::vector<std::pair<std::string, std::string>> f;
  for (int k : {0, 1, 2, 3, 4, 11, 12, 13, 14}) {
    const std::string& text = impl_->fields()[k];
    const std::size_t first = text.find_first_not_of(' ');
    f.emplace_back(lab::kFieldCaptions[k], first == std::string::npos ? "" : text.substr(first));
  }
  return f;
}

MapSummary Map::Run(const CellCallback& on_cell, const ProgressCallback& on_progress,
                    const StopCallback& stop, const WarningCallback& on_warning) {
  MapSummary summary;
  summary.warnings = impl_->setup_warnings();
  for (double y : impl_->ys()) summary.tallies.push_back(MapTally{y, 0, {}, 0, 0});
  lab::MapEvents events;
  events.cell = [&](const lab::MapCell& c) {
    MapCell cell;
    cell.y_index = c.row;
    cell.y = std::strtod(impl_->y_texts()[c.row].c_str(), nullptr);
    cell.index = c.index;
    cell.row = lab::ApiRow(c.column, c.test, c.line);
    cell.computed = c.computed;
    Count(summary.tallies[c.row], cell.row, c.computed);
    if (on_cell) on_cell(cell);
  };
  events.warning = lab::KeepWarning(summary, on_warning);
  events.caveat = lab::KeepCaveat(summary, on_warning);
  if (on_progress) {
    events.progress = [&](std::int64_t done, std::int64_t planned, std::int64_t steps) {
      on_progress(Progress{done, planned, steps});
    };
  }
  const lab::RunStop run_stop(stop);
  const lab::MapResult result = lab::RunEngine(*impl_, events, run_stop);
  if (result.stopped) throw Stopped("stopped before the map was complete");
  summary.cells = result.written;
  summary.cells_in_map = impl_->cells();
  summary.computed = result.computed;
  if (impl_->request().refine > 0) {
    const lab::SampledError e = lab::WilsonInterval(result.sampled_differing, result.sampled);
    summary.sampled = e.sampled;
    summary.sampled_differing = e.differing;
    summary.sampled_low = e.low;
    summary.sampled_high = e.high;
    summary.refined = lab::RefinedWords(result.computed, impl_->cells(), e);
  }
  summary.first_lines = impl_->first_lines();
  summary.map_id = impl_->id();
  lab::TakeRecord(result, &summary);
  const lab::SeriesRequest& r = impl_->request().series;
  if (r.shards > 0)
    summary.frame = ShardFrame{r.shard, r.shards, impl_->tests(), impl_->cells(), lab::kVersion,
                               result.checksum.Value()};
  return summary;
}

MapSummary RunMap(const Scenario& scenario, const MapAxis& axis, const MapOptions& options,
                  const CellCallback& on_cell, const ProgressCallback& on_progress,
                  const StopCallback& stop) {
  return Map(scenario, axis, options).Run(on_cell, on_progress, stop);
}

}  // namespace encounter
