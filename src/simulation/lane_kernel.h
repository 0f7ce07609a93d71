// The lanes' step, written once for any vector width. Included by one source
// file per instruction set (lane_step.cpp for SSE2, lane_step_avx2.cpp for
// AVX2, which compiles it for that processor). Everything here has internal
// linkage, so the two compilations never stand in for each other.
//
// Ops holds the vector type V of W doubles and the few operations the
// language's vector extension lacks: square root, the lane mask as bits,
// loads and stores. Every arithmetic operation below is one IEEE operation
// per lane, the same and in the same order as in AdvanceThree and
// TrackEncounter; nothing is fused (-ffp-contract=off) or reordered.

// Included after the headers it needs (lane_step.h, <cstring>).

namespace lab {
namespace {

template <class Ops>
struct LaneKernel {
  using V = typename Ops::V;
  static constexpr int W = Ops::W;

  static V L(const LaneBlock::Lanes& a) { return Ops::Load(a); }
  static void S(LaneBlock::Lanes& a, V v) { Ops::Store(a, v); }

  static LaneStop Advance(LaneBlock& b, unsigned active) {
    const V mg0 = L(b.mg[0]), mg1 = L(b.mg[1]), mg2 = L(b.mg[2]);
    V x0[3], y0[3], vx0[3], vy0[3];
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      x0[i] = L(b.x0[i]);
      y0[i] = L(b.y0[i]);
      vx0[i] = L(b.vx0[i]);
      vy0[i] = L(b.vy0[i]);
    }
    const V dt = L(b.dt);
    const V lim02 = L(b.lim02), lim12 = L(b.lim12), lim20 = L(b.lim20), lim21 = L(b.lim21);
    const V near = L(b.near), endthr = L(b.endthr), next100 = L(b.next100);

    V n = L(b.n);
    V s1x[3], s1y[3], s2x[3], s2y[3], dx[3], dy[3], r2[3], px[3], py[3];
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      s1x[i] = L(b.s1x[i]);
      s1y[i] = L(b.s1y[i]);
      s2x[i] = L(b.s2x[i]);
      s2y[i] = L(b.s2y[i]);
      dx[i] = L(b.dx[i]);
      dy[i] = L(b.dy[i]);
      r2[i] = L(b.r2[i]);
      px[i] = L(b.px[i]);
      py[i] = L(b.py[i]);
    }
    V rr2 = L(b.rr2), rr2prev = L(b.rr2prev), rr2prev2 = L(b.rr2prev2);
    V rmin20 = L(b.rmin20), rmin21 = L(b.rmin21);
    const V zero{};
    const V mgj[3] = {mg1, mg2, mg2};  // pairs (0, 1), (0, 2), (1, 2): mass of the second body
    const V mgi[3] = {mg0, mg0, mg1};  // and of the first

    for (;;) {
      // Forces from the last geometry: pair p pulls its first body with
      // (d × q_i) / r and its second with -((d × q_j) / r).
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
      const V ax[3] = {(zero + oix[0]) + oix[1], (zero + ojx[0]) + oix[2], (zero + ojx[1]) + ojx[2]};
      const V ay[3] = {(zero + oiy[0]) + oiy[1], (zero + ojy[0]) + oiy[2], (zero + ojy[1]) + ojy[2]};

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
        continue;
      }

      // A lane to redo keeps the state before the step; the others take it.
      S(b.n, redo ? n : n1);
      #pragma GCC unroll 3
      for (int i = 0; i < 3; ++i) {
        S(b.s1x[i], redo ? s1x[i] : t1x[i]);
        S(b.s1y[i], redo ? s1y[i] : t1y[i]);
        S(b.s2x[i], redo ? s2x[i] : t2x[i]);
        S(b.s2y[i], redo ? s2y[i] : t2y[i]);
        S(b.px[i], redo ? px[i] : qx[i]);
        S(b.py[i], redo ? py[i] : qy[i]);
        S(b.dx[i], redo ? dx[i] : ex[i]);
        S(b.dy[i], redo ? dy[i] : ey[i]);
        S(b.r2[i], redo ? r2[i] : e2[i]);
      }
      S(b.rr2prev2, redo ? rr2prev2 : rr2prev);
      S(b.rr2prev, redo ? rr2prev : rr2);
      S(b.rr2, redo ? rr2 : nrr2);
      S(b.rmin20, redo ? rmin20 : nmin20);
      S(b.rmin21, redo ? rmin21 : nmin21);
      return LaneStop{redo_bits, finish_bits};
    }
  }
};

}  // namespace
}  // namespace lab
