#include "app/batch/crosscheck.h"

#include <charconv>
#include <string_view>
#include <ostream>

#include "app/batch/csv.h"
#include "simulation/encounter.h"

namespace lab {

std::optional<Integrator> IntegratorOfName(const std::string& name) {
  if (name == kEulerSumsName) return Integrator::kEulerSums;
  if (name == kBulirschStoerName) return Integrator::kBulirschStoer;
  return std::nullopt;
}

void RunBatchTest(Integrator integrator, bool cross, std::int64_t max_steps, SimState& s,
                  BatchPort& port) {
  if (cross) {
    // The same start, the same step limit; nothing drawn, no progress.
    SimState copy = s;
    std::optional<TestRow> accurate;
    BatchPort quiet(copy, max_steps, [&](const TestRow& row) { accurate = row; });
    RunOneTestAccurate(copy, quiet);
    port.cross.reset();
    if (accurate) port.cross = CrossOutcome{accurate->end, accurate->candidate, accurate->ratio, accurate->v3_red};
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

std::string CrossHeader() { return "acc_end,acc_best,acc_ratio,ratio_diff,differs,"; }

void WriteCrossColumns(std::ostream& out, const TestRow& row) {
  if (row.cross) {
    const CrossOutcome& c = *row.cross;
    out << c.end << ',' << (c.best ? 1 : 0) << ',';
    if (c.candidate) out << ExactText(c.ratio);
    out << ',';
    if (c.candidate && row.candidate && c.ratio != 0) {
      char buf[32];
      const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, (row.ratio - c.ratio) / c.ratio,
                                         std::chars_format::general, 3);
      if (ec == std::errc()) out << std::string_view(buf, p - buf);
    }
    out << ',';
  } else {
    out << ",,,,";
  }
  out << (OutcomesDiffer(row) ? 1 : 0) << ',';
}

std::string CrossSummary(const CrossTally& tally) {
  return "crosscheck: " + std::to_string(tally.differing()) + " of " +
         std::to_string(tally.rows()) +
         " rows differ in end, best or v3_red between the fixed step and bulirsch-stoer";
}

}  // namespace lab
