// The command line of `encounter-batch map`: the options of a series, the y
// axis, and what to make of the map.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/batch/batch_options.h"
#include "encounter/map.h"

namespace lab {

struct MapCommandOptions {
  SeriesCommandLine series;  // the scenario, the fields and the options of each row's series
  encounter::MapAxis axis;   // --y NAME=FROM:TO:COUNT, --y-log
  encounter::MapOptions map;  // --refine (its series: those of `series`)
  std::optional<std::string> map_png, map_svg;
  bool colour_ratio = false;  // --colour ratio (default: end)
  bool summary = false;
  bool help = false;
  std::vector<std::string> given;  // the options named: the map's own, then the series'
};

// The options after "map", read without asking for a complete map (a rerun
// takes the rest from its record); on a mistake returns the one-line error.
std::optional<MapCommandOptions> ParseMapWords(const std::vector<std::string>& args,
                                               std::string* error);

// Parses the arguments after "map"; on a mistake returns the one-line error.
std::optional<MapCommandOptions> ParseMapOptions(const std::vector<std::string>& args, std::string* error);

// args without the options named (and their values), a map's or a series'.
std::vector<std::string> WithoutMapOptions(const std::vector<std::string>& args,
                                           const std::vector<std::string>& names);

extern const char* const kMapHelp;

}  // namespace lab
