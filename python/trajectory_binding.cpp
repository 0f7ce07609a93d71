#include "trajectory_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "encounter/trajectory.h"
#include "engine_thread.h"
#include "scenario_of.h"

namespace lab {

namespace py = pybind11;

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::unique_ptr<encounter::Trajectory> MakeTrajectory(std::optional<std::string> test,
                                                      const Fields& fields,
                                                      const std::optional<std::string>& unit,
                                                      double alpha, const std::string& integrator,
                                                      std::int64_t every, bool display_steps,
                                                      std::int64_t max_steps) {
  encounter::TrajectoryOptions o;
  o.integrator = integrator;
  o.every = every;
  o.display_steps = display_steps;
  o.max_steps = max_steps;
  return std::make_unique<encounter::Trajectory>(ScenarioOf(std::move(test), fields, unit), alpha, o);
}

template <typename T, typename Get>
py::array_t<T> Column(const std::vector<encounter::TrajectoryPoint>& points, Get get) {
  py::array_t<T> a(static_cast<py::ssize_t>(points.size()));
  T* out = a.mutable_data();
  for (const encounter::TrajectoryPoint& p : points) *out++ = get(p);
  return a;
}

// The columns by the names of the CSV (event as the bits; the texts are
// the CSV's), and the CSV itself.
py::dict ResultOf(const encounter::Trajectory& t, const encounter::TrajectorySummary& summary,
                  const std::vector<encounter::TrajectoryPoint>& points, bool full) {
  const double unit = t.unit_km();
  py::dict c;
  c["step"] = Column<std::int64_t>(points, [](const auto& p) { return p.step; });
  c["t_s"] = Column<double>(points, [](const auto& p) { return p.t_s; });
  const char* const digits[3] = {"1", "2", "3"};
  for (int k = 0; k < 3; ++k) {
    c[py::str(std::string("x") + digits[k])] = Column<double>(points, [&](const auto& p) { return p.x_km[k] / unit; });
    c[py::str(std::string("y") + digits[k])] = Column<double>(points, [&](const auto& p) { return p.y_km[k] / unit; });
    c[py::str(std::string("x") + digits[k] + "_km")] = Column<double>(points, [&](const auto& p) { return p.x_km[k]; });
    c[py::str(std::string("y") + digits[k] + "_km")] = Column<double>(points, [&](const auto& p) { return p.y_km[k]; });
    c[py::str(std::string("vx") + digits[k])] = Column<double>(points, [&](const auto& p) { return p.vx_kms[k]; });
    c[py::str(std::string("vy") + digits[k])] = Column<double>(points, [&](const auto& p) { return p.vy_kms[k]; });
    c[py::str(std::string("v") + digits[k] + "_kms")] = Column<double>(points, [&](const auto& p) { return p.v_kms[k]; });
    c[py::str(std::string("m") + digits[k] + "_kg")] = Column<double>(points, [&](const auto& p) { return p.m_kg[k]; });
  }
  c["energy_change"] = Column<double>(points, [](const auto& p) { return p.energy_change; });
  c["angmom_change"] = Column<double>(points, [](const auto& p) { return p.angmom_change; });
  c["events"] = Column<std::uint32_t>(points, [](const auto& p) { return p.events; });
  std::string csv = encounter::TrajectoryCsvHeader(full);
  for (const encounter::TrajectoryPoint& p : points)
    csv += encounter::TrajectoryCsvLine(p, unit, full, summary.row.end);
  py::dict r;
  r["columns"] = c;
  r["csv"] = py::bytes(csv);
  r["row"] = summary.row.csv;
  r["end"] = encounter::EndName(summary.row.end);
  r["warnings"] = summary.warnings;
  r["test"] = summary.test;
  return r;
}

// Runs the test on the engine's thread (engine_thread.h), keeping its points.
py::dict RunTrajectory(encounter::Trajectory& t, bool full, const py::object& warn, double poll) {
  std::vector<encounter::TrajectoryPoint> points;
  std::optional<encounter::TrajectorySummary> summary;
  auto work = [&](Mailbox& box) {
    auto on_point = [&](const encounter::TrajectoryPoint& p) { points.push_back(p); };
    summary = t.Run(on_point, [&] { return box.Stop(); });
    for (std::size_t k = t.setup_warnings().size(); k < summary->warnings.size(); ++k)
      box.Warn(summary->warnings[k]);
  };
  RunOnEngineThread(work, 1, py::none(), warn, poll);
  return ResultOf(t, *summary, points, full);
}

py::dict StartStates(std::optional<std::string> test, const Fields& fields,
                     const std::optional<std::string>& unit) {
  std::vector<encounter::StartState> starts;
  {
    const encounter::Scenario scenario = ScenarioOf(std::move(test), fields, unit);
    py::gil_scoped_release release;
    starts = encounter::StartStates(scenario);
  }
  py::dict c;
  auto column = [&](auto get) {
    py::array_t<double> a(static_cast<py::ssize_t>(starts.size()));
    double* out = a.mutable_data();
    for (const encounter::StartState& s : starts) *out++ = get(s);
    return a;
  };
  py::array_t<std::int64_t> index(static_cast<py::ssize_t>(starts.size()));
  for (std::size_t k = 0; k < starts.size(); ++k) index.mutable_at(static_cast<py::ssize_t>(k)) = starts[k].test;
  c["test"] = index;
  c["alpha"] = column([](const auto& s) { return s.alpha; });
  const char* const digits[3] = {"1", "2", "3"};
  for (int k = 0; k < 3; ++k) {
    c[py::str(std::string("m") + digits[k] + "_kg")] = column([&](const auto& s) { return s.m_kg[k]; });
    c[py::str(std::string("x") + digits[k] + "_km")] = column([&](const auto& s) { return s.x_km[k]; });
    c[py::str(std::string("y") + digits[k] + "_km")] = column([&](const auto& s) { return s.y_km[k]; });
    c[py::str(std::string("vx") + digits[k])] = column([&](const auto& s) { return s.vx_kms[k]; });
    c[py::str(std::string("vy") + digits[k])] = column([&](const auto& s) { return s.vy_kms[k]; });
  }
  c["tdelta_s"] = column([](const auto& s) { return s.tdelta_s; });
  return c;
}

}  // namespace

void BindTrajectory(py::module_& m) {
  py::class_<encounter::Trajectory>(m, "Trajectory")
      .def(py::init(&MakeTrajectory), py::arg("test"), py::arg("fields"), py::arg("unit"),
           py::arg("alpha"), py::arg("integrator"), py::arg("every"), py::arg("display_steps"),
           py::arg("max_steps"))
      .def_property_readonly("test", &encounter::Trajectory::test)
      .def_property_readonly("alpha", &encounter::Trajectory::alpha)
      .def_property_readonly("unit", &encounter::Trajectory::unit)
      .def_property_readonly("unit_km", &encounter::Trajectory::unit_km)
      .def_property_readonly("setup_warnings", &encounter::Trajectory::setup_warnings)
      .def("run", &RunTrajectory, py::arg("full"), py::arg("warn"), py::arg("poll") = 0.05,
           "Runs the test; returns its points as columns, its CSV and its series row.");
  m.def("start_states", &StartStates, py::arg("test"), py::arg("fields"), py::arg("unit"),
        "The start state of each test of the series, as columns.");
  m.def(
      "trajectory_columns",
      [](bool full) {
        py::list list;
        for (const encounter::TrajectoryColumn& c : encounter::TrajectoryColumns(full))
          list.append(py::make_tuple(c.name, c.unit, c.meaning));
        return list;
      },
      py::arg("full"), "The columns of a trajectory's CSV: (name, unit, meaning).");
  py::dict events;
  events["closest-approach"] = static_cast<unsigned>(encounter::kClosestApproach);
  events["absorption"] = static_cast<unsigned>(encounter::kAbsorption);
  events["end"] = static_cast<unsigned>(encounter::kEnd);
  m.attr("TRAJECTORY_EVENTS") = events;
}

}  // namespace lab
