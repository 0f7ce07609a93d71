#include "simulation/cross_outcome.h"

#include "simulation/accurate_test.h"
#include "simulation/encounter.h"

namespace lab {

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
