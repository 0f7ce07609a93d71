// One test of the series integrated accurately: the same set-up, end
// conditions and results as the fixed-step run loop, with the motion from
// AccurateMotion and the events of the encounter located in continuous time:
// an absorption at the moment the distance reaches the absorption distance,
// a closest approach at the true minimum of the distance, the escape and
// recession ends where the distance crosses its limit.
#pragma once

#include "simulation/integrator_bulirsch_stoer.h"
#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

// The integrators a test can run with.
enum class Integrator { kEulerSums, kBulirschStoer };
inline constexpr const char* kEulerSumsName = "euler-sums";
inline constexpr const char* kBulirschStoerName = "bulirsch-stoer";

// As RunOneTest: one test at the angle alpha0, from its set-up to its results,
// reported to the port. tcnt counts the accurate steps. False when the set-up
// was refused.
bool RunOneTestAccurate(SimState& s, DisplayPort& port, double tolerance = kAccurateTolerance);

// The same from a state already set up (INITIALISE or its equivalent).
void IntegrateTestAccurate(SimState& s, DisplayPort& port, double tolerance = kAccurateTolerance);

// The one with the integrator chosen.
bool RunOneTestWith(Integrator integrator, SimState& s, DisplayPort& port);

}  // namespace lab
