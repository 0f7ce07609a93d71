#include "app/batch/batch_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "series/crosscheck.h"
#include "records/texts.h"
#include "setup/field_names.h"

namespace lab {

const char* const kBatchHelp =
    R"(Usage: encounter-batch [OPTION]...
  or:  encounter-batch merge [--output FILE] SHARD.csv...
  or:  encounter-batch map --y NAME=FROM:TO:COUNT [OPTION]...  (see map --help)
  or:  encounter-batch --list-presets | --help | --version
Runs one series of encounter tests without windows and prints the results as
CSV, one line per finished test.

Every option may also be written --option=VALUE.

  --test T         type T into the field "test" (loads scenario T)
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
                   the series to a PNG file (a regular file or a new name)
  --output FILE    write the CSV to FILE instead of standard output; FILE
                   appears only when the run is complete
  --meta FILE      write a JSON record of the run: version, command line,
                   scenario, every field as used, derived values, series id,
                   tests, threads, shard, start and end time, host
  --energy         add the column energy_err
  --full           add the unrounded values at the end of each line
  --integrator NAME
                   euler-sums (default): the windows' fixed-step method;
                   bulirsch-stoer: an accurate adaptive method, events located
                   in continuous time (steps then counts its steps)
  --crosscheck     run every test with both methods from the same start and
                   add the columns acc_end .. differs (see below); a closing
                   line on standard error counts the rows whose outcome differs
  --lanes 1|2|4    run 1, 2 or 4 tests side by side in each thread's vector
                   registers (default: 4 where the processor has AVX2, else
                   2; 1 runs one test at a time); the output is the same
  --quiet          no progress line on standard error (warnings remain)
  --list-presets   the twenty scenarios, one line each
  --help           this text
  --version        the program's version

  merge FILE...    join the outputs of all N shards of one series into the
                   CSV one unsharded run prints; refuses shards that are cut
                   short, of another series or incomplete, and names the
                   shards to run again

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
  best          1 when the test entered row 2 (the best test so far)
  energy_err    (--energy) relative change of the total energy over the
                test, 6 digits; empty when a body was absorbed
  with --crosscheck, before ratio (the other columns are those of the
  --integrator method, euler-sums by default):
  acc_end       end of the test under bulirsch-stoer
  acc_v3_red    its v3_red
  acc_best      1 when it is the best test so far under bulirsch-stoer
  acc_ratio     its ratio under bulirsch-stoer
  ratio_diff    (ratio - acc_ratio) / acc_ratio, when both exist
  differs       1 when the two methods disagree on end, on best or on v3_red
                (and when the accurate run ended without results: its
                columns are then empty)
  ratio         speed / escape speed of the selected body, 17 digits, for
                tests that could enter row 2
  with --full, at the end, each the shortest text that reads back to the
  exact double of the run:
  t_s           end time of the test, steps x time step (s)
  v1_kms, v2_kms, v3_kms, vesc_kms   speeds (km/s)
  r3_km, rmin_km                     distances (km)
  vesc_body     whose escape speed vesc is: 1, 2 or 3

Shards: the first line "# encounter-batch shard K/N series ID version V
tests M of T" says how many tests the shard must hold; the last line
"# encounter-batch shard K/N complete, M tests" is written only after the
last row. A shard without it was cut short: run it again.

Warnings (standard error, also with --quiet): a scenario number that is not
one of the twenty, a --set that the scenario overwrites or does not read, a
test whose total energy changed by more than 1 %; a last line counts them.

Exit status: 0 done; 1 the output could not be written; 2 bad options, a
refused set-up, a test ended because its values were no longer finite, or a
file that cannot be read or written; 130 or 143 interrupted by SIGINT or
SIGTERM (no file left half-written, no shard's last line).
)";

namespace {

template <typename T>
bool ParseCount(std::string_view text, T* value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && p == end && !text.empty() && *value >= 0;
}

using Apply = bool (*)(BatchOptions&, const std::string&, std::string* error);

struct OptionSpec {
  const char* name;
  bool takes_value;
  Apply apply;
};

// Each option once; a new one is one more line here and in the help text.
const OptionSpec kOptions[] = {
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
         *error = "--integrator takes euler-sums or bulirsch-stoer, not " + Echo(v);
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
};

}  // namespace

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string* error) {
  BatchOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    const auto eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& s : kOptions) {
      if (name == s.name) option = &s;
    }
    if (option == nullptr) {
      *error = "unknown option " + Echo(args[i]) + " (see --help)";
      return std::nullopt;
    }
    if (option->takes_value && !value) {
      if (i + 1 >= args.size()) {
        *error = name + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    } else if (!option->takes_value && value) {
      *error = name + " takes no value, not " + Echo(*value);
      return std::nullopt;
    }
    if (!option->apply(o, value.value_or(""), error)) return std::nullopt;
  }
  return o;
}

}  // namespace lab
