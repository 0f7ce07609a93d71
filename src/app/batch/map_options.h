// The command line of `encounter-batch map`: the options of a series, the y
// axis, and what to make of the map.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/batch/batch_options.h"

namespace lab {

struct MapCommandOptions {
  BatchOptions batch;  // the scenario, the fields and the options of each row's series
  std::string y_name;  // --y NAME=FROM:TO:COUNT
  double y_from = 0, y_to = 0;
  int y_count = 0;
  bool y_log = false;  // --y-log
  std::optional<std::string> map_png, map_svg;
  bool colour_ratio = false;  // --colour ratio (default: end)
  int refine = 0;
  bool summary = false;
  bool help = false;
};

// Parses the arguments after "map"; on a mistake returns the one-line error.
std::optional<MapCommandOptions> ParseMapOptions(const std::vector<std::string>& args, std::string* error);

extern const char* const kMapHelp;

}  // namespace lab
