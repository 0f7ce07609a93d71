#include "app/batch/trajectory_command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>

#include "app/batch/command_common.h"
#include "encounter/trajectory.h"
#include "records/signals.h"
#include "records/texts.h"
#include "records/trajectory_svg.h"

namespace lab {

const char* const kTrajectoryHelp =
    R"(Usage: encounter-batch trajectory --alpha ANGLE [OPTION]...
Follows one test of the series from inside and prints one CSV line per
point: the time, the positions of the three bodies (in the unit the scenario
shows, AU or km), their velocities and speeds (km/s), their masses, the
relative change of the total energy and of the angular momentum since the
start, and the events (closest-approach, absorption, end:WORD with the end
the series' row gives). The test starts from the state the series has when
it reaches that angle and runs with the same arithmetic, so the last line
holds the state behind the series' row.

  --alpha ANGLE    the test: one of the series' start angles (degrees)
  --every N        a point every N time steps of the windows' method (at the
                   times N x "t delta"; default 1); the accurate methods are
                   sampled at the same times from their own interpolant
  --display-steps  instead, a point at each display step: the steps whose
                   points the Trajectory Display plots (an accurate method:
                   the end of each of its own steps)
  --svg FILE       the paths of the three bodies as an SVG plot, with axes in
                   the scenario's unit and the events marked

Options of a series that apply: --test --set --unit --max-steps --integrator
--full (the positions in km too) --output --quiet. Exit statuses as for a
series: 2 for input the test cannot run with.
)";

namespace {

struct TrajectoryCommandOptions {
  SeriesCommandLine batch;
  std::optional<double> alpha;
  std::int64_t every = 1;
  bool display_steps = false;
  std::optional<std::string> svg;
  bool help = false;
};

// The series' options a trajectory takes; the others would change nothing or
// ask for what one test does not make.
const char* const kSeriesOptions[] = {"--test", "--set", "--unit", "--max-steps", "--integrator",
                                      "--full", "--output", "--quiet"};

bool OwnOption(TrajectoryCommandOptions& o, const std::string& name, const std::string& v,
               std::string* error) {
  if (name == "--alpha") {
    double a = 0;
    const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), a);
    if (ec != std::errc() || p != v.data() + v.size() || v.empty() || !std::isfinite(a)) {
      *error = "--alpha takes an angle in degrees, not " + Echo(v);
      return false;
    }
    o.alpha = a;
  } else if (name == "--every") {
    const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), o.every);
    if (ec != std::errc() || p != v.data() + v.size() || v.empty() || o.every < 1) {
      *error = "--every takes a whole number of steps, 1 or more, not " + Echo(v);
      return false;
    }
  } else if (name == "--svg") {
    o.svg = v;
  }
  return true;
}

std::optional<TrajectoryCommandOptions> Parse(const std::vector<std::string>& args,
                                              std::string* error) {
  TrajectoryCommandOptions o;
  std::vector<std::string> series;
  bool every_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (name == "--display-steps" || name == "--help" || name == "-h") {
      if (value) {
        *error = name + " takes no value, not " + Echo(*value);
        return std::nullopt;
      }
      (name == "--display-steps" ? o.display_steps : o.help) = true;
    } else if (name == "--alpha" || name == "--every" || name == "--svg") {
      if (!value && i + 1 >= args.size()) {
        *error = name + " needs a value";
        return std::nullopt;
      }
      every_given = every_given || name == "--every";
      if (!OwnOption(o, name, value ? *value : args[++i], error)) return std::nullopt;
    } else {
      series.push_back(args[i]);
      if (!value && TakesValue(name) && i + 1 < args.size())
        series.push_back(args[++i]);
    }
  }
  const auto batch = ParseSeriesCommandLine(series, error);
  if (!batch) return std::nullopt;
  o.batch = *batch;
  if (o.help) return o;
  for (const std::string& given : o.batch.given) {
    if (std::find(std::begin(kSeriesOptions), std::end(kSeriesOptions), given) ==
        std::end(kSeriesOptions)) {
      *error = given + " does not apply to the trajectory of one test (see trajectory --help)";
      return std::nullopt;
    }
  }
  if (every_given && o.display_steps) {
    *error = "--every and --display-steps each choose the points: give one of them";
    return std::nullopt;
  }
  if (!o.alpha) {
    *error = "trajectory needs the test's angle: --alpha ANGLE (see trajectory --help)";
    return std::nullopt;
  }
  return o;
}

}  // namespace

int RunTrajectoryCommand(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err) {
  std::string error;
  const auto options = Parse(args, &error);
  if (!options) return CommandLineRefused(err, "trajectory: ", error);
  const TrajectoryCommandOptions& o = *options;
  if (o.help) {
    out << kTrajectoryHelp;
    return ListingStatus(out, err);
  }
  OutputFiles files({{"--output", o.batch.output}, {"--svg", o.svg}});
  if (!files.Open(err)) return 2;
  std::ostream& csv = files.Csv(out);
  encounter::TrajectoryOptions t;
  t.integrator = o.batch.series.integrator;
  t.every = o.every;
  t.display_steps = o.display_steps;
  t.max_steps = o.batch.series.max_steps;

  // The unit is known once the test is set up; a line is written when the
  // next point comes, the last one once the test's end is known.
  const bool full = o.batch.series.full;
  TrajectoryPaths paths;
  std::optional<encounter::TrajectoryPoint> held;
  bool write_failed = false;
  std::optional<encounter::Trajectory> trajectory;
  std::optional<encounter::TrajectorySummary> summary;
  try {
    trajectory.emplace(o.batch.scenario, *o.alpha, t);
    const double unit_km = trajectory->unit_km();
    if (!o.batch.quiet)
      for (const std::string& w : trajectory->setup_warnings()) err << kMe << "warning: " << w << '\n';
    csv << encounter::TrajectoryCsvHeader(full);
    summary = trajectory->Run(
        [&](const encounter::TrajectoryPoint& p) {
          if (o.svg) paths.Add(p);
          if (held) {
            csv << encounter::TrajectoryCsvLine(*held, unit_km, full);
            if (!csv) write_failed = true;
          }
          held = p;
        },
        [&] { return write_failed || StopRequested(); });
  } catch (const encounter::InputError& e) {
    PrintRefusal(err, std::string("trajectory: ") + e.what());
    return 2;
  } catch (const encounter::Stopped&) {
    if (write_failed) RequestStopForWriteError();
    return StoppedStatus(err);
  }
  if (held) csv << encounter::TrajectoryCsvLine(*held, trajectory->unit_km(), full, summary->row.end);
  csv.flush();
  if (!csv) {
    RequestStopForWriteError();
    return StoppedStatus(err);
  }
  if (o.svg && !files.Write("--svg", TrajectorySvg(paths, trajectory->unit(), trajectory->unit_km(),
                                                   o.batch.scenario.test.value_or("0"), summary->row.alpha), err))
    return 1;
  if (const int status = files.Commit(err)) return status;
  if (!o.batch.quiet) {
    for (std::size_t k = trajectory->setup_warnings().size(); k < summary->warnings.size(); ++k)
      err << kMe << "warning: " << summary->warnings[k] << '\n';
    err << kMe << "the test at " << summary->row.alpha << " degrees (test " << summary->test
        << " of the series): " << summary->points << " points, end "
        << encounter::EndName(summary->row.end) << '\n';
  }
  return 0;
}

}  // namespace lab
