// The semi-implicit Euler method written as sums over the whole test: each
// step adds the accelerations to a running sum S1 and S1 to a running sum S2,
// and recomputes positions and velocities from the start state and the sums.
#pragma once

#include "simulation/pair_tables.h"
#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

// Test start: sums to zero and the pair geometry of the start state.
void StartPairTables(const SimState& s, PairTables& t);

// One advance of bodies 0..nstars: forces from the last geometry, motion,
// then the new geometry, in which body 2 and a partner that came within
// their absorption distance are joined.
void AdvanceBodies(SimState& s, PairTables& t, DisplayPort& port);

}  // namespace lab
