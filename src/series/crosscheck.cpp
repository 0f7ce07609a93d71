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

void RunSeriesTest(Integrator integrator, bool cross, std::int64_t max_steps, SimState& s,
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

}  // namespace lab
