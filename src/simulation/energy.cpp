#include "simulation/energy.h"

#include <cmath>

namespace lab {

double TotalEnergy(const SimState& s, bool at_start) {
  const double* x = at_start ? s.x0 : s.x;
  const double* y = at_start ? s.y0 : s.y;
  const double* vx = at_start ? s.vx0 : s.vxcur;
  const double* vy = at_start ? s.vy0 : s.vycur;
  double energy = 0;
  for (int i = 0; i < 3; ++i) {
    if (!(s.m[i] > 0)) continue;
    energy += 0.5 * s.m[i] * (vx[i] * vx[i] + vy[i] * vy[i]);
    for (int j = i + 1; j < 3; ++j) {
      if (!(s.m[j] > 0)) continue;
      energy -= s.G * s.m[i] * s.m[j] / std::hypot(x[j] - x[i], y[j] - y[i]);
    }
  }
  return energy;
}

}  // namespace lab
