// What the library's series and maps share: the engine's rows as the
// library's typed rows, a run's warnings, the engine's refusals as the
// library's errors, and the summary's run record. Not part of the public API.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "encounter/series.h"
#include "encounter/scenario.h"
#include "series/ordered_pool.h"
#include "series/run_series.h"
#include "series/stop.h"
#include "simulation/test_row.h"

namespace lab {

// The engine's request of a series: the options as they are, the scenario's
// fields by index; throws InputError for an unknown field.
SeriesRequest RequestOf(const encounter::Scenario& scenario, const encounter::SeriesOptions& options);

encounter::Row ApiRow(std::int64_t test, const TestRow& row, const std::string& line);

// A run's warning: kept in the summary, counted as an untrusted test, then
// passed on to on_warning (which must outlive the run).
template <typename Summary>
std::function<void(const std::string&)> KeepWarning(Summary& summary,
                                                    const encounter::WarningCallback& on_warning) {
  return [&summary, &on_warning](const std::string& text) {
    summary.warnings.push_back(text);
    ++summary.untrusted;
    if (on_warning) on_warning(text);
  };
}

// A run's caveat: kept in the summary among its warnings and counted apart
// from the untrusted tests, then passed on to on_warning.
template <typename Summary>
std::function<void(const std::string&)> KeepCaveat(Summary& summary,
                                                   const encounter::WarningCallback& on_warning) {
  return [&summary, &on_warning](const std::string& text) {
    summary.warnings.push_back(text);
    ++summary.caveats;
    if (on_warning) on_warning(text);
  };
}

// engine.Run(events, stop), its refusals thrown as the library's errors.
template <typename Engine, typename Events>
auto RunEngine(Engine& engine, const Events& events, const RunStop& stop) {
  try {
    return engine.Run(events, stop);
  } catch (const RefusedInput& e) {
    throw encounter::InputError(e.what());
  } catch (const ThreadsUnavailable& e) {
    throw encounter::Error(e.what());
  }
}

// The summary's last lines, run record and --crosscheck counts, from the
// engine's result.
template <typename Summary, typename Result>
void TakeRecord(const Result& result, Summary* summary) {
  summary->last_lines = result.last_lines;
  summary->record_json = result.record_json;
  summary->crosscheck = result.cross_summary;
  summary->cross_rows = result.cross_rows;
  summary->cross_differing = result.cross_differing;
}

}  // namespace lab
