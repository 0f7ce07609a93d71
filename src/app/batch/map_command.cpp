#include "app/batch/map_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <optional>
#include <ostream>

#include "app/batch/command_common.h"
#include "app/batch/map_options.h"
#include "app/batch/map_report.h"
#include "app/batch/progress.h"
#include "api/map_files.h"
#include "records/signals.h"
#include "encounter/map.h"
#include "records/map_picture.h"
#include "records/texts.h"
#include "setup/field_names.h"

namespace lab {

namespace {

// Larger pictures are a mistake (a map of millions of cells), not a figure.
constexpr double kMostPixels = 1e8;

encounter::Map MakeMap(const MapCommandOptions& m, const std::vector<std::string>& args) {
  encounter::MapOptions options = m.map;
  options.series = m.series.series;
  options.series.command_line = args;
  options.series.command_line.insert(options.series.command_line.begin(), "map");
  return encounter::Map(m.series.scenario, m.axis, options);
}

// The pictures and the record of a map, to their temporary files; then
// every file appears. Returns the exit status.
int CommitMap(const MapCommandOptions& m, const encounter::Map& map, const MapGrid& grid,
              const encounter::MapSummary& summary, OutputFiles& files, std::ostream& err) {
  const MapColouring colouring = m.colour_ratio ? MapColouring::kRatio : MapColouring::kEnd;
  if (m.map_png && !files.Write("--map-png", MapPngFile(grid, colouring, summary.refined), err))
    return 1;
  const std::string scenario = m.series.scenario.test.value_or("0");
  if (m.map_svg &&
      !files.Write("--map-svg",
                   MapSvgFile(map, grid, colouring, scenario, m.axis.log, summary.refined), err))
    return 1;
  if (!files.Write("--meta", summary.record_json, err)) return 1;
  return files.Commit(err);
}

// The map's cells to the CSV as they come, and into the grid of the pictures.
std::optional<encounter::MapSummary> RunCells(const MapCommandOptions& m, encounter::Map& map,
                                               std::ostream& csv, MapGrid& grid,
                                               std::ostream& err, int* status) {
  bool write_failed = false, header_written = false;
  ProgressCounters counters(1);
  try {
    const std::chrono::seconds every(m.series.progress_every);
    ProgressLine progress(counters, map.cells(), FaceOfStandardError(m.series.quiet, every), every,
                          err);
    auto on_cell = [&](const encounter::MapCell& cell) {
      csv << (header_written ? "" : map.first_lines()) << cell.row.csv;
      csv.flush();
      header_written = true;
      if (!csv) write_failed = true;
      if (!grid.outcome.empty()) {
        const encounter::Row& r = cell.row;
        grid.Set(cell.y_index, r.test, encounter::EndName(r.end), r.v3_red, r.ratio ? &*r.ratio : nullptr,
                 r.untrusted);
      }
    };
    auto on_progress = [&](const encounter::Progress& p) {
      counters.tests_done.store(p.tests_done, std::memory_order_relaxed);
      counters.steps_done.store(p.steps, std::memory_order_relaxed);
    };
    auto stop = [&] { return write_failed || StopRequested(); };
    auto on_warning = [&](const std::string& w) { progress.Say(err, kMe + ("warning: " + w) + '\n'); };
    auto summary = map.Run(on_cell, on_progress, stop, on_warning);
    csv << (header_written ? "" : map.first_lines()) << summary.last_lines;
    csv.flush();
    if (!csv) {
      RequestStopForWriteError();
      *status = StoppedStatus(err);
      return std::nullopt;
    }
    return summary;
  } catch (const encounter::InputError& e) {
    PrintRefusal(err, e.what());
    *status = 2;
  } catch (const encounter::Stopped&) {
    if (write_failed) RequestStopForWriteError();
    *status = StoppedStatus(err);
  } catch (const encounter::Error& e) {  // the threads could not be started
    err << kMe << e.what() << '\n';
    *status = 1;
  }
  return std::nullopt;
}

}  // namespace

int RunMapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto plan = PlanRun(args, true, &error);
  if (!plan) return CommandLineRefused(err, "map: ", error);
  return RunMapPlan(*plan, out, err);
}

int RunMapPlan(const RunPlan& plan, std::ostream& out, std::ostream& err) {
  const std::vector<std::string>& args = plan.args;
  std::string error;
  const auto options = ParseMapOptions(args, &error);
  if (!options) return CommandLineRefused(err, "map: ", error);
  const MapCommandOptions& m = *options;
  if (m.help) {
    out << kMapHelp;
    return ListingStatus(out, err);
  }
  std::optional<encounter::Map> map;
  try {
    map.emplace(MakeMap(m, args));
  } catch (const encounter::InputError& e) {
    PrintRefusal(err, e.what());
    return 2;
  }
  if (const std::string refusal = SeriesRefusal(plan, map->map_id()); !refusal.empty()) {
    err << kMe << refusal << '\n';
    return 2;
  }
  MapGrid grid;
  if (m.map_png || m.map_svg) {
    const double columns = static_cast<double>(map->columns()), rows = map->rows();
    const double pixels = std::max(columns, 600.0) * std::max(rows, 300.0);
    if (pixels > kMostPixels) {
      err << kMe << "map: the picture of " << map->rows() << " x " << map->columns()
          << " cells would have more than 100 million pixels\n";
      return 2;
    }
    grid.Resize(map->rows(), map->columns());
  }
  OutputFiles files({{"--output", m.series.output},
                     {"--map-png", m.map_png},
                     {"--map-svg", m.map_svg},
                     {"--meta", m.series.meta}});
  if (!files.Open(err)) return 2;
  std::ostream& csv = files.Csv(out);
  if (!csv) return StoppedStatus(err);
  for (const std::string& w : map->setup_warnings()) err << kMe << "warning: " << w << '\n';

  int status = 0;
  const auto summary = RunCells(m, *map, csv, grid, err, &status);
  if (!summary) return status;
  if ((status = CommitMap(m, *map, grid, *summary, files, err)) != 0) return status;
  if (m.series.series.crosscheck) err << kMe << summary->crosscheck << '\n';
  if (m.map.refine > 0)
    err << kMe << "refined: " << summary->computed << " of " << summary->cells_in_map
        << " cells computed" << SampledErrorWords(*summary) << '\n';
  if (m.summary) err << MapSummaryTable(*map, *summary);
  const std::size_t warnings = summary->warnings.size();
  if (warnings > 0) err << kMe << warnings << (warnings == 1 ? " warning" : " warnings") << '\n';
  return 0;
}

}  // namespace lab
