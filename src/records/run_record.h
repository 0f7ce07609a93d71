// The record a run leaves beside its CSV (--meta): what was run, on which
// fields, by which version, where and when; and the series id that names a
// series for merging its shards.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "port/display_port.h"
#include "state/sim_state.h"

namespace lab {

// Names the series: every field text the series uses, the unit, the step
// limit, the columns (header), the integrator, the cross-check's method and
// the program version (FNV-1a, 64 bits, as 16 hex digits). The fixed-step method adds nothing,
// so that series ids of earlier versions keep their form.
std::string SeriesId(const std::array<std::string, kControlFields>& fields, bool au,
                     std::int64_t max_steps, const std::string& integrator, bool crosscheck,
                     const std::string& header);

// The id of a run named by the text key: its hash (FNV-1a, 64 bits) as 16
// hex digits. The series id and the map id both are one.
std::string IdOfKey(const std::string& key);

// The physical set-up of a series as its first test has it once set up:
// what a methods section states beside the fields' texts.
struct PhysicalSetUp {
  double escape = 0;        // start speed of body 3, as a fraction of its escape speed
  double absorption = 0;    // absorption distance of the pairs with the heaviest body (km)
  double absorption_other = 0;  // of the pair of the other two bodies (km)
  int passages = 0;         // closest approaches that end a central-mass test
  double vlimit = 0;        // the limit speed behind the absorption distance (km/s)
  int nstars = 0;           // bodies at the start of a test
};
PhysicalSetUp SetUpOfState(const SimState& started);

struct RunRecord {
  std::vector<std::string> args;  // the command line, without the program name
  std::array<std::string, kControlFields> fields;  // as the first test used them
  bool au = false;
  std::string scenario, series, header, start_time, integrator;
  bool crosscheck = false;
  std::int64_t max_steps = 0;
  std::int64_t series_tests = 0, tests = 0, written = 0;  // tests: of this run (or shard)
  int jobs = 0, warnings = 0;
  // Tests whose energy changed by more than the limit; none where the run
  // did not follow the energy (the windows), so unknown rather than zero.
  std::optional<std::int64_t> untrusted = 0;
  int shard = 0, shards = 0;
  // Further members, each written as ",\n  \"name\": value" (a map's axis).
  std::string more_json;
  std::optional<PhysicalSetUp> setup;  // a series' own
  std::int64_t last_steps = 0;         // steps of the last test written ("cond")
};

// The JSON text of the record, ending the run now.
std::string RunRecordJson(const RunRecord& m);

// The present time, UTC, as 2026-01-31T12:00:00Z.
std::string UtcNow();

}  // namespace lab
