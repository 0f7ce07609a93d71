// A series or a map run on the engine's thread into RowColumns, and the keys
// their results share. The two differ only in what a row brings (a series'
// row, a map's cell with its place) and in the summary's own keys.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "encounter/series.h"
#include "engine_thread.h"
#include "row_columns.h"

namespace lab {

// engine.Run(on_item, ...) on the engine's thread (engine_thread.h); each
// warning tags the columns' next row, then is passed on to Python.
template <typename Summary, typename Engine, typename OnItem>
Summary RunIntoColumns(Engine& engine, RowColumns& columns, const OnItem& on_item,
                       std::int64_t total, const pybind11::object& progress,
                       const pybind11::object& warn, double poll) {
  std::optional<Summary> summary;
  auto work = [&](Mailbox& box) {
    auto on_progress = [&](const encounter::Progress& p) { box.Progress(p); };
    auto stop = [&] { return box.Stop(); };
    auto on_warning = [&](const std::string& text) {
      // An untrusted test is named just before its row is handed out; a
      // caveat about the physics does not make a row untrusted.
      if (!encounter::IsCaveat(text)) columns.TagWarning(text);
      box.Warn(text);
    };
    summary = engine.Run(on_item, on_progress, stop, on_warning);
  };
  RunOnEngineThread(work, total, progress, warn, poll);
  return std::move(*summary);
}

// The keys a series' and a map's results share: the columns as NumPy, the
// CSV as bytes (the first lines even when no row came), the run record, the
// warnings with the rows they name, the positions of the untrusted rows and
// the --crosscheck counts.
template <typename Summary>
pybind11::dict CommonResult(const std::string& first_lines, const Summary& summary,
                            const RowColumns& columns) {
  pybind11::dict r;
  r["columns"] = columns.ToNumpy();
  r["csv"] = pybind11::bytes(first_lines + columns.csv() + summary.last_lines);
  r["record"] = summary.record_json;
  r["warnings"] = summary.warnings;
  r["untrusted"] = columns.warnings();
  r["untrusted_rows"] = columns.untrusted_rows();
  r["crosscheck"] = summary.crosscheck;
  r["cross_rows"] = summary.cross_rows;
  r["cross_differing"] = summary.cross_differing;
  return r;
}

}  // namespace lab
