#include "app/batch/map_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <ostream>

#include "app/batch/map_options.h"
#include "app/batch/map_report.h"
#include "app/batch/progress.h"
#include "app/batch/signals.h"
#include "encounter/map.h"
#include "records/map_picture.h"
#include "records/map_svg.h"
#include "records/png_encode.h"
#include "records/replacing_file.h"
#include "records/texts.h"
#include "setup/field_names.h"

namespace lab {

namespace {

constexpr const char* kMe = "encounter-batch: ";
// Larger pictures are a mistake (a map of millions of cells), not a figure.
constexpr double kMostPixels = 1e8;

void PrintLines(std::ostream& err, const std::string& text) {
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    err << kMe << text.substr(start, end - start) << '\n';
  err << kMe << text.substr(start) << '\n';
}

int StoppedStatus(std::ostream& err) {
  if (const int signal = StopSignal()) return 128 + signal;
  err << kMe << "cannot write the output: " << std::strerror(errno ? errno : EIO) << '\n';
  return 1;
}

encounter::Map MakeMap(const MapCommandOptions& m, const std::vector<std::string>& args) {
  const BatchOptions& o = m.batch;
  encounter::Scenario scenario;
  scenario.test = o.test;
  for (const auto& [field, text] : o.sets) scenario.fields.emplace_back(NameOfField(field), text);
  if (o.unit_au) scenario.unit = *o.unit_au ? encounter::Unit::kAU : encounter::Unit::kKm;
  encounter::MapOptions options;
  encounter::SeriesOptions& s = options.series;
  s.integrator = o.integrator;
  s.crosscheck = o.crosscheck;
  s.lanes = o.lanes;
  s.jobs = o.jobs;
  s.shard = o.shard;
  s.shards = o.shards;
  s.max_steps = o.max_steps;
  s.energy = o.energy;
  s.full = o.full;
  s.command_line = args;
  s.command_line.insert(s.command_line.begin(), "map");
  options.refine = m.refine;
  return encounter::Map(scenario, {m.y_name, m.y_from, m.y_to, m.y_count, m.y_log}, options);
}

// The files of a map, each under a temporary name until the map is complete.
struct MapFiles {
  ReplacingFile output, png, svg, meta;
  std::ofstream output_stream;

  bool Open(const MapCommandOptions& m, std::ostream& err) {
    std::string error;
    const std::pair<const std::optional<std::string>*, ReplacingFile*> files[] = {
        {&m.batch.output, &output}, {&m.map_png, &png}, {&m.map_svg, &svg}, {&m.batch.meta, &meta}};
    for (const auto& [name, file] : files) {
      if (*name && !file->Open(**name, &error)) {
        err << kMe << error << '\n';
        return false;
      }
    }
    if (m.batch.output) output_stream.open(output.TempName(), std::ios::binary | std::ios::trunc);
    return true;
  }

  // Writes the pictures and the record, then lets every file appear.
  int Commit(const MapCommandOptions& m, const encounter::Map& map, const MapGrid& grid,
             const encounter::MapSummary& summary, std::ostream& err) {
    const MapColouring colouring = m.colour_ratio ? MapColouring::kRatio : MapColouring::kEnd;
    auto written = [&](ReplacingFile& file, const std::string& data) {
      if (!data.empty() && file.Write(data)) return true;
      err << kMe << "cannot write " << Echo(file.TempName()) << ": "
          << (data.empty() ? "the picture cannot be encoded" : std::strerror(errno)) << '\n';
      return false;
    };
    if (m.map_png) {
      const MapImage image = PaintMap(grid, colouring);
      if (!written(png, EncodeRgbPng(image.width, image.height, image.rgb))) return 2;
    }
    const std::string scenario = m.batch.test.value_or("0");
    if (m.map_svg &&
        !written(svg, MapSvg(grid, colouring, MapLabelsOf(map, scenario, m.y_log, m.colour_ratio))))
      return 2;
    if (m.batch.meta && !written(meta, summary.record_json)) return 2;
    if (m.batch.output) {
      output_stream.close();
      if (!output_stream) {
        err << kMe << "cannot write " << Echo(*m.batch.output) << '\n';
        return 1;
      }
    }
    std::string error;
    for (ReplacingFile* file : {&output, &png, &svg, &meta}) {
      if (file->IsOpen() && !file->Commit(&error)) {
        err << kMe << error << '\n';
        return file == &output ? 1 : 2;
      }
    }
    return 0;
  }
};

// The map's cells to the CSV as they come, and into the grid of the pictures.
std::optional<encounter::MapSummary> RunCells(const MapCommandOptions& m, encounter::Map& map,
                                               std::ostream& csv, MapGrid& grid,
                                               std::ostream& err, int* status) {
  bool write_failed = false, header_written = false;
  ProgressCounters counters(1);
  try {
    ProgressLine progress(counters, map.cells(), m.batch.quiet);
    auto on_cell = [&](const encounter::MapCell& cell) {
      csv << (header_written ? "" : map.first_lines()) << cell.row.csv;
      csv.flush();
      header_written = true;
      if (!csv) write_failed = true;
      if (!grid.outcome.empty()) {
        const encounter::Row& r = cell.row;
        grid.Set(cell.y_index, r.test, encounter::EndName(r.end), r.v3_red, r.ratio ? &*r.ratio : nullptr);
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
    PrintLines(err, e.what());
    *status = 2;
  } catch (const encounter::Stopped&) {
    if (write_failed) RequestStopForWriteError();
    *status = StoppedStatus(err);
  }
  return std::nullopt;
}

}  // namespace

int RunMapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto options = ParseMapOptions(args, &error);
  if (!options) {
    err << kMe << "map: " << error << '\n';
    return 2;
  }
  const MapCommandOptions& m = *options;
  if (m.help) {
    out << kMapHelp;
    out.flush();
    return out ? 0 : StoppedStatus(err);
  }
  std::optional<encounter::Map> map;
  try {
    map.emplace(MakeMap(m, args));
  } catch (const encounter::InputError& e) {
    PrintLines(err, e.what());
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
  MapFiles files;
  if (!files.Open(m, err)) return 2;
  std::ostream& csv = m.batch.output ? static_cast<std::ostream&>(files.output_stream) : out;
  if (!csv) return StoppedStatus(err);
  for (const std::string& w : map->setup_warnings()) err << kMe << "warning: " << w << '\n';

  int status = 0;
  const auto summary = RunCells(m, *map, csv, grid, err, &status);
  if (!summary) return status;
  if ((status = files.Commit(m, *map, grid, *summary, err)) != 0) return status;
  if (m.batch.crosscheck) err << kMe << summary->crosscheck << '\n';
  if (m.refine > 0)
    err << kMe << "refined: " << summary->computed << " of " << summary->cells_in_map
        << " cells computed\n";
  if (m.summary) err << MapSummaryTable(*map, *summary);
  const std::size_t warnings = summary->warnings.size();
  if (warnings > 0) err << kMe << warnings << (warnings == 1 ? " warning" : " warnings") << '\n';
  return 0;
}

}  // namespace lab
