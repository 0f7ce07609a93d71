#include "simulation/integrator_bulirsch_stoer.h"

#include <boost/numeric/odeint/integrate/integrate_adaptive.hpp>
#include <boost/numeric/odeint/stepper/bulirsch_stoer.hpp>
#include <boost/numeric/odeint/stepper/bulirsch_stoer_dense_out.hpp>
#include <cmath>

namespace lab {

namespace {

// x, y, vx, vy of each body, in units of the problem's length and time.
using Real = long double;
using Vector = std::array<Real, 12>;

// Accelerations of the bodies with mass; mu is each mass over the total, so
// that G times the total mass is 1 in these units.
struct Gravity {
  std::array<Real, 3> mu{};
  void operator()(const Vector& q, Vector& dq, Real /*t*/) const {
    for (int i = 0; i < 3; ++i) {
      Real ax = 0;
      Real ay = 0;
      if (mu[i] > 0) {
        for (int j = 0; j < 3; ++j) {
          if (j == i || !(mu[j] > 0)) continue;
          const Real dx = q[4 * j] - q[4 * i];
          const Real dy = q[4 * j + 1] - q[4 * i + 1];
          const Real r2 = dx * dx + dy * dy;
          const Real f = mu[j] / (r2 * std::sqrt(r2));
          ax += f * dx;
          ay += f * dy;
        }
        dq[4 * i] = q[4 * i + 2];
        dq[4 * i + 1] = q[4 * i + 3];
      } else {
        dq[4 * i] = 0;
        dq[4 * i + 1] = 0;
      }
      dq[4 * i + 2] = ax;
      dq[4 * i + 3] = ay;
    }
  }
};

using Stepper = boost::numeric::odeint::bulirsch_stoer_dense_out<Vector, Real>;

}  // namespace

struct BulirschStoerMotion::Impl {
  double length = 1;  // km per unit
  double time = 1;    // s per unit
  double total = 0;   // total mass at the start (kg)
  double tolerance = 0;
  Gravity gravity;
  Stepper stepper;
  Vector before{};  // the state at the start of the last step
  Real since = 0;   // and its time (units)

  explicit Impl(double tol) : tolerance(tol), stepper(Real(tol), Real(tol), 1.0, 1.0, 0.0, true) {}

  Vector Scaled(const Bodies& b) const {
    Vector q{};
    const Real speed = Real(length) / time;
    for (int i = 0; i < 3; ++i) {
      q[4 * i] = b.x[i] / Real(length);
      q[4 * i + 1] = b.y[i] / Real(length);
      q[4 * i + 2] = b.vx[i] / speed;
      q[4 * i + 3] = b.vy[i] / speed;
    }
    return q;
  }
  Bodies Unscaled(const Vector& q) const {
    Bodies b;
    const Real speed = Real(length) / time;
    for (int i = 0; i < 3; ++i) {
      b.m[i] = static_cast<double>(gravity.mu[i] * total);
      b.x[i] = static_cast<double>(q[4 * i] * length);
      b.y[i] = static_cast<double>(q[4 * i + 1] * length);
      b.vx[i] = static_cast<double>(q[4 * i + 2] * speed);
      b.vy[i] = static_cast<double>(q[4 * i + 3] * speed);
    }
    return b;
  }
  void Start(const Bodies& b, double t) {
    for (int i = 0; i < 3; ++i) gravity.mu[i] = b.m[i] > 0 ? Real(b.m[i]) / total : 0;
    // A first step well inside the fastest time scale; the control widens it.
    stepper.initialize(Scaled(b), Real(t) / time, Real(1e-4));
  }
};

BulirschStoerMotion::BulirschStoerMotion(double G, const Bodies& start, double length,
                                         double tolerance)
    : impl_(std::make_unique<Impl>(tolerance)) {
  double total = 0;
  for (double m : start.m) total += m > 0 ? m : 0;
  impl_->length = length;
  impl_->total = total;
  impl_->time = std::sqrt(length * length * length / (G * total));
  impl_->Start(start, 0);
}

BulirschStoerMotion::~BulirschStoerMotion() = default;

double BulirschStoerMotion::Step() {
  impl_->before = impl_->stepper.current_state();
  impl_->since = impl_->stepper.current_time();
  impl_->stepper.do_step(std::cref(impl_->gravity));
  ++steps_;
  return Time();
}

double BulirschStoerMotion::Time() const {
  return static_cast<double>(impl_->stepper.current_time() * impl_->time);
}

Bodies BulirschStoerMotion::At(double t) const {
  const Real u = Real(t) / impl_->time;
  if (t == Time()) return impl_->Unscaled(impl_->stepper.current_state());
  Vector q;
  impl_->stepper.calc_state(u, q);
  return impl_->Unscaled(q);
}

Bodies BulirschStoerMotion::Exact(double t) const {
  const Real u = Real(t) / impl_->time;
  if (t == Time() || !(u > impl_->since)) return At(t);
  // From the start of the step, integrated to the moment itself rather than
  // interpolated: the state at an event is as good as at a step's end.
  Vector q = impl_->before;
  boost::numeric::odeint::bulirsch_stoer<Vector, Real> stepper(impl_->tolerance, impl_->tolerance);
  boost::numeric::odeint::integrate_adaptive(stepper, std::cref(impl_->gravity), q, impl_->since, u,
                                             u - impl_->since);
  return impl_->Unscaled(q);
}

void BulirschStoerMotion::Restart(double t, const Bodies& b) { impl_->Start(b, t); }

}  // namespace lab
