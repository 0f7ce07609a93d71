#include "simulation/integrator.h"

#include <cmath>

#include "setup/number_text.h"
#include "simulation/encounter.h"

namespace lab {

void StartPairTables(const SimState& s, PairTables& t) {
  for (int i = 0; i <= s.nstars; ++i) {
    for (int j = 0; j <= s.nstars; ++j) {
      if (i == j) continue;
      t.DX[i][j] = s.x0[j] - s.x0[i];
      t.DY[i][j] = s.y0[j] - s.y0[i];
      t.R2[i][j] = t.DX[i][j] * t.DX[i][j] + t.DY[i][j] * t.DY[i][j];
    }
  }
  for (int i = 0; i <= s.nstars; ++i) t.S1X[i] = t.S1Y[i] = t.S2X[i] = t.S2Y[i] = 0;
}

namespace {

// Accelerations from the geometry of the previous step. A partner without
// mass pulls nothing and is skipped (also where it sits on another body).
void Forces(const SimState& s, PairTables& t) {
  for (int i = 0; i <= s.nstars; ++i) {
    if (!(s.m[i] >= 0)) continue;
    double ax = 0;
    double ay = 0;
    for (int j = 0; j <= s.nstars; ++j) {
      if (j == i || !(s.m[j] > 0)) continue;
      const double q = (s.m[j] * s.G) / t.R2[i][j];
      const double r = std::sqrt(t.R2[i][j]);
      ax = ax + (t.DX[i][j] * q) / r;
      ay = ay + (t.DY[i][j] * q) / r;
    }
    t.AX[i] = ax;
    t.AY[i] = ay;
    t.S1X[i] += ax;
    t.S1Y[i] += ay;
    t.S2X[i] += t.S1X[i];
    t.S2Y[i] += t.S1Y[i];
  }
}

void Motion(SimState& s, const PairTables& t) {
  const double n = static_cast<double>(s.tcnt);
  for (int i = 0; i <= s.nstars; ++i) {
    if (!(s.m[i] > 0)) continue;
    s.x[i] = s.x0[i] + s.tdelta * (n * s.vx0[i] + s.tdelta * t.S2X[i]);
    s.y[i] = s.y0[i] + s.tdelta * (n * s.vy0[i] + s.tdelta * t.S2Y[i]);
    s.vxcur[i] = s.vx[i] + s.tdelta * t.S1X[i];
    s.vycur[i] = s.vy[i] + s.tdelta * t.S1Y[i];
    s.v[i] = std::sqrt(s.vxcur[i] * s.vxcur[i] + s.vycur[i] * s.vycur[i]);
  }
}

// Body 2 and its partner meet: the lighter one (j on equal masses) loses its
// mass, which is not added to the other; both keep position and velocity.
void Absorb(SimState& s, DisplayPort& port, int i, int j, double r2) {
  s.nalive = s.nalive - 1;
  port.SetFieldText(6, NumberText(s.nalive));
  if (s.m[i] < s.m[j]) {
    s.m[i] = 0;
  } else {
    s.m[j] = 0;
  }
  AbsorptionMinimum(s, i, j, r2);
}

// Ordered pairs, i outer and j inner. A body absorbed in this pass is skipped
// as a partner from then on, while a body i absorbed among its own pairs
// still completes them. Pairs without body 2 are never joined.
void Geometry(SimState& s, PairTables& t, DisplayPort& port) {
  for (int i = 0; i <= s.nstars; ++i) {
    if (!(s.m[i] > 0)) continue;
    for (int j = 0; j <= s.nstars; ++j) {
      if (j == i || !(s.m[j] > 0)) continue;
      const double dx = s.x[j] - s.x[i];
      const double dy = s.y[j] - s.y[i];
      const double r2 = dx * dx + dy * dy;
      t.DX[i][j] = dx;
      t.DY[i][j] = dy;
      t.R2[i][j] = r2;
      if ((i == 2 || j == 2) && i < 3 && j < 3 && r2 < s.rr2limit[i][j]) Absorb(s, port, i, j, r2);
    }
  }
}

}  // namespace

void AdvanceBodies(SimState& s, PairTables& t, DisplayPort& port) {
  Forces(s, t);
  Motion(s, t);
  Geometry(s, t, port);
}

}  // namespace lab
