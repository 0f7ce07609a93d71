#include "series/trajectory_run.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "series/crosscheck.h"
#include "series/series_port.h"
#include "series/series_starts.h"
#include "setup/initial_conditions.h"
#include "setup/number_text.h"
#include "simulation/energy.h"
#include "simulation/run_loop.h"

namespace lab {

namespace {

using encounter::TrajectoryPoint;

// The bodies' state at one moment, as cheap to keep as the step it follows.
struct Snapshot {
  std::int64_t step = 0;
  double t = 0;
  double m[3]{}, x[3]{}, y[3]{}, vx[3]{}, vy[3]{};
};

Snapshot Take(std::int64_t step, double t, const double* m, const double* x, const double* y,
              const double* vx, const double* vy) {
  Snapshot n{step, t, {}, {}, {}, {}, {}};
  for (int k = 0; k < 3; ++k) {
    n.m[k] = m[k];
    n.x[k] = x[k];
    n.y[k] = y[k];
    n.vx[k] = vx[k];
    n.vy[k] = vy[k];
  }
  return n;
}

// Turns moments of the test into points for the sink, in time order, one
// point per moment: the events of one moment go into one point. The last
// point is kept back until a later moment comes, so that an event found one
// step late still joins it.
class PointMaker {
 public:
  PointMaker(const PointSink& sink, std::int64_t* count) : sink_(sink), count_(count) {}

  // The test is set up: its start state is the measure of the changes.
  void Begin(const SimState& s) {
    G_ = s.G;
    e0_ = EnergyOf(G_, s.m, s.x0, s.y0, s.vx0, s.vy0);
    l0_ = AngularMomentumOf(s.m, s.x0, s.y0, s.vx0, s.vy0);
  }

  // The moment n, not earlier than the last one added.
  void Add(const Snapshot& n, unsigned events) {
    if (pending_ && pending_->step == n.step && pending_->t_s == n.t) {
      pending_->events |= events;
      return;
    }
    Flush();
    pending_ = PointOf(n, events);
  }
  void Flush() {
    if (!pending_) return;
    sink_(*pending_);
    ++*count_;
    pending_.reset();
  }

 private:
  TrajectoryPoint PointOf(const Snapshot& n, unsigned events) const {
    TrajectoryPoint p;
    p.step = n.step;
    p.t_s = n.t;
    for (int k = 0; k < 3; ++k) {
      p.m_kg[k] = n.m[k];
      p.x_km[k] = n.x[k];
      p.y_km[k] = n.y[k];
      p.vx_kms[k] = n.vx[k];
      p.vy_kms[k] = n.vy[k];
      p.v_kms[k] = std::sqrt(n.vx[k] * n.vx[k] + n.vy[k] * n.vy[k]);  // as the step takes it
    }
    p.energy_change = (EnergyOf(G_, n.m, n.x, n.y, n.vx, n.vy) - e0_) / std::abs(e0_);
    p.angmom_change = (AngularMomentumOf(n.m, n.x, n.y, n.vx, n.vy) - l0_) / std::abs(l0_);
    p.events = events;
    return p;
  }

  double G_ = 0, e0_ = 0, l0_ = 0;
  const PointSink& sink_;
  std::int64_t* count_;
  std::optional<TrajectoryPoint> pending_;
};

// The present state into n, in place: the fixed method keeps one in every
// step in which the distance fell, so this is kept cheap.
void Keep(const SimState& s, Snapshot& n) {
  n.step = s.tcnt;
  n.t = static_cast<double>(s.tcnt) * s.tdelta;
  std::memcpy(n.m, s.m, sizeof n.m);
  std::memcpy(n.x, s.x, sizeof n.x);
  std::memcpy(n.y, s.y, sizeof n.y);
  std::memcpy(n.vx, s.vxcur, sizeof n.vx);
  std::memcpy(n.vy, s.vycur, sizeof n.vy);
}

Snapshot StartOf(const SimState& s) { return Take(0, 0, s.m, s.x0, s.y0, s.vx0, s.vy0); }
Snapshot NowOf(const SimState& s, double t) {
  return Take(s.tcnt, t, s.m, s.x, s.y, s.vxcur, s.vycur);
}

// The fixed method: the series' own step, with a look at the state after
// each. A closest approach is known one step late (the distance has risen
// again), so the state of a step whose distance fell is kept until the next.
void FollowFixed(SimState& s, SeriesPort& port, const TrajectorySettings& set, PointMaker& out) {
  RunningTest r;
  if (!SetUpTest(s, r, port)) return;
  out.Begin(s);
  out.Add(StartOf(s), 0);
  Snapshot falling;  // the last step in which the distance fell
  int nalive = s.nalive;
  std::int64_t countdown = set.every;  // steps to the next sample
  StepEnd end = StepEnd::kGoingOn;
  while (end == StepEnd::kGoingOn) {
    end = StepOnce(s, r, port);
    // The test's own test for a closest approach in the step before.
    if (s.rr2 > s.rr2prev && s.rr2prev < s.rr2prev2) out.Add(falling, encounter::kClosestApproach);
    unsigned events = 0;
    if (s.nalive != nalive) events |= encounter::kAbsorption;
    nalive = s.nalive;
    if (end != StepEnd::kGoingOn) events |= encounter::kEnd;
    const bool sampled = set.display_steps ? IsDisplayStep(s) : --countdown == 0;
    if (sampled && !set.display_steps) countdown = set.every;
    if (sampled || events != 0) out.Add(NowOf(s, static_cast<double>(s.tcnt) * s.tdelta), events);
    if (s.rr2 < s.rr2prev) Keep(s, falling);
  }
  out.Flush();
  FinishTest(s, r, port, end == StepEnd::kResults);
}

// An accurate method: the path sampled at the fixed method's times from the
// method's own interpolant, and the moments of its events.
class Follower : public AccurateWatch {
 public:
  Follower(const SimState& s, const TrajectorySettings& set, PointMaker& out)
      : set_(set), out_(out), tdelta_(s.tdelta) {}

  // The samples at the times n x every x tdelta in (t0, t1], each time
  // computed as the fixed method computes its own (steps x tdelta).
  void Path(double t0, double t1, const AccurateMotion& motion, const SimState& s) override {
    const double every = static_cast<double>(set_.every) * tdelta_;
    if (set_.display_steps || !(every > 0)) return;
    for (auto k = static_cast<std::int64_t>(std::floor(t0 / every));; ++k) {
      const double t = static_cast<double>(k * set_.every) * tdelta_;
      if (t > t1) break;
      if (!(t > t0)) continue;
      const Bodies b = motion.At(t);
      out_.Add(Take(s.tcnt, t, s.m, b.x.data(), b.y.data(), b.vx.data(), b.vy.data()), 0);
    }
  }
  void At(double t, const SimState& s, Moment what) override {
    if (what == kStepEnd && !set_.display_steps) return;
    unsigned events = 0;
    if (what == kClosest) events = encounter::kClosestApproach;
    if (what == kAbsorbed) events = encounter::kAbsorption;
    if (what == kEnded) events = encounter::kEnd;
    out_.Add(NowOf(s, t), events);
  }

 private:
  const TrajectorySettings& set_;
  PointMaker& out_;
  double tdelta_;
};

void FollowAccurate(Integrator method, SimState& s, SeriesPort& port,
                    const TrajectorySettings& set, PointMaker& out) {
  if (!INITIALISE(s, port)) return;
  out.Begin(s);
  out.Add(StartOf(s), 0);
  Follower follower(s, set, out);
  IntegrateTestAccurate(method, s, port, 1, &follower);
  out.Flush();
}

}  // namespace

std::int64_t TestOfAngle(const std::vector<double>& angles, double alpha) {
  for (std::size_t k = 0; k < angles.size(); ++k)
    if (angles[k] == alpha) return static_cast<std::int64_t>(k);
  const std::string shown = NumberText(alpha);
  for (std::size_t k = 0; k < angles.size(); ++k)
    if (NumberText(angles[k]) == shown) return static_cast<std::int64_t>(k);
  return -1;
}

PreparedTrajectory::PreparedTrajectory(SeriesRequest request, double alpha,
                                       const TrajectorySettings& settings)
    : settings_(settings) {
  if (settings.every < 1)
    throw RefusedInput("every must be a whole number of steps, 1 or more, not " +
                       std::to_string(settings.every));
  if (request.crosscheck) throw RefusedInput("a trajectory follows one method: no crosscheck");
  request.jobs = 1;
  request.lanes = 1;
  request.shard = request.shards = 0;
  request.picture = false;
  request.only.reset();
  request.run_test = [this](SimState& s, SeriesPort& port) { Follow(s, port); };
  const std::vector<double> angles = PreparedSeries(request).TestAngles();
  test_ = TestOfAngle(angles, alpha);
  if (test_ < 0) {
    const std::string first = angles.empty() ? "" : NumberText(angles.front());
    const std::string last = angles.empty() ? "" : NumberText(angles.back());
    throw RefusedInput("the angle " + NumberText(alpha) + " is not a start angle of the series (" +
                       std::to_string(angles.size()) + " tests from " + first + " to " + last +
                       " degrees)");
  }
  alpha_ = angles[static_cast<std::size_t>(test_)];
  request.only = std::vector<std::int64_t>{test_};
  auc_ = SeriesBase(request).auc;
  series_ = std::make_unique<PreparedSeries>(std::move(request));
  au_ = series_->au();
}

PreparedTrajectory::~PreparedTrajectory() = default;

const std::vector<std::string>& PreparedTrajectory::setup_warnings() const {
  return series_->setup_warnings();
}

void PreparedTrajectory::Follow(SimState& s, SeriesPort& port) {
  PointMaker out(*sink_, &points_);
  const Integrator method = IntegratorOfName(series_->request().integrator).value_or(Integrator::kEulerSums);
  if (method == Integrator::kEulerSums) {
    FollowFixed(s, port, settings_, out);
  } else {
    FollowAccurate(method, s, port, settings_, out);
  }
}

TrajectoryOutcome PreparedTrajectory::Run(const PointSink& sink, const RunStop& stop) {
  sink_ = &sink;
  TrajectoryOutcome outcome;
  outcome.warnings = series_->setup_warnings();
  SeriesEvents events;
  events.row = [&](std::int64_t, const TestRow& row, const std::string& line) {
    outcome.row = row;
    outcome.line = line;
  };
  events.warning = [&](const std::string& text) { outcome.warnings.push_back(text); };
  const SeriesResult result = series_->Run(events, stop);
  if (result.stopped) throw Interrupted{};
  outcome.points = points_;
  return outcome;
}

}  // namespace lab
