// The start state of one test: the pair on its circular orbit at the start
// angle, body 2 falling in, the time step and the absorption distances.
#pragma once

#include <optional>
#include <string>

#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

// Puts two bodies of masses ma, mb (kg) at separation d (km) on a circular
// orbit about their centre of mass. On entry pa, ua hold the position and
// velocity of the centre; on return pa, pb, ua, ub hold the two bodies'.
void PlaceCircularPair(double G, double ma, double mb, double d, double& pa, double& pb,
                       double& ua, double& ub);

// Sets up the test at angle alpha0. A set-up that would divide by zero, take
// the root of a negative number or produce a value that is not finite is
// refused: the state is left as it was, the port shows why, and the result
// is false.
bool INITIALISE(SimState& s, DisplayPort& port);

// Why the present parameters cannot start a test, naming the field at fault;
// nothing when they can.
std::optional<std::string> SetupFault(const SimState& s);

}  // namespace lab
