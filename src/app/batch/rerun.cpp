#include "app/batch/rerun.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

#include "app/batch/batch_options.h"
#include "records/json_reader.h"
#include "records/texts.h"
#include "version.h"

namespace lab {

namespace {

// What may be added to a rerun: where the results go and how the work is
// spread, none of which changes a byte of the series.
const std::vector<std::string> kMayBeAdded = {"--rerun", "--output",  "--meta",          "--png",
                                              "--jobs",  "--lanes",   "--quiet", "--progress-every"};

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

std::optional<RunPlan> PlanRun(const std::vector<std::string>& args, std::string* error) {
  std::string ignored;  // the run itself reports mistakes in the options
  const auto given = ParseSeriesCommandLine(args, &ignored);
  if (!given || !given->rerun) return RunPlan{args, "", ""};
  for (const std::string& name : given->given) {
    if (std::find(kMayBeAdded.begin(), kMayBeAdded.end(), name) != kMayBeAdded.end()) continue;
    *error = "--rerun takes the series from its record; " + name +
             " cannot be added (only --output, --meta, --png, --jobs, --lanes, --quiet and "
             "--progress-every)";
    return std::nullopt;
  }
  const auto record = ReadRecord(*given->rerun, error);
  if (!record) return std::nullopt;
  RunPlan plan{{}, *given->rerun, ""};
  if (!TakeRecord(*record, "--rerun: " + Echo(*given->rerun) + " ", &plan, error))
    return std::nullopt;
  plan.args = WithoutOptions(plan.args, {"--output", "--meta", "--png", "--rerun"});
  const auto added = WithoutOptions(args, {"--rerun"});
  plan.args.insert(plan.args.end(), added.begin(), added.end());
  return plan;
}

std::string SeriesRefusal(const RunPlan& plan, const std::string& series) {
  if (plan.record.empty() || plan.series == series) return "";
  return "--rerun: the arguments of " + Echo(plan.record) + " give the series " + series +
         ", not the series " + Echo(plan.series) + " it records; the record was changed";
}

}  // namespace lab
