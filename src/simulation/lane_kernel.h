// The lanes' step, written once for any vector width and number of groups.
// Included by one source file per instruction set (lane_step.cpp for SSE2,
// lane_step_avx2.cpp for AVX2, which compiles it for that processor).
// Everything here has internal linkage, so the two compilations never stand
// in for each other.
//
// Ops holds the vector type V of W doubles and the few operations the
// language's vector extension lacks: square root, the lane mask as bits,
// loads and stores. Every arithmetic operation below is one IEEE operation
// per lane, the same and in the same order as in AdvanceThree and
// TrackEncounter; nothing is fused (-ffp-contract=off) or reordered.
//
// One step of a group is a chain: its square roots and divisions (the pull)
// wait for the last step's geometry, and the next geometry (the move) waits
// for the divisions. With two groups half a step apart, one group's move
// runs while the other's divisions, already free to start, keep the divider
// busy (LaneKernel<Ops, 2>).

// Included after the headers it needs (lane_step.h, <cstring>).

namespace lab {
namespace {

// The lanes of one vector register, lanes first .. first + W - 1 of the block.
template <class Ops>
struct LaneGroup {
  using V = typename Ops::V;
  static constexpr int W = Ops::W;

  static V L(const LaneBlock::Lanes& a, int first) { return Ops::Load(a + first); }
  static void S(LaneBlock::Lanes& a, int first, V v) { Ops::Store(a + first, v); }

  // Fixed through a test.
  V mgj[3], mgi[3];  // pairs (0, 1), (0, 2), (1, 2): mass of the second body, of the first
  V x0[3], y0[3], vx0[3], vy0[3];
  V dt, lim02, lim12, lim20, lim21, near, endthr, next100;
  // Changed by every step.
  V n;
  V s1x[3], s1y[3], s2x[3], s2y[3], dx[3], dy[3], r2[3], px[3], py[3];
  V rr2, rr2prev, rr2prev2, rmin20, rmin21;

  [[gnu::always_inline]] void Load(const LaneBlock& b, int f) {
    const V mg0 = L(b.mg[0], f), mg1 = L(b.mg[1], f), mg2 = L(b.mg[2], f);
    mgj[0] = mg1, mgj[1] = mg2, mgj[2] = mg2;
    mgi[0] = mg0, mgi[1] = mg0, mgi[2] = mg1;
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      x0[i] = L(b.x0[i], f);
      y0[i] = L(b.y0[i], f);
      vx0[i] = L(b.vx0[i], f);
      vy0[i] = L(b.vy0[i], f);
      s1x[i] = L(b.s1x[i], f);
      s1y[i] = L(b.s1y[i], f);
      s2x[i] = L(b.s2x[i], f);
      s2y[i] = L(b.s2y[i], f);
      dx[i] = L(b.dx[i], f);
      dy[i] = L(b.dy[i], f);
      r2[i] = L(b.r2[i], f);
      px[i] = L(b.px[i], f);
      py[i] = L(b.py[i], f);
    }
    dt = L(b.dt, f);
    lim02 = L(b.lim02, f), lim12 = L(b.lim12, f), lim20 = L(b.lim20, f), lim21 = L(b.lim21, f);
    near = L(b.near, f), endthr = L(b.endthr, f), next100 = L(b.next100, f);
    n = L(b.n, f);
    rr2 = L(b.rr2, f), rr2prev = L(b.rr2prev, f), rr2prev2 = L(b.rr2prev2, f);
    rmin20 = L(b.rmin20, f), rmin21 = L(b.rmin21, f);
  }

  // The state the group has reached goes back into the block.
  [[gnu::always_inline]] void Store(LaneBlock& b, int f) const {
    S(b.n, f, n);
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      S(b.s1x[i], f, s1x[i]);
      S(b.s1y[i], f, s1y[i]);
      S(b.s2x[i], f, s2x[i]);
      S(b.s2y[i], f, s2y[i]);
      S(b.px[i], f, px[i]);
      S(b.py[i], f, py[i]);
      S(b.dx[i], f, dx[i]);
      S(b.dy[i], f, dy[i]);
      S(b.r2[i], f, r2[i]);
    }
    S(b.rr2prev2, f, rr2prev2);
    S(b.rr2prev, f, rr2prev);
    S(b.rr2, f, rr2);
    S(b.rmin20, f, rmin20);
    S(b.rmin21, f, rmin21);
  }

  // The accelerations' sums of the next step, from the last geometry.
  struct Forces {
    V ax[3], ay[3];
  };

  [[gnu::always_inline]] Forces Pull() const {
    const V zero{};
    // Pair p pulls its first body with (d × q_i) / r and its second with
    // -((d × q_j) / r).
    V oix[3], oiy[3], ojx[3], ojy[3];
    #pragma GCC unroll 3
    for (int p = 0; p < 3; ++p) {
      const V qi = mgj[p] / r2[p];
      const V qj = mgi[p] / r2[p];
      const V r = Ops::Sqrt(r2[p]);
      oix[p] = (dx[p] * qi) / r;
      oiy[p] = (dy[p] * qi) / r;
      ojx[p] = -((dx[p] * qj) / r);
      ojy[p] = -((dy[p] * qj) / r);
    }
    // Partners in ascending order: body 0 meets 1, 2; body 1 meets 0, 2; body 2 meets 0, 1.
    return Forces{{(zero + oix[0]) + oix[1], (zero + ojx[0]) + oix[2], (zero + ojx[1]) + ojx[2]},
                  {(zero + oiy[0]) + oiy[1], (zero + ojy[0]) + oiy[2], (zero + ojy[1]) + ojy[2]}};
  }

  // The rest of the step of the group's lanes, with the forces of Pull.
  // When none of the lanes in `active` (bits of this group) stops, the group
  // takes the step and the result is empty. Else the block receives the
  // state: a lane to redo keeps the state before the step, the others take
  // it; the group's registers are then stale.
  [[gnu::always_inline]] LaneStop Move(const Forces& f, LaneBlock& b, int first, unsigned active) {
    const V* ax = f.ax;
    const V* ay = f.ay;
    // Motion from the start state and the two sums.
    const V n1 = n + 1.0;
    V t1x[3], t1y[3], t2x[3], t2y[3], qx[3], qy[3];
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      t1x[i] = s1x[i] + ax[i];
      t1y[i] = s1y[i] + ay[i];
      t2x[i] = s2x[i] + t1x[i];
      t2y[i] = s2y[i] + t1y[i];
      qx[i] = x0[i] + dt * (n1 * vx0[i] + dt * t2x[i]);
      qy[i] = y0[i] + dt * (n1 * vy0[i] + dt * t2y[i]);
    }

    // The new geometry.
    constexpr int kI[3] = {0, 0, 1}, kJ[3] = {1, 2, 2};
    V ex[3], ey[3], e2[3];
    #pragma GCC unroll 3
    for (int p = 0; p < 3; ++p) {
      ex[p] = qx[kJ[p]] - qx[kI[p]];
      ey[p] = qy[kJ[p]] - qy[kI[p]];
      e2[p] = ex[p] * ex[p] + ey[p] * ey[p];
    }

    // The encounter: nearer and farther body, minima.
    const auto lt = e2[2] < e2[1];
    const V nrr2 = lt ? e2[2] : e2[1];
    const V rmax = lt ? e2[1] : e2[2];
    const V nmin20 = e2[1] < rmin20 ? e2[1] : rmin20;
    const V nmin21 = e2[2] < rmin21 ? e2[2] : rmin21;

    // Steps the lanes cannot finish alone.
    const auto redo = (e2[1] < lim02) | (e2[2] < lim12) | (e2[1] < lim20) | (e2[2] < lim21) |
                      (rmax > endthr);
    const auto finish = ((nrr2 > rr2) & (rr2 < rr2prev)) | (nrr2 < near) | (n1 == next100);
    const unsigned redo_bits = Ops::Bits(redo) & active;
    const unsigned finish_bits = Ops::Bits(finish) & active & ~redo_bits;

    if ((redo_bits | finish_bits) == 0) {
      n = n1;
      #pragma GCC unroll 3
      for (int i = 0; i < 3; ++i) {
        s1x[i] = t1x[i];
        s1y[i] = t1y[i];
        s2x[i] = t2x[i];
        s2y[i] = t2y[i];
        px[i] = qx[i];
        py[i] = qy[i];
        dx[i] = ex[i];
        dy[i] = ey[i];
        r2[i] = e2[i];
      }
      rr2prev2 = rr2prev;
      rr2prev = rr2;
      rr2 = nrr2;
      rmin20 = nmin20;
      rmin21 = nmin21;
      return LaneStop{};
    }

    S(b.n, first, redo ? n : n1);
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      S(b.s1x[i], first, redo ? s1x[i] : t1x[i]);
      S(b.s1y[i], first, redo ? s1y[i] : t1y[i]);
      S(b.s2x[i], first, redo ? s2x[i] : t2x[i]);
      S(b.s2y[i], first, redo ? s2y[i] : t2y[i]);
      S(b.px[i], first, redo ? px[i] : qx[i]);
      S(b.py[i], first, redo ? py[i] : qy[i]);
      S(b.dx[i], first, redo ? dx[i] : ex[i]);
      S(b.dy[i], first, redo ? dy[i] : ey[i]);
      S(b.r2[i], first, redo ? r2[i] : e2[i]);
    }
    S(b.rr2prev2, first, redo ? rr2prev2 : rr2prev);
    S(b.rr2prev, first, redo ? rr2prev : rr2);
    S(b.rr2, first, redo ? rr2 : nrr2);
    S(b.rmin20, first, redo ? rmin20 : nmin20);
    S(b.rmin21, first, redo ? rmin21 : nmin21);
    return LaneStop{redo_bits, finish_bits};
  }
};

// Steps the lanes in `active` (bits) until one of them stops; every lane
// that has not stopped keeps its progress. One group: lanes 0 .. W - 1.
// Two groups (lanes W .. 2W - 1 the second) go out of step by half a step:
// the loop pulls one group while it moves the other, so that the divider
// works on one group's divisions while the other's motion waits for its own.
// Each group's operations are those of the one-group loop, in its order.
template <class Ops, int G>
struct LaneKernel;

template <class Ops>
struct LaneKernel<Ops, 1> {
  // The group of lanes first .. first + W - 1; bits as lanes of the block.
  static LaneStop Advance(LaneBlock& b, unsigned active, int first = 0) {
    LaneGroup<Ops> g;
    g.Load(b, first);
    for (;;) {
      const LaneStop stop = g.Move(g.Pull(), b, first, active >> first);
      if (stop.redo | stop.finish) return LaneStop{stop.redo << first, stop.finish << first};
    }
  }
};

template <class Ops>
struct LaneKernel<Ops, 2> {
  static constexpr int W = Ops::W;
  static constexpr unsigned kGroupBits = (1u << W) - 1;

  static LaneStop Advance(LaneBlock& b, unsigned active) {
    const unsigned active0 = active & kGroupBits, active1 = (active >> W) & kGroupBits;
    // As a series ends and a group falls idle, the other runs alone.
    if (active1 == 0) return LaneKernel<Ops, 1>::Advance(b, active0, 0);
    if (active0 == 0) return LaneKernel<Ops, 1>::Advance(b, active, W);
    LaneGroup<Ops> g0, g1;
    g0.Load(b, 0);
    g1.Load(b, W);
    typename LaneGroup<Ops>::Forces f1 = g1.Pull();
    for (;;) {
      const auto f0 = g0.Pull();
      if (const LaneStop stop = g1.Move(f1, b, W, active1); stop.redo | stop.finish) {
        g0.Store(b, 0);  // its step not taken: its forces are pulled again
        return LaneStop{stop.redo << W, stop.finish << W};
      }
      f1 = g1.Pull();
      if (const LaneStop stop = g0.Move(f0, b, 0, active0); stop.redo | stop.finish) {
        g1.Store(b, W);
        return stop;
      }
    }
  }
};

}  // namespace
}  // namespace lab
