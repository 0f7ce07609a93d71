#include "map_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "encounter/map.h"
#include "engine_run.h"
#include "scenario_of.h"

namespace lab {

namespace py = pybind11;

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::unique_ptr<encounter::Map> MakeMap(std::optional<std::string> test, const Fields& fields,
                                        const std::optional<std::string>& unit,
                                        const encounter::SeriesOptions& series,
                                        const encounter::MapAxis& axis,
                                        const encounter::MapOptions& map) {
  encounter::MapOptions options = map;
  options.series = series;
  return std::make_unique<encounter::Map>(ScenarioOf(std::move(test), fields, unit), axis, options);
}

// Per y value: the value, its tests (and of them those computed), the count
// of each end (a column per end, in the order of End) and of v3_red.
py::dict TalliesOf(const std::vector<encounter::MapTally>& tallies) {
  const auto n = static_cast<py::ssize_t>(tallies.size());
  py::array_t<double> y(n);
  py::array_t<std::int64_t> tests(n), computed(n), red(n), untrusted(n), ends({n, py::ssize_t{encounter::kEndCount}});
  for (py::ssize_t k = 0; k < n; ++k) {
    const encounter::MapTally& t = tallies[static_cast<std::size_t>(k)];
    y.mutable_at(k) = t.y;
    tests.mutable_at(k) = t.tests;
    computed.mutable_at(k) = t.computed;
    red.mutable_at(k) = t.red;
    untrusted.mutable_at(k) = t.untrusted;
    for (py::ssize_t e = 0; e < encounter::kEndCount; ++e) ends.mutable_at(k, e) = t.ends[static_cast<std::size_t>(e)];
  }
  py::dict d;
  d["y"] = y;
  d["tests"] = tests;
  d["computed"] = computed;
  d["ends"] = ends;
  d["red"] = red;
  d["untrusted"] = untrusted;
  return d;
}

py::dict ResultOf(const encounter::Map& map, const encounter::MapSummary& summary,
                  const RowColumns& columns) {
  py::dict r = CommonResult(map.first_lines(), summary, columns);
  r["map_id"] = summary.map_id;
  r["cells_in_map"] = summary.cells_in_map;
  r["computed"] = summary.computed;
  r["tallies"] = TalliesOf(summary.tallies);
  if (summary.refined.empty()) {
    r["refined"] = py::none();
  } else {
    py::dict refined;
    refined["words"] = summary.refined;
    refined["sampled"] = summary.sampled;
    refined["sampled_differing"] = summary.sampled_differing;
    refined["low"] = summary.sampled_low;
    refined["high"] = summary.sampled_high;
    r["refined"] = refined;
  }
  return r;
}

// Runs a prepared map on the engine's thread (engine_thread.h).
py::dict RunMap(encounter::Map& map, const py::object& progress, const py::object& warn,
                double poll) {
  RowColumns columns(map.header(), map.y_column());
  auto on_cell = [&](const encounter::MapCell& cell) {
    const MapPart part{cell.y, cell.index, cell.computed};
    columns.Add(cell.row, &part);
  };
  const auto summary = RunIntoColumns<encounter::MapSummary>(map, columns, on_cell, map.cells(),
                                                            progress, warn, poll);
  return ResultOf(map, summary, columns);
}

}  // namespace

void BindMap(py::module_& m) {
  py::class_<encounter::MapAxis>(m, "MapAxis", "The y axis of a map; set it with set_map_option.")
      .def(py::init<>());
  py::class_<encounter::MapOptions>(m, "MapOptions", "A map's own options (the refinement).")
      .def(py::init<>());
  m.def(
      "set_map_option",
      [](encounter::MapAxis& axis, encounter::MapOptions& options, const std::string& name,
         const std::string& text) { encounter::SetOption(axis, options, name, text); },
      py::arg("axis"), py::arg("options"), py::arg("name"), py::arg("text"),
      "Sets an option of map_option_table from its text; raises InputError naming it.");
  py::class_<encounter::Map>(m, "Map")
      .def(py::init(&MakeMap), py::arg("test"), py::arg("fields"), py::arg("unit"),
           py::arg("options"), py::arg("axis"), py::arg("map"))
      .def_property_readonly("setup_warnings", &encounter::Map::setup_warnings)
      .def_property_readonly("rows", &encounter::Map::rows)
      .def_property_readonly("columns", &encounter::Map::columns)
      .def_property_readonly("cells", &encounter::Map::cells)
      .def_property_readonly("y", &encounter::Map::y)
      .def_property_readonly("field_texts", &encounter::Map::field_texts)
      .def_property_readonly("angles", &encounter::Map::angles)
      .def_property_readonly("y_column", &encounter::Map::y_column)
      .def_property_readonly("unit",
                             [](const encounter::Map& map) {
                               return encounter::UnitName(map.unit());
                             })
      .def_property_readonly("fields", &encounter::Map::fields)
      .def_property_readonly("header", &encounter::Map::header)
      .def_property_readonly("first_lines", &encounter::Map::first_lines)
      .def_property_readonly("map_id", &encounter::Map::map_id)
      .def_property_readonly("threads", &encounter::Map::threads)
      .def("run", &RunMap, py::arg("progress"), py::arg("warn"), py::arg("poll") = 0.05);
}

}  // namespace lab
