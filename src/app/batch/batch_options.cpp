#include "app/batch/batch_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <string_view>

#include "app/batch/column_list.h"
#include "encounter/units.h"
#include "records/texts.h"
#include "encounter/options.h"
#include "series/request_options.h"
#include "setup/field_names.h"
#include "setup/presets.h"

namespace lab {

namespace {

// The help; @SCENARIOS@ stands for the numbers of the scenarios.
constexpr const char* kHelpText =
    R"(Usage: encounter-batch [OPTION]...
  or:  encounter-batch merge [--output FILE] SHARD.csv...
  or:  encounter-batch map --y NAME=FROM:TO:COUNT [OPTION]...  (see map --help)
  or:  encounter-batch trajectory --alpha ANGLE [OPTION]...  (see trajectory --help)
  or:  encounter-batch --list-presets | --list-columns | --help | --version
Runs one series of encounter tests without windows and prints the results as
CSV, one line per finished test.

Every option that takes a value may also be written with "=" before it
(--test=2).

  --test T         type T into the field "test", which loads scenario T:
                   @SCENARIOS@
  --set NAME=TEXT  write TEXT into a field; NAME is one of
                   m1 m2 m3 dist1 dist2 start end tdfact dalpha
  --unit au|km     select the distance unit option (either case)
  --max-steps N    press Next at the first display step at which the test has
                   run N steps or more (default 50000000; 0: no limit)
  --jobs N         run the tests on N threads (default: one per core); the
                   output is the same for every N
  --shard K/N      run only the K-th of N interleaved parts of the series
                   (tests K-1, K-1+N, ...); see "Shards" below
  --png FILE       write the Trajectory Display as it stands at the end of
                   the series to a PNG file
  --png-size WIDTHxHEIGHT
                   draw the picture of --png as a Trajectory Display whose
                   drawing area has that many pixels (default 312x286, the
                   window's first size; at most 8000x8000): the views scale
                   with the window, the points stay single pixels
  --output FILE    write the CSV to FILE instead of standard output
  --meta FILE      write a JSON record of the run: version, arguments and a
                   shell command line that repeats the run, scenario, every
                   field as used, derived values, series id, tests, threads,
                   shard, start and end time, host (see --rerun)
                   Each FILE is a regular file or a new name, and appears only
                   when the run is complete; /dev/stdout, /dev/stderr and
                   /dev/fd/N are written into, never replaced. Two outputs
                   may not name one file, nor the file standard output or
                   standard error goes to.
  --energy         add the column energy_err
  --full           add the unrounded values at the end of each line, each the
                   shortest text that reads back to the exact double of the run
  --integrator NAME
                   euler-sums (default): the windows' fixed-step method;
                   gauss-radau: an accurate adaptive method (15th order, in
                   double precision), events located in continuous time
                   (steps then counts its steps); bulirsch-stoer: another,
                   slower, in extended precision
  --crosscheck     run every test with both methods from the same start and
                   add the columns acc_end .. differs (see below); the other
                   columns are those of the --integrator method; a closing
                   line on standard error counts the rows whose outcome differs
  --lanes 1|2|4|8  run 1, 2, 4 or 8 tests side by side in each thread's
                   vector registers (8: two groups of 4 stepped in turn, with
                   AVX2 only; default: 8 where the processor has AVX2, else
                   4; 1 runs one test at a time); the output is the same
  --quiet          no progress and no last line on standard error (warnings
                   and their count remain)
  --progress-every SECONDS
                   when standard error is not a terminal (a log, a file),
                   write a line with the tests done, the rate and the time
                   left every SECONDS (default 60; 0: never); on a terminal
                   one line is redrawn instead; a last line gives the tests,
                   the time and the warnings
  --rerun RECORD   run the series of a --meta record again, with the
                   arguments it holds (without its --output, --meta and
                   --png); only --output, --meta, --png, --jobs, --lanes,
                   --quiet and --progress-every may be added. A map's record
                   runs that map (see map --help). Refused for a record of
                   another version, whose series differs, or whose arguments
                   hold an option that runs no series (--help, --version,
                   --list-presets, --rerun)
  --list-presets   the twenty scenarios, one line each, with their regime
  --list-columns   the CSV's columns: name, unit, type, option and meaning
  --help           this text
  --version        the program's version

  merge FILE...    join the outputs of all N shards of one series into the
                   CSV one unsharded run prints; refuses shards that are cut
                   short, damaged or edited, of another series or version,
                   or incomplete, and names the shards to run again

The options act in this order whatever their order on the line: the scenario,
the field texts in the order given, the unit, then Start.

Columns (the texts of Data Display row 1 are cut, never rounded; --full adds
the unrounded values; --list-columns gives their units and types):
@COLUMNS@
The ratio: the speed of body 1 is taken, or that of body 2 when body 2's
speed over its own escape speed from body 3 is the larger (around a central
mass both are 0, and body 1's speed is taken); it is divided by the escape
speed shown, vesc, even when that is body 3's (Vesc #3). Row 2 of the Data
Display holds the test with the smallest ratio so far.

Shards: the first line "# encounter-batch shard K/N series ID version V
tests M of T" says how many tests the shard must hold; the last line
"# encounter-batch shard K/N complete, M tests, U untrusted, crc32 C",
written only after the last row, how many it holds, how many of them changed
their total energy by more than 1 % (untrusted: each also named in a warning)
and the CRC-32 (as gzip computes it) of every byte above it. A shard without
that line was cut short: run it again. After merging, merge's last line on
standard error counts the untrusted tests and, with --energy, names their
angles. merge also refuses a shard whose checksum does not match (damaged or edited), a
cell in a form the program does not print, a flag that its rows contradict,
and a shard of an older version without a checksum. The series id changes
with every field text, the unit, the step limit, the columns, the integrator
and the version; not with --jobs or --lanes.

Warnings (standard error, also with --quiet): a scenario number that is not
one of the twenty, a --set that the scenario overwrites or does not read, a
test whose total energy changed by more than 1 %. A last line gives the
tests, the time and the warnings (with --quiet only the count of warnings).

Exit status:
  0    done: every output written; a help text or a listing also when its
       reader went away early (| head)
  1    an output could not be written: a file or a stream, a full disk, a
       reader that went away (| head), a target that stopped being a
       regular file during the run; or the machine would not give the run
       the threads or the memory it needs
  2    refused: bad options, a set-up that cannot run, a shard merge does
       not take, a file that cannot be read, a target that is not a regular
       file, a new name or a stream, two outputs in one file (all before the
       first test); a test whose values were no longer finite
  130  stopped by SIGINT (143: SIGTERM, 129: SIGHUP): whole lines on
       standard output, no shard's last line, no file written, no temporary
       file left
)";

}  // namespace

std::string SeriesHelp() {
  std::string help = kHelpText;
  const std::string mark = "@SCENARIOS@";
  help.replace(help.find(mark), mark.size(), PresetList());
  const std::string columns = "@COLUMNS@\n";
  help.replace(help.find(columns), columns.size(), ColumnsHelp());
  return help;
}

namespace {

// The widest and the highest picture --png-size draws (pixels).
constexpr int kLargestPicture = 8000;

template <typename T>
bool ParseCount(std::string_view text, T* value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && p == end && !text.empty() && *value >= 0;
}

using Apply = std::function<bool(SeriesCommandLine&, const std::string&, std::string* error)>;

struct KnownOption {
  std::string name;
  bool takes_value;
  Apply apply;
};

// An option of the request's table: its text read by the engine, a refusal
// in the command line's words.
KnownOption FromTable(const encounter::OptionInfo& info) {
  const bool flag = info.kind == encounter::OptionKind::kFlag;
  const std::string name = info.name;
  return {info.option, !flag,
          [flag, name](SeriesCommandLine& o, const std::string& v, std::string* error) {
            *error = ReadSeriesOption(o.series, name, flag ? "true" : v);
            if (error->empty()) return true;
            *error = InCommandLineWords(*error);
            return false;
          }};
}

bool Flag(bool* field) { return *field = true; }

// The command line's own options, and those of the table whose text is the
// command line's (--shard K/N, --png-size WxH, --png FILE).
using O = SeriesCommandLine;
using E = std::string*;
const std::vector<KnownOption> kOwnOptions = {
    {"--help", false, [](O& o, const std::string&, E) { return Flag(&o.help); }},
    {"-h", false, [](O& o, const std::string&, E) { return Flag(&o.help); }},
    {"--version", false, [](O& o, const std::string&, E) { return Flag(&o.version); }},
    {"--list-presets", false, [](O& o, const std::string&, E) { return Flag(&o.list_presets); }},
    {"--list-columns", false, [](O& o, const std::string&, E) { return Flag(&o.list_columns); }},
    {"--quiet", false, [](O& o, const std::string&, E) { return Flag(&o.quiet); }},
    {"--test", true,
     [](O& o, const std::string& v, E) {
       o.scenario.test = v;
       return true;
     }},
    {"--set", true,
     [](O& o, const std::string& v, E error) {
       const auto eq = v.find('=');
       if (eq == std::string::npos || eq == 0) {
         *error = "--set takes NAME=TEXT, not " + Echo(v);
         return false;
       }
       if (FieldOfName(v.substr(0, eq)) < 0) {
         *error = "--set: unknown field " + Echo(v.substr(0, eq)) + " (" +
                  std::string(kFieldNameList) + ")";
         return false;
       }
       o.scenario.fields.emplace_back(v.substr(0, eq), v.substr(eq + 1));
       return true;
     }},
    {"--unit", true,
     [](O& o, const std::string& v, E error) {
       const auto unit = encounter::UnitOfName(v);
       if (!unit) {
         *error = encounter::UnitRefusal(v);
         return false;
       }
       o.scenario.unit = *unit;
       return true;
     }},
    {"--shard", true,
     [](O& o, const std::string& v, E error) {
       const auto slash = v.find('/');
       int& k = o.series.shard;
       int& n = o.series.shards;
       if (slash != std::string::npos && ParseCount(std::string_view(v).substr(0, slash), &k) &&
           ParseCount(std::string_view(v).substr(slash + 1), &n) && k >= 1 && k <= n &&
           n <= 1000000) {
         return true;
       }
       *error = "--shard takes K/N with 1 <= K <= N <= 1000000, not " + Echo(v);
       return false;
     }},
    {"--png", true,
     [](O& o, const std::string& v, E) {
       o.png = v;
       o.series.picture = true;
       return true;
     }},
    {"--png-size", true,
     [](O& o, const std::string& v, E error) {
       const auto x = v.find('x');
       int& w = o.series.picture_width;
       int& h = o.series.picture_height;
       if (x != std::string::npos && ParseCount(std::string_view(v).substr(0, x), &w) &&
           ParseCount(std::string_view(v).substr(x + 1), &h) && w >= 1 && h >= 1 &&
           w <= kLargestPicture && h <= kLargestPicture) {
         return true;
       }
       *error = "--png-size takes WIDTHxHEIGHT in pixels, each from 1 to " +
                std::to_string(kLargestPicture) + ", not " + Echo(v);
       return false;
     }},
    {"--output", true,
     [](O& o, const std::string& v, E) {
       o.output = v;
       return true;
     }},
    {"--meta", true,
     [](O& o, const std::string& v, E) {
       o.meta = v;
       return true;
     }},
    {"--rerun", true,
     [](O& o, const std::string& v, E) {
       o.rerun = v;
       return true;
     }},
    {"--progress-every", true,
     [](O& o, const std::string& v, E error) {
       if (ParseCount(v, &o.progress_every) && o.progress_every <= 86400) return true;
       *error = "--progress-every takes a number of seconds from 0 to 86400, not " + Echo(v);
       return false;
     }},
};

// Each option once: the command line's own, then the rest of the table.
const std::vector<KnownOption>& Options() {
  static const std::vector<KnownOption> options = [] {
    std::vector<KnownOption> all = kOwnOptions;
    for (const encounter::OptionInfo& info : encounter::SeriesOptionTable()) {
      bool own = false;
      for (const KnownOption& k : all) own = own || k.name == info.option;
      if (!own) all.push_back(FromTable(info));
    }
    return all;
  }();
  return options;
}

// The option at args[*i] with its value (from "--option=VALUE" or the next
// word); *i moves past both.
struct GivenOption {
  const KnownOption* known;
  std::string value;
};
std::optional<GivenOption> NextOption(const std::vector<std::string>& args, std::size_t* i,
                                      std::string* error) {
  const std::string& word = args[(*i)++];
  std::string name = word;
  std::optional<std::string> value;
  const auto eq = name.find('=');
  if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
    value = name.substr(eq + 1);
    name.resize(eq);
  }
  const KnownOption* option = nullptr;
  for (const KnownOption& s : Options()) {
    if (name == s.name) option = &s;
  }
  if (option == nullptr) {
    *error = "unknown option " + Echo(word) + " (see --help)";
    return std::nullopt;
  }
  if (option->takes_value && !value) {
    if (*i >= args.size()) {
      *error = name + " needs a value";
      return std::nullopt;
    }
    value = args[(*i)++];
  } else if (!option->takes_value && value) {
    *error = name + " takes no value, not " + Echo(*value);
    return std::nullopt;
  }
  return GivenOption{option, value.value_or("")};
}

}  // namespace

std::optional<SeriesCommandLine> ParseSeriesCommandLine(const std::vector<std::string>& args,
                                                        std::string* error) {
  SeriesCommandLine o;
  for (std::size_t i = 0; i < args.size();) {
    const auto option = NextOption(args, &i, error);
    if (!option || !option->known->apply(o, option->value, error)) return std::nullopt;
    o.given.push_back(option->known->name);
  }
  if (o.series.picture_width > 0 && !o.png) {
    *error = "--png-size sizes the picture of --png FILE, which is not asked for";
    return std::nullopt;
  }
  return o;
}

bool TakesValue(const std::string& name) {
  for (const KnownOption& k : Options())
    if (k.name == name) return k.takes_value;
  return false;
}

std::vector<std::string> WithoutOptions(const std::vector<std::string>& args,
                                        const std::vector<std::string>& names) {
  std::vector<std::string> kept;
  std::string error;
  for (std::size_t i = 0; i < args.size();) {
    const std::size_t from = i;
    const auto option = NextOption(args, &i, &error);
    if (!option) i = from + 1;  // kept, for the parser to refuse
    if (option && std::find(names.begin(), names.end(), option->known->name) != names.end())
      continue;
    kept.insert(kept.end(), args.begin() + static_cast<std::ptrdiff_t>(from),
                args.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return kept;
}

}  // namespace lab
