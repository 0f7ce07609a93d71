// The motion of three bodies under their mutual gravitation, integrated
// accurately in double precision: Everhart's implicit Runge-Kutta scheme on
// Gauss-Radau spacings (15th order), with the adaptive step of Rein & Spiegel
// (2015) and compensated summation of positions and velocities. Within a step
// the acceleration is a polynomial of degree 7 in time; its integrals give the
// state at any moment of the step.
#pragma once

#include <cstdint>
#include <memory>

#include "simulation/accurate_motion.h"

namespace lab {

// The step's precision parameter: the largest acceleration coefficient of
// degree 7 over the largest acceleration. It keeps the error of a step at
// the rounding of double precision.
inline constexpr double kGaussRadauTolerance = 1e-9;

class GaussRadauMotion final : public AccurateMotion {
 public:
  // length: a length typical of the problem (km), the unit of the integration;
  // its time unit follows from G and the total mass. Time starts at 0 (s).
  GaussRadauMotion(double G, const Bodies& start, double length, double tolerance);
  ~GaussRadauMotion() override;
  GaussRadauMotion(const GaussRadauMotion&) = delete;
  GaussRadauMotion& operator=(const GaussRadauMotion&) = delete;

  double Step() override;
  double Time() const override;
  std::int64_t Steps() const override { return steps_; }
  Bodies At(double t) const override;
  Bodies Exact(double t) const override;
  void Restart(double t, const Bodies& b) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::int64_t steps_ = 0;
};

// The seven Gauss-Radau spacings in (0, 1): the step's substeps.
const double* GaussRadauSpacings();

}  // namespace lab
