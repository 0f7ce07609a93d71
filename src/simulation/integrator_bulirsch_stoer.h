// The motion of three bodies under their mutual gravitation, integrated
// accurately: Bulirsch-Stoer extrapolation with an adaptive step and dense
// output, so that the state is known at every moment of the last step.
// Bodies without mass neither move nor attract.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace lab {

// Positions (km) and velocities (km/s) of bodies 0..2, with their masses (kg).
struct Bodies {
  std::array<double, 3> m{}, x{}, y{}, vx{}, vy{};
};

// Relative and absolute tolerance of a step, in units of the length and the
// time of the problem (see AccurateMotion).
inline constexpr double kAccurateTolerance = 1e-14;

class AccurateMotion {
 public:
  // length: a length typical of the problem (km), the unit of the integration;
  // its time unit follows from G and the total mass. Time starts at 0 (s).
  AccurateMotion(double G, const Bodies& start, double length, double tolerance);
  ~AccurateMotion();
  AccurateMotion(const AccurateMotion&) = delete;
  AccurateMotion& operator=(const AccurateMotion&) = delete;

  // One adaptive step; returns the time reached (s).
  double Step();
  double Time() const;          // end of the last step (s)
  double PreviousTime() const;  // its start (s)
  std::int64_t Steps() const { return steps_; }

  // The bodies at time t within the last step (s); masses as integrated.
  Bodies At(double t) const;
  // The same, integrated to t rather than interpolated: for the state at an
  // event, from which the results are taken or the integration goes on.
  Bodies Exact(double t) const;
  // Goes on from the bodies b at time t (after a change of the masses).
  void Restart(double t, const Bodies& b);

  // Integrates to time t exactly (s), for callers without events.
  Bodies Advance(double t);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::int64_t steps_ = 0;
};

}  // namespace lab
