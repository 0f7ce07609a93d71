// encounter._encounter: the thin C++ half of the Python module. A series of
// the public C++ API runs on a thread of its own while the interpreter is
// released; the Python thread meanwhile answers Ctrl-C and passes on progress
// and warnings. The typed rows become NumPy columns once, at the end. The
// Pythonic layer (keyword arguments, DataFrames, plots, Dask) is the package
// in python/encounter.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "row_columns.h"
#include "encounter/encounter.h"
#include "records/merge.h"

namespace py = pybind11;

namespace {

// What the engine's thread leaves for the Python thread.
struct Mailbox {
  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;
  std::vector<std::string> warnings;  // not yet passed on
  std::optional<encounter::Summary> summary;
  std::exception_ptr error;
  std::atomic<bool> stop{false};
  std::atomic<std::int64_t> tests_done{0}, steps{0};
};

// The engine on a thread of its own. Whatever ends the Python side (a
// finished series, Ctrl-C, an exception in a callback), the thread is asked
// to stop and joined, interpreter released, before this object is gone.
class EngineThread {
 public:
  EngineThread(encounter::Series& series, lab::RowColumns& columns, Mailbox& box)
      : box_(box), thread_([&series, &columns, &box] { Run(series, columns, box); }) {}
  ~EngineThread() {
    box_.stop = true;
    py::gil_scoped_release release;
    thread_.join();
  }
  EngineThread(const EngineThread&) = delete;
  EngineThread& operator=(const EngineThread&) = delete;

 private:
  static void Run(encounter::Series& series, lab::RowColumns& columns, Mailbox& box) {
    try {
      auto on_row = [&](const encounter::Row& row) { columns.Add(row); };
      auto on_progress = [&](const encounter::Progress& p) {
        box.tests_done = p.tests_done;
        box.steps = p.steps;
      };
      auto stop = [&] { return box.stop.load(std::memory_order_relaxed); };
      auto on_warning = [&](const std::string& text) {
        // An untrusted test is named just before its row is handed out.
        columns.TagWarning(text);
        std::lock_guard lock(box.mutex);
        box.warnings.push_back(text);
        box.changed.notify_all();
      };
      encounter::Summary summary = series.Run(on_row, on_progress, stop, on_warning);
      std::lock_guard lock(box.mutex);
      box.summary = std::move(summary);
    } catch (...) {
      std::lock_guard lock(box.mutex);
      box.error = std::current_exception();
    }
    std::lock_guard lock(box.mutex);
    box.finished = true;
    box.changed.notify_all();
  }

  Mailbox& box_;
  std::thread thread_;
};

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

// Runs a prepared series: the Python thread waits at most `poll` seconds at
// a time, then passes on the warnings that came, calls progress(done, total,
// steps) when the count changed, and looks for a pending signal (Ctrl-C
// raises KeyboardInterrupt here, which stops the engine).
py::dict RunSeries(encounter::Series& series, const py::object& progress, const py::object& warn,
                   double poll) {
  lab::RowColumns columns(series.header());
  Mailbox box;
  const auto wait = std::chrono::duration<double>(poll > 0 ? poll : 0.05);
  const std::int64_t total = series.tests();
  {
    EngineThread engine(series, columns, box);
    std::int64_t shown = -1;
    std::vector<std::string> warnings;
    for (bool finished = false; !finished;) {
      {
        py::gil_scoped_release release;
        std::unique_lock lock(box.mutex);
        box.changed.wait_for(lock, wait, [&] { return box.finished || !box.warnings.empty(); });
        finished = box.finished;
        warnings.swap(box.warnings);
      }
      for (const std::string& text : warnings) warn(text);
      warnings.clear();
      const std::int64_t done = finished && !box.error ? total : box.tests_done.load();
      if (!progress.is_none() && done != shown) {
        progress(done, total, box.steps.load());
        shown = done;
      }
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
  }
  if (box.error) std::rethrow_exception(box.error);
  return ResultOf(series, *box.summary, columns);
}

std::unique_ptr<encounter::Series> MakeSeries(
    std::optional<std::string> test, const std::vector<std::pair<std::string, std::string>>& fields,
    std::optional<std::string> unit, const encounter::SeriesOptions& options) {
  encounter::Scenario scenario;
  scenario.test = std::move(test);
  scenario.fields = fields;
  if (unit) {
    if (*unit != "au" && *unit != "km")
      throw encounter::InputError("unknown unit \"" + *unit + "\" (au or km)");
    scenario.unit = *unit == "au" ? encounter::Unit::kAU : encounter::Unit::kKm;
  }
  return std::make_unique<encounter::Series>(scenario, options);
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
