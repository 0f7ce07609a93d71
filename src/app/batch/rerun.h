// Running a series again from the record of a run (--meta FILE, then
// --rerun FILE): the record holds the arguments of the run; the series they
// give must be the one the record names.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lab {

struct RunPlan {
  std::vector<std::string> args;  // the arguments to run
  std::string record;             // the record read, when --rerun was given
  std::string series;             // the series it names
};

// The arguments as given, or, with --rerun RECORD, the record's arguments
// without its files (--output, --meta, --png) followed by those given
// without --rerun. Nothing, with a one-line reason in *error, for a record
// that cannot be read, of another program or version, or for an option
// added that would change the series.
std::optional<RunPlan> PlanRun(const std::vector<std::string>& args, std::string* error);

// Why the series the arguments gave cannot be the record's, or "" when it is.
std::string SeriesRefusal(const RunPlan& plan, const std::string& series);

}  // namespace lab
