// The engine's rows as the library's typed rows, for the library's series
// and maps alike. Not part of the public API.
#pragma once

#include <cstdint>
#include <string>

#include "encounter/series.h"
#include "series/run_series.h"
#include "simulation/test_row.h"

namespace lab {

encounter::Row ApiRow(std::int64_t test, const TestRow& row, const std::string& line);

// The engine's request for a scenario and series options; throws
// encounter::InputError for an unknown field.
SeriesRequest RequestOfScenario(const encounter::Scenario& scenario,
                                const encounter::SeriesOptions& options);

}  // namespace lab
