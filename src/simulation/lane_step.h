// Several tests of a series side by side in one core's SIMD lanes. The step is
// a chain of dependent divisions and square roots; one test leaves the core
// waiting on each result, while independent tests, one per lane of a vector
// register and two registers' groups of lanes stepped side by side, keep the
// divider busy. Each lane performs exactly the
// operations of the three-body step of the run loop (AdvanceBodies and
// TrackEncounter) in the same order and rounds alone, so every test's numbers
// are those of the scalar path to the last bit.
//
// The lanes run only the common steps: three bodies with mass, no body within
// an absorption distance, no closest approach, no end condition and no display
// step. A step that is not common stops the lanes, and that test goes on
// through the run loop's own code from the state it has reached. An ordinary
// display step, which only shows the state, does not stop them: the lane
// keeps a copy of that state and goes on, and the run loop displays it when
// the lanes next stop (and takes the test back from there when the display
// ends it).
#pragma once

#include <cstdint>

#include "simulation/run_loop.h"
#include "state/sim_state.h"

namespace lab {

inline constexpr int kMaxLanes = 8;
// Ordinary display steps a lane can hold before its next one stops the lanes.
inline constexpr int kHeldDisplays = 4;

// How a thread's lanes are laid out: `groups` vector registers of `width`
// lanes each (2 in SSE2, 4 in AVX2), every group its own chain of the step.
struct LaneShape {
  int width = 2;
  int groups = 1;
  int lanes() const { return width * groups; }
};

// The tests of the lanes, one array entry per lane (struct of arrays). Pair
// p of the tables is (0, 1), (0, 2), (1, 2) for p = 0, 1, 2.
using LaneRow = double[kMaxLanes];

// What every step changes.
struct LaneMotion {
  LaneRow n;                             // tcnt
  LaneRow s1x[3], s1y[3], s2x[3], s2y[3];  // running sums
  LaneRow dx[3], dy[3], r2[3];           // pair geometry of the last step
  LaneRow px[3], py[3];                  // positions
  LaneRow rr2, rr2prev, rr2prev2, rmin20, rmin21;
};

// What a held display shows beyond the state, computed for all lanes of a
// group at once when the lanes stop: the speeds and the pair regime's escape
// speeds with the speeds' quotients by them (PairEscapeSpeeds), and whether
// the twelve values the display checks are finite (ShownValuesFinite).
struct LaneSpeeds {
  LaneRow v[3];
  LaneRow vesc[3], q[3];
  LaneRow finite;  // 1 or 0
};

struct alignas(64) LaneBlock {
  using Lanes = LaneRow;
  // Fixed through a test.
  Lanes mg[3];                          // m(k) × G
  Lanes m[3], G;                        // the masses and G apart, for the escape speeds
  Lanes x0[3], y0[3], vx0[3], vy0[3];   // start state
  Lanes vx[3], vy[3];                   // start velocity, base of the velocity sums
  Lanes dt;                             // tdelta
  Lanes lim02, lim12, lim20, lim21;     // rr2limit of the pairs of body 2
  Lanes near;                           // 5000 × rlimit2: every step is displayed below it
  Lanes endthr;                         // rmax beyond it ends the test (+inf while state = 0)
  Lanes next100;                        // the next step number divisible by 100
  Lanes loaded;                         // the step number the test was loaded at
  Lanes nheld;                          // of `held` lanes: how many displays they hold
  LaneMotion at;                        // the state the lanes have reached
  LaneMotion shown[kHeldDisplays];      // of `held` lanes: display steps still to be shown, in order
  LaneSpeeds speeds[kHeldDisplays];     // and their speeds
};

// Which lanes stopped, as bit masks: `redo` lanes did not take the step (an
// absorption or an end of the test is near) and must run it whole through the
// run loop; `finish` lanes took it and need the rest of the step (closest
// approach, display step) from the run loop. `held` lanes went on past an
// ordinary display step (every hundredth, far from an encounter), whose
// state waits in `shown` to be displayed; a lane holds up to kHeldDisplays,
// `nheld` of them, the earliest first.
struct LaneStop {
  unsigned redo = 0;
  unsigned finish = 0;
  unsigned held = 0;
};

// Whether the running test's next steps can be taken in a lane.
bool FitsLane(const SimState& s);

// Lane k takes over the test's present state (the test must fit a lane).
void LoadLane(LaneBlock& b, int k, const SimState& s, const RunningTest& r);
// The state of lane k in `m` (the block's `at` or one of `shown`) goes back into the
// test's records, as the run loop would have left them after the same steps.
void StoreLane(const LaneBlock& b, const LaneMotion& m, int k, SimState& s, RunningTest& r);
// What held display j of lane k shows, with its speeds and escape speeds as
// the lanes computed them; true when those escape speeds are the test's (the
// pair regime), else the display computes them. The tables the next step
// reads stay behind: the test goes on in the lane, or StoreTables brings them.
bool StoreHeld(const LaneBlock& b, int j, int k, SimState& s, RunningTest& r);
// Of held display j of lane k, only what a yield reads: the step number and
// the display cadence.
void StoreHeldStep(const LaneBlock& b, int j, int k, SimState& s);
// Whether held display j of lane k shows the lanes' escape speeds (the pair
// regime) and finite values: whether its display step, when it shows nothing,
// can be passed without storing its state.
bool HeldValuesFinite(const LaneBlock& b, int j, int k, const SimState& s);
// The running sums and the pair geometry of `m`, lane k, into the test's tables.
void StoreTables(const LaneMotion& m, int k, PairTables& t);
// Lane `to` computes the same as lane `from`: an idle lane does harmless work.
void CopyLane(LaneBlock& b, int from, int to);

// Tests in flight per thread, as the user asks for them: 1 (one at a time),
// 2 (one SSE2 register), 4 (one AVX2 register, or two SSE2 registers without
// AVX2) and 8 (two AVX2 registers, AVX2 only).
bool LanesSupported(int lanes);
// The fastest the processor offers: 8 with AVX2, else 4.
int WidestLanes();
// The layout of a supported number of lanes above 1.
LaneShape ShapeOfLanes(int lanes);
// Whether this processor can run a layout (1 or 2 groups; AVX2 for width 4).
bool ShapeSupported(LaneShape shape);

// Steps the lanes in `active` (a bit mask) until one of them stops; on the
// way, lanes may hold display steps (up to kHeldDisplays each). The shape must be supported.
LaneStop AdvanceLanes(LaneBlock& b, LaneShape shape, unsigned active);

// The kernels of each instruction set (lane_step.cpp, lane_step_avx2.cpp),
// for 1 or 2 groups.
LaneStop AdvanceSse2Lanes(LaneBlock& b, int groups, unsigned active);
LaneStop AdvanceAvx2Lanes(LaneBlock& b, int groups, unsigned active);

}  // namespace lab
