// The lanes' step, written once for any vector width and number of groups.
// Included by one source file per instruction set (lane_step.cpp for SSE2,
// lane_step_avx2.cpp for AVX2, which compiles it for that processor).
// Everything here has internal linkage, so the two compilations never stand
// in for each other.
//
// Ops holds the vector type V of W doubles and the few operations the
// language's vector extension lacks: square root, the lane mask as bits and
// bits as a mask, loads and stores. Every arithmetic operation below is one
// IEEE operation per lane, the same and in the same order as in AdvanceThree
// and TrackEncounter; nothing is fused (-ffp-contract=off) or reordered. The
// one liberty: where both bodies of the pair have the same mass, a quotient
// the step computes twice from the same numbers is computed once.
//
// One step of a group is a chain: its square roots and divisions (the pull)
// wait for the last step's geometry, and the next geometry (the move) waits
// for the divisions. With two groups half a step apart, one group's move
// runs while the other's divisions, already free to start, keep the divider
// busy (LaneKernel<Ops, 2>). Within a pull, the quotients of mass and
// distance squared and the distances wait for nothing but the last geometry:
// they come first, so that the divider finds work ready in program order, and
// the divisions by the distances, which wait for them, follow between parts
// of the other group's move. The step then needs only a short reach of the
// processor's reordering, and keeps the divider busy even when a second
// thread on the core halves the queues of loads, stores and registers (a
// model of the processor shows it: docs/lanes.md). An ordinary
// display step does not stop the lanes: the lane's state after that step is
// copied into the block (Hold) for the run loop to display when the lanes
// next stop; a lane stops at such a step only when the block holds
// kHeldDisplays of its own already. When they stop, the speeds and escape
// speeds the held displays show are computed for a whole group at once
// (HeldSpeeds), not one display at a time by the run loop.

// Included after the headers it needs (lane_step.h, encounter.h, <cstring>, <algorithm>).

namespace lab {
namespace {

// The lanes of one vector register, lanes first .. first + W - 1 of the block.
template <class Ops>
struct LaneGroup {
  using V = typename Ops::V;
  static constexpr int W = Ops::W;

  static V L(const LaneBlock::Lanes& a, int first) { return Ops::Load(a + first); }
  static void S(LaneBlock::Lanes& a, int first, V v) { Ops::Store(a + first, v); }

  // What every step changes: one register for each row of LaneMotion but
  // the positions, which no step reads; they follow from the step number and
  // the second sums (Positions).
  struct Motion {
    V n;
    V s1x[3], s1y[3], s2x[3], s2y[3], dx[3], dy[3], r2[3];
    V rr2, rr2prev, rr2prev2, rmin20, rmin21;
  };

  // f(row of m, register of a, register of c) for every row of the motion
  // but the positions.
  template <class A, class C, class F>
  [[gnu::always_inline]] static void EachRow(LaneMotion& m, A& a, C& c, F f) {
    f(m.n, a.n, c.n);
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      f(m.s1x[i], a.s1x[i], c.s1x[i]);
      f(m.s1y[i], a.s1y[i], c.s1y[i]);
      f(m.s2x[i], a.s2x[i], c.s2x[i]);
      f(m.s2y[i], a.s2y[i], c.s2y[i]);
      f(m.dx[i], a.dx[i], c.dx[i]);
      f(m.dy[i], a.dy[i], c.dy[i]);
      f(m.r2[i], a.r2[i], c.r2[i]);
    }
    f(m.rr2prev2, a.rr2prev2, c.rr2prev2);
    f(m.rr2prev, a.rr2prev, c.rr2prev);
    f(m.rr2, a.rr2, c.rr2);
    f(m.rmin20, a.rmin20, c.rmin20);
    f(m.rmin21, a.rmin21, c.rmin21);
  }

  // Fixed through a test.
  V mgj[3], mgi[3];  // pairs (0, 1), (0, 2), (1, 2): mass of the second body, of the first
  V x0[3], y0[3], vx0[3], vy0[3];
  V dt, lim02, lim12, lim20, lim21, near, endthr, next100;
  // Changed by every step: a step goes from mo[P] to mo[1 - P], so that the
  // loop, which takes two steps of a group per round, never copies one
  // motion into the other.
  Motion mo[2];
  V start_n;          // the step numbers the lanes were loaded at
  unsigned held = 0;  // lanes (bits of this group) whose display steps wait in the block
  unsigned full = 0;  // lanes that hold as many display steps as the block has room for
  int nheld[W] = {};  // display steps each lane holds (a group is loaded afresh at every call)

  [[gnu::always_inline]] void Load(LaneBlock& b, int f) {
    const V mg0 = L(b.mg[0], f), mg1 = L(b.mg[1], f), mg2 = L(b.mg[2], f);
    mgj[0] = mg1, mgj[1] = mg2, mgj[2] = mg2;
    mgi[0] = mg0, mgi[1] = mg0, mgi[2] = mg1;
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      x0[i] = L(b.x0[i], f);
      y0[i] = L(b.y0[i], f);
      vx0[i] = L(b.vx0[i], f);
      vy0[i] = L(b.vy0[i], f);
    }
    dt = L(b.dt, f);
    lim02 = L(b.lim02, f), lim12 = L(b.lim12, f), lim20 = L(b.lim20, f), lim21 = L(b.lim21, f);
    near = L(b.near, f), endthr = L(b.endthr, f), next100 = L(b.next100, f);
    EachRow(b.at, mo[0], mo[0], [f](LaneBlock::Lanes& row, V& v, const V&) { v = L(row, f); });
    start_n = mo[0].n;
  }

  // The position of body i in the motion a, as its step computed it.
  [[gnu::always_inline]] void Position(const Motion& a, int i, V (&px)[3], V (&py)[3]) const {
    px[i] = x0[i] + dt * (a.n * vx0[i] + dt * a.s2x[i]);
    py[i] = y0[i] + dt * (a.n * vy0[i] + dt * a.s2y[i]);
  }
  [[gnu::always_inline]] void Positions(const Motion& a, V (&px)[3], V (&py)[3]) const {
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) Position(a, i, px, py);
  }

  // The positions of the lanes in `take` go into the rows of `to`, of the
  // others stay (a lane that has taken no step since it was loaded keeps
  // those it was given).
  template <class M>
  [[gnu::always_inline]] static void PutPositions(LaneMotion& to, int first, M take, const V (&px)[3],
                                                  const V (&py)[3]) {
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
      S(to.px[i], first, take ? px[i] : L(to.px[i], first));
      S(to.py[i], first, take ? py[i] : L(to.py[i], first));
    }
  }

  // The state the group has reached, mo[P], goes back into the block.
  template <int P>
  [[gnu::always_inline]] void Store(LaneBlock& b, int f) {
    const Motion& m = mo[P];
    EachRow(b.at, m, m, [f](LaneBlock::Lanes& row, const V& v, const V&) { S(row, f, v); });
    V px[3], py[3];
    Positions(m, px, py);
    PutPositions(b.at, f, m.n != start_n, px, py);
  }

  // The accelerations' sums of the next step, from the last geometry.
  struct Forces {
    V ax[3], ay[3];
  };

  // Pair p's share of the pull: it pulls its first body with (d × q_i) / r
  // and its second with -((d × q_j) / r).
  struct Pulled {
    V oix[3], oiy[3], ojx[3], ojy[3];
  };

  // The pull's divider work that waits only for the last geometry: pair p's
  // quotients of mass and distance squared (one for the twin pair, below) and
  // its distance r. The divisions by r wait for these.
  struct Started {
    V qi[3], qj[3], r[3];
  };

  template <int P, bool Twin>
  [[gnu::always_inline]] void PullStart(int p, Started& s) const {
    const Motion& m = mo[P];
    s.qi[p] = mgj[p] / m.r2[p];
    if (!(Twin && p == 0)) s.qj[p] = mgi[p] / m.r2[p];
    s.r[p] = Ops::Sqrt(m.r2[p]);
  }

  // Pair p's pull on its first body, then on its second.
  template <int P>
  [[gnu::always_inline]] void PullFirst(int p, const Started& s, Pulled& o) const {
    const Motion& m = mo[P];
    o.oix[p] = (m.dx[p] * s.qi[p]) / s.r[p];
    o.oiy[p] = (m.dy[p] * s.qi[p]) / s.r[p];
  }

  // Twin: the pair (0, 1) has the same mass × G in both bodies in every
  // lane, so that both its quotients are the same number and each body's
  // pull is the other's negated, to the bit; they are computed once (three
  // divisions fewer in eighteen).
  template <int P, bool Twin>
  [[gnu::always_inline]] void PullSecond(int p, const Started& s, Pulled& o) const {
    if (Twin && p == 0) {
      o.ojx[p] = -o.oix[p];
      o.ojy[p] = -o.oiy[p];
      return;
    }
    const Motion& m = mo[P];
    o.ojx[p] = -((m.dx[p] * s.qj[p]) / s.r[p]);
    o.ojy[p] = -((m.dy[p] * s.qj[p]) / s.r[p]);
  }

  // Partners in ascending order: body 0 meets 1, 2; body 1 meets 0, 2; body 2 meets 0, 1.
  [[gnu::always_inline]] static Forces Sum(const Pulled& o) {
    const V zero{};
    return Forces{{(zero + o.oix[0]) + o.oix[1], (zero + o.ojx[0]) + o.oix[2], (zero + o.ojx[1]) + o.ojx[2]},
                  {(zero + o.oiy[0]) + o.oiy[1], (zero + o.ojy[0]) + o.oiy[2], (zero + o.ojy[1]) + o.ojy[2]}};
  }

  template <int P, bool Twin>
  [[gnu::always_inline]] Forces Pull() const {
    Started s;
    Pulled o;
    #pragma GCC unroll 3
    for (int p = 0; p < 3; ++p) PullStart<P, Twin>(p, s);
    #pragma GCC unroll 3
    for (int p = 0; p < 3; ++p) {
      PullFirst<P>(p, s, o);
      PullSecond<P, Twin>(p, s, o);
    }
    return Sum(o);
  }

  // The display step of lanes `bits` waits in the block's `shown` with the
  // state x, in the lanes' next free place; those lanes' next display step
  // comes a hundred steps later. Lanes that hold a display at the same step
  // have held the same number since the group was loaded: the lanes of a
  // group take their steps together, so their display steps, a hundred
  // apart, coincide at every one or at none.
  template <int P>
  [[gnu::always_inline]] void Hold(LaneBlock& b, int first, unsigned bits, const Motion& x,
                                   const V (&px)[3], const V (&py)[3]) {
    const int place = nheld[__builtin_ctz(bits)];
    const auto take = Ops::Mask(bits);
    EachRow(b.shown[place], mo[P], x, [first, take](LaneBlock::Lanes& row, const V&, const V& v) {
      S(row, first, take ? v : L(row, first));
    });
    PutPositions(b.shown[place], first, take, px, py);
    for (int k = 0; k < W; ++k) {
      if (((bits >> k) & 1u) == 0) continue;
      b.nheld[first + k] = ++nheld[k];
      if (nheld[k] == kHeldDisplays) full |= 1u << k;
    }
    next100 = take ? next100 + 100.0 : next100;
    S(b.next100, first, next100);
    held |= bits;
  }

  // The rest of the step of the group's lanes, with the forces of Pull.
  // When none of the lanes in `active` (bits of this group) stops, the group
  // takes the step (its motion is now mo[1 - P]) and the result is empty.
  // Else the block receives the state: a lane to redo keeps the state before
  // the step, the others take it; the group's registers are then stale.
  template <int P>
  [[gnu::always_inline]] LaneStop Move(const Forces& f, LaneBlock& b, int first, unsigned active) {
    V px[3], py[3];
    #pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) MoveBody<P>(f, i, px, py);
    #pragma GCC unroll 3
    for (int p = 0; p < 3; ++p) MovePair<P>(p, px, py);
    MoveEncounter<P>();
    return MoveChecks<P>(b, first, active, px, py);
  }

  // The move in small parts, so that another group's pull can be woven
  // between them. Body i's two sums and its position (body 0 counts the step).
  template <int P>
  [[gnu::always_inline]] void MoveBody(const Forces& f, int i, V (&px)[3], V (&py)[3]) {
    const Motion& m = mo[P];
    Motion& x = mo[1 - P];
    if (i == 0) x.n = m.n + 1.0;
    x.s1x[i] = m.s1x[i] + f.ax[i];
    x.s1y[i] = m.s1y[i] + f.ay[i];
    x.s2x[i] = m.s2x[i] + x.s1x[i];
    x.s2y[i] = m.s2y[i] + x.s1y[i];
    Position(x, i, px, py);
  }

  // The new geometry of pair p, once both its bodies have moved.
  template <int P>
  [[gnu::always_inline]] void MovePair(int p, const V (&px)[3], const V (&py)[3]) {
    constexpr int kI[3] = {0, 0, 1}, kJ[3] = {1, 2, 2};
    Motion& x = mo[1 - P];
    x.dx[p] = px[kJ[p]] - px[kI[p]];
    x.dy[p] = py[kJ[p]] - py[kI[p]];
    x.r2[p] = x.dx[p] * x.dx[p] + x.dy[p] * x.dy[p];
  }

  // The encounter: nearer and farther body, minima.
  template <int P>
  [[gnu::always_inline]] void MoveEncounter() {
    const Motion& m = mo[P];
    Motion& x = mo[1 - P];
    const auto lt = x.r2[2] < x.r2[1];
    x.rr2 = lt ? x.r2[2] : x.r2[1];
    x.rmin20 = x.r2[1] < m.rmin20 ? x.r2[1] : m.rmin20;
    x.rmin21 = x.r2[2] < m.rmin21 ? x.r2[2] : m.rmin21;
    x.rr2prev = m.rr2;
    x.rr2prev2 = m.rr2prev;
  }

  // Last the checks: whether a lane stops, holds a display or goes on.
  template <int P>
  [[gnu::always_inline]] LaneStop MoveChecks(LaneBlock& b, int first, unsigned active,
                                             const V (&px)[3], const V (&py)[3]) {
    const Motion& m = mo[P];
    Motion& x = mo[1 - P];
    const V rmax = x.r2[2] < x.r2[1] ? x.r2[1] : x.r2[2];
    // Steps the lanes cannot finish alone; of the others, the ordinary
    // display steps (every hundredth) can wait in the block while it has room.
    const auto redo = (x.r2[1] < lim02) | (x.r2[2] < lim12) | (x.r2[1] < lim20) |
                      (x.r2[2] < lim21) | (rmax > endthr);
    const auto approach_or_near = ((x.rr2 > m.rr2) & (m.rr2 < m.rr2prev)) | (x.rr2 < near);
    const unsigned other_bits = Ops::Bits(approach_or_near);
    const unsigned redo_bits = Ops::Bits(redo) & active;
    const unsigned finish_bits = (other_bits | Ops::Bits(x.n == next100)) & active & ~redo_bits;
    const unsigned hold_bits = finish_bits & ~other_bits & ~full;

    if ((redo_bits | (finish_bits & ~hold_bits)) == 0) {
      if (hold_bits != 0) Hold<P>(b, first, hold_bits, x, px, py);
      return LaneStop{};
    }

    V before_x[3], before_y[3];
    Positions(m, before_x, before_y);
    PutPositions(b.at, first, redo & (m.n != start_n), before_x, before_y);
    PutPositions(b.at, first, ~redo, px, py);
    EachRow(b.at, m, x, [first, redo](LaneBlock::Lanes& row, const V& v, const V& w) {
      S(row, first, redo ? v : w);
    });
    return LaneStop{redo_bits, finish_bits, held};
  }
};

// Steps the lanes in `active` (bits) until one of them stops; every lane
// that has not stopped keeps its progress. One group: lanes 0 .. W - 1.
// Two groups (lanes W .. 2W - 1 the second) go out of step by half a step:
// the loop pulls one group while it moves the other, so that the divider
// works on one group's divisions while the other's motion waits for its own.
// Each group's operations are those of the one-group loop, in its order.
template <class Ops, int G, bool Twin>
struct LaneKernel;

template <class Ops, bool Twin>
struct LaneKernel<Ops, 1, Twin> {
  // The group of lanes first .. first + W - 1; bits as lanes of the block.
  static LaneStop Advance(LaneBlock& b, unsigned active, int first = 0) {
    LaneGroup<Ops> g;
    g.Load(b, first);
    const unsigned mine = active >> first;
    for (;;) {
      LaneStop stop = g.template Move<0>(g.template Pull<0, Twin>(), b, first, mine);
      if ((stop.redo | stop.finish) == 0) stop = g.template Move<1>(g.template Pull<1, Twin>(), b, first, mine);
      if (stop.redo | stop.finish) {
        return LaneStop{stop.redo << first, stop.finish << first, stop.held << first};
      }
    }
  }
};

template <class Ops, bool Twin>
struct LaneKernel<Ops, 2, Twin> {
  static constexpr int W = Ops::W;
  static constexpr unsigned kGroupBits = (1u << W) - 1;

  static LaneStop Advance(LaneBlock& b, unsigned active) {
    const unsigned active0 = active & kGroupBits, active1 = (active >> W) & kGroupBits;
    // As a series ends and a group falls idle, the other runs alone.
    if (active1 == 0) return LaneKernel<Ops, 1, Twin>::Advance(b, active0, 0);
    if (active0 == 0) return LaneKernel<Ops, 1, Twin>::Advance(b, active, W);
    LaneGroup<Ops> g0, g1;
    g0.Load(b, 0);
    g1.Load(b, W);
    typename LaneGroup<Ops>::Forces f1 = g1.template Pull<0, Twin>();
    for (;;) {
      // Two steps of each group per round, from mo[0] to mo[1] and back.
      typename LaneGroup<Ops>::Forces f0;
      if (const LaneStop stop = PullAndMove<0, 0>(g0, f0, g1, f1, b, W, active1); stop.redo | stop.finish) {
        g0.template Store<0>(b, 0);  // its step not taken: its forces are pulled again
        return Second(stop, g0.held);
      }
      if (const LaneStop stop = PullAndMove<1, 0>(g1, f1, g0, f0, b, 0, active0); stop.redo | stop.finish) {
        g1.template Store<1>(b, W);
        return First(stop, g1.held);
      }
      if (const LaneStop stop = PullAndMove<1, 1>(g0, f0, g1, f1, b, W, active1); stop.redo | stop.finish) {
        g0.template Store<1>(b, 0);
        return Second(stop, g0.held);
      }
      if (const LaneStop stop = PullAndMove<0, 1>(g1, f1, g0, f0, b, 0, active0); stop.redo | stop.finish) {
        g1.template Store<0>(b, W);
        return First(stop, g1.held);
      }
    }
  }

  // Group gp pulls from its motion mo[PP] into `pulled` while group gm moves
  // from mo[PM] with `forces`: the pull's quotients and distances first (the
  // third pair's after the move's first body), then its divisions by the
  // distances between parts of the move, the last half after the encounter.
  template <int PP, int PM>
  [[gnu::always_inline]] static LaneStop PullAndMove(LaneGroup<Ops>& gp,
                                                     typename LaneGroup<Ops>::Forces& pulled,
                                                     LaneGroup<Ops>& gm,
                                                     const typename LaneGroup<Ops>::Forces& forces,
                                                     LaneBlock& b, int first, unsigned active) {
    typename LaneGroup<Ops>::Started s;
    typename LaneGroup<Ops>::Pulled o;
    typename Ops::V px[3], py[3];
    gp.template PullStart<PP, Twin>(0, s);
    gp.template PullStart<PP, Twin>(1, s);
    gm.template MoveBody<PM>(forces, 0, px, py);
    gp.template PullStart<PP, Twin>(2, s);
    gm.template MoveBody<PM>(forces, 1, px, py);
    gm.template MovePair<PM>(0, px, py);
    gp.template PullFirst<PP>(0, s, o);
    gp.template PullSecond<PP, Twin>(0, s, o);
    gm.template MoveBody<PM>(forces, 2, px, py);
    gp.template PullFirst<PP>(1, s, o);
    gp.template PullSecond<PP, Twin>(1, s, o);
    gp.template PullFirst<PP>(2, s, o);
    gm.template MovePair<PM>(1, px, py);
    gm.template MovePair<PM>(2, px, py);
    gm.template MoveEncounter<PM>();
    gp.template PullSecond<PP, Twin>(2, s, o);
    pulled = LaneGroup<Ops>::Sum(o);
    return gm.template MoveChecks<PM>(b, first, active, px, py);
  }

  // A stop of the first or the second group, with the other group's held lanes.
  static LaneStop First(LaneStop stop, unsigned held1) {
    return LaneStop{stop.redo, stop.finish, stop.held | (held1 << W)};
  }
  static LaneStop Second(LaneStop stop, unsigned held0) {
    return LaneStop{stop.redo << W, stop.finish << W, (stop.held << W) | held0};
  }
};

// Whether the pair (0, 1) has the same mass × G in both bodies, to the bit,
// in every one of the block's first `lanes` lanes.
inline bool TwinPair(const LaneBlock& b, int lanes) {
  for (int k = 0; k < lanes; ++k) {
    if (std::memcmp(&b.mg[0][k], &b.mg[1][k], sizeof(double)) != 0) return false;
  }
  return true;
}

// The speeds and escape speeds of the display steps the lanes in `held`
// hold, one vector for each group and place that any of its lanes fills;
// the run loop shows them without a square root or a division of its own.
// The speeds as the step computes them, the escape speeds as the display
// does, lane by lane the same operations.
template <class Ops>
void HeldSpeeds(LaneBlock& b, int groups, unsigned held) {
  using G = LaneGroup<Ops>;
  using V = typename Ops::V;
  constexpr int W = Ops::W;
  for (int f = 0; f < groups * W; f += W) {
    int places = 0;
    for (int k = f; k < f + W; ++k) {
      if ((held >> k) & 1u) places = std::max(places, static_cast<int>(b.nheld[k]));
    }
    if (places == 0) continue;
    const V dt = G::L(b.dt, f), g = G::L(b.G, f);
    const V m[3] = {G::L(b.m[0], f), G::L(b.m[1], f), G::L(b.m[2], f)};
    for (int j = 0; j < places; ++j) {
      const LaneMotion& at = b.shown[j];
      LaneSpeeds& out = b.speeds[j];
      V v[3];
      for (int i = 0; i < 3; ++i) {
        const V vx = G::L(b.vx[i], f) + dt * G::L(at.s1x[i], f);
        const V vy = G::L(b.vy[i], f) + dt * G::L(at.s1y[i], f);
        v[i] = Ops::Sqrt(vx * vx + vy * vy);
        G::S(out.v[i], f, v[i]);
      }
      const V r02 = G::L(at.r2[1], f), r12 = G::L(at.r2[2], f);
      const PairEscape<V> e = PairEscapeSpeeds(m, g, r02, r12, v, Ops::Sqrt);
      G::S(out.vesc[0], f, e.vesc1), G::S(out.vesc[1], f, e.vesc2), G::S(out.vesc[2], f, e.vesc3);
      G::S(out.q[0], f, e.q1), G::S(out.q[1], f, e.q2), G::S(out.q[2], f, e.q3);
      // The distances the display shows: body 2's nearer, its farther (as the
      // run loop picks it) and the test's least.
      const V rr2 = G::L(at.rr2, f);
      const V rmax = r12 < r02 ? r02 : r12;
      const V rmin20 = G::L(at.rmin20, f), rmin21 = G::L(at.rmin21, f);
      const V rmin = rmin20 < rmin21 ? rmin20 : rmin21;
      const V zero{}, one = zero + 1.0;
      G::S(out.finite, f, ShownValuesSum(v, e, rr2, rmax, rmin) == zero ? one : zero);
    }
  }
}

// The kernel of `groups` groups of Ops::W lanes.
template <class Ops>
LaneStop AdvanceGroups(LaneBlock& b, int groups, unsigned active) {
  const bool twin = TwinPair(b, groups * Ops::W);
  LaneStop stop;
  if (groups == 2) {
    stop = twin ? LaneKernel<Ops, 2, true>::Advance(b, active) : LaneKernel<Ops, 2, false>::Advance(b, active);
  } else {
    stop = twin ? LaneKernel<Ops, 1, true>::Advance(b, active) : LaneKernel<Ops, 1, false>::Advance(b, active);
  }
  HeldSpeeds<Ops>(b, groups, stop.held);
  return stop;
}

}  // namespace
}  // namespace lab
