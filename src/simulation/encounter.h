// The encounter of body 2 with the pair: nearest and farther distance, the
// test minima, closest approaches, the end of a test, escape speeds, and the
// three rows of the Data Display.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "simulation/pair_tables.h"
#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

struct Encounter {
  double rmax = 0;  // squared distance of body 2 to the farther of bodies 0 and 1
  int pcnt = 0;     // closest approaches counted in the test (central-mass regime)
  double vesc1 = 0, vesc2 = 0, vesc3 = 0;
  double ratio1 = 0, ratio2 = 0, ratio3 = 0;
  double vescshown = 0, vsel = 0;
  int selbody = 0;  // whose speed vsel is: body 0 or body 1
  const char* vescheading = "Vesc #1";
  std::int64_t clockstamp = 0;  // time of day of the last update of row 0
};

// A clock stamp no time of day equals: the next display step updates row 0.
inline constexpr std::int64_t kClockReset = std::numeric_limits<std::int64_t>::min();

inline bool CentralMass(const SimState& s) { return s.m1 >= s.mbig; }

// Speeds and distances as shown: cut towards minus infinity, never rounded.
std::string SpeedText(double speed);
std::string DistanceText(const SimState& s, double squared);

void TrackEncounter(SimState& s, Encounter& e, const double (&R2)[kSlots][kSlots]);
void CheckClosestApproach(SimState& s, Encounter& e);

// The parts of the two above, for integrators that locate the events in
// continuous time. The nearer (rr2) and farther (rmax) squared distance of
// body 2 among the bodies with mass; the test minima; the four end
// conditions; a closest approach of body 2 to its nearer body at rr2.
void NearAndFar(const SimState& s, const double (&R2)[kSlots][kSlots], double* rr2, double* rmax);
void UpdateMinima(SimState& s, const double (&R2)[kSlots][kSlots]);
void CheckEndConditions(SimState& s, const Encounter& e);
void CountClosestApproach(SimState& s, Encounter& e);
// The escape speeds of the pair regime and the speeds' quotients by them.
template <class T>
struct PairEscape {
  T vesc1, vesc2, vesc3;
  T q1, q2, q3;  // v[0] / vesc1, v[1] / vesc2, v[2] / vesc3
};

// Body 0's escape speed from body 2's pull at their distance, body 1's
// likewise, body 2's from both. Written once for any number type whose
// operations round as a double's do (a double, or a vector of lanes), with
// its square root; always inlined, so that a vector never crosses a call.
template <class T, class Root>
[[gnu::always_inline]] inline PairEscape<T> PairEscapeSpeeds(const T (&m)[3], T G, T r02sq, T r12sq,
                                                             const T (&v)[3], Root root) {
  const T d02 = root(r02sq);
  const T d12 = root(r12sq);
  PairEscape<T> e;
  e.vesc1 = root((m[2] * (G * 2.0)) / d02);
  e.vesc2 = root((m[2] * (G * 2.0)) / d12);
  e.vesc3 = root((G * 2.0) * (m[0] / d02 + m[1] / d12));
  e.q1 = v[0] / e.vesc1;
  e.q2 = v[1] / e.vesc2;
  e.q3 = v[2] / e.vesc3;
  return e;
}

// The escape speeds and ratios of the step (ratios of bodies without mass are 0).
void ComputeEscapeSpeeds(const SimState& s, Encounter& e, const double (&R2)[kSlots][kSlots]);
// The same when the pair regime's values were computed elsewhere (by the lanes).
void TakeEscapeSpeeds(const SimState& s, Encounter& e, const PairEscape<double>& pair);
void UpdateLiveResults(SimState& s, Encounter& e, DisplayPort& port);
void WriteTestResults(SimState& s, const Encounter& e, DisplayPort& port);

// The absorption of body 2's partner updates that pair's minimum.
void AbsorptionMinimum(SimState& s, int i, int j, double r2);

// The twelve values row 0 and row 1 show, as one number: 0 when all are
// finite, NaN otherwise (x - x is 0 for a finite x and NaN for an infinity
// or a NaN, and a sum with a NaN in it is NaN), without a branch for each.
// The speeds, the escape speeds and ratios, body 2's nearer and farther
// squared distance and the test's least. Written once for a double and for
// a vector of lanes.
template <class T>
[[gnu::always_inline]] inline T ShownValuesSum(const T (&v)[3], const PairEscape<T>& e, T rr2, T rmax,
                                               T rmin) {
  const auto zero = [](T x) { return x - x; };
  return ((zero(v[0]) + zero(v[1])) + (zero(v[2]) + zero(e.vesc1))) +
         ((zero(e.vesc2) + zero(e.vesc3)) + (zero(e.q1) + zero(e.q2))) +
         ((zero(e.q3) + zero(rr2)) + (zero(rmax) + zero(rmin)));
}

// False when a value row 0 or row 1 would show is not finite.
bool ShownValuesFinite(const SimState& s, const Encounter& e);

// Whether a finished test could go into row 2, and with which ratio.
bool BestCandidate(const SimState& s, const Encounter& e, double* ratio);

// Row 2 takes a candidate when it holds no test yet or the ratio is smaller.
inline bool BeatsBest(double bestratio, double ratio) {
  return bestratio == 0 || bestratio > ratio;
}

}  // namespace lab
