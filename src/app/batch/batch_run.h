// The batch runner: one series, run as a user at the windows would run it,
// with its results as CSV.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lab {

// Runs the command line args (without the program name); returns the exit status.
int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lab
