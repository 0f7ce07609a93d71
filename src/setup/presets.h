// The constants of the simulation and the twenty built-in scenarios.
#pragma once

#include <vector>

#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

// Puts the constants in place, loads the preset numbered testno (if any),
// converts the masses to kilograms and writes the scenario into the Control
// Display fields and the unit option.
void INIT0(SimState& s, DisplayPort& port);

// The numbers of the twenty scenarios, in the order they are looked up.
std::vector<double> PresetNumbers();

}  // namespace lab
