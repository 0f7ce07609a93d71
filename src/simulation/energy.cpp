#include "simulation/energy.h"

#include <cmath>

namespace lab {

double EnergyOf(double G, const double* m, const double* x, const double* y, const double* vx,
                const double* vy) {
  double energy = 0;
  for (int i = 0; i < 3; ++i) {
    if (!(m[i] > 0)) continue;
    energy += 0.5 * m[i] * (vx[i] * vx[i] + vy[i] * vy[i]);
    for (int j = i + 1; j < 3; ++j) {
      if (!(m[j] > 0)) continue;
      energy -= G * m[i] * m[j] / std::hypot(x[j] - x[i], y[j] - y[i]);
    }
  }
  return energy;
}

double AngularMomentumOf(const double* m, const double* x, const double* y, const double* vx,
                         const double* vy) {
  double l = 0;
  for (int i = 0; i < 3; ++i) {
    if (m[i] > 0) l += m[i] * (x[i] * vy[i] - y[i] * vx[i]);
  }
  return l;
}

double TotalEnergy(const SimState& s, bool at_start) {
  if (at_start) return EnergyOf(s.G, s.m, s.x0, s.y0, s.vx0, s.vy0);
  return EnergyOf(s.G, s.m, s.x, s.y, s.vxcur, s.vycur);
}

}  // namespace lab
