#include "simulation/lane_step.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "simulation/encounter.h"
#include "simulation/lane_kernel.h"

namespace lab {

namespace {

// Two lanes in the SSE2 registers every x86-64 processor has.
struct Sse2Ops {
  static constexpr int W = 2;
  using V = double __attribute__((vector_size(16)));
  // Lanes as bits and back: the mask of the lanes whose bits are set.
  using I = long long __attribute__((vector_size(16)));
  static auto Mask(unsigned bits) {
    I lane{};
    for (int k = 0; k < W; ++k) lane[k] = 1ll << k;
    return (lane & static_cast<long long>(bits)) != 0;
  }
  template <class M>
  static unsigned Bits(M m) {
    return static_cast<unsigned>(_mm_movemask_pd(reinterpret_cast<__m128d>(m)));
  }
  static V Sqrt(V a) { return reinterpret_cast<V>(_mm_sqrt_pd(reinterpret_cast<__m128d>(a))); }
  static V Load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void Store(double* p, V v) { std::memcpy(p, &v, sizeof v); }
};

constexpr int kPairI[3] = {0, 0, 1};
constexpr int kPairJ[3] = {1, 2, 2};

}  // namespace

LaneStop AdvanceSse2Lanes(LaneBlock& b, int groups, unsigned active) {
  return AdvanceGroups<Sse2Ops>(b, groups, active);
}

bool FitsLane(const SimState& s) {
  return s.nstars == 2 && s.nalive == 3 && s.endtest == 0 && s.m[0] > 0 && s.m[1] > 0 &&
         s.m[2] > 0;
}

void LoadLane(LaneBlock& b, int k, const SimState& s, const RunningTest& r) {
  const PairTables& t = r.tables;
  LaneMotion& m = b.at;
  for (int i = 0; i < 3; ++i) {
    b.mg[i][k] = s.m[i] * s.G;
    b.m[i][k] = s.m[i];
    b.x0[i][k] = s.x0[i];
    b.y0[i][k] = s.y0[i];
    b.vx0[i][k] = s.vx0[i];
    b.vy0[i][k] = s.vy0[i];
    b.vx[i][k] = s.vx[i];
    b.vy[i][k] = s.vy[i];
    m.s1x[i][k] = t.S1X[i];
    m.s1y[i][k] = t.S1Y[i];
    m.s2x[i][k] = t.S2X[i];
    m.s2y[i][k] = t.S2Y[i];
    m.px[i][k] = s.x[i];
    m.py[i][k] = s.y[i];
  }
  for (int p = 0; p < 3; ++p) {
    m.dx[p][k] = t.DX[kPairI[p]][kPairJ[p]];
    m.dy[p][k] = t.DY[kPairI[p]][kPairJ[p]];
    m.r2[p][k] = t.R2[kPairI[p]][kPairJ[p]];
  }
  b.G[k] = s.G;
  b.dt[k] = s.tdelta;
  b.lim02[k] = s.rr2limit[0][2];
  b.lim12[k] = s.rr2limit[1][2];
  b.lim20[k] = s.rr2limit[2][0];
  b.lim21[k] = s.rr2limit[2][1];
  b.near[k] = 5000 * s.rlimit2;
  // End conditions a and b of the encounter; b's threshold is the lower one.
  const bool receding = !CentralMass(s) && s.m3 > 1;
  b.endthr[k] = s.state != 1 ? std::numeric_limits<double>::infinity()
                : receding   ? s.dist2sq / 4
                             : s.dist2sq;
  b.next100[k] = static_cast<double>((s.tcnt / 100 + 1) * 100);
  m.n[k] = b.loaded[k] = static_cast<double>(s.tcnt);
  m.rr2[k] = s.rr2;
  m.rr2prev[k] = s.rr2prev;
  m.rr2prev2[k] = s.rr2prev2;
  m.rmin20[k] = s.rmin20sq;
  m.rmin21[k] = s.rmin21sq;
}

namespace {

// The step number and the display cadence: every step near an encounter.
void StoreStep(const LaneBlock& b, const LaneMotion& m, int k, SimState& s) {
  s.tcnt = static_cast<std::int64_t>(m.n[k]);
  s.plotstep = m.rr2[k] < b.near[k] ? 1 : 100;
}

// What a display reads of the state: positions, velocities, the distances of
// body 2 and the encounter.
void StoreShown(const LaneBlock& b, const LaneMotion& m, int k, SimState& s, RunningTest& r) {
  StoreStep(b, m, k, s);
  const double dt = b.dt[k];
  for (int i = 0; i < 3; ++i) {
    s.x[i] = m.px[i][k];
    s.y[i] = m.py[i][k];
    // The velocities, which no common step reads, as the step computes them.
    s.vxcur[i] = s.vx[i] + dt * m.s1x[i][k];
    s.vycur[i] = s.vy[i] + dt * m.s1y[i][k];
  }
  double (&R2)[kSlots][kSlots] = r.tables.R2;
  R2[0][2] = R2[2][0] = m.r2[1][k];
  R2[1][2] = R2[2][1] = m.r2[2][k];
  s.rr2 = m.rr2[k];
  s.rr2prev = m.rr2prev[k];
  s.rr2prev2 = m.rr2prev2[k];
  s.rmin20sq = m.rmin20[k];
  s.rmin21sq = m.rmin21[k];
  s.rmin201sq = s.rmin20sq < s.rmin21sq ? s.rmin20sq : s.rmin21sq;
  // What the last step's TrackEncounter left: the farther body and the cadence.
  r.enc.rmax = R2[1][2] < R2[0][2] ? R2[0][2] : R2[1][2];
}

}  // namespace

void StoreTables(const LaneMotion& m, int k, PairTables& t) {
  for (int i = 0; i < 3; ++i) {
    t.S1X[i] = m.s1x[i][k];
    t.S1Y[i] = m.s1y[i][k];
    t.S2X[i] = m.s2x[i][k];
    t.S2Y[i] = m.s2y[i][k];
  }
  for (int p = 0; p < 3; ++p) {
    const int i = kPairI[p], j = kPairJ[p];
    t.DX[i][j] = m.dx[p][k];
    t.DY[i][j] = m.dy[p][k];
    t.DX[j][i] = -m.dx[p][k];
    t.DY[j][i] = -m.dy[p][k];
    t.R2[i][j] = t.R2[j][i] = m.r2[p][k];
  }
}

void StoreLane(const LaneBlock& b, const LaneMotion& m, int k, SimState& s, RunningTest& r) {
  if (m.n[k] == b.loaded[k]) return;  // no step taken since the lane was loaded
  StoreShown(b, m, k, s, r);
  StoreTables(m, k, r.tables);
  for (int i = 0; i < 3; ++i) s.v[i] = std::sqrt(s.vxcur[i] * s.vxcur[i] + s.vycur[i] * s.vycur[i]);
}

bool StoreHeld(const LaneBlock& b, int j, int k, SimState& s, RunningTest& r) {
  StoreShown(b, b.shown[j], k, s, r);
  const LaneSpeeds& sp = b.speeds[j];
  for (int i = 0; i < 3; ++i) s.v[i] = sp.v[i][k];
  if (CentralMass(s)) return false;
  TakeEscapeSpeeds(s, r.enc, PairEscape<double>{sp.vesc[0][k], sp.vesc[1][k], sp.vesc[2][k],
                                                sp.q[0][k], sp.q[1][k], sp.q[2][k]});
  return true;
}

void StoreHeldStep(const LaneBlock& b, int j, int k, SimState& s) { StoreStep(b, b.shown[j], k, s); }

bool HeldValuesFinite(const LaneBlock& b, int j, int k, const SimState& s) {
  return b.speeds[j].finite[k] != 0 && !CentralMass(s);
}

void CopyLane(LaneBlock& b, int from, int to) {
  // The block is nothing but rows of one double per lane: a member of
  // another size would shift the rows after it off their lanes.
  static_assert(std::is_standard_layout_v<LaneBlock> && sizeof(LaneBlock) % sizeof(LaneBlock::Lanes) == 0);
  static_assert(offsetof(LaneBlock, at) % sizeof(LaneBlock::Lanes) == 0 &&
                offsetof(LaneBlock, shown) % sizeof(LaneBlock::Lanes) == 0 &&
                sizeof(LaneMotion) % sizeof(LaneBlock::Lanes) == 0);
  auto* rows = reinterpret_cast<LaneBlock::Lanes*>(&b);
  for (std::size_t row = 0; row < sizeof(LaneBlock) / sizeof(LaneBlock::Lanes); ++row) {
    rows[row][to] = rows[row][from];
  }
}

namespace {
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
}  // namespace

bool LanesSupported(int lanes) {
  return lanes == 1 || lanes == 2 || lanes == 4 || (lanes == 8 && HasAvx2());
}

int WidestLanes() { return HasAvx2() ? 8 : 4; }

LaneShape ShapeOfLanes(int lanes) {
  const int width = lanes >= 4 && HasAvx2() ? 4 : 2;
  return {width, lanes / width};
}

bool ShapeSupported(LaneShape shape) {
  return (shape.groups == 1 || shape.groups == 2) &&
         (shape.width == 2 || (shape.width == 4 && HasAvx2()));
}

LaneStop AdvanceLanes(LaneBlock& b, LaneShape shape, unsigned active) {
  return shape.width == 4 ? AdvanceAvx2Lanes(b, shape.groups, active)
                          : AdvanceSse2Lanes(b, shape.groups, active);
}

}  // namespace lab
