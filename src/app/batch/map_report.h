// What `encounter-batch map` says about a map besides its CSV and pictures:
// the summary per y value.
#pragma once

#include <string>

#include "encounter/map.h"

namespace lab {

// For each y value: its tests, the fraction of each end that occurs in the
// map and of v3_red, each with its binomial standard error sqrt(p (1-p) / n),
// and how many of its tests should not be trusted.
std::string MapSummaryTable(const encounter::Map& map, const encounter::MapSummary& summary);

}  // namespace lab
