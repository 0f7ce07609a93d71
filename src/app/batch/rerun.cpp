#include "app/batch/rerun.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "app/batch/batch_options.h"
#include "app/batch/map_options.h"
#include "records/json_reader.h"
#include "records/texts.h"
#include "version.h"

namespace lab {

namespace {

// What may be added to a rerun: where the results go and how the work is
// spread, none of which changes a byte of the series.
const std::vector<std::string> kMayBeAdded = {"--rerun", "--output",  "--meta",          "--png",
                                              "--jobs",  "--lanes",   "--quiet", "--progress-every"};
// And to a map's: its pictures and its summary too.
const std::vector<std::string> kMayBeAddedToMap = {
    "--rerun", "--output", "--meta",  "--map-png", "--map-svg",       "--colour",
    "--summary", "--jobs", "--lanes", "--quiet",   "--progress-every"};
// The options that run no series: a record holding one was not made by a run.
const std::vector<std::string> kRunNothing = {"--help", "-h", "--version", "--list-presets",
                                              "--rerun"};

bool OneOf(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

// The options named in args, read as the command of a series or a map reads
// them; nothing when they cannot be read.
std::optional<std::vector<std::string>> Given(const std::vector<std::string>& args, bool map,
                                              std::optional<std::string>* rerun) {
  std::string ignored;  // the run itself reports mistakes in the options
  if (map) {
    const auto o = ParseMapWords(args, &ignored);
    if (!o) return std::nullopt;
    *rerun = o->series.rerun;
    return o->given;
  }
  const auto o = ParseSeriesCommandLine(args, &ignored);
  if (!o) return std::nullopt;
  *rerun = o->rerun;
  return o->given;
}

// Refuses a record whose arguments hold an option that runs nothing.
bool RecordRuns(const RunPlan& plan, const std::string& what, std::string* error) {
  std::optional<std::string> rerun;
  const auto given = Given(plan.args, plan.map, &rerun);
  for (const std::string& name : given.value_or(std::vector<std::string>{})) {
    if (!OneOf(kRunNothing, name)) continue;
    *error = what + "holds the option " + name + ", which runs no " +
             (plan.map ? "map" : "series") + "; the record was changed";
    return false;
  }
  return true;
}

// A record is a few kilobytes; a file far larger is something else.
constexpr std::streamsize kLargestRecord = 1 << 20;

std::optional<JsonValue> ReadRecord(const std::string& path, std::string* error) {
  const std::string what = "--rerun: " + Echo(path) + " ";
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    *error = what + "does not exist";
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = what + "is not a file one can read";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string text(kLargestRecord + 1, '\0');
  in.read(text.data(), kLargestRecord + 1);
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad() || (!in.eof() && !in)) {
    *error = what + "cannot be read";
    return std::nullopt;
  }
  if (text.size() > static_cast<std::size_t>(kLargestRecord)) {
    *error = what + "is not the record of a run (larger than 1 MiB)";
    return std::nullopt;
  }
  std::string why;
  auto json = ReadJson(text, &why);
  if (!json) *error = what + "is not the record of a run: " + why;
  return json;
}

// The string member name, or nullptr when it is missing or not a string.
const std::string* StringMember(const JsonValue& record, const char* name) {
  const JsonValue* v = record.Member(name);
  return v && v->kind == JsonValue::Kind::kString ? &v->text : nullptr;
}

// The record's arguments and series, checked to be ours and of this version.
bool TakeRecord(const JsonValue& record, const std::string& what, RunPlan* plan,
                std::string* error) {
  const std::string* program = StringMember(record, "program");
  const std::string* version = StringMember(record, "version");
  const std::string* series = StringMember(record, "series");
  const JsonValue* arguments = record.Member("arguments");
  if (!program || *program != "encounter-batch" || !version || !series || !arguments ||
      arguments->kind != JsonValue::Kind::kArray) {
    *error = what + "is not the record of a run of encounter-batch --meta (it needs \"program\", "
                    "\"version\", \"arguments\" and \"series\")";
    return false;
  }
  if (*version != kVersion) {
    *error = what + "was written by version " + Echo(*version) +
             " of encounter-batch; this is version " + kVersion +
             ", whose results may differ: rerun it with version " + Echo(*version);
    return false;
  }
  for (const JsonValue& a : arguments->items) {
    if (a.kind != JsonValue::Kind::kString) {
      *error = what + "has an argument that is not a string";
      return false;
    }
    plan->args.push_back(a.text);
  }
  plan->series = *series;
  return true;
}

}  // namespace

std::optional<RunPlan> PlanRun(const std::vector<std::string>& args, bool map, std::string* error) {
  std::optional<std::string> rerun;
  const auto given = Given(args, map, &rerun);
  if (!given || !rerun) return RunPlan{args, "", "", map};
  const auto& may_be_added = map ? kMayBeAddedToMap : kMayBeAdded;
  for (const std::string& name : *given) {
    if (OneOf(may_be_added, name)) continue;
    *error = "--rerun takes the " + std::string(map ? "map" : "series") + " from its record; " +
             name + " cannot be added (only " +
             (map ? "--output, --meta, --map-png, --map-svg, --colour, --summary, --jobs, "
                    "--lanes, --quiet and --progress-every)"
                  : "--output, --meta, --png, --jobs, --lanes, --quiet and --progress-every)");
    return std::nullopt;
  }
  const auto record = ReadRecord(*rerun, error);
  if (!record) return std::nullopt;
  const std::string what = "--rerun: " + Echo(*rerun) + " ";
  RunPlan plan{{}, *rerun, "", false};
  if (!TakeRecord(*record, what, &plan, error)) return std::nullopt;
  plan.map = !plan.args.empty() && plan.args.front() == "map";
  if (plan.map) plan.args.erase(plan.args.begin());
  if (map && !plan.map) {
    *error = what + "records a series, not a map: rerun it with encounter-batch --rerun";
    return std::nullopt;
  }
  if (!RecordRuns(plan, what, error)) return std::nullopt;
  plan.args = plan.map ? WithoutMapOptions(plan.args, {"--output", "--meta", "--map-png", "--map-svg"})
                       : WithoutOptions(plan.args, {"--output", "--meta", "--png"});
  const auto added = map ? WithoutMapOptions(args, {"--rerun"}) : WithoutOptions(args, {"--rerun"});
  plan.args.insert(plan.args.end(), added.begin(), added.end());
  return plan;
}

std::string SeriesRefusal(const RunPlan& plan, const std::string& series) {
  if (plan.record.empty() || plan.series == series) return "";
  return "--rerun: the arguments of " + Echo(plan.record) + " give the series " + series +
         ", not the series " + Echo(plan.series) + " it records; the record was changed";
}

}  // namespace lab
