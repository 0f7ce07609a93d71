// What `encounter-batch map` says about a map besides its CSV: the summary
// per y value, and the words of its pictures.
#pragma once

#include <string>

#include "encounter/map.h"
#include "records/map_svg.h"

namespace lab {

// For each y value: its tests, the fraction of each end that occurs in the
// map and of v3_red, each with its binomial standard error sqrt(p (1-p) / n).
std::string MapSummaryTable(const encounter::Map& map, const encounter::MapSummary& summary);

// Title, subtitle, axis labels with their units and the axes' values.
MapLabels MapLabelsOf(const encounter::Map& map, const std::string& scenario, bool y_log,
                      bool ratio);

}  // namespace lab
