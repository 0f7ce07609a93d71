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
#include "encounter/series.h"
#include "series/parallel_series.h"
#include "simulation/pixel_layer.h"
#include "setup/series_checks.h"
#include "series/stop.h"
#include "simulation/test_row.h"
#include "simulation/accurate_test.h"
#include "simulation/cross_outcome.h"
#include "records/csv.h"

namespace lab {

struct RunRecord;
class SeriesPort;

// A series as asked: the public options (whose command_line the record names;
// empty: the arguments that run it) and the scenario as the fields take it.
struct SeriesRequest : encounter::SeriesOptions {
  std::optional<std::string> test;                // text typed into "test"
  std::vector<std::pair<int, std::string>> sets;  // field index, text, in order
  std::optional<bool> unit_au;                    // the unit option, when chosen
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
  // A test whose motion leaves what Newtonian gravity describes (SpeedCaveat):
  // its numbers are the model's, the model is not the sky's. In series order.
  std::function<void(const std::string& text)> caveat;
  // Tests finished and steps integrated so far, a few times a second, from
  // a thread of the engine's own.
  std::function<void(std::int64_t tests_done, std::int64_t steps)> progress;
};

struct SeriesResult {
  bool stopped = false;      // a stop was asked: rows may be missing
  std::int64_t written = 0;  // rows handed out
  int warnings = 0;          // set-up warnings, untrusted tests and caveats
  std::string last_lines;    // what follows the last row (the shard's last line)
  std::uint32_t crc32 = 0;   // a shard's checksum, as its last line gives it
  std::string record_json;   // the record of the run
  PixelLayer picture;        // with request.picture
  std::int64_t trust_warnings = 0;  // untrusted tests (each one of the warnings)
  std::int64_t caveats = 0;         // tests beyond the model (SpeedCaveat)
  std::int64_t last_steps = 0;      // steps of the last row handed out
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
  int lanes() const { return lanes_; }
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
  SimState started_;  // the first test once set up
  SeriesAngles angles_{};
};

// How the request's tests run on the workers: the step limit, and the lanes
// (the fixed step alone) or each test's integrator and cross-check.
ParallelSettings SettingsOfRequest(const SeriesRequest& r, int lanes);

// A series without a picture as far as the set-up of its first test shows
// it, its tests not counted: the warnings about its texts, why it cannot run
// (or ""), and its id (header: its CSV header).
struct SeriesIdentity {
  std::vector<std::string> warnings;
  std::string refusal;
  std::string id;
};
SeriesIdentity IdentifySeries(const SeriesRequest& r, const std::string& header);

// A series' rows as they come, in series order: best by row 2's rule among
// them, the cross-check tallied, and the energy checked.
class RowJudge {
 public:
  explicit RowJudge(bool crosscheck) : crosscheck_(crosscheck) {}
  // Decides row.best; returns the warning for a test whose total energy
  // changed by more than 1 % (tdfact: the text of "t d fact"), or "".
  std::string Take(TestRow& row, const std::string& tdfact);
  const CrossTally& tally() const { return tally_; }

 private:
  bool crosscheck_;
  BestSoFar best_;
  CrossTally tally_;
};

// The speed of light (km/s), exact by the metre's definition.
inline constexpr double kLightSpeed = 299792.458;

// Gravity as Newton has it holds while the bodies move slowly beside light;
// from a tenth of its speed on, the corrections of relativity (of order
// (v/c)^2 and more near a close approach) exceed a per cent. The warning for
// a test that ends with a body faster than that (the speeds its row gives,
// km/s), named by its start angle as its row shows it; "" otherwise. Only
// the bodies that still have mass count (massive): an absorbed body's last
// speed is that of the step that carried it inside the absorption distance,
// where its motion ends, off by up to tens of percent.
std::string SpeedCaveat(const std::string& alpha_text, const std::array<double, 3>& speeds,
                        const std::array<bool, 3>& massive);
// Whether a warning is one SpeedCaveat wrote.
bool IsSpeedCaveat(const std::string& warning);

// The fields as a user leaves them before Start: the scenario loaded, the
// texts typed, the unit chosen.
void LoadAsUser(const SeriesRequest& r, SimState& s, HeadlessPort& port);

// The command-line arguments that run the request's series again.
std::vector<std::string> ArgsOfRequest(const SeriesRequest& request);

// What a run's record states besides its request.
struct RunFacts {
  std::array<std::string, kControlFields> fields;  // as the first test used them
  bool au = false;
  std::string id, header, start_time;
  std::int64_t series_tests = 0, tests = 0, written = 0;
  int jobs = 0, warnings = 0;
  std::int64_t untrusted = 0;  // tests whose energy changed by more than the limit
};

// The record of a run of the request; args: the arguments that run it
// again, for a request that names none of its own.
RunRecord RecordOfRun(const SeriesRequest& r, const RunFacts& facts, std::vector<std::string> args);

// The tests of shard K of N of so many (all of them without shards): every
// N-th from the K-th.
std::int64_t TestsOfShard(std::int64_t tests, int shard, int shards);

}  // namespace lab
