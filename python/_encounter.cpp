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
#include <sstream>

#include "engine_thread.h"
#include "map_binding.h"
#include "trajectory_binding.h"
#include "row_columns.h"
#include "scenario_of.h"
#include "encounter/encounter.h"
#include "records/merge.h"

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
  py::dict r;
  r["columns"] = columns.ToNumpy();
  r["csv"] = py::bytes(series.first_lines() + columns.csv() + summary.last_lines);
  r["record"] = summary.record_json;
  r["warnings"] = summary.warnings;
  r["untrusted"] = columns.warnings();
  r["crosscheck"] = summary.crosscheck;
  r["series_id"] = summary.series_id;
  r["tests_in_series"] = summary.tests_in_series;
  r["picture"] = PictureOf(summary);
  r["png"] = summary.png.empty() ? py::object(py::none()) : py::object(py::bytes(summary.png));
  return r;
}

// Runs a prepared series on the engine's thread (engine_thread.h).
py::dict RunSeries(encounter::Series& series, const py::object& progress, const py::object& warn,
                   double poll) {
  lab::RowColumns columns(series.header());
  std::optional<encounter::Summary> summary;
  auto work = [&](lab::Mailbox& box) {
    auto on_row = [&](const encounter::Row& row) { columns.Add(row); };
    auto on_progress = [&](const encounter::Progress& p) { box.Progress(p); };
    auto stop = [&] { return box.Stop(); };
    auto on_warning = [&](const std::string& text) {
      // An untrusted test is named just before its row is handed out.
      columns.TagWarning(text);
      box.Warn(text);
    };
    summary = series.Run(on_row, on_progress, stop, on_warning);
  };
  lab::RunOnEngineThread(work, series.tests(), progress, warn, poll);
  return ResultOf(series, *summary, columns);
}

std::unique_ptr<encounter::Series> MakeSeries(
    std::optional<std::string> test, const std::vector<std::pair<std::string, std::string>>& fields,
    std::optional<std::string> unit, const encounter::SeriesOptions& options) {
  return std::make_unique<encounter::Series>(lab::ScenarioOf(std::move(test), fields, unit), options);
}

void BindSeries(py::module_& m) {
  py::class_<encounter::SeriesOptions>(m, "SeriesOptions")
      .def(py::init<>())
      .def_readwrite("integrator", &encounter::SeriesOptions::integrator)
      .def_readwrite("crosscheck", &encounter::SeriesOptions::crosscheck)
      .def_readwrite("lanes", &encounter::SeriesOptions::lanes)
      .def_readwrite("jobs", &encounter::SeriesOptions::jobs)
      .def_readwrite("shard", &encounter::SeriesOptions::shard)
      .def_readwrite("shards", &encounter::SeriesOptions::shards)
      .def_readwrite("max_steps", &encounter::SeriesOptions::max_steps)
      .def_readwrite("energy", &encounter::SeriesOptions::energy)
      .def_readwrite("full", &encounter::SeriesOptions::full)
      .def_readwrite("picture", &encounter::SeriesOptions::picture);

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

void BindPresets(py::module_& m) {
  m.def("presets", [] {
    py::list list;
    for (const encounter::Preset& p : encounter::Presets()) {
      py::dict d;
      d["number"] = p.number;
      d["unit"] = p.unit == encounter::Unit::kAU ? "AU" : "km";
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
  BindPresets(m);
  BindSeries(m);
  lab::BindMap(m);
  lab::BindTrajectory(m);
  // Joins the outputs of all shards of a series as `encounter-batch merge`
  // does: (status, merged CSV, messages naming the faulty shard files).
  m.def("merge_shards", [](const std::vector<std::string>& files) {
    std::ostringstream out, err;
    int status = 0;
    {
      py::gil_scoped_release release;
      status = lab::MergeShards(files, out, err);
    }
    return py::make_tuple(status, py::bytes(out.str()), err.str());
  });
}
