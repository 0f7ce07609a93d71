// Running a series: the encounter repeated for each start angle of the
// scenario, each test integrated and classified as the desktop program does
// it, the results handed back as typed rows in series order. The rows, their
// CSV lines and the record are exactly those of `encounter-batch` for the
// same scenario and options, whatever the number of threads and lanes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "encounter/end.h"
#include "encounter/errors.h"
#include "encounter/scenario.h"

namespace encounter {

struct SeriesOptions {
  // "euler-sums": the windows' fixed step; "gauss-radau" (the faster) or
  // "bulirsch-stoer": accurate adaptive methods with events located in
  // continuous time.
  std::string integrator = "euler-sums";
  bool crosscheck = false;  // every test also under gauss-radau, compared
  int lanes = 0;            // tests side by side per thread: 1, 2, 4, 8; 0: fastest
  int jobs = 0;             // threads; 0: one per core
  int shard = 0, shards = 0;  // run the shard-th of shards interleaved parts
  // Next is pressed at the first display step at which a test has run this
  // many steps (0: no limit).
  std::int64_t max_steps = 50000000;
  bool energy = false;   // fill Row::energy_err and its column
  bool full = false;     // add the unrounded values' columns
  bool picture = false;  // keep the drawing: Summary::picture and png
  // The drawing area of the Trajectory Display the picture is drawn in
  // (pixels); 0: the window's first size, 312 x 286. The views scale with it.
  int picture_width = 0, picture_height = 0;
  // The command line the record names; empty: the encounter-batch
  // arguments that run this series.
  std::vector<std::string> command_line;
};

// The same test under the accurate method (with crosscheck).
struct CrossCheck {
  End end = End::kNone;
  bool v3_red = false;
  bool best = false;                 // the best test so far under that method
  std::optional<double> ratio;       // when it could have been best
  std::optional<double> ratio_diff;  // (ratio - its ratio) / its ratio
};

// A test whose total energy changed by more than this fraction of itself
// (|Row::energy_err| above it) is not to be trusted: the run warns of it.
inline constexpr double kEnergyChangeLimit = 0.01;

struct Row {
  std::int64_t test = 0;  // index of the test in the series
  // The texts of the Data Display's row 1 as numbers: angle (degrees),
  // speeds (km/s, cut to 3 decimals), distances (AU cut to 2 decimals, or km).
  double alpha = 0, v1 = 0, v2 = 0, v3 = 0, vesc = 0, r3 = 0, rmin = 0;
  std::string vesc_heading;  // "Vesc #1", "Vesc #2" or "Vesc #3"
  bool v3_red = false;       // body 3 ended faster than its escape speed
  std::int64_t steps = 0;
  End end = End::kNone;
  bool best = false;  // the best so far: its ratio below every earlier test's
  // Speed / escape speed of the body the best rule compares, for tests that
  // could be the best.
  std::optional<double> ratio;
  int ratio_body = 0;  // whose speed ratio divides: 1 or 2 (0 without a ratio)
  std::optional<double> energy_err;  // relative change of the total energy
  // The total energy changed by more than 1 %: the run warned that this
  // test's result should not be trusted.
  bool untrusted = false;
  // Unrounded: end time (s), speeds (km/s), escape speed shown (km/s),
  // distances (km), whose escape speed (1, 2 or 3).
  double t_s = 0, v1_kms = 0, v2_kms = 0, v3_kms = 0, vesc_kms = 0, r3_km = 0, rmin_km = 0;
  int vesc_body = 0;
  std::optional<CrossCheck> cross;  // with crosscheck; none if its run failed
  bool differs = false;             // with crosscheck: the methods disagree
  std::string csv;                  // the CSV line, with its line feed
};

struct Progress {
  std::int64_t tests_done = 0, tests_total = 0;
  std::int64_t steps = 0;  // integrated so far, running tests included
};

// The drawing of the Trajectory Display at the end of the series.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
};

// What a shard's first and last lines say: which part it is, how many rows
// it must hold, and the checksum of everything above its last line.
struct ShardFrame {
  int shard = 0, shards = 0;         // the shard-th of shards
  std::int64_t tests = 0;            // rows the shard holds
  std::int64_t tests_in_series = 0;  // of the whole series (or map), all shards
  std::string version;               // of the program that wrote it
  std::uint32_t crc32 = 0;           // CRC-32 (as gzip) of every byte above the last line
};

struct Summary {
  std::int64_t tests = 0;            // rows handed out
  std::int64_t tests_in_series = 0;  // of the whole series, all shards
  std::vector<std::string> warnings;  // set-up warnings, then untrusted tests and caveats
  std::int64_t untrusted = 0;         // tests whose result should not be trusted
  // Tests whose motion leaves Newtonian gravity (a body faster than a tenth
  // of the speed of light): the model's answer, among the warnings, not
  // counted as untrusted.
  std::int64_t caveats = 0;
  // With crosscheck: the rows compared, and those whose outcome differs.
  std::int64_t cross_rows = 0, cross_differing = 0;
  std::optional<ShardFrame> frame;  // when sharded
  std::string series_id;
  std::string record_json;  // the record encounter-batch --meta writes
  // The same as texts, as the command line prints them: the shard's first
  // line (when sharded) and the header; the shard's last line; the counts
  // of the cross-check in words.
  std::string first_lines, last_lines, crosscheck;
  std::optional<Picture> picture;  // with picture
  std::string png;                 // with picture: the PNG file's bytes
};

using RowCallback = std::function<void(const Row&)>;
using ProgressCallback = std::function<void(const Progress&)>;
using StopCallback = std::function<bool()>;
using WarningCallback = std::function<void(const std::string&)>;

// Whether a warning is a caveat (the physics beyond the model) rather than a
// set-up warning or an untrusted test.
bool IsCaveat(const std::string& warning);

// A series set up and checked, ready to run once. Construction does what a
// user does before Start (loads the scenario, types the fields, chooses the
// unit) and throws InputError for what the series cannot run with.
class Series {
 public:
  Series(const Scenario& scenario, const SeriesOptions& options);
  ~Series();
  Series(Series&&) noexcept;
  Series& operator=(Series&&) noexcept;

  // Field texts that will not be read as they look, and the like.
  const std::vector<std::string>& setup_warnings() const;
  std::int64_t tests() const;  // this run (this shard) will hand out
  std::int64_t tests_in_series() const;
  int threads() const;
  const std::string& header() const;       // the CSV column names
  const std::string& first_lines() const;  // what precedes the first row
  const std::string& series_id() const;

  // Runs the tests. on_row gets each finished test in series order, on the
  // calling thread; on_progress is called a few times a second from another
  // thread; stop is polled from every thread, and a true answer stops the
  // series within a display step (Stopped is thrown); on_warning gets each
  // untrusted test and each caveat as it is found. Throws InputError for a test that could
  // not be set up or whose values stopped being finite.
  Summary Run(const RowCallback& on_row, const ProgressCallback& on_progress = {},
              const StopCallback& stop = {}, const WarningCallback& on_warning = {});

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Series(scenario, options).Run(...).
Summary RunSeries(const Scenario& scenario, const SeriesOptions& options,
                  const RowCallback& on_row, const ProgressCallback& on_progress = {},
                  const StopCallback& stop = {});

}  // namespace encounter
