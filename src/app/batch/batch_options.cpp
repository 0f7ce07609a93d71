#include "app/batch/batch_options.h"

#include <charconv>
#include <string_view>

namespace lab {

const char* const kBatchHelp =
    R"(encounter-batch: runs one series of encounter tests without windows and
prints the results as CSV, one line per finished test.

Usage: encounter-batch [--test T] [--set NAME=TEXT]... [--unit au|km]
                       [--max-steps N] [--jobs N] [--shard K/N] [--png FILE]
                       [--energy] [--lanes 1|2|4] [--quiet]
       encounter-batch merge SHARD.csv...

  --test T         type T into the field "test" (loads preset T)
  --set NAME=TEXT  write TEXT into a field; NAME is one of
                   m1 m2 m3 dist1 dist2 start end tdfact dalpha
  --unit au|km     select the distance unit option
  --max-steps N    press Next once a test has run N steps (default 50000000;
                   0: no limit)
  --jobs N         run the tests on N threads (default: one per core); the
                   output is the same for every N
  --shard K/N      run only the K-th of N interleaved parts of the angle range
                   (tests K, K+N, K+2N, ...); the output starts with a line
                   "# encounter-batch shard K/N series ID" and a column "test"
  --png FILE       write the Trajectory Display as it stands at the end of
                   the series to a PNG file
  --energy         add a column energy_err: the relative change of the total
                   energy over each test (empty when a body was absorbed)
  --lanes 1|2|4    run 1, 2 or 4 tests side by side in each thread's vector
                   registers (default: 4 where the processor has AVX2, else
                   2; 1 runs one test at a time); the output is the same
  --quiet          no progress line on standard error
  --help           this text
  --version        the program's version

  merge FILE...    join the outputs of all N shards of one series into the
                   CSV one unsharded run prints

The options act in this order whatever their order on the line: the preset,
the field texts in the order given, the unit, then Start.

Columns: alpha,v1,v2,v3,vesc,vesc_heading,r3,rmin,v3_red,steps,end,best,
         [energy_err,]ratio
  alpha..rmin   the texts of Data Display row 1 (vesc_heading: the caption
                of the Vesc column then)
  v3_red        1 when V #3 was shown in light red
  steps         steps integrated
  end           what ended the test: escaped (body 2 passed and left beyond its
                start distance), receded (a heavy body 2 drew away), absorbed
                (an absorption ended it), passages (the set number of closest
                approaches), limit (the step limit)
  best          1 when the test entered row 2 (the best test so far)
  ratio         speed / escape speed of the selected body, 17 digits, for
                tests that could enter row 2

Exit status: 0 done; 2 bad options, a refused set-up, a test ended because its
values were no longer finite, or a file that cannot be read or written
(message on stderr).
)";

namespace {

constexpr std::pair<const char*, int> kFieldNames[] = {
    {"m1", 0},   {"m2", 1},  {"m3", 2},      {"dist1", 3},  {"dist2", 4},
    {"start", 11}, {"end", 12}, {"tdfact", 13}, {"dalpha", 14}};

template <typename T>
bool ParseCount(std::string_view text, T* value) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && p == end && !text.empty() && *value >= 0;
}

}  // namespace

int FieldOfName(const std::string& name) {
  for (const auto& [n, index] : kFieldNames) {
    if (name == n) return index;
  }
  return -1;
}

std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args,
                                              std::string* error) {
  BatchOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--test") {
      if (!value(&v)) return std::nullopt;
      o.test = v;
    } else if (a == "--set") {
      if (!value(&v)) return std::nullopt;
      const auto eq = v.find('=');
      if (eq == std::string::npos || eq == 0) {
        *error = "--set takes NAME=TEXT, not '" + v + "'";
        return std::nullopt;
      }
      const int field = FieldOfName(v.substr(0, eq));
      if (field < 0) {
        *error = "--set: unknown field '" + v.substr(0, eq) +
                 "' (m1 m2 m3 dist1 dist2 start end tdfact dalpha)";
        return std::nullopt;
      }
      o.sets.emplace_back(field, v.substr(eq + 1));
    } else if (a == "--unit") {
      if (!value(&v)) return std::nullopt;
      if (v != "au" && v != "km") {
        *error = "--unit takes au or km, not '" + v + "'";
        return std::nullopt;
      }
      o.unit_au = v == "au";
    } else if (a == "--max-steps") {
      if (!value(&v)) return std::nullopt;
      if (!ParseCount(v, &o.max_steps)) {
        *error = "--max-steps takes a whole number of 0 or more, not '" + v + "'";
        return std::nullopt;
      }
    } else if (a == "--jobs") {
      if (!value(&v)) return std::nullopt;
      if (!ParseCount(v, &o.jobs) || o.jobs < 1 || o.jobs > 1024) {
        *error = "--jobs takes a number of threads from 1 to 1024, not '" + v + "'";
        return std::nullopt;
      }
    } else if (a == "--shard") {
      if (!value(&v)) return std::nullopt;
      const auto slash = v.find('/');
      if (slash == std::string::npos ||
          !ParseCount(std::string_view(v).substr(0, slash), &o.shard) ||
          !ParseCount(std::string_view(v).substr(slash + 1), &o.shards) || o.shard < 1 ||
          o.shard > o.shards) {
        *error = "--shard takes K/N with 1 <= K <= N, not '" + v + "'";
        return std::nullopt;
      }
    } else if (a == "--png") {
      if (!value(&v)) return std::nullopt;
      o.png = v;
    } else if (a == "--energy") {
      o.energy = true;
    } else if (a == "--lanes") {
      if (!value(&v)) return std::nullopt;
      if (v != "1" && v != "2" && v != "4") {
        *error = "--lanes takes 1, 2 or 4, not '" + v + "'";
        return std::nullopt;
      }
      o.lanes = v[0] - '0';
    } else if (a == "--quiet") {
      o.quiet = true;
    } else {
      *error = "unknown option '" + a + "' (see --help)";
      return std::nullopt;
    }
  }
  return o;
}

}  // namespace lab
