// The public library's trajectory of one test and the start states of a
// series: the scenario and options turned into the engine's request, the
// engine's outcome into the library's summary.
#include "encounter/trajectory.h"

#include "api/api_rows.h"
#include "records/trajectory_csv.h"
#include "series/series_starts.h"
#include "series/trajectory_run.h"

namespace encounter {

namespace detail {
struct TrajectoryImpl {
  std::unique_ptr<lab::PreparedTrajectory> engine;
  std::string unit;
};
}  // namespace detail

Trajectory::Trajectory(const Scenario& scenario, double alpha, const TrajectoryOptions& options)
    : impl_(std::make_unique<detail::TrajectoryImpl>()) {
  SeriesOptions series;
  series.integrator = options.integrator;
  series.max_steps = options.max_steps;
  try {
    impl_->engine = std::make_unique<lab::PreparedTrajectory>(
        lab::RequestOf(scenario, series), alpha,
        lab::TrajectorySettings{options.every, options.display_steps});
  } catch (const lab::RefusedInput& e) {
    throw InputError(e.what());
  }
  impl_->unit = impl_->engine->au() ? "AU" : "km";
}

Trajectory::~Trajectory() = default;
Trajectory::Trajectory(Trajectory&&) noexcept = default;
Trajectory& Trajectory::operator=(Trajectory&&) noexcept = default;

std::int64_t Trajectory::test() const { return impl_->engine->test(); }
double Trajectory::alpha() const { return impl_->engine->alpha(); }
const std::string& Trajectory::unit() const { return impl_->unit; }
double Trajectory::unit_km() const { return impl_->engine->au() ? impl_->engine->auc() : 1; }
const std::vector<std::string>& Trajectory::setup_warnings() const {
  return impl_->engine->setup_warnings();
}

TrajectorySummary Trajectory::Run(const PointCallback& on_point, const StopCallback& stop) {
  const PointCallback sink = on_point ? on_point : [](const TrajectoryPoint&) {};
  lab::TrajectoryOutcome outcome;
  try {
    outcome = impl_->engine->Run(sink, lab::RunStop(stop));
  } catch (const lab::RefusedInput& e) {
    throw InputError(e.what());
  } catch (const lab::Interrupted&) {
    throw Stopped("stopped before the test ended");
  }
  TrajectorySummary summary;
  summary.test = test();
  summary.alpha = alpha();
  summary.row = lab::ApiRow(summary.test, outcome.row, outcome.line);
  summary.points = outcome.points;
  summary.warnings = outcome.warnings;
  return summary;
}

TrajectorySummary RunTrajectory(const Scenario& scenario, double alpha,
                                const TrajectoryOptions& options, const PointCallback& on_point,
                                const StopCallback& stop) {
  return Trajectory(scenario, alpha, options).Run(on_point, stop);
}

std::vector<StartState> StartStates(const Scenario& scenario) {
  const lab::SeriesRequest request = lab::RequestOf(scenario, SeriesOptions{});
  std::int64_t tests = 0;
  try {
    tests = lab::PreparedSeries(request).series_tests();
  } catch (const lab::RefusedInput& e) {
    throw InputError(e.what());
  }
  lab::SimState next = lab::SeriesBase(request);
  lab::HeadlessPort port(next);
  std::vector<StartState> starts;
  for (std::int64_t t = 0; t < tests; ++t) {
    if (!lab::PrepareNextStart(next, port)) throw InputError(port.messages.back());
    StartState st;
    st.test = t;
    st.alpha = next.alpha;
    st.tdelta_s = next.tdelta;
    for (int k = 0; k < 3; ++k) {
      st.m_kg[k] = next.m[k];
      st.x_km[k] = next.x0[k];
      st.y_km[k] = next.y0[k];
      st.vx_kms[k] = next.vx0[k];
      st.vy_kms[k] = next.vy0[k];
    }
    starts.push_back(st);
  }
  return starts;
}

std::vector<TrajectoryColumn> TrajectoryColumns(bool full) {
  std::vector<TrajectoryColumn> columns;
  for (const lab::TrajectoryColumnInfo& c : lab::TrajectoryColumnTable())
    if (full || !c.full_only) columns.push_back({c.name, c.unit, c.meaning});
  return columns;
}

std::string TrajectoryCsvHeader(bool full) { return lab::TrajectoryHeader(full); }

std::string TrajectoryCsvLine(const TrajectoryPoint& p, double unit_km, bool full, End end) {
  return lab::TrajectoryLine(p, unit_km, full, EndName(end));
}

std::string TrajectoryEventText(unsigned events, End end) {
  return lab::EventText(events, EndName(end));
}

}  // namespace encounter
