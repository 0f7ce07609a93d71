#include "series/request_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <variant>

#include "encounter/errors.h"
#include "records/texts.h"
#include "series/run_map.h"

namespace lab {

namespace {

using encounter::OptionKind;

template <class O>
using Member = std::variant<bool O::*, int O::*, std::int64_t O::*, double O::*, std::string O::*>;

// One option: what the world is told, the values it takes, where it lives.
template <class O>
struct Entry {
  encounter::OptionInfo info;
  Member<O> field;
  std::int64_t least = 0, most = 0;  // a whole number's range
  std::vector<std::string> only;     // when not empty: the values it takes
  bool zero_is_default = false;      // 0 is the field's default, never given

  Entry(encounter::OptionInfo i, Member<O> f, std::int64_t lo = 0, std::int64_t hi = 0,
        std::vector<std::string> values = {}, bool zero = false)
      : info(std::move(i)), field(f), least(lo), most(hi), only(std::move(values)),
        zero_is_default(zero) {}
};

constexpr std::int64_t kMost64 = std::numeric_limits<std::int64_t>::max();
// The widest and the highest picture drawn (pixels): 256 MB of pixels at most.
constexpr std::int64_t kLargestPicture = 8000;
constexpr std::int64_t kMostShards = 1000000;

using S = encounter::SeriesOptions;
using K = OptionKind;

const std::vector<Entry<S>>& SeriesEntries() {
  static const std::vector<Entry<S>> entries = {
      {{"max_steps", "--max-steps", K::kWhole, "a whole number from 0 to 9223372036854775807",
        "Next is pressed at the first display step at which a test has run this many steps "
        "(0: no limit)", "50000000"},
       &S::max_steps, 0, kMost64},
      {{"jobs", "--jobs", K::kWhole, "a number of threads from 1 to 1024",
        "threads the tests run on; the results are the same for every number", "one per core"},
       &S::jobs, 1, 1024, {}, true},
      {{"shard", "--shard", K::kWhole, "a part from 1 to shards",
        "run only the shard-th of shards interleaved parts of the series", "the whole series"},
       &S::shard, 1, kMostShards, {}, true},
      {{"shards", "--shard", K::kWhole, "a number of parts from 1 to 1000000",
        "the number of interleaved parts the series is cut into", "the whole series"},
       &S::shards, 1, kMostShards, {}, true},
      {{"picture", "--png", K::kFlag, "true or false",
        "keep the Trajectory Display as it stands at the end of the series", "false"},
       &S::picture},
      {{"picture_width", "--png-size", K::kWhole, "a number of pixels from 1 to 8000",
        "the width of the drawing area the picture is drawn in", "312"},
       &S::picture_width, 1, kLargestPicture, {}, true},
      {{"picture_height", "--png-size", K::kWhole, "a number of pixels from 1 to 8000",
        "the height of the drawing area the picture is drawn in", "286"},
       &S::picture_height, 1, kLargestPicture, {}, true},
      {{"energy", "--energy", K::kFlag, "true or false",
        "add the column energy_err, the relative change of the total energy", "false"},
       &S::energy},
      {{"full", "--full", K::kFlag, "true or false",
        "add the unrounded values (s, km/s, km) at the end of each row", "false"},
       &S::full},
      {{"integrator", "--integrator", K::kChoice, "euler-sums, gauss-radau or bulirsch-stoer",
        "euler-sums: the windows' fixed step; gauss-radau, bulirsch-stoer: accurate adaptive "
        "methods with events located in continuous time", "euler-sums"},
       &S::integrator, 0, 0, {"euler-sums", "gauss-radau", "bulirsch-stoer"}},
      {{"crosscheck", "--crosscheck", K::kFlag, "true or false",
        "run every test under gauss-radau too and compare the outcomes", "false"},
       &S::crosscheck},
      {{"lanes", "--lanes", K::kWhole, "1, 2, 4 or 8",
        "tests side by side in each thread's vector registers (8: two groups of 4, needs "
        "AVX2); the results are the same",
        "8 with AVX2, else 4"},
       &S::lanes, 1, 8, {"1", "2", "4", "8"}, true},
  };
  return entries;
}

using A = encounter::MapAxis;
using M = encounter::MapOptions;

const std::vector<Entry<A>>& AxisEntries() {
  static const std::vector<Entry<A>> entries = {
      {{"y", "--y", K::kText, "one of m1 m2 m3 dist1 dist2 tdfact",
        "the field of the y axis (masses only in scenario 0)", ""},
       &A::field},
      {{"y_from", "--y", K::kNumber, "a finite number",
        "the first y value, in the unit the scenario shows (AU or km; suns)", ""},
       &A::from},
      {{"y_to", "--y", K::kNumber, "a finite number", "the last y value, in the same unit", ""},
       &A::to},
      {{"y_count", "--y", K::kWhole, "a number of values from 1 to 10000",
        "y values from y_from to y_to, both included", ""},
       &A::count, 1, kMostMapRows},
      {{"y_log", "--y-log", K::kFlag, "true or false",
        "space the y values evenly in the logarithm", "false"},
       &A::log},
  };
  return entries;
}

const std::vector<Entry<M>>& MapEntries() {
  static const std::vector<Entry<M>> entries = {
      {{"refine", "--refine", K::kWhole, "a number of levels from 0 to 20",
        "compute a grid 2^refine times coarser first, then only where neighbouring cells "
        "differ in end or v3_red", "0"},
       &M::refine, 0, 20},
  };
  return entries;
}

template <class O>
std::string Refused(const Entry<O>& e, const std::string& value) {
  return e.info.name + " takes " + e.info.takes + ", not " + value;
}

template <class O>
bool WholeTaken(const Entry<O>& e, std::int64_t v) {
  if (!e.only.empty()) {
    for (const std::string& o : e.only)
      if (o == std::to_string(v)) return true;
    return false;
  }
  return v >= e.least && v <= e.most;
}

template <class O>
std::string Read(const Entry<O>& e, O& o, const std::string& text) {
  const char* end = text.data() + text.size();
  if (auto* flag = std::get_if<bool O::*>(&e.field)) {
    if (text != "true" && text != "false") return Refused(e, Echo(text));
    o.*(*flag) = text == "true";
  } else if (auto* name = std::get_if<std::string O::*>(&e.field)) {
    if (!e.only.empty() && std::find(e.only.begin(), e.only.end(), text) == e.only.end())
      return Refused(e, Echo(text));
    o.*(*name) = text;
  } else if (auto* number = std::get_if<double O::*>(&e.field)) {
    double v = 0;
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end || !std::isfinite(v))
      return Refused(e, Echo(text));
    o.*(*number) = v;
  } else {
    std::int64_t v = 0;
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end || !WholeTaken(e, v))
      return Refused(e, Echo(text));
    if (auto* i = std::get_if<int O::*>(&e.field)) o.*(*i) = static_cast<int>(v);
    if (auto* i = std::get_if<std::int64_t O::*>(&e.field)) o.*(*i) = v;
  }
  return "";
}

// Why the value the field holds is not one it takes, or "".
template <class O>
std::string Check(const Entry<O>& e, const O& o) {
  std::int64_t v = 0;
  if (auto* i = std::get_if<int O::*>(&e.field)) v = o.*(*i);
  else if (auto* i = std::get_if<std::int64_t O::*>(&e.field)) v = o.*(*i);
  else if (auto* name = std::get_if<std::string O::*>(&e.field)) {
    const std::string& text = o.*(*name);
    const bool taken = e.only.empty() || std::find(e.only.begin(), e.only.end(), text) != e.only.end();
    return taken ? "" : Refused(e, Echo(text));
  } else if (auto* number = std::get_if<double O::*>(&e.field)) {
    return std::isfinite(o.*(*number)) ? "" : Refused(e, ShortestText(o.*(*number)));
  } else {
    return "";  // a flag
  }
  return (e.zero_is_default && v == 0) || WholeTaken(e, v) ? "" : Refused(e, std::to_string(v));
}

template <class O>
std::string ReadIn(const std::vector<Entry<O>>& entries, O& o, const std::string& name,
                   const std::string& text, bool* found) {
  for (const Entry<O>& e : entries) {
    if (e.info.name != name) continue;
    *found = true;
    return Read(e, o, text);
  }
  return "";
}

template <class O>
void CheckAll(const std::vector<Entry<O>>& entries, const O& o, std::vector<std::string>* refusals) {
  for (const Entry<O>& e : entries)
    if (std::string why = Check(e, o); !why.empty()) refusals->push_back(why);
}

template <class O>
void Describe(const std::vector<Entry<O>>& entries, std::vector<encounter::OptionInfo>* table) {
  for (const Entry<O>& e : entries) table->push_back(e.info);
}

std::string UnknownName(const std::string& name) { return "no option is called " + Echo(name); }

}  // namespace

std::string ReadSeriesOption(encounter::SeriesOptions& options, const std::string& name,
                             const std::string& text) {
  bool found = false;
  std::string why = ReadIn(SeriesEntries(), options, name, text, &found);
  return found ? why : UnknownName(name);
}

std::string ReadMapOption(encounter::MapAxis& axis, encounter::MapOptions& options,
                          const std::string& name, const std::string& text) {
  bool found = false;
  std::string why = ReadIn(AxisEntries(), axis, name, text, &found);
  if (!found) why = ReadIn(MapEntries(), options, name, text, &found);
  if (!found) return ReadSeriesOption(options.series, name, text);
  return why;
}

std::vector<std::string> SeriesOptionsRefusals(const encounter::SeriesOptions& o) {
  std::vector<std::string> refusals;
  CheckAll(SeriesEntries(), o, &refusals);
  if (refusals.empty() && (o.shard > 0) != (o.shards > 0))
    refusals.push_back("shard and shards are given together, not " + std::to_string(o.shard) +
                       " of " + std::to_string(o.shards));
  else if (refusals.empty() && o.shard > o.shards)
    refusals.push_back("shard takes a part from 1 to shards, not " + std::to_string(o.shard) +
                       " of " + std::to_string(o.shards));
  if ((o.picture_width > 0) != (o.picture_height > 0))
    refusals.push_back("picture_width and picture_height are given together");
  return refusals;
}

std::vector<std::string> MapOptionsRefusals(const encounter::MapAxis& axis,
                                            const encounter::MapOptions& options) {
  std::vector<std::string> refusals = SeriesOptionsRefusals(options.series);
  CheckAll(AxisEntries(), axis, &refusals);
  CheckAll(MapEntries(), options, &refusals);
  return refusals;
}

std::string InCommandLineWords(const std::string& message) {
  auto translated = [&](const auto& entries, std::string* out) {
    for (const auto& e : entries) {
      const std::string& name = e.info.name;
      if (message.size() > name.size() && message.compare(0, name.size(), name) == 0 &&
          (message[name.size()] == ' ' || message[name.size()] == ':')) {
        *out = e.info.option + message.substr(name.size());
        return true;
      }
    }
    return false;
  };
  std::string out;
  if (translated(SeriesEntries(), &out) || translated(AxisEntries(), &out) ||
      translated(MapEntries(), &out))
    return out;
  return message;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

std::vector<encounter::OptionInfo> SeriesOptionInfo() {
  std::vector<encounter::OptionInfo> table;
  Describe(SeriesEntries(), &table);
  return table;
}

std::vector<encounter::OptionInfo> MapOptionInfo() {
  std::vector<encounter::OptionInfo> table;
  Describe(AxisEntries(), &table);
  Describe(MapEntries(), &table);
  return table;
}

}  // namespace lab
