// Running a series again from the record of a run (--meta FILE, then
// --rerun FILE): the record holds the arguments of the run; the series they
// give must be the one the record names.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lab {

struct RunPlan {
  std::vector<std::string> args;  // the arguments to run (after "map" for a map)
  std::string record;             // the record read, when --rerun was given
  std::string series;             // the series (or map) it names
  bool map = false;               // the run is a map
};

// The arguments as given (after "map" when map is true), or, with --rerun
// RECORD, the record's arguments without its files (--output, --meta, --png;
// a map's --map-png, --map-svg) followed by those given without --rerun; a
// record of a map makes the run a map. Nothing, with a one-line reason in
// *error, for a record that cannot be read, of another program or version,
// of a series when a map is asked for, holding an option that runs no series
// or map (--help, --version, ...), or for an option added that would change
// the results.
std::optional<RunPlan> PlanRun(const std::vector<std::string>& args, bool map, std::string* error);

// Why the series the arguments gave cannot be the record's, or "" when it is.
std::string SeriesRefusal(const RunPlan& plan, const std::string& series);

}  // namespace lab
