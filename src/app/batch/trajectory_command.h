// `encounter-batch trajectory`: one test of a series followed from inside,
// its points as CSV.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lab {

// args: the arguments after "trajectory". Returns the exit status.
int RunTrajectoryCommand(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err);

extern const char* const kTrajectoryHelp;

}  // namespace lab
