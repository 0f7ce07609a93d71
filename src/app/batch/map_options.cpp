#include "app/batch/map_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "records/texts.h"
#include "series/request_options.h"
#include "series/run_map.h"

namespace lab {

const char* const kMapHelp =
    R"(Usage: encounter-batch map --y NAME=FROM:TO:COUNT [OPTION]...
Runs a map: the series of start angles ("start", "end", "d alpha", the x
axis) once for each of COUNT values of one more field (the y axis), and prints
one CSV line per cell: the y value, then the columns of the series. Each row
is exactly the series that --set NAME=VALUE gives (a distance is typed with
its unit AU, the only way the scenario reads it).

  --y NAME=FROM:TO:COUNT
                   the y axis: NAME is one the scenario reads (m1 m2 m3 dist1
                   dist2 tdfact; masses only in scenario 0), FROM and TO in the
                   unit the scenario shows (AU or km; suns), COUNT values
                   evenly spaced, FROM and TO included
  --y-log          space the values evenly in the logarithm
  --map-png FILE   the map as a PNG picture: one block of pixels per cell,
                   coloured by the end of the test and by whether body 3
                   ended faster than its escape speed (v3_red)
  --map-svg FILE   the same map with axes, ticks, labels, legend and title
  --colour end|ratio
                   colour the pictures by the end and v3_red (default) or by
                   the column ratio on a logarithmic viridis scale
  --refine LEVELS  compute a grid 2^LEVELS times coarser first, then halve
                   the spacing only where neighbouring cells differ in end or
                   v3_red, and in a margin of one block around them; a cell
                   not computed takes the values of its coarse parent under
                   its own angle, and the last column "computed" says which
                   is which; best is decided along each row. A random sample
                   of the cells not computed is computed too, and the share
                   of it that differs is reported as the sampled error
  --summary        after the map, on standard error: for each y value the
                   fraction of the tests of each end and of those with
                   v3_red, with its binomial standard error

Every option of a series works as for a series (--test --set --unit
--max-steps --jobs --lanes --integrator --crosscheck --energy --full --meta
--output --quiet); --jobs counts the threads of all rows together, as rows
run side by side. --rerun RECORD runs the map of a map --meta record again;
--map-png, --map-svg, --colour and --summary may be added too. --shard K/N runs the K-th of N interleaved parts of the
map's cells in map order (not with --refine); `encounter-batch merge` joins
them. Exit statuses as for a series.
)";

namespace {

bool Number(std::string_view text, double* value) {
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && p == text.data() + text.size() && !text.empty() && std::isfinite(*value);
}

bool Axis(MapCommandOptions& o, const std::string& v, std::string* error) {
  const auto eq = v.find('=');
  const auto c1 = v.find(':', eq == std::string::npos ? 0 : eq);
  const auto c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
  int count = 0;
  const std::string_view sv(v);
  if (eq == std::string::npos || eq == 0 || c2 == std::string::npos ||
      !Number(sv.substr(eq + 1, c1 - eq - 1), &o.axis.from) ||
      !Number(sv.substr(c1 + 1, c2 - c1 - 1), &o.axis.to) ||
      std::from_chars(v.data() + c2 + 1, v.data() + v.size(), count).ptr != v.data() + v.size() ||
      c2 + 1 == v.size() || count < 1 || count > kMostMapRows) {
    *error = "--y takes NAME=FROM:TO:COUNT (numbers; COUNT from 1 to " +
             std::to_string(kMostMapRows) + "), not " + Echo(v);
    return false;
  }
  o.axis.field = v.substr(0, eq);
  o.axis.count = count;
  return true;
}

// The map's own options; the rest are a series' options.
bool Apply(MapCommandOptions& o, const std::string& name, const std::string& v, std::string* error) {
  if (name == "--y") return Axis(o, v, error);
  if (name == "--map-png") o.map_png = v;
  if (name == "--map-svg") o.map_svg = v;
  if (name == "--colour") {
    if (v != "end" && v != "ratio") {
      *error = "--colour takes end or ratio, not " + Echo(v);
      return false;
    }
    o.colour_ratio = v == "ratio";
  }
  if (name == "--refine") {
    *error = ReadMapOption(o.axis, o.map, "refine", v);
    if (!error->empty()) {
      *error = InCommandLineWords(*error);
      return false;
    }
  }
  return true;
}

}  // namespace

namespace {

const std::vector<std::string> kMapFlags = {"--y-log", "--summary", "--help", "-h"};
const std::vector<std::string> kMapWithValue = {"--y", "--map-png", "--map-svg", "--colour", "--refine"};

bool OneOf(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// The option at args[*i] with its value, a map's own or a series'; *i moves
// past both.
struct MapWord {
  std::string name;
  std::optional<std::string> value;
  bool own = false;
};
MapWord NextWord(const std::vector<std::string>& args, std::size_t* i) {
  MapWord w{args[(*i)++], std::nullopt, false};
  if (const auto eq = w.name.find('='); w.name.rfind("--", 0) == 0 && eq != std::string::npos) {
    w.value = w.name.substr(eq + 1);
    w.name.resize(eq);
  }
  w.own = OneOf(kMapFlags, w.name) || OneOf(kMapWithValue, w.name);
  const bool takes = w.own ? OneOf(kMapWithValue, w.name) : TakesValue(w.name);
  if (takes && !w.value && *i < args.size()) w.value = args[(*i)++];
  return w;
}

}  // namespace

std::optional<MapCommandOptions> ParseMapWords(const std::vector<std::string>& args,
                                               std::string* error) {
  MapCommandOptions o;
  std::vector<std::string> series;
  for (std::size_t i = 0; i < args.size();) {
    const std::size_t from = i;
    const MapWord w = NextWord(args, &i);
    if (!w.own) {
      series.insert(series.end(), args.begin() + static_cast<std::ptrdiff_t>(from),
                    args.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    o.given.push_back(w.name);
    if (OneOf(kMapFlags, w.name)) {
      if (w.value) {
        *error = w.name + " takes no value, not " + Echo(*w.value);
        return std::nullopt;
      }
      (w.name == "--y-log" ? o.axis.log : w.name == "--summary" ? o.summary : o.help) = true;
    } else if (!w.value) {
      *error = w.name + " needs a value";
      return std::nullopt;
    } else if (!Apply(o, w.name, *w.value, error)) {
      return std::nullopt;
    }
  }
  const auto given = ParseSeriesCommandLine(series, error);
  if (!given) return std::nullopt;
  o.series = *given;
  o.given.insert(o.given.end(), o.series.given.begin(), o.series.given.end());
  return o;
}

std::optional<MapCommandOptions> ParseMapOptions(const std::vector<std::string>& args, std::string* error) {
  auto o = ParseMapWords(args, error);
  if (!o || o->help) return o;
  if (o->series.png) {
    *error = "--png draws the trajectories of one series; a map draws itself with --map-png";
    return std::nullopt;
  }
  if (o->series.version || o->series.list_presets || o->series.list_columns) {
    *error = "map takes neither --version nor --list-presets nor --list-columns (encounter-batch "
             "alone does)";
    return std::nullopt;
  }
  if (o->axis.field.empty()) {
    *error = "map needs its y axis: --y NAME=FROM:TO:COUNT (see map --help)";
    return std::nullopt;
  }
  return o;
}

std::vector<std::string> WithoutMapOptions(const std::vector<std::string>& args,
                                           const std::vector<std::string>& names) {
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < args.size();) {
    const std::size_t from = i;
    if (OneOf(names, NextWord(args, &i).name)) continue;
    kept.insert(kept.end(), args.begin() + static_cast<std::ptrdiff_t>(from),
                args.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return kept;
}

}  // namespace lab
