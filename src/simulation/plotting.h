// Marks the bodies' present positions on the Trajectory Display, so that the
// paths build up as dotted lines, in up to three views.
#pragma once

#include "simulation/encounter.h"
#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

void PlotBodies(const SimState& s, const Encounter& e, DisplayPort& port);

}  // namespace lab
