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

// Three bodies, all with mass: the common case. The step is computed from
// values loaded once into registers and stored once at its end, with the x
// and y components side by side in one register. Every value goes through
// the same operations in the same order as in the passes above (each lane
// rounds alone, and the tables are symmetric: DX(j, i) = -DX(i, j) exactly,
// R2(j, i) = R2(i, j)), so the results are identical to the last bit.
using V2 = double __attribute__((vector_size(16)));

constexpr int kPairI[3] = {0, 0, 1};  // pairs (0, 1), (0, 2), (1, 2)
constexpr int kPairJ[3] = {1, 2, 2};

inline V2 Load(const double* x, const double* y, int i) { return V2{x[i], y[i]}; }
inline void Store(V2 v, double* x, double* y, int i) {
  x[i] = v[0];
  y[i] = v[1];
}
inline V2 Splat(double v) { return V2{v, v}; }

// False, with nothing stored, when body 2 came within an absorption distance:
// the caller then runs the passes above, which join the bodies in their order.
bool AdvanceThree(SimState& s, PairTables& t) {
  const double G = s.G, dt = s.tdelta, n = static_cast<double>(s.tcnt);
  const double m[3] = {s.m[0], s.m[1], s.m[2]};
  V2 s1[3], s2[3], a[3];

  // Forces from the last geometry: pair p pulls its first and second body.
  V2 on_i[3], on_j[3];
  for (int p = 0; p < 3; ++p) {
    const int i = kPairI[p], j = kPairJ[p];
    const double r2 = t.R2[i][j];
    const V2 q = V2{m[j] * G, m[i] * G} / Splat(r2);
    const V2 r = Splat(std::sqrt(r2));
    const V2 d = V2{t.DX[i][j], t.DY[i][j]};
    on_i[p] = (d * q[0]) / r;
    on_j[p] = -((d * q[1]) / r);
  }
  // Partners in ascending order: body 0 meets 1, 2; body 1 meets 0, 2; body 2 meets 0, 1.
  const V2 zero{0, 0};
  a[0] = (zero + on_i[0]) + on_i[1];
  a[1] = (zero + on_j[0]) + on_i[2];
  a[2] = (zero + on_j[1]) + on_j[2];

  // Motion from the start state and the two sums.
  V2 pos[3], vcur[3];
  double v[3];
  for (int i = 0; i < 3; ++i) {
    s1[i] = Load(t.S1X, t.S1Y, i) + a[i];
    s2[i] = Load(t.S2X, t.S2Y, i) + s1[i];
    pos[i] = Load(s.x0, s.y0, i) + Splat(dt) * (Splat(n) * Load(s.vx0, s.vy0, i) + Splat(dt) * s2[i]);
    vcur[i] = Load(s.vx, s.vy, i) + Splat(dt) * s1[i];
    const V2 sq = vcur[i] * vcur[i];
    v[i] = std::sqrt(sq[0] + sq[1]);
  }

  // The new geometry.
  V2 d[3];
  double r2[3];
  for (int p = 0; p < 3; ++p) {
    d[p] = pos[kPairJ[p]] - pos[kPairI[p]];
    const V2 sq = d[p] * d[p];
    r2[p] = sq[0] + sq[1];
  }
  if (r2[1] < s.rr2limit[0][2] || r2[2] < s.rr2limit[1][2] || r2[1] < s.rr2limit[2][0] ||
      r2[2] < s.rr2limit[2][1]) {
    return false;
  }

  for (int i = 0; i < 3; ++i) {
    Store(a[i], t.AX, t.AY, i);
    Store(s1[i], t.S1X, t.S1Y, i);
    Store(s2[i], t.S2X, t.S2Y, i);
    Store(pos[i], s.x, s.y, i);
    Store(vcur[i], s.vxcur, s.vycur, i);
    s.v[i] = v[i];
  }
  for (int p = 0; p < 3; ++p) {
    const int i = kPairI[p], j = kPairJ[p];
    t.DX[i][j] = d[p][0];
    t.DY[i][j] = d[p][1];
    t.DX[j][i] = -d[p][0];
    t.DY[j][i] = -d[p][1];
    t.R2[i][j] = t.R2[j][i] = r2[p];
  }
  return true;
}

}  // namespace

void AdvanceBodies(SimState& s, PairTables& t, DisplayPort& port) {
  if (s.nstars == 2 && s.m[0] > 0 && s.m[1] > 0 && s.m[2] > 0 && AdvanceThree(s, t)) return;
  Forces(s, t);
  Motion(s, t);
  Geometry(s, t, port);
}

}  // namespace lab
