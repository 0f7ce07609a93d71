#include "records/run_record.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sstream>

#include "records/columns.h"
#include "records/texts.h"
#include "setup/field_names.h"
#include "setup/units.h"
#include "simulation/accurate_test.h"
#include "version.h"

namespace lab {

namespace {

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

// A field as it reads: the windows right-align numbers with a blank.
std::string FieldText(const RunRecord& m, int f) {
  const std::string& t = m.fields[f];
  return JsonString(t.substr(std::min(t.size(), t.find_first_not_of(' '))));
}

// The fields the series reads, by their set names beside their captions in
// the window; then the derived ones, by caption.
void JsonFields(std::ostringstream& j, const RunRecord& m) {
  j << "{";
  bool first = true;
  for (int f : {0, 1, 2, 3, 4, 11, 12, 13, 14}) {
    j << (first ? "\n" : ",\n") << "    " << JsonString(NameOfField(f)) << ": {\"window\": "
      << JsonString(kFieldCaptions[f]) << ", \"text\": " << FieldText(m, f) << "}";
    first = false;
  }
  j << "\n  },\n  \"derived\": {";
  first = true;
  for (int f : {5, 6, 8, 9}) {
    j << (first ? "\n" : ",\n") << "    " << JsonString(kFieldCaptions[f]) << ": "
      << FieldText(m, f);
    first = false;
  }
  j << "\n  }";
}

// A number as JSON, the shortest text that reads back as it.
std::string JsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}

void JsonQuantity(std::ostringstream& j, const char* name, const std::string& value,
                  const std::string& unit, bool first = false) {
  j << (first ? "\n" : ",\n") << "    " << JsonString(name) << ": {\"value\": " << value
    << ", \"unit\": " << JsonString(unit) << "}";
}

// The physical set-up, each quantity with its unit; "r limit" as the window
// shows it (in the unit shown), the absorption distances unrounded in km.
void JsonSetUp(std::ostringstream& j, const RunRecord& m) {
  const PhysicalSetUp& p = *m.setup;
  const std::string km = UnitText(ColumnUnit::kKm, false);
  const std::string shown = UnitText(ColumnUnit::kDistance, m.au);
  std::string rlimit = m.fields[9];
  rlimit.erase(0, std::min(rlimit.size(), rlimit.find_first_not_of(' ')));
  double rlimit_value = 0;
  const auto [end, ec] = std::from_chars(rlimit.data(), rlimit.data() + rlimit.size(), rlimit_value);
  j << ",\n  \"setup\": {";
  JsonQuantity(j, "escape", JsonNumber(p.escape), "of the escape speed", true);
  JsonQuantity(j, "absorption distance", JsonNumber(p.absorption), km);
  JsonQuantity(j, "absorption distance of the other pair", JsonNumber(p.absorption_other), km);
  JsonQuantity(j, "passages limit", std::to_string(p.passages), "closest approaches");
  JsonQuantity(j, "v limit", JsonNumber(p.vlimit), UnitText(ColumnUnit::kKmPerS, false));
  JsonQuantity(j, "r limit", ec == std::errc() ? JsonNumber(rlimit_value) : "null", shown);
  JsonQuantity(j, "n stars", std::to_string(p.nstars), "bodies");
  JsonQuantity(j, "cond", std::to_string(m.last_steps), "steps");
  j << "\n  }";
}

}  // namespace

PhysicalSetUp SetUpOfState(const SimState& s) {
  // The heaviest body h (a tie to the lower number), the lighter l of bodies
  // 0 and 1, and the remaining t, as the absorption distances are set.
  int h = 0, l = 1, t = 2;
  if (s.mstart[1] > s.mstart[0]) std::swap(h, l);
  if (s.mstart[2] > s.mstart[h]) std::swap(h, t);
  PhysicalSetUp p;
  p.escape = s.escape;
  p.absorption = std::sqrt(s.rlimit2);
  p.absorption_other = std::sqrt(s.rr2limit[l][t]);
  p.passages = s.pcntmax;
  p.vlimit = s.vlimit;
  p.nstars = s.nstars + 1;  // the highest body index once a test has begun
  return p;
}

std::string SeriesId(const std::array<std::string, kControlFields>& fields, bool au,
                     std::int64_t max_steps, const std::string& integrator, bool crosscheck,
                     const std::string& header) {
  std::string key;
  for (int f : {0, 1, 2, 3, 4, 10, 11, 12, 13, 14}) key += fields[f] + '\x1f';
  key += au ? "au" : "km";
  key += '\x1f' + std::to_string(max_steps) + '\x1f' + header + '\x1f' + kVersion;
  if (integrator != kEulerSumsName) key += '\x1f' + integrator;
  if (crosscheck) key += std::string("\x1f" "crosscheck ") + kFastestAccurateName;
  return IdOfKey(key);
}

std::string IdOfKey(const std::string& key) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a, 64 bits
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return hex;
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string RunRecordJson(const RunRecord& m) {
  std::ostringstream j;
  j << "{\n  \"program\": \"encounter-batch\",\n  \"version\": " << JsonString(kVersion)
    << ",\n  \"arguments\": [";
  // The arguments, and the command line that repeats the run in a shell.
  std::string command = "encounter-batch";
  for (std::size_t i = 0; i < m.args.size(); ++i) {
    j << (i > 0 ? ", " : "") << JsonString(m.args[i]);
    command += ' ' + ShellWord(m.args[i]);
  }
  j << "],\n  \"command_line\": " << JsonString(command)
    << ",\n  \"scenario\": " << JsonString(m.scenario) << ",\n  \"fields\": ";
  JsonFields(j, m);
  j << ",\n  \"unit\": \"" << UnitName(m.au) << "\",\n  \"max_steps\": " << m.max_steps
    << ",\n  \"integrator\": " << JsonString(m.integrator)
    << ",\n  \"crosscheck\": " << (m.crosscheck ? "true" : "false")
    << ",\n  \"crosscheck_integrator\": "
    << (m.crosscheck ? JsonString(kFastestAccurateName) : std::string("null"))
    << ",\n  \"columns\": " << JsonString(m.header) << ",\n  \"series\": " << JsonString(m.series)
    << ",\n  \"tests_in_series\": " << m.series_tests << ",\n  \"tests_to_run\": " << m.tests
    << ",\n  \"tests_written\": " << m.written << ",\n  \"threads\": " << m.jobs
    << ",\n  \"shard\": ";
  if (m.shards > 0) {
    j << "\"" << m.shard << "/" << m.shards << "\"";
  } else {
    j << "null";
  }
  if (m.setup) JsonSetUp(j, m);
  j << m.more_json << ",\n  \"warnings\": " << m.warnings << ",\n  \"untrusted\": "
    << (m.untrusted ? std::to_string(*m.untrusted) : std::string("null"))
    << ",\n  \"start_time\": " << JsonString(m.start_time)
    << ",\n  \"end_time\": " << JsonString(UtcNow()) << ",\n  \"host\": "
    << JsonString(HostName()) << "\n}\n";
  return j.str();
}

}  // namespace lab
