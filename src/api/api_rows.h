// The engine's rows as the library's typed rows, for the library's series
// and maps alike. Not part of the public API.
#pragma once

#include <cstdint>
#include <string>

#include "encounter/series.h"
#include "encounter/scenario.h"
#include "series/run_series.h"
#include "simulation/test_row.h"

namespace lab {

// The engine's request of a series: the options as they are, the scenario's
// fields by index; throws InputError for an unknown field.
SeriesRequest RequestOf(const encounter::Scenario& scenario, const encounter::SeriesOptions& options);

encounter::Row ApiRow(std::int64_t test, const TestRow& row, const std::string& line);

}  // namespace lab
