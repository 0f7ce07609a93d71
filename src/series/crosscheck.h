// --integrator and --crosscheck: which method integrates the tests, and every
// test run with both methods from the same start, with the columns that tell
// where the fixed step's results differ from an accurate integration.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "series/series_port.h"
#include "simulation/cross_outcome.h"
#include "simulation/accurate_test.h"
#include "state/sim_state.h"

namespace lab {

std::optional<Integrator> IntegratorOfName(const std::string& name);

// One test at the angle alpha0 of s, through port, with the integrator; with
// cross, first the accurate method on a copy of the start, whose outcome the
// port's row then carries.
void RunSeriesTest(Integrator integrator, bool cross, std::int64_t max_steps, SimState& s,
                  SeriesPort& port);

}  // namespace lab
