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
void ComputeEscapeSpeeds(const SimState& s, Encounter& e, const double (&R2)[kSlots][kSlots]);
void UpdateLiveResults(SimState& s, Encounter& e, DisplayPort& port);
void WriteTestResults(SimState& s, const Encounter& e, DisplayPort& port);

// The absorption of body 2's partner updates that pair's minimum.
void AbsorptionMinimum(SimState& s, int i, int j, double r2);

// False when a value row 0 or row 1 would show is not finite.
bool ShownValuesFinite(const SimState& s, const Encounter& e);

// Whether a finished test could go into row 2, and with which ratio.
bool BestCandidate(const SimState& s, const Encounter& e, double* ratio);

// Row 2 takes a candidate when it holds no test yet or the ratio is smaller.
inline bool BeatsBest(double bestratio, double ratio) {
  return bestratio == 0 || bestratio > ratio;
}

}  // namespace lab
