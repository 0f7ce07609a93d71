// Where the views of the Trajectory Display lie and how many twips a
// kilometre spans, from the window's present size and the start distance.
#pragma once

#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

void SetViewGeometry(SimState& s, DisplayPort& port);

}  // namespace lab
