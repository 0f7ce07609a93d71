// encounter._encounter: the thin C++ half of the Python module. A series or
// a map of the public C++ API runs on a thread of its own while the
// interpreter is released; the Python thread meanwhile answers Ctrl-C and
// passes on progress and warnings (engine_thread.h). The typed rows become
// NumPy columns once, at the end. The Pythonic layer (keyword arguments,
// DataFrames, plots, Dask) is the package in python/encounter.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>

#include "engine_run.h"
#include "map_binding.h"
#include "trajectory_binding.h"
#include "row_columns.h"
#include "scenario_of.h"
#include "encounter/encounter.h"

namespace py = pybind11;

namespace {

py::object PictureOf(const encounter::Summary& summary) {
  if (!summary.picture) return py::none();
  const encounter::Picture& p = *summary.picture;
  py::array_t<std::uint8_t> rgb({p.height, p.width, 3});
  std::copy(p.rgb.begin(), p.rgb.end(), rgb.mutable_data());
  return rgb;
}

py::dict ResultOf(const encounter::Series& series, const encounter::Summary& summary,
                  const lab::RowColumns& columns) {
  py::dict r = lab::CommonResult(series.first_lines(), summary, columns);
  r["series_id"] = summary.series_id;
  r["tests_in_series"] = summary.tests_in_series;
  r["caveats"] = summary.caveats;
  r["picture"] = PictureOf(summary);
  r["png"] = summary.png.empty() ? py::object(py::none()) : py::object(py::bytes(summary.png));
  return r;
}

// Runs a prepared series on the engine's thread (engine_thread.h).
py::dict RunSeries(encounter::Series& series, const py::object& progress, const py::object& warn,
                   double poll) {
  lab::RowColumns columns(series.header());
  auto on_row = [&](const encounter::Row& row) { columns.Add(row); };
  const auto summary = lab::RunIntoColumns<encounter::Summary>(series, columns, on_row,
                                                               series.tests(), progress, warn, poll);
  return ResultOf(series, summary, columns);
}

std::unique_ptr<encounter::Series> MakeSeries(
    std::optional<std::string> test, const std::vector<std::pair<std::string, std::string>>& fields,
    std::optional<std::string> unit, const encounter::SeriesOptions& options) {
  return std::make_unique<encounter::Series>(lab::ScenarioOf(std::move(test), fields, unit), options);
}

void BindSeries(py::module_& m) {
  py::class_<encounter::SeriesOptions>(m, "SeriesOptions",
                                        "The options of a series; set them with set_option.")
      .def(py::init<>());
  m.def(
      "set_option",
      [](encounter::SeriesOptions& options, const std::string& name, const std::string& text) {
        encounter::SetOption(options, name, text);
      },
      py::arg("options"), py::arg("name"), py::arg("text"),
      "Sets the option name of a series from its text as the command line reads it; raises "
      "InputError naming the option for a value it does not take.");

  m.def("is_caveat", &encounter::IsCaveat, py::arg("warning"),
        "Whether a warning is a caveat about the physics (beyond Newtonian gravity).");
  py::class_<encounter::Series>(m, "Series")
      .def(py::init(&MakeSeries), py::arg("test"), py::arg("fields"), py::arg("unit"),
           py::arg("options"))
      .def_property_readonly("setup_warnings", &encounter::Series::setup_warnings)
      .def_property_readonly("tests", &encounter::Series::tests)
      .def_property_readonly("tests_in_series", &encounter::Series::tests_in_series)
      .def_property_readonly("threads", &encounter::Series::threads)
      .def_property_readonly("header", &encounter::Series::header)
      .def_property_readonly("first_lines", &encounter::Series::first_lines)
      .def_property_readonly("series_id", &encounter::Series::series_id)
      .def("run", &RunSeries, py::arg("progress"), py::arg("warn"), py::arg("poll") = 0.05);
}

const char* KindName(encounter::OptionKind kind) {
  switch (kind) {
    case encounter::OptionKind::kFlag: return "flag";
    case encounter::OptionKind::kWhole: return "whole";
    case encounter::OptionKind::kNumber: return "number";
    case encounter::OptionKind::kChoice: return "choice";
    case encounter::OptionKind::kText: return "text";
  }
  return "text";
}

py::list TableOf(const std::vector<encounter::OptionInfo>& table) {
  py::list list;
  for (const encounter::OptionInfo& o : table) {
    py::dict d;
    d["name"] = o.name;
    d["option"] = o.option;
    d["kind"] = KindName(o.kind);
    d["takes"] = o.takes;
    d["meaning"] = o.meaning;
    d["default"] = o.default_text;
    list.append(d);
  }
  return list;
}

void BindPresets(py::module_& m) {
  m.def("presets", [] {
    py::list list;
    for (const encounter::Preset& p : encounter::Presets()) {
      py::dict d;
      d["number"] = p.number;
      d["unit"] = encounter::UnitName(p.unit);
      d["regime"] = p.regime;
      for (auto [name, text] : {std::pair{"m1", &p.m1}, {"m2", &p.m2}, {"m3", &p.m3},
                                {"dist1", &p.dist1}, {"dist2", &p.dist2}, {"start", &p.start},
                                {"end", &p.end}, {"dalpha", &p.dalpha}, {"tdfact", &p.tdfact}})
        d[name] = *text;
      d["pause"] = p.pause;
      d["reads"] = p.reads;
      list.append(d);
    }
    return list;
  });
}

}  // namespace

PYBIND11_MODULE(_encounter, m) {
  m.doc() = "The encounter laboratory's engine; use the package encounter.";
  const auto error = py::register_exception<encounter::Error>(m, "Error", PyExc_RuntimeError);
  py::register_exception<encounter::InputError>(m, "InputError", PyExc_ValueError);
  py::register_exception<encounter::Stopped>(m, "Stopped", error.ptr());
  m.def("version", [] { return std::string(encounter::Version()); });
  m.def("field_names", &encounter::FieldNames);
  py::list ends;
  for (int k = 0; k <= static_cast<int>(encounter::End::kNone); ++k)
    ends.append(encounter::EndName(static_cast<encounter::End>(k)));
  m.attr("END_NAMES") = ends;
  m.attr("ENERGY_CHANGE_LIMIT") = encounter::kEnergyChangeLimit;
  m.def("columns", [] {
    py::list all;
    for (const encounter::ColumnInfo& c : encounter::Columns()) {
      py::dict d;
      d["name"] = c.name;
      d["unit"] = c.unit;
      d["type"] = c.type;
      d["option"] = c.option;
      d["meaning"] = c.meaning;
      d["categories"] = c.categories;
      all.append(d);
    }
    return all;
  }, "The CSV's columns: name, unit, type, option, meaning and a category's values.");
  m.def("column_unit", [](const std::string& name, const std::string& shown) {
    return encounter::ColumnUnit(name, encounter::UnitOfName(shown).value_or(encounter::Unit::kKm));
  }, "The unit of a column's values when the scenario shows distances in AU or km.");
  m.def("unit_name", [](const py::object& unit) {
    const std::string text = py::str(unit);
    const auto known = encounter::UnitOfName(text);
    if (!known) throw encounter::InputError(encounter::UnitRefusal(text));
    return std::string(encounter::UnitName(*known));
  }, "The unit named au or km (in any case) as the fields show it, AU or km; InputError for any other.");
  m.def("shown_unit", [](std::optional<std::string> test, std::optional<std::string> unit) {
    std::optional<encounter::Unit> u;
    if (unit) u = encounter::UnitOfName(*unit);
    return std::string(encounter::UnitName(encounter::ShownUnit(test, u)));
  }, "The distance unit the fields show: AU or km.");
  m.def("distance_text", [](double value, const std::string& shown) {
    double km = 0;
    std::string text = encounter::DistanceText(
        value, encounter::UnitOfName(shown).value_or(encounter::Unit::kKm), &km);
    return py::make_tuple(text, km);
  }, "The field text a distance in that unit is typed as, and the km it reads back as.");
  BindPresets(m);
  BindSeries(m);
  lab::BindMap(m);
  lab::BindTrajectory(m);
  m.def("series_option_table", [] { return TableOf(encounter::SeriesOptionTable()); },
        "The options of a series: dicts of name, option, kind, takes, meaning, default.");
  m.def("map_option_table", [] { return TableOf(encounter::MapOptionTable()); },
        "A map's own options (the axis and the refinement), as series_option_table.");
  m.def(
      "merge_shards",
      [](const std::vector<std::string>& files) {
        encounter::MergeResult merged;
        {
          py::gil_scoped_release release;
          merged = encounter::MergeShards(files);
        }
        return py::make_tuple(merged.status, py::bytes(merged.csv), merged.messages);
      },
      py::arg("files"),
      "Joins the outputs of all shards of a series as `encounter-batch merge` does: (status, "
      "merged CSV, messages naming the faulty shard files).");
}
