// Inside one test of a series: the positions and velocities of the three
// bodies over time, the change of their energy and angular momentum, and the
// moments of the encounter (closest approaches, absorptions, the end). The
// test is exactly the one the series runs at that angle: it starts from the
// state the series has when it reaches that test and is integrated by the
// same arithmetic, so its last point is the state behind the series' row.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "encounter/errors.h"
#include "encounter/scenario.h"
#include "encounter/series.h"

namespace encounter {

struct TrajectoryOptions {
  // As for a series: "euler-sums", "gauss-radau" or "bulirsch-stoer".
  std::string integrator = "euler-sums";
  // A point every this many of the fixed method's time steps, at the times
  // n x every x time step; the accurate methods are sampled at the same
  // times from their own interpolating polynomial. At least 1.
  std::int64_t every = 1;
  // Instead of every: a point at each display step (the fixed method: the
  // steps whose points the Trajectory Display plots; an accurate method:
  // the end of each of its own steps).
  bool display_steps = false;
  // As for a series: Next is pressed at the first display step at which the
  // test has run this many steps (0: no limit).
  std::int64_t max_steps = 50000000;
};

// What happens at a point; a point may carry several.
enum TrajectoryEvent : unsigned {
  kClosestApproach = 1,  // body 3 is nearest to its nearer partner
  kAbsorption = 2,       // body 3 and a partner met: the lighter lost its mass
  kEnd = 4,              // the last state of the test
};

struct TrajectoryPoint {
  std::int64_t step = 0;  // steps integrated so far (0: the start state)
  double t_s = 0;         // time since the start of the test (s)
  // Bodies 1, 2, 3 (index 0, 1, 2): mass (kg; 0 once absorbed), position
  // (km), velocity (km/s).
  std::array<double, 3> m_kg{}, x_km{}, y_km{}, vx_kms{}, vy_kms{};
  std::array<double, 3> v_kms{};  // speeds, as the series' rows take them (km/s)
  // (E - E0) / |E0| and (L - L0) / |L0| of the bodies that carry mass, E the
  // kinetic plus potential energy, L the angular momentum about the origin.
  double energy_change = 0, angmom_change = 0;
  unsigned events = 0;  // TrajectoryEvent bits
};

struct TrajectorySummary {
  std::int64_t test = 0;  // index of the test in the series
  double alpha = 0;       // its start angle (degrees)
  // Its row as the series gives it; best is decided among this test alone.
  Row row;
  std::int64_t points = 0;            // points delivered
  std::vector<std::string> warnings;  // as for the series
};

using PointCallback = std::function<void(const TrajectoryPoint&)>;

namespace detail {
struct TrajectoryImpl;
}

// The test of the scenario's series whose start angle is alpha (as the
// series steps it, or as its row prints it), set up and checked, ready to
// run once. Throws InputError for an angle that is not one of the series',
// every below 1, or what the series itself refuses.
class Trajectory {
 public:
  Trajectory(const Scenario& scenario, double alpha, const TrajectoryOptions& options);
  ~Trajectory();
  Trajectory(Trajectory&&) noexcept;
  Trajectory& operator=(Trajectory&&) noexcept;

  std::int64_t test() const;
  double alpha() const;
  // The unit the scenario shows distances in, "AU" or "km", and its length.
  const std::string& unit() const;
  double unit_km() const;
  const std::vector<std::string>& setup_warnings() const;

  // Points reach on_point in time order from a thread of the engine, one at
  // a time, none kept: a test of millions of steps costs memory only for
  // what the caller keeps. A true answer of stop (polled often, from that
  // thread) ends the test early: Stopped is thrown. Throws InputError for a
  // test whose values stopped being finite.
  TrajectorySummary Run(const PointCallback& on_point, const StopCallback& stop = {});

 private:
  std::unique_ptr<detail::TrajectoryImpl> impl_;
};

// Trajectory(scenario, alpha, options).Run(on_point, stop).
TrajectorySummary RunTrajectory(const Scenario& scenario, double alpha,
                                const TrajectoryOptions& options, const PointCallback& on_point,
                                const StopCallback& stop = {});

// The start state of each test of the series: angle, masses, positions,
// velocities and time step, as the series prepares them one after another.
struct StartState {
  std::int64_t test = 0;
  double alpha = 0;  // degrees
  std::array<double, 3> m_kg{}, x_km{}, y_km{}, vx_kms{}, vy_kms{};
  double tdelta_s = 0;  // the fixed method's time step
};
std::vector<StartState> StartStates(const Scenario& scenario);

// The columns of a trajectory's CSV, in order: name, unit, meaning. With full
// the positions in km follow those in the scenario's unit.
struct TrajectoryColumn {
  std::string name, unit, meaning;
};
std::vector<TrajectoryColumn> TrajectoryColumns(bool full);
// The header line and one point's line (each with its line feed); unit_km:
// the length of the unit the positions are given in; end: the test's end,
// named at the point that carries kEnd.
std::string TrajectoryCsvHeader(bool full);
std::string TrajectoryCsvLine(const TrajectoryPoint& p, double unit_km, bool full,
                              End end = End::kNone);
// The words of a point's events in the column "event", joined by ';'.
std::string TrajectoryEventText(unsigned events, End end);

}  // namespace encounter
