// The run loop's tables for one series: pair geometry of the last step, the
// accelerations and their running sums.
#pragma once

#include "state/sim_state.h"

namespace lab {

struct PairTables {
  double R2[kSlots][kSlots]{};  // squared distance of bodies i and j (km²)
  double DX[kSlots][kSlots]{};  // x(j) - x(i) (km)
  double DY[kSlots][kSlots]{};  // y(j) - y(i) (km)
  double AX[kSlots]{}, AY[kSlots]{};    // acceleration of this step (km/s²)
  double S1X[kSlots]{}, S1Y[kSlots]{};  // sum of the accelerations of all steps
  double S2X[kSlots]{}, S2Y[kSlots]{};  // sum of S1X, S1Y over all steps
};

}  // namespace lab
