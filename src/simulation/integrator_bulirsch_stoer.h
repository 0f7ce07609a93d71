// The motion of three bodies under their mutual gravitation, integrated
// accurately: Bulirsch-Stoer extrapolation with an adaptive step and dense
// output, so that the state is known at every moment of the last step.
// Bodies without mass neither move nor attract.
#pragma once

#include <cstdint>
#include <memory>

#include "simulation/accurate_motion.h"

namespace lab {

// Relative and absolute tolerance of a step, in units of the length and the
// time of the problem (see BulirschStoerMotion).
inline constexpr double kBulirschStoerTolerance = 1e-14;

class BulirschStoerMotion final : public AccurateMotion {
 public:
  // length: a length typical of the problem (km), the unit of the integration;
  // its time unit follows from G and the total mass. Time starts at 0 (s).
  BulirschStoerMotion(double G, const Bodies& start, double length, double tolerance);
  ~BulirschStoerMotion() override;
  BulirschStoerMotion(const BulirschStoerMotion&) = delete;
  BulirschStoerMotion& operator=(const BulirschStoerMotion&) = delete;

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

}  // namespace lab
