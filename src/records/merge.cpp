#include "records/merge.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <ostream>
#include <string_view>

#include "records/cross_columns.h"
#include "records/csv.h"
#include "records/replacing_file.h"
#include "records/texts.h"
#include "version.h"

namespace lab {

namespace {

constexpr std::string_view kShardPrefix = "# encounter-batch shard ";
// No line of a shard comes near this; a longer one is not a shard's.
constexpr std::size_t kLongestLine = 1 << 16;
constexpr int kMostShards = 1000000;

// Reads a file line by line through a fixed buffer, refusing what no shard
// holds: NUL bytes, carriage returns, overlong lines, a last line without
// its line feed.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  // false at the end of the file or at a fault (fault() then says which).
  bool Next(std::string* line) {
    line->clear();
    for (;;) {
      if (pos_ == len_) {
        if (eof_) {
          if (!line->empty()) fault_ = "its last line is cut off (no line feed)";
          return false;
        }
        ssize_t n = 0;
        do n = read(fd_, buf_, sizeof buf_);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
          fault_ = std::string("cannot be read: ") + std::strerror(errno);
          return false;
        }
        pos_ = 0;
        len_ = static_cast<std::size_t>(n);
        eof_ = n == 0;
        continue;
      }
      const char c = buf_[pos_++];
      if (c == '\n') {
        ++number_;
        return true;
      }
      if (c == '\0' || c == '\r') {
        fault_ = c == '\r' ? "has a carriage return in line " + std::to_string(number_ + 1) +
                                 " (CRLF line ends are not a shard's)"
                           : "holds binary data (line " + std::to_string(number_ + 1) + ")";
        return false;
      }
      if (line->size() >= kLongestLine) {
        fault_ = "has a line longer than " + std::to_string(kLongestLine) + " bytes (line " +
                 std::to_string(number_ + 1) + ")";
        return false;
      }
      *line += c;
    }
  }
  const std::string& fault() const { return fault_; }
  std::int64_t number() const { return number_; }

 private:
  int fd_;
  char buf_[65536];
  std::size_t pos_ = 0, len_ = 0;
  bool eof_ = false;
  std::int64_t number_ = 0;
  std::string fault_;
};

template <typename T>
bool WholeNumber(std::string_view text, T* value) {
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && p == text.data() + text.size() && !text.empty();
}

bool FiniteNumber(std::string_view text, double* value) {
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && p == text.data() + text.size() && !text.empty() &&
         std::isfinite(*value);
}

std::vector<std::string_view> Split(std::string_view line, char sep) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = line.find(sep);
    parts.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return parts;
    line.remove_prefix(at + 1);
  }
}

// What each known column may hold; a column merge does not know may hold
// any text (new columns need no change here).
enum class Kind { kNumber, kOptionalNumber, kRatio, kCount, kFlag, kBody, kHeading, kEnd, kAny };
constexpr std::pair<std::string_view, Kind> kColumnKinds[] = {
    {"alpha", Kind::kNumber},         {"v1", Kind::kNumber},
    {"v2", Kind::kNumber},            {"v3", Kind::kNumber},
    {"vesc", Kind::kNumber},          {"vesc_heading", Kind::kHeading},
    {"r3", Kind::kNumber},            {"rmin", Kind::kNumber},
    {"v3_red", Kind::kFlag},          {"steps", Kind::kCount},
    {"end", Kind::kEnd},              {"best", Kind::kFlag},
    {"energy_err", Kind::kOptionalNumber}, {"ratio", Kind::kRatio},
    {"t_s", Kind::kOptionalNumber},   {"v1_kms", Kind::kOptionalNumber},
    {"v2_kms", Kind::kOptionalNumber}, {"v3_kms", Kind::kOptionalNumber},
    {"vesc_kms", Kind::kOptionalNumber}, {"r3_km", Kind::kOptionalNumber},
    {"rmin_km", Kind::kOptionalNumber}, {"vesc_body", Kind::kBody},
};

Kind KindOf(std::string_view column) {
  for (const auto& [name, kind] : kColumnKinds)
    if (name == column) return kind;
  return Kind::kAny;
}

bool Readable(Kind kind, std::string_view v) {
  double d = 0;
  std::int64_t n = 0;
  switch (kind) {
    case Kind::kNumber: return FiniteNumber(v, &d);
    case Kind::kOptionalNumber: return v.empty() || FiniteNumber(v, &d);
    case Kind::kRatio: return v.empty() || (FiniteNumber(v, &d) && d >= 0);
    case Kind::kCount: return WholeNumber(v, &n) && n >= 0;
    case Kind::kFlag: return v == "0" || v == "1";
    case Kind::kBody: return v.empty() || v == "1" || v == "2" || v == "3";
    case Kind::kHeading: return v == "Vesc #1" || v == "Vesc #2" || v == "Vesc #3";
    case Kind::kEnd:
      for (std::string_view w : {"escaped", "receded", "absorbed", "passages", "next", "limit", "none"})
        if (v == w) return true;
      return false;
    case Kind::kAny: return v.find('"') == std::string_view::npos;
  }
  return false;
}

struct Shard {
  std::string file;
  int k = 0, n = 0;
  std::string series, version, header;
  std::int64_t tests = 0, total = 0;
  std::int64_t map_rows = 0;  // a map's shard: its number of y values; 0: a series'
  std::vector<std::string> rows;  // without the column "test", best as printed
  bool whole = false;             // read to its last line without a fault
  std::string fault;
};

// "# encounter-batch shard K/N series ID version V tests M of T", and for a
// map " rows R": its T cells are R series of T / R tests each.
bool ParseShardLine(std::string_view line, Shard* s) {
  if (line.substr(0, kShardPrefix.size()) != kShardPrefix) return false;
  const auto w = Split(line.substr(kShardPrefix.size()), ' ');
  const bool map = w.size() == 11 && w[9] == "rows";
  if ((w.size() != 9 && !map) || w[1] != "series" || w[3] != "version" || w[5] != "tests" ||
      w[7] != "of")
    return false;
  const auto kn = Split(w[0], '/');
  if (kn.size() != 2 || !WholeNumber(kn[0], &s->k) || !WholeNumber(kn[1], &s->n)) return false;
  if (s->k < 1 || s->k > s->n || s->n > kMostShards) return false;
  if (!WholeNumber(w[6], &s->tests) || !WholeNumber(w[8], &s->total) || s->total < 0 ||
      s->total > 1000000000)
    return false;
  if (map && (!WholeNumber(w[10], &s->map_rows) || s->map_rows < 1 || s->total % s->map_rows != 0))
    return false;
  s->series = w[2];
  s->version = w[4];
  return !s->series.empty() && s->tests == (s->total >= s->k ? (s->total - s->k) / s->n + 1 : 0);
}

// Reads and checks one shard; on a fault s->fault says what.
void ReadShard(int fd, Shard* s, std::vector<std::string_view>* columns) {
  LineReader in(fd);
  std::string line;
  auto fault = [&](const std::string& why) {
    s->fault = in.fault().empty() ? why : in.fault();
    s->rows.clear();
  };
  if (!in.Next(&line)) return fault(in.number() == 0 && in.fault().empty() ? "is empty" : "");
  if (!ParseShardLine(line, s))
    return fault("is not the output of a shard (its first line is not \"# encounter-batch shard K/N ...\")");
  if (!in.Next(&s->header)) return fault("has no CSV header (cut short)");
  *columns = Split(s->header, ',');
  std::size_t best = 0, ratio = 0;
  for (std::size_t c = 0; c < columns->size(); ++c) {
    if ((*columns)[c] == "best") best = c;
    if ((*columns)[c] == "ratio") ratio = c;
  }
  if (columns->front() != "test" || best == 0 || ratio == 0)
    return fault("has no CSV header with the columns test, best and ratio in line 2");
  std::vector<Kind> kinds;
  for (std::string_view c : *columns) kinds.push_back(KindOf(c));

  const std::string end_line = ShardEndLine(s->k, s->n, s->tests);
  std::int64_t expected = s->k - 1;
  while (in.Next(&line)) {
    const std::string where = " in line " + std::to_string(in.number());
    if (line.rfind("# ", 0) == 0) {
      if (line != end_line) {
        const std::int64_t held = static_cast<std::int64_t>(s->rows.size());
        return fault(held < s->tests ? "is cut short: " + std::to_string(held) + " of " +
                                           std::to_string(s->tests) + " tests" + where
                                     : "has a last line that does not match its rows" + where);
      }
      if (static_cast<std::int64_t>(s->rows.size()) != s->tests)
        return fault("holds " + std::to_string(s->rows.size()) + " tests, not " +
                     std::to_string(s->tests));
      if (in.Next(&line) || !in.fault().empty()) return fault("goes on after its last line");
      s->whole = true;
      return;
    }
    const auto values = Split(line, ',');
    if (values.size() != columns->size())
      return fault("has " + std::to_string(values.size()) + " columns" + where + ", not " +
                   std::to_string(columns->size()));
    if (static_cast<std::int64_t>(s->rows.size()) >= s->tests)
      return fault("holds more tests than its first line states" + where);
    std::int64_t test = 0;
    if (!WholeNumber(values[0], &test)) return fault("has an unreadable test index" + where);
    if (test != expected)
      return fault("holds test " + Echo(values[0], 24) + where + " where test " +
                   std::to_string(expected) + " belongs");
    for (std::size_t c = 1; c < values.size(); ++c) {
      if (!Readable(kinds[c], values[c]))
        return fault("has an unreadable " + std::string((*columns)[c]) + " " +
                     Echo(values[c], 24) + where);
    }
    s->rows.push_back(line.substr(values[0].size() + 1));
    expected += s->n;
  }
  if (!in.fault().empty()) return fault("");
  fault("is cut short: " + std::to_string(s->rows.size()) + " of " + std::to_string(s->tests) +
        " tests and no last line");
}

// "2-4 7 9" for the shards 2, 3, 4, 7 and 9.
std::string Ranges(const std::vector<int>& ks) {
  std::string text;
  for (std::size_t i = 0; i < ks.size();) {
    std::size_t j = i;
    while (j + 1 < ks.size() && ks[j + 1] == ks[j] + 1) ++j;
    text += (text.empty() ? "" : " ") + std::to_string(ks[i]);
    if (j > i) text += "-" + std::to_string(ks[j]);
    i = j + 1;
  }
  return text;
}

// The row with the column "best" (counted without "test") set.
std::string WithBest(const std::string& row, bool best, std::size_t best_column) {
  std::size_t start = 0;
  for (std::size_t c = 0; c < best_column; ++c) start = row.find(',', start) + 1;
  const std::size_t end = row.find(',', start);
  return row.substr(0, start) + (best ? "1" : "0") +
         (end == std::string::npos ? "" : row.substr(end));
}

}  // namespace

std::string ShardLine(int shard, int shards, const std::string& series, const std::string& version,
                      std::int64_t tests, std::int64_t total) {
  return std::string(kShardPrefix) + std::to_string(shard) + "/" + std::to_string(shards) +
         " series " + series + " version " + version + " tests " + std::to_string(tests) + " of " +
         std::to_string(total);
}

std::string ShardEndLine(int shard, int shards, std::int64_t tests) {
  return std::string(kShardPrefix) + std::to_string(shard) + "/" + std::to_string(shards) +
         " complete, " + std::to_string(tests) + " tests";
}

int MergeShards(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::string me = "encounter-batch merge: ";
  std::vector<std::string> files;
  std::optional<std::string> output;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--output" && i + 1 < args.size()) {
      output = args[++i];
    } else if (args[i].rfind("--output=", 0) == 0) {
      output = args[i].substr(9);
    } else if (args[i].rfind("--", 0) == 0) {
      err << me << "unknown option " << Echo(args[i]) << " (merge takes --output FILE)\n";
      return 2;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.empty()) {
    err << me << "name the shard files to merge\n";
    return 2;
  }

  std::vector<Shard> shards(files.size());
  std::vector<std::pair<dev_t, ino_t>> seen_files;
  std::vector<std::string_view> columns;
  int faults = 0;
  auto fault = [&](const std::string& file, const std::string& why) {
    err << me << Echo(file, 120) << ' ' << why << '\n';
    ++faults;
  };
  const Shard* first = nullptr;
  for (std::size_t i = 0; i < files.size(); ++i) {
    Shard& s = shards[i];
    s.file = files[i];
    const int fd = open(s.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      fault(s.file, std::string("cannot be opened: ") + std::strerror(errno));
      continue;
    }
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      close(fd);
      fault(s.file, "is a directory");
      continue;
    }
    if (S_ISREG(st.st_mode)) {
      bool twice = false;
      for (const auto& id : seen_files) twice = twice || id == std::pair{st.st_dev, st.st_ino};
      if (twice) {
        close(fd);
        fault(s.file, "is given twice");
        continue;
      }
      seen_files.emplace_back(st.st_dev, st.st_ino);
    }
    std::vector<std::string_view> cols;
    ReadShard(fd, &s, &cols);
    close(fd);
    if (s.n == 0) {  // not even a shard's first line
      fault(s.file, s.fault);
      continue;
    }
    if (first == nullptr) {
      first = &s;
      columns = Split(first->header, ',');
    }
    const std::string other = " than " + Echo(first->file, 120);
    if (s.version != first->version) {
      fault(s.file, "comes from another program version (" + s.version + ")" + other + " (" +
                        first->version + ")");
      s.n = 0;
    } else if (s.series != first->series || s.total != first->total ||
               s.map_rows != first->map_rows ||
               (s.whole && first->whole && s.header != first->header)) {
      fault(s.file, "comes from another series" + other);
      s.n = 0;
    } else if (s.n != first->n) {
      fault(s.file, "is shard " + std::to_string(s.k) + "/" + std::to_string(s.n) + " but " +
                        Echo(first->file, 120) + " is one of " + std::to_string(first->n));
      s.n = 0;
    } else if (!s.fault.empty()) {
      fault(s.file, s.fault);
    }
  }
  if (first == nullptr) return 2;

  // Which shards are whole, given twice, missing or to be run again.
  const int n = first->n;
  std::vector<const Shard*> by_k(static_cast<std::size_t>(n) + 1, nullptr);
  std::vector<int> again;
  for (const Shard& s : shards) {
    if (s.n != n) continue;
    if (by_k[s.k] != nullptr) {
      fault(s.file, "is shard " + std::to_string(s.k) + "/" + std::to_string(n) +
                        ", like " + Echo(by_k[s.k]->file, 120) + " (given twice)");
      continue;
    }
    by_k[s.k] = &s;
  }
  for (int k = 1; k <= n; ++k) {
    if (by_k[k] == nullptr || !by_k[k]->whole) again.push_back(k);
  }
  if (!again.empty()) {
    std::vector<int> missing;
    for (int k : again)
      if (by_k[k] == nullptr) missing.push_back(k);
    if (!missing.empty())
      err << me << "missing shards " << Ranges(missing) << " of " << n << '\n';
    err << me << "run again: --shard K/" << n << " for K = " << Ranges(again) << '\n';
    return 2;
  }
  if (faults > 0) return 2;

  // Row 2 in series order: the smallest ratio among the candidates so far.
  std::size_t best_column = 0, ratio_column = 0;
  for (std::size_t c = 1; c < columns.size(); ++c) {
    if (columns[c] == "best") best_column = c - 1;
    if (columns[c] == "ratio") ratio_column = c - 1;
  }
  ReplacingFile output_file;
  std::ofstream output_stream;
  std::string error;
  if (output) {
    if (!output_file.Open(*output, &error)) {
      err << me << error << '\n';
      return 2;
    }
    output_stream.open(output_file.TempName(), std::ios::binary | std::ios::trunc);
  }
  std::ostream& merged = output ? static_cast<std::ostream&>(output_stream) : out;
  merged << first->header.substr(5) << '\n';
  BestSoFar best;
  // With --crosscheck columns, the accurate method's best and the flag are
  // decided again in series order too.
  std::optional<CrossMerge> cross = CrossMerge::ForHeader(first->header.substr(5));
  // A map's rows are series of their own: each decides its best afresh.
  const std::int64_t per_series = first->map_rows > 0 ? first->total / first->map_rows : 0;
  for (std::int64_t test = 0; test < first->total && merged; ++test) {
    if (per_series > 0 && test % per_series == 0) {
      best = BestSoFar{};
      if (cross) cross->NewSeries();
    }
    const std::string& row = by_k[test % n + 1]->rows[static_cast<std::size_t>(test / n)];
    const auto values = Split(row, ',');
    double ratio = 0;
    const bool candidate = !values[ratio_column].empty();
    if (candidate) FiniteNumber(values[ratio_column], &ratio);
    const std::string line = WithBest(row, candidate && best.Takes(ratio), best_column);
    merged << (cross ? cross->Redecide(line) : line) << '\n';
  }
  if (cross) err << "encounter-batch: " << cross->Summary() << '\n';
  merged.flush();
  if (output && merged) {
    output_stream.close();
    if (output_stream && output_file.Commit(&error)) return 0;
  }
  if (!merged || output) {
    err << me << "cannot write the output: " << (error.empty() ? std::strerror(errno ? errno : EIO) : error) << '\n';
    return 1;
  }
  return 0;
}

}  // namespace lab
