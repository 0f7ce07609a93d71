#include "records/merge.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <ostream>
#include <string_view>

#include "records/columns.h"
#include "records/cross_columns.h"
#include "records/csv.h"
#include "records/replacing_file.h"
#include "records/shard_row_rules.h"
#include "records/shard_rows.h"
#include "records/texts.h"
#include "records/signals.h"
#include "simulation/test_row.h"

namespace lab {

namespace {

// No line of a shard comes near this; a longer one is not a shard's.
constexpr std::size_t kLongestLine = 1 << 16;
constexpr int kMostShards = 1000000;

// Reads a file line by line through a fixed buffer, refusing what no shard
// holds: NUL bytes, carriage returns, overlong lines, a last line without
// its line feed.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {
    struct stat st {};
    may_wait_ = fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
  }
  // false at the end of the file, at a fault, or at a stop (fault() then says which).
  bool Next(std::string* line) {
    line->clear();
    for (;;) {
      if (pos_ == len_) {
        if (eof_) {
          if (!line->empty()) fault_ = "its last line is cut off (no line feed)";
          return false;
        }
        if (!Fill()) return false;
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
  // The next buffer full. A pipe or FIFO is waited on a tenth of a second at
  // a time, so that SIGINT or SIGTERM is seen while nothing comes.
  bool Fill() {
    for (;;) {
      if (StopRequested()) {
        fault_ = "was not read to its end (stopped)";
        return false;
      }
      if (may_wait_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
      }
      const ssize_t n = read(fd_, buf_, sizeof buf_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        fault_ = std::string("cannot be read: ") + std::strerror(errno);
        return false;
      }
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
      eof_ = n == 0;
      return true;
    }
  }

  int fd_;
  char buf_[65536];
  std::size_t pos_ = 0, len_ = 0;
  bool eof_ = false, may_wait_ = false;
  std::int64_t number_ = 0;
  std::string fault_;
};

// A whole number as the program prints it: no sign, no leading zero.
template <typename T>
bool WholeNumber(std::string_view text, T* value) {
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && p == text.data() + text.size() && *value >= 0 &&
         std::to_string(*value) == text;
}

struct Shard {
  std::string file;
  int k = 0, n = 0;
  std::string series, version, header;
  std::int64_t tests = 0, total = 0;
  std::int64_t map_rows = 0;  // a map's shard: its number of y values; 0: a series'
  std::int64_t untrusted = 0;  // as its last line states
  bool counted = false;        // its last line states it (versions before did not)
  // Rows whose column energy_err shows a change beyond the trusted limit, and
  // those printed at the limit itself (the six digits may have cut either way).
  std::vector<std::size_t> beyond, at_limit;
  std::vector<std::string> rows;  // without the column "test", best as printed
  bool whole = false;             // read to its last line without a fault
  bool damaged = false;           // its checksum is wrong or missing
  std::string fault;
};

// "# encounter-batch shard K/N series ID version V tests M of T", and for a
// map " rows R": its T cells are R series of T / R tests each.
bool ParseShardLine(std::string_view line, Shard* s) {
  if (line.substr(0, kShardPrefix.size()) != kShardPrefix) return false;
  const auto w = SplitAt(line.substr(kShardPrefix.size()), ' ');
  const bool map = w.size() == 11 && w[9] == "rows";
  if ((w.size() != 9 && !map) || w[1] != "series" || w[3] != "version" || w[5] != "tests" ||
      w[7] != "of")
    return false;
  const auto kn = SplitAt(w[0], '/');
  if (kn.size() != 2 || !WholeNumber(kn[0], &s->k) || !WholeNumber(kn[1], &s->n)) return false;
  if (s->k < 1 || s->k > s->n || s->n > kMostShards) return false;
  if (!WholeNumber(w[6], &s->tests) || !WholeNumber(w[8], &s->total) || s->total > 1000000000)
    return false;
  if (map && (!WholeNumber(w[10], &s->map_rows) || s->map_rows < 1 || s->total % s->map_rows != 0))
    return false;
  s->series = w[2];
  s->version = w[4];
  return !s->series.empty() && s->tests == (s->total >= s->k ? (s->total - s->k) / s->n + 1 : 0);
}

// The shard's last line, given its rows and the checksum of all lines above:
// "" when it is the right one (its untrusted count then in s->untrusted),
// else why not. A line of a version before the count is read as one
// without untrusted tests.
std::string CheckEndLine(const std::string& line, Shard* s, std::uint32_t checksum) {
  const std::int64_t held = static_cast<std::int64_t>(s->rows.size());
  const std::string without = ShardEndLineWithoutChecksum(s->k, s->n, held);
  const auto untrusted = UntrustedOfEndLine(line, s->k, s->n, held);
  const bool counted = untrusted && *untrusted <= held;
  if (held == s->tests && counted &&
      (line == ShardEndLine(s->k, s->n, held, *untrusted, checksum) ||
       line == ShardEndLineWithoutUntrusted(s->k, s->n, held, checksum))) {
    s->untrusted = *untrusted;
    s->counted = line != ShardEndLineWithoutUntrusted(s->k, s->n, held, checksum);
    return "";
  }
  if (line.rfind(without, 0) != 0 || held != s->tests || (line != without && !counted))
    return held < s->tests ? "is cut short: " + std::to_string(held) + " of " +
                                 std::to_string(s->tests) + " tests"
                           : "has a last line that does not match its rows";
  if (line == without)
    return "has no checksum in its last line: an older version wrote it; run it again with "
           "this version";
  return "is damaged or was edited: its checksum does not match its contents";
}

// Where the shard has the column energy_err, the count of its last line
// against the rows that column shows untrusted: "" when they agree (the
// rows at the limit counted when the count takes them all), else why not.
std::string CheckUntrusted(Shard* s, bool has_energy) {
  const auto sure = static_cast<std::int64_t>(s->beyond.size());
  const auto maybe = static_cast<std::int64_t>(s->at_limit.size());
  if (!has_energy) return "";
  if (!s->counted) s->untrusted = sure;
  if (s->untrusted < sure || s->untrusted > sure + maybe)
    return "states " + std::to_string(s->untrusted) +
           " untrusted tests in its last line, but its column energy_err shows " +
           std::to_string(sure);
  if (s->untrusted == sure + maybe && maybe > 0) {
    s->beyond.insert(s->beyond.end(), s->at_limit.begin(), s->at_limit.end());
    std::sort(s->beyond.begin(), s->beyond.end());
  }
  return "";
}

// Sorts a row by its cell of energy_err (may be empty: a body was absorbed).
void JudgeEnergy(std::string_view cell, std::size_t row, Shard* s) {
  double change = 0;
  if (std::from_chars(cell.data(), cell.data() + cell.size(), change).ec != std::errc()) return;
  if (std::abs(change) > encounter::kEnergyChangeLimit) s->beyond.push_back(row);
  else if (std::abs(change) == encounter::kEnergyChangeLimit) s->at_limit.push_back(row);
}

// Reads and checks one shard; on a fault s->fault says what.
void ReadShard(int fd, Shard* s) {
  LineReader in(fd);
  std::string line;
  ShardChecksum checksum;
  auto fault = [&](const std::string& why) {
    s->fault = in.fault().empty() ? why : in.fault();
    s->rows.clear();
  };
  if (!in.Next(&line)) return fault(in.number() == 0 && in.fault().empty() ? "is empty" : "");
  if (!ParseShardLine(line, s))
    return fault("is not the output of a shard (its first line is not \"# encounter-batch shard K/N ...\")");
  checksum.Add(line + '\n');
  if (!in.Next(&s->header)) return fault("has no CSV header (cut short)");
  checksum.Add(s->header + '\n');
  std::optional<ShardRows> rows = ShardRows::ForHeader(s->header, s->map_rows, s->total);
  if (!rows) return fault("has no CSV header in line 2 that this version prints for a shard");
  const std::size_t columns = SplitAt(s->header, ',').size();
  ShardRowRules rules(s->header, s->map_rows, s->total);
  const int energy = PlacesIn(SplitAt(s->header, ',')).energy_err;

  std::int64_t expected = s->k - 1;
  while (in.Next(&line)) {
    const std::string where = " in line " + std::to_string(in.number());
    if (line.rfind("# ", 0) == 0) {
      const std::string why = CheckEndLine(line, s, checksum.Value());
      if (!why.empty()) {
        s->damaged = why.find("checksum") != std::string::npos;
        return fault(why + where);
      }
      if (const std::string count = CheckUntrusted(s, energy >= 0); !count.empty())
        return fault(count + where);
      if (in.Next(&line) || !in.fault().empty()) return fault("goes on after its last line");
      s->whole = true;
      return;
    }
    checksum.Add(line + '\n');
    const auto values = SplitAt(line, ',');
    if (values.size() != columns)
      return fault("has " + std::to_string(values.size()) + " columns" + where + ", not " +
                   std::to_string(columns));
    if (static_cast<std::int64_t>(s->rows.size()) >= s->tests)
      return fault("holds more tests than its first line states" + where);
    std::int64_t test = 0;
    if (!WholeNumber(values[0], &test)) return fault("has an unreadable test index" + where);
    if (test != expected)
      return fault("holds test " + Echo(values[0], 24) + where + " where test " +
                   std::to_string(expected) + " belongs");
    const std::string why = rows->Check(values, where);
    if (!why.empty()) return fault(why);
    if (const std::string across = rules.Check(values, where); !across.empty()) return fault(across);
    if (energy >= 0) JudgeEnergy(values[static_cast<std::size_t>(energy)], s->rows.size(), s);
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

const std::string kMe = "encounter-batch merge: ";

// The shard files and --output FILE; false (status 2) after a message.
bool ParseMergeArgs(const std::vector<std::string>& args, std::vector<std::string>* files,
                    std::optional<std::string>* output, std::ostream& err) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--output" && i + 1 < args.size()) {
      *output = args[++i];
    } else if (args[i].rfind("--output=", 0) == 0) {
      *output = args[i].substr(9);
    } else if (args[i].rfind("--", 0) == 0) {
      err << kMe << "unknown option " << Echo(args[i]) << " (merge takes --output FILE)\n";
      return false;
    } else {
      files->push_back(args[i]);
    }
  }
  if (files->empty()) err << kMe << "name the shard files to merge\n";
  return !files->empty();
}

// The first shard that is also where merge writes (the --output file, or the
// file a redirected standard output or standard error goes to), refused
// before any shard is read or anything written: "" when there is none.
// Appending the merge, or a message, to a shard would damage it.
std::string ShardThatIsAnOutput(const std::vector<std::string>& files,
                                const std::vector<std::pair<std::string, FileIdentity>>& outputs) {
  for (const std::string& file : files) {
    struct stat st {};
    if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    for (const auto& [where, id] : outputs) {
      if (id.known && id.name.empty() && id.dev == st.st_dev && id.ino == st.st_ino)
        return Echo(file, 120) + " is also " + where + ": merge never writes over a shard it reads";
    }
  }
  return "";
}

// Every shard read, in the order given; the faults said on err as they are found.
class ShardSet {
 public:
  ShardSet(std::ostream& err, const FileIdentity& output) : err_(err), output_(output) {}
  // false when the output is one of the shards: nothing more is read.
  bool Read(const std::vector<std::string>& files);
  // The shards 1..N in order, or nothing (the shards to run again said).
  std::optional<std::vector<const Shard*>> Whole();
  const Shard* first() const { return first_; }
  int faults() const { return faults_; }

 private:
  void Fault(const std::string& file, const std::string& why) {
    err_ << kMe << Echo(file, 120) << ' ' << why << '\n';
    ++faults_;
  }
  bool Open(Shard& s, int* fd);
  void Compare(Shard& s);
  std::ostream& err_;
  const FileIdentity& output_;
  std::vector<Shard> shards_;
  std::vector<std::pair<dev_t, ino_t>> seen_;
  const Shard* first_ = nullptr;
  int faults_ = 0;
};

// Opens a shard; false after a fault (or a stop while open waits on a FIFO).
bool ShardSet::Open(Shard& s, int* fd) {
  do *fd = open(s.file.c_str(), O_RDONLY | O_CLOEXEC);
  while (*fd < 0 && errno == EINTR && !StopRequested());
  if (*fd < 0) {
    if (!StopRequested()) Fault(s.file, std::string("cannot be opened: ") + std::strerror(errno));
    return false;
  }
  struct stat st {};
  std::string why;
  if (fstat(*fd, &st) == 0 && S_ISDIR(st.st_mode)) why = "is a directory";
  if (S_ISREG(st.st_mode)) {
    for (const auto& id : seen_)
      if (id == std::pair{st.st_dev, st.st_ino}) why = "is given twice";
    seen_.emplace_back(st.st_dev, st.st_ino);
  }
  if (!why.empty()) {
    close(*fd);
    Fault(s.file, why);
    return false;
  }
  return true;
}

bool ShardSet::Read(const std::vector<std::string>& files) {
  shards_.resize(files.size());
  for (std::size_t i = 0; i < files.size() && !StopRequested(); ++i) {
    Shard& s = shards_[i];
    s.file = files[i];
    int fd = -1;
    if (!Open(s, &fd)) continue;
    if (IdentityOfDescriptor(fd) == output_) {
      close(fd);
      Fault(s.file, "is also the output (--output): merge never writes over a shard it reads");
      return false;
    }
    ReadShard(fd, &s);
    close(fd);
    if (!StopRequested()) Compare(s);
  }
  return true;
}

// Against the first shard read: the same version, series and number of shards.
void ShardSet::Compare(Shard& s) {
  if (s.n == 0) {  // not even a shard's first line
    Fault(s.file, s.fault);
    return;
  }
  if (first_ == nullptr && !s.damaged) first_ = &s;
  const std::string other = first_ ? " than " + Echo(first_->file, 120) : "";
  if (s.damaged) {
    Fault(s.file, s.fault);
    s.n = 0;
  } else if (s.version != first_->version) {
    Fault(s.file, "comes from another program version (" + s.version + ")" + other + " (" +
                      first_->version + ")");
    s.n = 0;
  } else if (s.series != first_->series || s.total != first_->total ||
             s.map_rows != first_->map_rows ||
             (s.whole && first_->whole && s.header != first_->header)) {
    Fault(s.file, "comes from another series" + other);
    s.n = 0;
  } else if (s.n != first_->n) {
    Fault(s.file, "is shard " + std::to_string(s.k) + "/" + std::to_string(s.n) + " but " +
                      Echo(first_->file, 120) + " is one of " + std::to_string(first_->n));
    s.n = 0;
  } else if (!s.fault.empty()) {
    Fault(s.file, s.fault);
  }
}

std::optional<std::vector<const Shard*>> ShardSet::Whole() {
  if (first_ == nullptr) return std::nullopt;
  const int n = first_->n;
  std::vector<const Shard*> by_k(static_cast<std::size_t>(n) + 1, nullptr);
  for (const Shard& s : shards_) {
    if (s.n != n) continue;
    if (by_k[s.k] != nullptr) {
      Fault(s.file, "is shard " + std::to_string(s.k) + "/" + std::to_string(n) + ", like " +
                        Echo(by_k[s.k]->file, 120) + " (given twice)");
      continue;
    }
    by_k[s.k] = &s;
  }
  std::vector<int> again, missing;
  for (int k = 1; k <= n; ++k) {
    if (by_k[k] == nullptr) missing.push_back(k);
    if (by_k[k] == nullptr || !by_k[k]->whole) again.push_back(k);
  }
  if (!missing.empty()) err_ << kMe << "missing shards " << Ranges(missing) << " of " << n << '\n';
  if (!again.empty()) err_ << kMe << "run again: --shard K/" << n << " for K = " << Ranges(again) << '\n';
  if (!again.empty() || faults_ > 0) return std::nullopt;
  return by_k;
}

// In a map, every cell of a row of the map has the row's y value, whichever
// shard holds it; false after naming the first shard that says otherwise
// and the one it disagrees with.
bool MapRowsAgree(const std::vector<const Shard*>& by_k, std::ostream& err) {
  const Shard& first = *by_k[1];
  if (first.map_rows == 0) return true;
  const std::int64_t n = static_cast<std::int64_t>(by_k.size()) - 1;
  const std::int64_t per_row = first.total / first.map_rows;
  auto at = [&](std::int64_t test) -> std::pair<const Shard*, std::string_view> {
    const Shard* s = by_k[test % n + 1];
    const std::string_view row = s->rows[static_cast<std::size_t>(test / n)];
    return {s, row.substr(0, row.find(','))};
  };
  for (std::int64_t test = 0; test < first.total; ++test) {
    const auto [row_shard, row_y] = at(test - test % per_row);
    const auto [shard, y] = at(test);
    if (y == row_y) continue;
    const std::string column(SplitAt(first.header, ',')[1]);
    err << kMe << Echo(shard->file, 120) << " has " << column << ' ' << Echo(y, 24) << " in test "
        << test << " where " << Echo(row_shard->file, 120) << " has " << Echo(row_y, 24)
        << " in the same row of the map\n"
        << kMe << "run again: --shard K/" << n << " for K = "
        << Ranges({std::min(row_shard->k, shard->k), std::max(row_shard->k, shard->k)}) << '\n';
    return false;
  }
  return true;
}

// The rows in series order, row 2 decided again (and with --crosscheck the
// accurate method's best and the flag); false at a failed write or a stop.
bool WriteMerged(const std::vector<const Shard*>& by_k, std::ostream& merged, std::ostream& err) {
  const Shard& first = *by_k[1];
  // Counted without the column "test".
  const ColumnPlaces at = PlacesIn(SplitAt(first.header, ','));
  const std::size_t best_column = static_cast<std::size_t>(at.best - 1);
  const std::size_t ratio_column = static_cast<std::size_t>(at.ratio - 1);
  const std::size_t n = by_k.size() - 1;
  merged << first.header.substr(5) << '\n';
  BestSoFar best;
  std::optional<CrossMerge> cross = CrossMerge::ForHeader(first.header.substr(5));
  // A map's rows are series of their own: each decides its best afresh.
  const std::int64_t per_series = first.map_rows > 0 ? first.total / first.map_rows : 0;
  for (std::int64_t test = 0; test < first.total && merged && !StopRequested(); ++test) {
    if (per_series > 0 && test % per_series == 0) {
      best = BestSoFar{};
      if (cross) cross->NewSeries();
    }
    const std::string& row = by_k[test % n + 1]->rows[static_cast<std::size_t>(test / n)];
    const auto values = SplitAt(row, ',');
    double ratio = 0;
    const auto& text = values[ratio_column];
    const bool candidate =
        std::from_chars(text.data(), text.data() + text.size(), ratio).ec == std::errc() && !text.empty();
    const std::string line = WithBest(row, candidate && best.Takes(ratio), best_column);
    merged << (cross ? cross->Redecide(line) : line) << '\n';
  }
  merged.flush();
  if (cross && merged && !StopRequested()) err << "encounter-batch: " << cross->Summary() << '\n';
  return merged && !StopRequested();
}

// So many untrusted tests are named by their angles; the rest only counted.
constexpr std::size_t kMostNamed = 100;

// The untrusted tests of the merged shards: counted, and those the column
// energy_err shows named by their angle (a map's by its y value and angle),
// in series order, on one line.
MergeReport UntrustedOf(const std::vector<const Shard*>& by_k, std::string* line) {
  MergeReport report;
  const Shard& first = *by_k[1];
  const auto n = static_cast<std::int64_t>(by_k.size()) - 1;
  for (std::int64_t k = 1; k <= n; ++k) {
    report.untrusted += by_k[k]->untrusted;
    for (std::size_t row : by_k[k]->beyond)
      report.untrusted_tests.push_back(static_cast<std::int64_t>(row) * n + k - 1);
  }
  std::sort(report.untrusted_tests.begin(), report.untrusted_tests.end());
  if (report.untrusted == 0) return report;
  const auto names = SplitAt(first.header, ',');
  const ColumnPlaces at = PlacesIn(names);
  char limit[16];
  std::snprintf(limit, sizeof limit, "%g", encounter::kEnergyChangeLimit * 100);
  *line = kMe + std::to_string(report.untrusted) + " of " + std::to_string(first.total) +
          " tests untrusted (their total energy changed by more than " + limit + " %)";
  if (report.untrusted_tests.empty()) {
    *line += "; the shards' warnings name them, and --energy adds the column that shows them";
    return report;
  }
  const bool map = first.map_rows > 0;
  *line += map ? ": (" + std::string(names[1]) + ", alpha) " : ": alpha ";
  for (std::size_t i = 0; i < report.untrusted_tests.size() && i < kMostNamed; ++i) {
    const std::int64_t test = report.untrusted_tests[i];
    const auto values = SplitAt(by_k[test % n + 1]->rows[static_cast<std::size_t>(test / n)], ',');
    const std::string alpha(values[static_cast<std::size_t>(at.alpha - 1)]);
    *line += (i > 0 ? ", " : "") + (map ? "(" + std::string(values[0]) + ", " + alpha + ")" : alpha);
  }
  if (report.untrusted_tests.size() > kMostNamed)
    *line += ", and " + std::to_string(report.untrusted_tests.size() - kMostNamed) + " more";
  return report;
}

int StopStatus() { return StopSignal() > 0 ? 128 + StopSignal() : 1; }

}  // namespace

int MergeShards(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                MergeReport* report) {
  std::vector<std::string> files;
  std::optional<std::string> output;
  if (!ParseMergeArgs(args, &files, &output, err)) return 2;

  // The output is checked, and its temporary file made, before any shard is read.
  ReplacingFile output_file;
  std::string error;
  if (output) {
    if (!output_file.Open(*output, &error)) {
      err << kMe << error << '\n';
      return 2;
    }
    error = ClashingTargets({{"--output", &output_file}}, false);
    if (!error.empty()) {
      err << kMe << error << '\n';
      return 2;
    }
  }
  std::vector<std::pair<std::string, FileIdentity>> outputs = {
      {"the file standard error goes to", IdentityOfDescriptor(2)}};
  if (output) outputs.emplace_back("the output (--output)", output_file.Identity());
  else outputs.emplace_back("the file standard output goes to", IdentityOfDescriptor(1));
  if (const std::string why = ShardThatIsAnOutput(files, outputs); !why.empty()) {
    err << kMe << why << '\n';
    return 2;
  }
  ShardSet set(err, output_file.Identity());
  const bool readable = set.Read(files);
  if (StopRequested()) return StopStatus();
  if (!readable) return 2;
  const auto by_k = set.Whole();
  if (!by_k || !MapRowsAgree(*by_k, err)) return 2;

  std::ostream& merged = output ? output_file.Stream() : out;
  if (WriteMerged(*by_k, merged, err) && (!output || output_file.Commit(&error))) {
    std::string untrusted;
    const MergeReport found = UntrustedOf(*by_k, &untrusted);
    if (!untrusted.empty()) err << untrusted << '\n';
    if (report) *report = found;
    return 0;
  }
  if (StopRequested()) return StopStatus();
  err << kMe << (error.empty() ? "cannot write the output: " + std::string(std::strerror(errno ? errno : EIO)) : error)
      << '\n';
  return 1;
}

}  // namespace lab
