// A series of tests: each start angle is set up, integrated step by step
// until the encounter is over, and its results written; then the run halts.
#pragma once

#include "state/sim_state.h"
#include "ui/display_port.h"

namespace lab {

// Runs the series the fields describe. It never returns normally: a series
// ends in the halted wait, whose only way out is the end of the program.
[[noreturn]] void RunTests(SimState& s, DisplayPort& port);

}  // namespace lab
