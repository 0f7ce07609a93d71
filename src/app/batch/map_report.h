// What `encounter-batch map` says about a map besides its CSV and pictures:
// the summary per y value, and what refinement computed and measured.
#pragma once

#include <string>

#include "encounter/map.h"

namespace lab {

// For each y value: its tests (with refine: those computed and those
// inferred apart), the fraction of each end that occurs in the map and of
// v3_red, each with its binomial standard error sqrt(p (1-p) / n), and how
// many of its tests should not be trusted.
std::string MapSummaryTable(const encounter::Map& map, const encounter::MapSummary& summary);

// ", sampled error 0.6 % [0.1, 3.2] (5 of 810 inferred cells sampled ended
// otherwise)", or ", none inferred": the end of the line that counts a
// refined map's computed cells.
std::string SampledErrorWords(const encounter::MapSummary& summary);

}  // namespace lab
