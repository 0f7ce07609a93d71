#include "app/batch/batch_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "records/texts.h"
#include "series/crosscheck.h"
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
  or:  encounter-batch --list-presets | --help | --version
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
  --lanes 1|2|4    run 1, 2 or 4 tests side by side in each thread's vector
                   registers (default: 4 where the processor has AVX2, else
                   2; 1 runs one test at a time); the output is the same
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
                   --quiet and --progress-every may be added. Refused for a
                   record of another version or whose series differs
  --list-presets   the twenty scenarios, one line each, with their regime
  --help           this text
  --version        the program's version

  merge FILE...    join the outputs of all N shards of one series into the
                   CSV one unsharded run prints; refuses shards that are cut
                   short, damaged or edited, of another series or version,
                   or incomplete, and names the shards to run again

The options act in this order whatever their order on the line: the scenario,
the field texts in the order given, the unit, then Start.

Columns (the texts of Data Display row 1 are cut, never rounded):
  alpha         start angle of the test (degrees)
  v1, v2, v3    speeds of bodies 1, 2 and 3 at the end (km/s, 3 decimals)
  vesc          the escape speed shown (km/s, 3 decimals)
  vesc_heading  whose escape speed: Vesc #1, Vesc #2 or Vesc #3
  r3            distance of body 3 from the farther of bodies 1 and 2 at the
                end (AU with 2 decimals when the unit is AU, else whole km)
  rmin          smallest distance of body 3 from bodies 1 or 2 (same unit)
  v3_red        1 when V #3 was shown in light red (faster than its escape)
  steps         steps integrated (fixed or adaptive, by the method in use)
  end           what ended the test: escaped (body 3 passed and left beyond
                its start distance), receded (a heavy body 3 drew away),
                absorbed, passages (the set number of closest approaches),
                limit (the step limit)
  best          1 when the test entered row 2 (the best test so far: the
                smallest ratio)
  energy_err    (--energy) relative change of the total energy over the
                test, 6 digits; empty when a body was absorbed
  ratio         the speed of body 1 or of body 2 (column ratio_body of
                --full says which) divided by vesc, 17 digits; empty for
                tests that could not enter row 2 (body 3 absorbed, no
                escape speed); see "The ratio" below

Columns of --crosscheck, before ratio:
  acc_end       end of the test under gauss-radau
  acc_v3_red    its v3_red
  acc_best      1 when it is the best test so far under gauss-radau
  acc_ratio     its ratio under gauss-radau
  ratio_diff    (ratio - acc_ratio) / acc_ratio, when both exist
  differs       1 when the two methods disagree on end, on best or on
                v3_red, and when the accurate run ended without results
                (its columns are then empty)

Columns of --full, at the end of the line:
  t_s           end time of the test, steps x time step (s)
  v1_kms, v2_kms, v3_kms  speeds (km/s)
  vesc_kms      the escape speed shown (km/s)
  r3_km, rmin_km  distances (km)
  vesc_body     whose escape speed vesc is: 1, 2 or 3
  ratio_body    whose speed the ratio divides by vesc: 1 or 2 (empty
                where ratio is)

The ratio: the speed of body 1 is taken, or that of body 2 when body 2's
speed over its own escape speed from body 3 is the larger (around a central
mass both are 0, and body 1's speed is taken); it is divided by the escape
speed shown, vesc, even when that is body 3's (Vesc #3). Row 2 of the Data
Display holds the test with the smallest ratio so far.

Shards: the first line "# encounter-batch shard K/N series ID version V
tests M of T" says how many tests the shard must hold; the last line
"# encounter-batch shard K/N complete, M tests, crc32 C", written only after
the last row, how many it holds and the CRC-32 (as gzip computes it) of every
byte above it. A shard without that line was cut short: run it again. merge
also refuses a shard whose checksum does not match (damaged or edited), a
cell in a form the program does not print, a flag that its rows contradict,
and a shard of an older version without a checksum. The series id changes
with every field text, the unit, the step limit, the columns, the integrator
and the version; not with --jobs or --lanes.

Warnings (standard error, also with --quiet): a scenario number that is not
one of the twenty, a --set that the scenario overwrites or does not read, a
test whose total energy changed by more than 1 %. A last line gives the
tests, the time and the warnings (with --quiet only the count of warnings).

Exit status:
  0    done: every output written
  1    an output could not be written: a file or a stream, a full disk, a
       reader that went away (| head), a target that stopped being a
       regular file during the run
  2    refused: bad options, a set-up that cannot run, a shard merge does
       not take, a file that cannot be read, a target that is not a regular
       file, a new name or a stream, two outputs in one file (all before the
       first test); a test whose values were no longer finite
  130  stopped by SIGINT (143: SIGTERM, 129: SIGHUP): whole lines on
       standard output, no shard's last line, no file written, no temporary
       file left
)";

}  // namespace

std::string BatchHelp() {
  std::string help = kHelpText;
  const std::string mark = "@SCENARIOS@";
  help.replace(help.find(mark), mark.size(), PresetList());
  return help;
}

namespace {

// The widest and the highest picture --png-size draws (pixels): 256 MB of
// pixels at most.
constexpr int kLargestPicture = 8000;

template <typename T>
bool ParseCount(std::string_view text, T* value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && p == end && !text.empty() && *value >= 0;
}

using Apply = bool (*)(BatchOptions&, const std::string&, std::string* error);

struct KnownOption {
  const char* name;
  bool takes_value;
  Apply apply;
};

// Each option once; a new one is one more line here and in the help text.
const KnownOption kOptions[] = {
    {"--help", false, [](BatchOptions& o, const std::string&, std::string*) { return o.help = true; }},
    {"-h", false, [](BatchOptions& o, const std::string&, std::string*) { return o.help = true; }},
    {"--version", false, [](BatchOptions& o, const std::string&, std::string*) { return o.version = true; }},
    {"--list-presets", false,
     [](BatchOptions& o, const std::string&, std::string*) { return o.list_presets = true; }},
    {"--energy", false, [](BatchOptions& o, const std::string&, std::string*) { return o.energy = true; }},
    {"--full", false, [](BatchOptions& o, const std::string&, std::string*) { return o.full = true; }},
    {"--crosscheck", false,
     [](BatchOptions& o, const std::string&, std::string*) { return o.crosscheck = true; }},
    {"--lanes", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       if (v != "1" && v != "2" && v != "4") {
         *error = "--lanes takes 1, 2 or 4, not " + Echo(v);
         return false;
       }
       o.lanes = v[0] - '0';
       return true;
     }},
    {"--integrator", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       if (!IntegratorOfName(v)) {
         *error = "--integrator takes euler-sums, gauss-radau or bulirsch-stoer, not " + Echo(v);
         return false;
       }
       o.integrator = v;
       return true;
     }},
    {"--quiet", false, [](BatchOptions& o, const std::string&, std::string*) { return o.quiet = true; }},
    {"--test", true,
     [](BatchOptions& o, const std::string& v, std::string*) {
       o.test = v;
       return true;
     }},
    {"--set", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       const auto eq = v.find('=');
       if (eq == std::string::npos || eq == 0) {
         *error = "--set takes NAME=TEXT, not " + Echo(v);
         return false;
       }
       const int field = FieldOfName(v.substr(0, eq));
       if (field < 0) {
         *error = "--set: unknown field " + Echo(v.substr(0, eq)) +
                  " (" + std::string(kFieldNameList) + ")";
         return false;
       }
       o.sets.emplace_back(field, v.substr(eq + 1));
       return true;
     }},
    {"--unit", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       std::string lower = v;
       std::transform(lower.begin(), lower.end(), lower.begin(),
                      [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
       if (lower != "au" && lower != "km") {
         *error = "--unit takes au or km, not " + Echo(v);
         return false;
       }
       o.unit_au = lower == "au";
       return true;
     }},
    {"--max-steps", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       if (ParseCount(v, &o.max_steps)) return true;
       *error = "--max-steps takes a whole number from 0 to 9223372036854775807, not " + Echo(v);
       return false;
     }},
    {"--jobs", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       if (ParseCount(v, &o.jobs) && o.jobs >= 1 && o.jobs <= 1024) return true;
       *error = "--jobs takes a number of threads from 1 to 1024, not " + Echo(v);
       return false;
     }},
    {"--shard", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       const auto slash = v.find('/');
       if (slash != std::string::npos &&
           ParseCount(std::string_view(v).substr(0, slash), &o.shard) &&
           ParseCount(std::string_view(v).substr(slash + 1), &o.shards) && o.shard >= 1 &&
           o.shard <= o.shards && o.shards <= 1000000) {
         return true;
       }
       *error = "--shard takes K/N with 1 <= K <= N <= 1000000, not " + Echo(v);
       return false;
     }},
    {"--png", true,
     [](BatchOptions& o, const std::string& v, std::string*) {
       o.png = v;
       return true;
     }},
    {"--png-size", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       const auto x = v.find('x');
       if (x != std::string::npos &&
           ParseCount(std::string_view(v).substr(0, x), &o.png_width) &&
           ParseCount(std::string_view(v).substr(x + 1), &o.png_height) && o.png_width >= 1 &&
           o.png_height >= 1 && o.png_width <= kLargestPicture && o.png_height <= kLargestPicture) {
         return true;
       }
       *error = "--png-size takes WIDTHxHEIGHT in pixels, each from 1 to " +
                std::to_string(kLargestPicture) + ", not " + Echo(v);
       return false;
     }},
    {"--output", true,
     [](BatchOptions& o, const std::string& v, std::string*) {
       o.output = v;
       return true;
     }},
    {"--meta", true,
     [](BatchOptions& o, const std::string& v, std::string*) {
       o.meta = v;
       return true;
     }},
    {"--rerun", true,
     [](BatchOptions& o, const std::string& v, std::string*) {
       o.rerun = v;
       return true;
     }},
    {"--progress-every", true,
     [](BatchOptions& o, const std::string& v, std::string* error) {
       if (ParseCount(v, &o.progress_every) && o.progress_every <= 86400) return true;
       *error = "--progress-every takes a number of seconds from 0 to 86400, not " + Echo(v);
       return false;
     }},
};

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
  for (const KnownOption& s : kOptions) {
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

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string* error) {
  BatchOptions o;
  for (std::size_t i = 0; i < args.size();) {
    const auto option = NextOption(args, &i, error);
    if (!option || !option->known->apply(o, option->value, error)) return std::nullopt;
    o.given.push_back(option->known->name);
  }
  if (o.png_width > 0 && !o.png) {
    *error = "--png-size sizes the picture of --png FILE, which is not asked for";
    return std::nullopt;
  }
  return o;
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
