// The constants of the simulation and the twenty built-in scenarios.
#pragma once

#include <string>
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

// Whether a number selects a scenario (compared exactly, as INIT0 does).
bool IsPreset(double testno);

// The scenario numbers as the fields write numbers, separated by blanks:
// "0 1 2 3 3.5 4 ...". Every text that names the scenarios takes them from here.
std::string PresetList();

// The regime the masses of the state give a series: "central mass" (body 0 at
// or above the threshold mbig), "heavy body 3" (the test body weighs a solar
// mass or more and rests) or "pair". Bodies are counted from 1, as the
// results name them.
const char* RegimeName(const SimState& s);

}  // namespace lab
