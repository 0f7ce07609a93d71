#include "app/batch/merge.h"

#include <charconv>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "app/batch/crosscheck.h"
#include "simulation/encounter.h"

namespace lab {

namespace {

constexpr const char* kShardPrefix = "# encounter-batch shard ";

struct Shard {
  int k = 0, n = 0;
  std::string series, header;
  std::vector<std::string> rows;
};

bool ParseShardLine(const std::string& line, Shard* shard) {
  if (line.rfind(kShardPrefix, 0) != 0) return false;
  std::istringstream in(line.substr(std::string(kShardPrefix).size()));
  std::string kn, word;
  if (!(in >> kn >> word >> shard->series) || word != "series") return false;
  const auto slash = kn.find('/');
  if (slash == std::string::npos) return false;
  const char* b = kn.data();
  return std::from_chars(b, b + slash, shard->k).ec == std::errc() &&
         std::from_chars(b + slash + 1, b + kn.size(), shard->n).ec == std::errc() &&
         shard->k >= 1 && shard->k <= shard->n;
}

// Splits off the leading test index of a shard row.
bool SplitIndex(const std::string& row, long long* test, std::string* rest) {
  const auto comma = row.find(',');
  if (comma == std::string::npos) return false;
  if (std::from_chars(row.data(), row.data() + comma, *test).ec != std::errc()) return false;
  *rest = row.substr(comma + 1);
  return true;
}

// The row with its column "best" set; the ratio is the last column.
std::string WithBest(const std::string& row, bool best, std::size_t best_column) {
  std::size_t start = 0;
  for (std::size_t c = 0; c < best_column; ++c) start = row.find(',', start) + 1;
  const std::size_t end = row.find(',', start);
  return row.substr(0, start) + (best ? "1" : "0") + row.substr(end);
}

}  // namespace

std::string ShardLine(int shard, int shards, const std::string& series) {
  return kShardPrefix + std::to_string(shard) + "/" + std::to_string(shards) + " series " + series;
}

int MergeShards(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
  auto fail = [&](const std::string& why) {
    err << "encounter-batch merge: " << why << '\n';
    return 2;
  };
  if (files.empty()) return fail("name the shard files to merge");

  std::vector<Shard> shards;
  for (const std::string& file : files) {
    std::ifstream in(file);
    if (!in) return fail("cannot read " + file);
    Shard s;
    std::string line;
    if (!std::getline(in, line) || !ParseShardLine(line, &s))
      return fail(file + " is not the output of a shard (--shard K/N)");
    if (!std::getline(in, s.header) || s.header.rfind("test,", 0) != 0)
      return fail(file + " has no CSV header after its first line");
    while (std::getline(in, line)) {
      if (!line.empty()) s.rows.push_back(line);
    }
    if (!shards.empty()) {
      const Shard& first = shards.front();
      if (s.series != first.series || s.header != first.header)
        return fail(file + " and " + files.front() + " come from different series");
      if (s.n != first.n)
        return fail(file + " is shard " + std::to_string(s.k) + "/" + std::to_string(s.n) +
                    " but " + files.front() + " is one of " + std::to_string(first.n));
    }
    shards.push_back(std::move(s));
  }
  const int n = shards.front().n;
  std::vector<bool> seen(n + 1, false);
  for (std::size_t i = 0; i < shards.size(); ++i) {
    if (seen[shards[i].k]) return fail("shard " + std::to_string(shards[i].k) + " is given twice");
    seen[shards[i].k] = true;
  }
  for (int k = 1; k <= n; ++k) {
    if (!seen[k]) return fail("shard " + std::to_string(k) + "/" + std::to_string(n) + " is missing");
  }

  std::map<long long, std::string> rows;
  for (const Shard& s : shards) {
    for (const std::string& row : s.rows) {
      long long test = 0;
      std::string rest;
      if (!SplitIndex(row, &test, &rest) || test % n != s.k - 1 || rows.count(test))
        return fail("a row of shard " + std::to_string(s.k) + " does not belong to it: " + row);
      rows.emplace(test, std::move(rest));
    }
  }

  // Row 2 in series order: the smallest ratio among the candidates so far.
  const std::string header = shards.front().header.substr(5);
  std::size_t best_column = 0;
  for (std::size_t p = 0; p < header.find(",best,"); ++p) best_column += header[p] == ',';
  ++best_column;
  std::ostringstream merged;
  merged << header << '\n';
  double bestratio = 0;
  std::optional<CrossMerge> cross = CrossMerge::ForHeader(header);
  for (const auto& [test, row] : rows) {
    const std::string ratio_text = row.substr(row.rfind(',') + 1);
    bool best = false;
    if (!ratio_text.empty()) {
      double ratio = 0;
      std::from_chars(ratio_text.data(), ratio_text.data() + ratio_text.size(), ratio);
      if (BeatsBest(bestratio, ratio)) {
        bestratio = ratio;
        best = true;
      }
    }
    const std::string line = WithBest(row, best, best_column);
    merged << (cross ? cross->Redecide(line) : line) << '\n';
  }
  out << merged.str();
  if (cross) err << "encounter-batch: " << cross->Summary() << '\n';
  return 0;
}

}  // namespace lab
