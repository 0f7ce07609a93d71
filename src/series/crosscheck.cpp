#include "series/crosscheck.h"

#include <ostream>

#include "simulation/encounter.h"

namespace lab {

std::optional<Integrator> IntegratorOfName(const std::string& name) {
  if (name == kEulerSumsName) return Integrator::kEulerSums;
  if (name == kBulirschStoerName) return Integrator::kBulirschStoer;
  if (name == kGaussRadauName) return Integrator::kGaussRadau;
  return std::nullopt;
}

void RunBatchTest(Integrator integrator, bool cross, std::int64_t max_steps, SimState& s,
                  SeriesPort& port) {
  if (cross) {
    // The same start, the same step limit; nothing drawn, no progress.
    SimState copy = s;
    std::optional<TestRow> accurate;
    SeriesPort quiet(copy, max_steps, [&](const TestRow& row) { accurate = row; });
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

std::string CrossSummary(const CrossTally& tally) {
  return "crosscheck: " + std::to_string(tally.differing()) + " of " +
         std::to_string(tally.rows()) +
         " rows differ in end, best or v3_red from " + kFastestAccurateName;
}

}  // namespace lab
