// One test of the series integrated accurately: the same set-up, end
// conditions and results as the fixed-step run loop, with the motion from an
// AccurateMotion and the events of the encounter located in continuous time:
// an absorption at the moment the distance reaches the absorption distance,
// a closest approach at the true minimum of the distance, the escape and
// recession ends where the distance crosses its limit.
#pragma once

#include <memory>

#include "simulation/accurate_motion.h"
#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

// The integrators a test can run with.
enum class Integrator { kEulerSums, kBulirschStoer, kGaussRadau };
inline constexpr const char* kEulerSumsName = "euler-sums";
inline constexpr const char* kBulirschStoerName = "bulirsch-stoer";
inline constexpr const char* kGaussRadauName = "gauss-radau";

// The accurate method that --crosscheck compares with: the faster one.
inline constexpr Integrator kFastestAccurate = Integrator::kGaussRadau;
inline constexpr const char* kFastestAccurateName = kGaussRadauName;

// What a caller following the test sees of it (a trajectory): the path of
// the bodies between the moments at which the test's state is loaded, and
// those moments. Nothing here changes the test.
class AccurateWatch {
 public:
  enum Moment : unsigned { kStepEnd = 0, kClosest = 1, kAbsorbed = 2, kEnded = 4 };
  virtual ~AccurateWatch() = default;
  // The motion holds the path in (t0, t1] (s), with the masses of s.
  virtual void Path(double t0, double t1, const AccurateMotion& motion, const SimState& s) = 0;
  // The state s (positions x, y, velocities vxcur, vycur, masses m) at time t.
  virtual void At(double t, const SimState& s, Moment what) = 0;
};

// The motion of an accurate method from the bodies at time 0, with its own
// tolerance divided by tighter. length: the unit of length (km).
std::unique_ptr<AccurateMotion> MakeAccurateMotion(Integrator method, double G, const Bodies& start,
                                                   double length, double tighter = 1);

// As RunOneTest: one test at the angle alpha0, from its set-up to its results,
// reported to the port, with an accurate method. tcnt counts its steps. False
// when the set-up was refused.
bool RunOneTestAccurate(Integrator method, SimState& s, DisplayPort& port, double tighter = 1);

// The same from a state already set up (INITIALISE or its equivalent); a
// watch, when given, follows it.
void IntegrateTestAccurate(Integrator method, SimState& s, DisplayPort& port, double tighter = 1,
                           AccurateWatch* watch = nullptr);

// The one with the integrator chosen.
bool RunOneTestWith(Integrator integrator, SimState& s, DisplayPort& port);

}  // namespace lab
