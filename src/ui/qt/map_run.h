// A map run behind the windows: the engine's own threads compute the cells
// while the windows stay live. A worker thread runs the map; each cell it
// hands out waits under a lock until the window takes it, at the window's
// own pace. What has come is kept whole: the cells as typed rows, the CSV
// as encounter-batch map prints it, the grid the pictures are painted from.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "encounter/map.h"
#include "records/map_picture.h"

namespace lab {

struct MapRequest {
  encounter::Scenario scenario;
  encounter::MapAxis axis;
  encounter::MapOptions options;
};

// What a map has given so far, on the window's side.
struct MapCells {
  MapGrid grid;
  std::string header;               // the CSV's column names
  std::vector<std::string> lines;   // by cell index, without the line feed; empty: not come
  std::string csv;                  // first lines, then one line per cell
  std::int64_t taken = 0;
};

class MapRun {
 public:
  // Sets up the map (throws encounter::InputError, naming what is wrong)
  // and starts it on a thread of its own.
  explicit MapRun(const MapRequest& request);
  ~MapRun();  // stops the map and waits for its thread
  MapRun(const MapRun&) = delete;
  MapRun& operator=(const MapRun&) = delete;

  const encounter::Map& Map() const { return map_; }
  const MapRequest& Request() const { return request_; }

  // The map ends at its next stop poll; the cells done are kept.
  void Stop() { stop_ = true; }
  bool Stopping() const { return stop_; }
  // The worker has ended: the map is complete, stopped or failed.
  bool Done() const { return done_; }

  // Moves the cells that have come since the last call into cells; returns
  // how many. Once Done, the last call also adds the CSV's last lines of a
  // complete map.
  std::int64_t Take(MapCells& cells);

  std::int64_t TestsDone() const { return tests_done_; }
  // The longest a cell has waited to be taken (seconds).
  double LongestWait() const { return longest_wait_; }
  // After Done: the summary of a complete map, or the error that ended it.
  const std::optional<encounter::MapSummary>& Summary() const { return summary_; }
  const std::string& Error() const { return error_; }
  std::vector<std::string> Warnings() const;

 private:
  void Work();

  MapRequest request_;
  encounter::Map map_;
  std::atomic<bool> stop_{false}, done_{false};
  std::atomic<std::int64_t> tests_done_{0};
  mutable std::mutex lock_;
  std::vector<encounter::MapCell> waiting_;
  std::chrono::steady_clock::time_point first_waiting_;  // since when waiting_ holds a cell
  double longest_wait_ = 0;
  std::vector<std::string> warnings_;
  bool finished_taken_ = false;
  std::optional<encounter::MapSummary> summary_;
  std::string error_;
  std::thread worker_;
};

}  // namespace lab

namespace lab {

// A map's CSV read back (as a kept map is reopened): the cells with their
// lines, the y values and angles in order. False when the text is not a
// map of whole rows.
bool MapCellsOfCsv(const std::string& text, MapCells* cells, std::vector<double>* ys,
                   std::vector<double>* xs, std::string* y_column);

}  // namespace lab
