#include "app/batch/crosscheck.h"

#include <charconv>
#include <ostream>
#include <string_view>
#include <vector>

#include "app/batch/csv.h"
#include "simulation/encounter.h"

namespace lab {

std::optional<Integrator> IntegratorOfName(const std::string& name) {
  if (name == kEulerSumsName) return Integrator::kEulerSums;
  if (name == kBulirschStoerName) return Integrator::kBulirschStoer;
  if (name == kGaussRadauName) return Integrator::kGaussRadau;
  return std::nullopt;
}

void RunBatchTest(Integrator integrator, bool cross, std::int64_t max_steps, SimState& s,
                  BatchPort& port) {
  if (cross) {
    // The same start, the same step limit; nothing drawn, no progress.
    SimState copy = s;
    std::optional<TestRow> accurate;
    BatchPort quiet(copy, max_steps, [&](const TestRow& row) { accurate = row; });
    RunOneTestAccurate(kFastestAccurate, copy, quiet);
    port.cross.reset();
    if (accurate)
      port.cross =
          CrossOutcome{accurate->end, accurate->candidate, accurate->ratio, accurate->v3_red};
  }
  RunOneTestWith(integrator, s, port);
}

void CrossTally::Decide(TestRow& row) {
  ++rows_;
  if (row.cross) row.cross->best = row.cross->candidate && BeatsBest(bestratio_, row.cross->ratio);
  if (row.cross && row.cross->best) bestratio_ = row.cross->ratio;
  if (OutcomesDiffer(row)) ++differing_;
}

// Whether body 2 got away (v3_red) is an outcome as much as the end itself.
bool OutcomesDiffer(const TestRow& row) {
  // A test whose accurate run failed differs by definition.
  if (!row.cross) return true;
  return row.end != row.cross->end || row.best != row.cross->best ||
         row.v3_red != row.cross->v3_red;
}

std::string CrossHeader() { return "acc_end,acc_v3_red,acc_best,acc_ratio,ratio_diff,differs"; }

void AppendCrossColumns(std::string& line, const TestRow& row) {
  if (row.cross) {
    const CrossOutcome& c = *row.cross;
    line += c.end + ',' + (c.v3_red ? "1," : "0,") + (c.best ? "1," : "0,");
    if (c.candidate) line += ExactText(c.ratio);
    line += ',';
    if (c.candidate && row.candidate && c.ratio != 0) {
      char buf[32];
      const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, (row.ratio - c.ratio) / c.ratio,
                                         std::chars_format::general, 3);
      if (ec == std::errc()) line.append(buf, p);
    }
    line += ',';
  } else {
    line += ",,,,,";
  }
  line += OutcomesDiffer(row) ? '1' : '0';
}

std::string CrossSummary(const CrossTally& tally) {
  return "crosscheck: " + std::to_string(tally.differing()) + " of " +
         std::to_string(tally.rows()) +
         " rows differ in end, best or v3_red from " + kFastestAccurateName;
}

}  // namespace lab

namespace lab {

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    cells.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) return cells;
    start = comma + 1;
  }
}

}  // namespace

std::optional<CrossMerge> CrossMerge::ForHeader(const std::string& header) {
  const std::vector<std::string> names = Split(header);
  CrossMerge m;
  int* const columns[] = {&m.end_,        &m.v3_red_,   &m.best_,      &m.acc_end_,
                          &m.acc_v3_red_, &m.acc_best_, &m.acc_ratio_, &m.differs_};
  const char* const wanted[] = {"end",        "v3_red",   "best",      "acc_end",
                                "acc_v3_red", "acc_best", "acc_ratio", "differs"};
  for (int k = 0; k < 8; ++k) {
    *columns[k] = -1;
    for (std::size_t c = 0; c < names.size(); ++c) {
      if (names[c] == wanted[k]) *columns[k] = static_cast<int>(c);
    }
    if (*columns[k] < 0) return std::nullopt;
  }
  return m;
}

std::string CrossMerge::Redecide(const std::string& row) {
  std::vector<std::string> cells = Split(row);
  if (cells.size() <= static_cast<std::size_t>(differs_)) return row;
  const std::string& ratio_text = cells[acc_ratio_];
  bool best = false;
  if (!ratio_text.empty()) {
    double ratio = 0;
    std::from_chars(ratio_text.data(), ratio_text.data() + ratio_text.size(), ratio);
    best = BeatsBest(bestratio_, ratio);
    if (best) bestratio_ = ratio;
  }
  const bool ran = !cells[acc_end_].empty();
  if (ran) cells[acc_best_] = best ? "1" : "0";
  const bool differs = !ran || cells[end_] != cells[acc_end_] || cells[best_] != cells[acc_best_] ||
                       cells[v3_red_] != cells[acc_v3_red_];
  cells[differs_] = differs ? "1" : "0";
  differing_ += differs;
  ++rows_;
  std::string out = cells[0];
  for (std::size_t c = 1; c < cells.size(); ++c) out += ',' + cells[c];
  return out;
}

std::string CrossMerge::Summary() const {
  CrossTally tally;
  tally.differing_ = differing_;
  tally.rows_ = rows_;
  return CrossSummary(tally);
}

}  // namespace lab
