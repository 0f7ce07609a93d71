// A series of tests: each start angle is set up, integrated step by step
// until the encounter is over, and its results written; then the run halts.
#pragma once

#include "simulation/encounter.h"
#include "simulation/pair_tables.h"
#include "state/sim_state.h"
#include "port/display_port.h"

namespace lab {

// Runs the series the fields describe. It never returns normally: a series
// ends in the halted wait, whose only way out is the end of the program.
[[noreturn]] void RunTests(SimState& s, DisplayPort& port);

// The parts of a series, for runners that spread its tests over threads.
// Run start: colours, result windows shown, the fields read, drawing cleared.
void StartSeries(SimState& s, DisplayPort& port);
// One test at the angle alpha0, from its set-up to its results; false when
// the set-up was refused (the port was told why).
bool RunOneTest(SimState& s, DisplayPort& port);

// Test start after the set-up, whatever integrates the test: the angle and
// the derived limits shown, the counters of the test reset.
void BeginTest(SimState& s, Encounter& e, DisplayPort& port);

// The pieces of RunOneTest, for runners that step several tests side by side
// (the batch runner's lanes). What the run loop keeps for the running test:
struct RunningTest {
  PairTables tables;
  Encounter enc;
};
enum class StepEnd { kGoingOn, kResults, kNoResults };
// Set-up and test start; false when the set-up was refused.
bool SetUpTest(SimState& s, RunningTest& r, DisplayPort& port);
// One whole step: advance, track, and the rest below.
StepEnd StepOnce(SimState& s, RunningTest& r, DisplayPort& port);
// The rest of a step whose bodies have advanced and whose encounter has been
// tracked: closest approach, display step, yield and poll. With escape_known,
// r.enc already holds the step's escape speeds and ratios.
StepEnd FinishStep(SimState& s, RunningTest& r, DisplayPort& port, bool escape_known = false);
// A display step (no closest approach) whose state is kept elsewhere, the
// lanes', and stored into the test's records only when needed, in parts:
// - YieldShowsNothing: the step's first yield (s holds the step number and
//   the cadence); then true when the display would show nothing, the port
//   drawing no points, the live results not due and the test not ended.
// - EndStep: if so, and the shown values are finite, what remains of the
//   step: its last yield and poll.
// - FinishDisplay: else, with the state stored, the display and the rest.
bool YieldShowsNothing(SimState& s, RunningTest& r, DisplayPort& port);
StepEnd EndStep(SimState& s, DisplayPort& port);
StepEnd FinishDisplay(SimState& s, RunningTest& r, DisplayPort& port, bool escape_known);
// Rows 1 and 2 (with results) and the report of the ended test.
void FinishTest(SimState& s, RunningTest& r, DisplayPort& port, bool results);

// Whether the present step shows results and plots the bodies: every
// plotstep-th step, and the last step of a test.
inline bool IsDisplayStep(const SimState& s) {
  if (s.endtest == 1 || s.plotstep == 1) return true;
  if (s.plotstep == 100) return s.tcnt % 100 == 0;  // a constant divisor costs no division
  return s.plotstep > 0 && s.tcnt % s.plotstep == 0;
}

}  // namespace lab
