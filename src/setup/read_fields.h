// Reading the Control Display fields into the state before a series.
#pragma once

#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

// Takes distances (with the unit "AU"), masses, angles, the time-step divisor
// and the unit option from the fields; for preset 0 derives the start distance
// of body 2 and the masses in kilograms.
void INIT1(SimState& s, DisplayPort& port);

}  // namespace lab
