#include "ui/qt/map_run.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string_view>
#include <utility>

#include "records/columns.h"
#include "records/csv.h"
#include "simulation/test_row.h"

namespace lab {

MapRun::MapRun(const MapRequest& request)
    : request_(request), map_(request.scenario, request.axis, request.options) {
  warnings_ = map_.setup_warnings();
  worker_ = std::thread([this] { Work(); });
}

MapRun::~MapRun() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

void MapRun::Work() {
  std::optional<encounter::MapSummary> summary;
  std::string error;
  try {
    summary = map_.Run(
        [this](const encounter::MapCell& cell) {
          const std::lock_guard<std::mutex> hold(lock_);
          if (waiting_.empty()) first_waiting_ = std::chrono::steady_clock::now();
          waiting_.push_back(cell);
        },
        [this](const encounter::Progress& p) { tests_done_ = p.tests_done; },
        [this] { return stop_.load(); },
        [this](const std::string& w) {
          const std::lock_guard<std::mutex> hold(lock_);
          warnings_.push_back(w);
        });
  } catch (const encounter::Stopped&) {
  } catch (const std::exception& e) {
    error = e.what();
  }
  {
    const std::lock_guard<std::mutex> hold(lock_);
    summary_ = std::move(summary);
    error_ = std::move(error);
  }
  done_ = true;
}

std::int64_t MapRun::Take(MapCells& cells) {
  std::vector<encounter::MapCell> come;
  bool finished = false;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    come.swap(waiting_);
    if (!come.empty()) {
      const std::chrono::duration<double> wait = std::chrono::steady_clock::now() - first_waiting_;
      longest_wait_ = std::max(longest_wait_, wait.count());
    }
    finished = done_ && !finished_taken_;
    if (finished) finished_taken_ = true;
  }
  if (cells.grid.outcome.empty()) {
    cells.grid.Resize(map_.rows(), map_.columns());
    cells.lines.assign(static_cast<std::size_t>(map_.rows() * map_.columns()), std::string());
    cells.csv = map_.first_lines();
    cells.header = map_.header();
  }
  for (const encounter::MapCell& cell : come) {
    const encounter::Row& r = cell.row;
    cells.grid.Set(cell.y_index, r.test, encounter::EndName(r.end), r.v3_red,
                   r.ratio ? &*r.ratio : nullptr, r.untrusted);
    cells.lines[static_cast<std::size_t>(cell.index)] = r.csv.substr(0, r.csv.find('\n'));
    cells.csv += r.csv;
  }
  cells.taken += static_cast<std::int64_t>(come.size());
  if (finished && summary_) cells.csv += summary_->last_lines;
  return static_cast<std::int64_t>(come.size());
}

std::vector<std::string> MapRun::Warnings() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return warnings_;
}

}  // namespace lab

namespace lab {

namespace {

// A line's cells, each its own string.
std::vector<std::string> Cells(const std::string& line) {
  const std::vector<std::string_view> parts = SplitAt(line);
  return {parts.begin(), parts.end()};
}

int ColumnOf(const std::vector<std::string>& names, const std::string& name) {
  for (std::size_t k = 0; k < names.size(); ++k)
    if (names[k] == name) return static_cast<int>(k);
  return -1;
}

}  // namespace

bool MapCellsOfCsv(const std::string& text, MapCells* cells, std::vector<double>* ys,
                   std::vector<double>* xs, std::string* y_column) {
  std::istringstream in(text);
  std::string header;
  if (!std::getline(in, header)) return false;
  const std::vector<std::string> names = Cells(header);
  // A map's line: the y value, then a series' columns from the angle on.
  const std::vector<std::string_view> views(names.begin(), names.end());
  const ColumnPlaces places = PlacesIn(views);
  const int alpha = ColumnOf(names, "alpha"), end = places.end, red = places.v3_red,
            ratio = places.ratio, energy = ColumnOf(names, "energy_err");
  if (names.size() < 2 || alpha != 1 || end < 0 || red < 0 || ratio < 0) return false;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> lines;
  ys->clear();
  xs->clear();
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> parts = Cells(line);
    if (parts.size() != names.size()) return false;
    const double y = std::strtod(parts[0].c_str(), nullptr);
    if (ys->empty() || ys->back() != y) ys->push_back(y);
    if (ys->size() == 1) xs->push_back(std::strtod(parts[alpha].c_str(), nullptr));
    rows.push_back(parts);
    lines.push_back(line);
  }
  if (ys->empty() || rows.size() != ys->size() * xs->size()) return false;
  *y_column = names[0];
  cells->header = header;
  cells->csv = text;
  cells->lines = lines;
  cells->taken = static_cast<std::int64_t>(rows.size());
  cells->grid.Resize(static_cast<int>(ys->size()), static_cast<std::int64_t>(xs->size()));
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::string& r = rows[k][ratio];
    const double value = r.empty() ? 0 : std::strtod(r.c_str(), nullptr);
    std::optional<double> energy_err;
    if (energy >= 0 && !rows[k][energy].empty()) energy_err = std::strtod(rows[k][energy].c_str(), nullptr);
    cells->grid.Set(static_cast<int>(k / xs->size()), static_cast<std::int64_t>(k % xs->size()),
                    rows[k][end], rows[k][red] == "1", r.empty() ? nullptr : &value,
                    !EnergyTrusted(energy_err));
  }
  return true;
}

}  // namespace lab
