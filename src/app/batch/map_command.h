// `encounter-batch map`: the outcome over the start angle and one more field.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/batch/rerun.h"

namespace lab {

// args: the arguments after "map". Returns the exit status.
int RunMapCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The map of a plan (its arguments, or a record's with --rerun).
int RunMapPlan(const RunPlan& plan, std::ostream& out, std::ostream& err);

}  // namespace lab
