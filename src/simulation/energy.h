// The total energy of the bodies that carry mass: kinetic plus the potential
// of every pair, in kg km² / s², and their angular momentum about the
// origin. The change of either over a test tells how far the fixed time step
// can be trusted.
#pragma once

#include "state/sim_state.h"

namespace lab {

// At test start (start state) or now (present positions and velocities).
double TotalEnergy(const SimState& s, bool at_start);

// The same of bodies 0..2 given by their masses, positions and velocities.
double EnergyOf(double G, const double* m, const double* x, const double* y, const double* vx,
                const double* vy);
// Their angular momentum about the origin (kg km² / s).
double AngularMomentumOf(const double* m, const double* x, const double* y, const double* vx,
                         const double* vy);

}  // namespace lab
