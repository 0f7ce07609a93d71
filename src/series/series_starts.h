// The start state of each test of a series. The series prepares them one
// after another: between two tests it changes only what the test set-up
// changes and the angle, so each test's start is the previous one after a
// set-up and one step of the angle.
#pragma once

#include "control/headless_port.h"
#include "series/run_series.h"
#include "state/sim_state.h"

namespace lab {

// Sets up the test at next.alpha0 and steps the angle: next becomes the
// state the series has when its following test begins. False when the
// set-up was refused (the port was told why); next is then unchanged.
bool PrepareNextStart(SimState& next, DisplayPort& port);

// The state of the request's series after its run start (the fields read,
// the drawing cleared), from which the first test is prepared.
SimState SeriesBase(const SeriesRequest& request);

}  // namespace lab
