// The typed result row of a test, built from what the logic writes into the
// Data Display. The batch runner and the windows (which keep the series for
// saving) build their rows the same way, so both save the same bytes.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "encounter/end.h"
#include "encounter/series.h"
#include "port/display_port.h"

namespace lab {

// The same test under the accurate method, for --crosscheck.
struct CrossOutcome {
  std::string end;
  bool candidate = false;
  double ratio = 0;
  bool v3_red = false;
  bool best = false;  // decided in series order
};

struct TestRow {
  std::array<std::string, 7> row1;  // Data Display row 1 as written
  std::string vesc_heading;
  bool v3_red = false;
  std::int64_t steps = 0;
  std::string end;
  bool best = false;       // the test went into row 2
  bool candidate = false;  // it could have: ratio is its speed / escape speed
  double ratio = 0;
  // Relative change of the total energy over the test: only when no body was
  // absorbed and the change is a finite number.
  std::optional<double> energy_err;
  // The values behind the texts of row 1, unrounded.
  double t_s = 0;               // end time: steps x time step (s)
  std::array<double, 3> v{};    // speeds (km/s)
  std::array<bool, 3> massive{};  // the bodies that still have mass at the end
  double vesc = 0;              // the escape speed shown (km/s)
  int vesc_body = 0;            // whose: 1, 2 or 3
  int ratio_body = 0;           // whose speed ratio divides by vesc: 1 or 2
  double r3 = 0, rmin = 0;      // distances (km)
  std::optional<CrossOutcome> cross;  // with --crosscheck
  // Its total energy changed by more than encounter::kEnergyChangeLimit: its result
  // should not be trusted (decided with best, in series order; a refined
  // map's cell not computed carries its parent's).
  bool untrusted = false;
};

// Whether a test whose total energy changed by energy_err (none: a body was
// absorbed, or the change is not a finite number) can be trusted.
inline bool EnergyTrusted(const std::optional<double>& energy_err) {
  return !energy_err || !(std::abs(*energy_err) > encounter::kEnergyChangeLimit);
}

// Data Display field `index` now reads `text`. Field 0 is written when a test
// begins and starts the row afresh; row 1 gives the texts, and any write to
// row 2 marks the test as the best so far. v3_red: row 1's "V #3" is shown in
// light red; vesc_heading: the heading of the "Vesc" column.
void TakeResultText(TestRow& row, int index, const std::string& text, bool v3_red,
                    const std::string& vesc_heading);

// The test has ended; limit: the step limit ended it. False when it ended
// without results, and so has no row.
bool FinishRow(TestRow& row, const TestSummary& summary, bool limit);

// The end of a test from the run loop's endcause (kEnd* of the state);
// limit: the step limit ended it.
encounter::End EndOfCause(int endcause, bool limit);
// Its word in the CSV column "end".
const char* EndWord(int endcause, bool limit);

}  // namespace lab
