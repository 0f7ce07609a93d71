// The total energy of the bodies that carry mass: kinetic plus the potential
// of every pair, in kg km² / s². Its change over a test tells how far the
// fixed time step can be trusted.
#pragma once

#include "state/sim_state.h"

namespace lab {

// At test start (start state) or now (present positions and velocities).
double TotalEnergy(const SimState& s, bool at_start);

}  // namespace lab
