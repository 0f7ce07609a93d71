// One series without windows, from the scenario and the field texts to rows
// in series order: the engine under every face (the command line, the
// library, the Python module). It does what a user at the windows does
// (load the scenario, type the fields, choose the unit, press Start, press
// Next in every pause) on as many threads and lanes as asked, and hands out
// each finished test as a typed row and its CSV line.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/headless_port.h"
#include "simulation/pixel_layer.h"
#include "setup/series_checks.h"
#include "series/stop.h"
#include "simulation/test_row.h"
#include "simulation/accurate_test.h"

namespace lab {

struct RunRecord;
class SeriesPort;

struct SeriesRequest {
  std::optional<std::string> test;                // text typed into "test"
  std::vector<std::pair<int, std::string>> sets;  // field index, text, in order
  std::optional<bool> unit_au;                    // the unit option, when chosen
  std::int64_t max_steps = 50000000;              // 0: no limit
  int jobs = 0;                                   // 0: one per core
  int lanes = 0;                                  // 1, 2 or 4; 0: the widest
  int shard = 0, shards = 0;                      // 0: the whole series
  bool energy = false, full = false, crosscheck = false;
  bool picture = false;  // keep the drawing of the series
  int picture_width = 0, picture_height = 0;  // its pixels; 0: the window's first size
  std::string integrator = kEulerSumsName;
  std::vector<std::string> args;  // the command line, for the record
  // Only these tests of the series (ascending indices, not with a shard):
  // every start state is still prepared in series order, so each test runs
  // exactly as in the whole series; best is decided among these alone.
  std::optional<std::vector<std::int64_t>> only;
  // Runs each test in place of the integrator's own runner (a trajectory
  // follows its test so): s is the test's start as the series prepares it.
  std::function<void(SimState& s, SeriesPort& port)> run_test;
};

// Input the series cannot run with: the message says why, in one line per
// fault, as the command line prints it.
struct RefusedInput : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct SeriesEvents {
  // Each finished test, in series order: its index, its row (best decided)
  // and its CSV line. On the thread that called Run.
  std::function<void(std::int64_t test, const TestRow& row, const std::string& line)> row;
  // A test whose result should not be trusted, as it is found, in series order.
  std::function<void(const std::string& text)> warning;
  // Tests finished and steps integrated so far, a few times a second, from
  // a thread of the engine's own.
  std::function<void(std::int64_t tests_done, std::int64_t steps)> progress;
};

struct SeriesResult {
  bool stopped = false;      // a stop was asked: rows may be missing
  std::int64_t written = 0;  // rows handed out
  int warnings = 0;          // set-up warnings and untrusted tests
  std::string last_lines;    // what follows the last row (the shard's last line)
  std::string record_json;   // the record of the run
  PixelLayer picture;        // with request.picture
  std::int64_t trust_warnings = 0;
  std::int64_t cross_differing = 0, cross_rows = 0;  // with crosscheck
  std::string cross_summary;                         // with crosscheck
};

class PreparedSeries {
 public:
  // Reads the scenario into the fields as a user would; throws RefusedInput.
  explicit PreparedSeries(SeriesRequest request);
  ~PreparedSeries();
  PreparedSeries(const PreparedSeries&) = delete;
  PreparedSeries& operator=(const PreparedSeries&) = delete;

  const SeriesRequest& request() const { return request_; }
  const std::vector<std::string>& setup_warnings() const { return warnings_; }
  std::int64_t series_tests() const { return series_tests_; }
  std::int64_t tests() const { return tests_; }  // of this shard
  int jobs() const { return jobs_; }
  const std::string& header() const { return header_; }
  // The lines before the first row: the shard's first line and the header.
  const std::string& first_lines() const { return first_lines_; }
  const std::string& id() const { return id_; }
  const std::array<std::string, kControlFields>& fields() const { return fields_; }
  bool au() const { return au_; }
  // The start angle of every test of the series, as the run loop steps it.
  std::vector<double> TestAngles() const;

  // Runs the series once; throws RefusedInput when a test could not be set
  // up or ended without finite values (after the rows before it).
  SeriesResult Run(const SeriesEvents& events, const RunStop& stop);

 private:
  struct Engine;
  RunRecord RecordOf(const SeriesResult& result) const;
  using TakeRow = std::function<void(std::int64_t test, TestRow row)>;
  std::vector<std::string> RunTests(const TakeRow& take_row, const SeriesEvents& events,
                                    const RunStop& stop);
  SeriesRequest request_;
  std::unique_ptr<Engine> engine_;
  std::vector<std::string> warnings_;
  std::int64_t series_tests_ = 0, tests_ = 0;
  int jobs_ = 1, lanes_ = 1;
  std::string header_, first_lines_, id_, start_time_;
  std::array<std::string, kControlFields> fields_;
  bool au_ = false;
  SeriesAngles angles_{};
};

// The fields as a user leaves them before Start: the scenario loaded, the
// texts typed, the unit chosen.
void LoadAsUser(const SeriesRequest& r, SimState& s, HeadlessPort& port);

// The command-line arguments that run the request's series again.
std::vector<std::string> ArgsOfRequest(const SeriesRequest& request);

}  // namespace lab
