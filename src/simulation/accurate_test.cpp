#include "simulation/accurate_test.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "setup/initial_conditions.h"
#include "setup/number_text.h"
#include "simulation/encounter.h"
#include "simulation/integrator_bulirsch_stoer.h"
#include "simulation/integrator_gauss_radau.h"
#include "simulation/plotting.h"
#include "simulation/run_loop.h"

namespace lab {

namespace {

// Each step is searched for events on this many equal parts, so that a
// distance that falls and rises again within one step is not missed.
constexpr int kParts = 2;

// Points drawn between two step ends, at most: enough for a smooth path at
// the size of the Trajectory Display.
constexpr int kPointsPerStep = 32;

// Squared distance of body 2 to body k, and half its rate of change.
double Distance2(const Bodies& b, int k) {
  const double dx = b.x[2] - b.x[k];
  const double dy = b.y[2] - b.y[k];
  return dx * dx + dy * dy;
}
double Closing(const Bodies& b, int k) {
  return (b.x[2] - b.x[k]) * (b.vx[2] - b.vx[k]) + (b.y[2] - b.y[k]) * (b.vy[2] - b.vy[k]);
}

// The first moment in (lo, hi] at which holds(t) is true, given that it is
// false at lo and true at hi: the moment just after the change.
template <typename Holds>
double FirstTrue(double lo, double hi, Holds holds) {
  for (int i = 0; i < 200; ++i) {
    const double mid = lo + (hi - lo) / 2;
    if (!(mid > lo && mid < hi)) break;
    if (holds(mid)) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return hi;
}

enum class Scan { kNothing, kEnded, kRestarted };

class AccurateTest {
 public:
  AccurateTest(Integrator method, SimState& s, DisplayPort& port, double tighter,
               AccurateWatch* watch)
      : s_(s),
        port_(port),
        owned_(MakeAccurateMotion(method, s.G, StartBodies(s), s.dist1, tighter)),
        motion_(*owned_),
        watch_(watch) {}

  // True when the test ended with results.
  bool Run() {
    LoadAt(0, motion_.At(0), true);
    for (;;) {
      const double t0 = motion_.Time();
      const double t1 = motion_.Step();
      path_from_ = t0;
      s_.tcnt = motion_.Steps();
      Scan scan = Scan::kNothing;
      for (int p = 1; p <= kParts && scan == Scan::kNothing; ++p) {
        const double lo = t0 + (t1 - t0) * (p - 1) / kParts;
        const double hi = p == kParts ? t1 : t0 + (t1 - t0) * p / kParts;
        scan = ScanPart(lo, hi);
      }
      if (scan == Scan::kEnded) return Finish();
      if (scan == Scan::kNothing) {
        PlotBetween(t0, t1);
        Reach(t1);
        LoadAt(t1, motion_.At(t1));
        Track();
      }
      ComputeEscapeSpeeds(s_, e_, R2_);
      if (ShownValuesFinite(s_, e_)) {
        UpdateLiveResults(s_, e_, port_);
        PlotBodies(s_, e_, port_);
      }
      Tell(AccurateWatch::kStepEnd);
      s_.plotstep = 1;
      port_.YieldEvents();
      if (s_.runstate == 1) return false;
      if (s_.endtest == 1) return Finish();
    }
  }

  Encounter& encounter() { return e_; }
  // The watch, if any, sees the loaded state.
  void Tell(AccurateWatch::Moment what) {
    if (watch_) watch_->At(time_, s_, what);
  }
  // Time of the loaded state since the start of the test (s).
  double time() const { return time_; }

 private:
  // The paths drawn as the windows' method draws them far from an encounter:
  // a point every hundred of its time steps, taken from the dense output, at
  // most kPointsPerStep in one step.
  void PlotBetween(double t0, double t1) {
    if (!port_.DrawsPoints()) return;
    const double every = std::max(100 * s_.tdelta, (t1 - t0) / kPointsPerStep);
    if (!(every > 0)) return;
    for (double k = std::floor(t0 / every) + 1; k * every < t1; k += 1) {
      LoadAt(k * every, motion_.At(k * every));
      PlotBodies(s_, e_, port_);
    }
  }

  // The watch, if any, sees the path up to t.
  void Reach(double t) {
    if (watch_ && t > path_from_) watch_->Path(path_from_, t, motion_, s_);
    path_from_ = t;
  }

  // Bodies 0 to 2 from the state's per-body arrays.
  static Bodies BodiesOf(const double* m, const double* x, const double* y, const double* vx,
                         const double* vy) {
    Bodies b;
    for (int i = 0; i < 3; ++i) {
      b.m[i] = m[i];
      b.x[i] = x[i];
      b.y[i] = y[i];
      b.vx[i] = vx[i];
      b.vy[i] = vy[i];
    }
    return b;
  }
  static Bodies StartBodies(const SimState& s) { return BodiesOf(s.m, s.x0, s.y0, s.vx0, s.vy0); }

  // The bodies with mass take the state b; the pair table follows for the
  // pairs of bodies with mass (the others keep their last distances, which
  // at the start are those of the start state, as in the fixed-step loop).
  // The state at time t of the test (s) becomes the loaded one.
  void LoadAt(double t, const Bodies& b, bool every_pair = false) {
    time_ = t;
    Load(b, every_pair);
  }

  void Load(const Bodies& b, bool every_pair = false) {
    for (int i = 0; i < 3; ++i) {
      if (!(s_.m[i] > 0)) continue;
      s_.x[i] = b.x[i];
      s_.y[i] = b.y[i];
      s_.vxcur[i] = b.vx[i];
      s_.vycur[i] = b.vy[i];
      s_.v[i] = std::sqrt(b.vx[i] * b.vx[i] + b.vy[i] * b.vy[i]);
    }
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        if (i == j || (!every_pair && (!(s_.m[i] > 0) || !(s_.m[j] > 0)))) continue;
        const double dx = s_.x[j] - s_.x[i];
        const double dy = s_.y[j] - s_.y[i];
        R2_[i][j] = dx * dx + dy * dy;
      }
    }
  }

  // Nearer and farther distance, minima and end conditions at the loaded state.
  void Track() {
    NearAndFar(s_, R2_, &s_.rr2, &e_.rmax);
    UpdateMinima(s_, R2_);
    CheckEndConditions(s_, e_);
  }

  // Whether an end condition holds with the bodies at b, the state of the
  // test unchanged.
  bool EndsWith(const Bodies& b) const {
    double R2[kSlots][kSlots];
    std::copy(&R2_[0][0], &R2_[0][0] + kSlots * kSlots, &R2[0][0]);
    for (int k = 0; k < 2; ++k) {
      if (s_.m[k] > 0 && s_.m[2] > 0) R2[k][2] = R2[2][k] = Distance2(b, k);
    }
    SimState c = s_;
    Encounter ce = e_;
    NearAndFar(c, R2, &c.rr2, &ce.rmax);
    CheckEndConditions(c, ce);
    return c.endtest == 1;
  }

  // The events in (lo, hi], earliest first, until the test ends or an
  // absorption changes the masses.
  Scan ScanPart(double lo, double hi) {
    for (;;) {
      enum Kind { kNone, kAbsorb, kMinimum, kEnd } kind = kNone;
      double when = hi;
      int pair = -1;
      const Bodies blo = motion_.At(lo);
      const Bodies bhi = motion_.At(hi);
      for (int k = 0; k < 2; ++k) {
        if (!(s_.m[k] > 0 && s_.m[2] > 0)) continue;
        const double limit = s_.rr2limit[k][2];
        double bottom = hi;
        const bool minimum = Closing(blo, k) < 0 && Closing(bhi, k) >= 0;
        if (minimum) {
          bottom = FirstTrue(lo, hi, [&](double t) { return Closing(motion_.At(t), k) >= 0; });
        }
        if (Distance2(motion_.At(bottom), k) < limit) {
          const double t = Distance2(blo, k) < limit ? lo : FirstTrue(lo, bottom, [&](double u) {
            return Distance2(motion_.At(u), k) < limit;
          });
          if (kind == kNone || t < when || (t == when && kind != kAbsorb)) {
            kind = kAbsorb;
            when = t;
            pair = k;
          }
        } else if (minimum && (kind == kNone || bottom < when)) {
          kind = kMinimum;
          when = bottom;
          pair = k;
        }
      }
      if (EndsWith(bhi)) {
        const double t = FirstTrue(lo, hi, [&](double u) { return EndsWith(motion_.At(u)); });
        if (kind == kNone || t < when) {
          kind = kEnd;
          when = t;
        }
      }
      if (kind == kNone) return Scan::kNothing;

      Reach(when);
      LoadAt(when, motion_.Exact(when));
      if (kind == kAbsorb) {
        Absorb(pair, R2_[pair][2]);
        Tell(AccurateWatch::kAbsorbed);
        Track();
        if (s_.endtest == 1) return Scan::kEnded;
        motion_.Restart(when, CurrentBodies());
        return Scan::kRestarted;
      }
      Track();
      if (s_.endtest == 1) return Scan::kEnded;
      // A closest approach when body k is the nearer one. An end located a
      // hair early (the condition not yet holding at the exact state) goes on
      // from there.
      if (kind == kMinimum && s_.rr2 == R2_[pair][2]) {
        CountClosestApproach(s_, e_);
        Tell(AccurateWatch::kClosest);
        if (s_.endtest == 1) return Scan::kEnded;
      }
      lo = when;
      if (!(lo < hi)) return Scan::kNothing;
    }
  }

  // Body 2 and body k meet: the lighter of the two (body 2 on equal masses)
  // loses its mass, as in the fixed-step geometry pass for the pair (k, 2).
  void Absorb(int k, double r2) {
    s_.nalive = s_.nalive - 1;
    port_.SetFieldText(6, NumberText(s_.nalive));
    if (s_.m[k] < s_.m[2]) {
      s_.m[k] = 0;
    } else {
      s_.m[2] = 0;
    }
    AbsorptionMinimum(s_, k, 2, r2);
  }

  Bodies CurrentBodies() const { return BodiesOf(s_.m, s_.x, s_.y, s_.vxcur, s_.vycur); }

  // The last display step of the test, at the loaded state.
  bool Finish() {
    s_.endtest = 1;
    ComputeEscapeSpeeds(s_, e_, R2_);
    if (!ShownValuesFinite(s_, e_)) {
      port_.ShowMessage(
          "The test at " + NumberText(s_.alpha) + " degrees was ended after step " +
          NumberText(static_cast<double>(s_.tcnt)) +
          ": its values are no longer finite (two bodies met or a value overflowed).");
      return false;
    }
    UpdateLiveResults(s_, e_, port_);
    PlotBodies(s_, e_, port_);
    return true;
  }

  SimState& s_;
  DisplayPort& port_;
  std::unique_ptr<AccurateMotion> owned_;
  AccurateMotion& motion_;
  AccurateWatch* watch_;
  double path_from_ = 0;  // the watch has seen the path up to here
  Encounter e_;
  double R2_[kSlots][kSlots]{};
  double time_ = 0;
};

}  // namespace

std::unique_ptr<AccurateMotion> MakeAccurateMotion(Integrator method, double G, const Bodies& start,
                                                   double length, double tighter) {
  if (method == Integrator::kBulirschStoer) {
    return std::make_unique<BulirschStoerMotion>(G, start, length,
                                                 kBulirschStoerTolerance / tighter);
  }
  return std::make_unique<GaussRadauMotion>(G, start, length, kGaussRadauTolerance / tighter);
}

bool RunOneTestAccurate(Integrator method, SimState& s, DisplayPort& port, double tighter) {
  if (!INITIALISE(s, port)) return false;
  IntegrateTestAccurate(method, s, port, tighter);
  return true;
}

void IntegrateTestAccurate(Integrator method, SimState& s, DisplayPort& port, double tighter,
                           AccurateWatch* watch) {
  AccurateTest test(method, s, port, tighter, watch);
  BeginTest(s, test.encounter(), port);
  TestSummary summary;
  try {
    summary.results = test.Run();
  } catch (const std::exception& failure) {
    port.ShowMessage("The test at " + NumberText(s.alpha) + " degrees was ended after step " +
                     NumberText(static_cast<double>(s.tcnt)) +
                     ": the accurate integration could not go on (" + failure.what() + ").");
    summary.results = false;
  }
  test.Tell(AccurateWatch::kEnded);
  if (summary.results) {
    WriteTestResults(s, test.encounter(), port);
    summary.candidate = BestCandidate(s, test.encounter(), &summary.ratio);
    summary.vescshown = test.encounter().vescshown;
    summary.ratio_body = test.encounter().selbody + 1;
    summary.rmax = test.encounter().rmax;
  }
  summary.time = test.time();
  summary.alpha = s.alpha;
  summary.steps = s.tcnt;
  summary.endcause = s.endcause;
  port.TestFinished(summary);
}

bool RunOneTestWith(Integrator integrator, SimState& s, DisplayPort& port) {
  if (integrator == Integrator::kEulerSums) return RunOneTest(s, port);
  return RunOneTestAccurate(integrator, s, port);
}

}  // namespace lab
