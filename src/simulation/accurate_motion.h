// What an accurate integrator of the three bodies offers the experiment: an
// adaptive step, the state at any moment of the last step from the method's
// own interpolant, the state at an event integrated rather than interpolated,
// and a fresh start after an absorption. Bodies without mass neither move nor
// attract.
#pragma once

#include <array>
#include <cstdint>

namespace lab {

// Positions (km) and velocities (km/s) of bodies 0..2, with their masses (kg).
struct Bodies {
  std::array<double, 3> m{}, x{}, y{}, vx{}, vy{};
};

class AccurateMotion {
 public:
  virtual ~AccurateMotion() = default;

  // One adaptive step; returns the time reached (s). Time starts at 0.
  virtual double Step() = 0;
  virtual double Time() const = 0;  // end of the last step (s)
  virtual std::int64_t Steps() const = 0;

  // The bodies at time t within the last step (s), from the interpolant.
  virtual Bodies At(double t) const = 0;
  // The same, integrated to t rather than interpolated: for the state at an
  // event, from which the results are taken or the integration goes on.
  virtual Bodies Exact(double t) const = 0;
  // Goes on from the bodies b at time t (after a change of the masses).
  virtual void Restart(double t, const Bodies& b) = 0;

  // Integrates to time t exactly (s), for callers without events.
  Bodies Advance(double t) {
    while (Time() < t) Step();
    return At(t);
  }
};

}  // namespace lab
