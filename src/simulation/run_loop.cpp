#include "simulation/run_loop.h"

#include <cmath>

#include "setup/initial_conditions.h"
#include "setup/number_text.h"
#include "setup/read_fields.h"
#include "simulation/encounter.h"
#include "simulation/integrator.h"
#include "simulation/plotting.h"

namespace lab {

namespace {

// The end of a series, or Stop: the run stands still until the program ends.
// Start begins a new series from inside the wait.
[[noreturn]] void Halted(SimState& s, DisplayPort& port) {
  s.runstate = 1;
  for (;;) {
    port.WaitEvents();
    if (s.runstate == 2) port.EndProgram();
  }
}

// After a test with pauseflag set: nothing moves until Next. A Cancel given
// while the test was stepping ends the program here, without waiting for the
// user to act once more.
void PauseForNext(SimState& s, DisplayPort& port) {
  s.waitnext = 1;
  s.endtest = 0;
  port.SetButtonCaption(Button::CommandNext, "Restart");
  if (s.runstate == 2) port.EndProgram();
  do {
    port.WaitEvents();
    if (s.runstate == 2) port.EndProgram();
  } while (!(s.waitnext == 0 || s.endtest == 1));
}

// The derived limits of the test in the Control Display, cut downwards.
void ShowLimits(SimState& s, DisplayPort& port) {
  const double rlimit = std::sqrt(s.rlimit2);
  double shown = 0;
  if (s.auflag == 0) {
    shown = s.rlimit2 < 100 ? std::floor(rlimit * 1000) / 1000 : std::floor(rlimit);
  } else {
    shown = std::floor((rlimit * 1000) / s.auc) / 1000;
  }
  port.SetFieldText(9, NumberText(shown));
  port.SetFieldText(8, NumberText(std::floor(s.vlimit / 10) * 10));
  if (s.tdelta < 0.01) {
    shown = std::floor(s.tdelta * 1e7) / 1e7;
  } else if (s.tdelta > 100) {
    shown = std::floor(s.tdelta);
  } else {
    shown = std::floor(s.tdelta * 1000) / 1000;
  }
  port.SetFieldText(5, NumberText(shown));
  port.SetFieldText(6, NumberText(s.nstars));
}

void StartTest(SimState& s, RunningTest& r, DisplayPort& port) {
  BeginTest(s, r.enc, port);
  StartPairTables(s, r.tables);
}

// The display step after its first yield: results of row 0 and the points
// of the bodies. False when a value to be shown is not finite; the test then
// ends without results.
bool ShowDisplay(SimState& s, RunningTest& r, DisplayPort& port, bool escape_known) {
  if (!escape_known) ComputeEscapeSpeeds(s, r.enc, r.tables.R2);
  if (!ShownValuesFinite(s, r.enc)) {
    port.ShowMessage("The test at " + NumberText(s.alpha) + " degrees was ended after step " +
                     NumberText(static_cast<double>(s.tcnt)) +
                     ": its values are no longer finite (two bodies met or a value overflowed).");
    return false;
  }
  UpdateLiveResults(s, r.enc, port);
  PlotBodies(s, r.enc, port);
  return true;
}

inline StepEnd Tail(SimState& s, RunningTest& r, DisplayPort& port, bool escape_known = false) {
  CheckClosestApproach(s, r.enc);
  if (IsDisplayStep(s)) {
    port.YieldEvents();
    if (!ShowDisplay(s, r, port, escape_known)) return StepEnd::kNoResults;
  }
  return EndStep(s, port);
}

inline StepEnd Step(SimState& s, RunningTest& r, DisplayPort& port) {
  s.tcnt = s.tcnt + 1;
  if (s.endtest == 0) {
    AdvanceBodies(s, r.tables, port);
    TrackEncounter(s, r.enc, r.tables.R2);
  }
  return Tail(s, r, port);
}

// Integrates one test until it ends: true when it ended with results. Stop
// leaves through the halted wait.
bool StepTest(SimState& s, RunningTest& r, DisplayPort& port) {
  for (;;) {
    const StepEnd end = Step(s, r, port);
    if (end != StepEnd::kGoingOn) return end == StepEnd::kResults;
  }
}

}  // namespace

void BeginTest(SimState& s, Encounter& e, DisplayPort& port) {
  port.SetResultText(0, NumberText(s.alpha));
  ShowLimits(s, port);
  s.nstars = s.nstars - 1;  // from here on the highest body index
  s.state = 0;
  s.endtest = 0;
  e.clockstamp = kClockReset;
  s.tcnt = 0;
  s.nalive = s.nstars + 1;
  e.pcnt = 0;
  port.SetFieldText(6, NumberText(s.nalive));
}

void StartSeries(SimState& s, DisplayPort& port) {
  s.cblack = kPalette[0];
  s.clightblue = kPalette[9];
  s.clightgreen = kPalette[10];
  s.clightred = kPalette[12];
  s.cmagenta = kPalette[13];
  port.ShowResultWindows();
  INIT1(s, port);
  port.ClearTrajectory();
  s.bestratio = 0;
}

bool SetUpTest(SimState& s, RunningTest& r, DisplayPort& port) {
  if (!INITIALISE(s, port)) return false;
  StartTest(s, r, port);
  return true;
}

StepEnd StepOnce(SimState& s, RunningTest& r, DisplayPort& port) { return Step(s, r, port); }
StepEnd FinishStep(SimState& s, RunningTest& r, DisplayPort& port, bool escape_known) {
  return Tail(s, r, port, escape_known);
}

bool YieldShowsNothing(SimState& s, RunningTest& r, DisplayPort& port) {
  port.YieldEvents();
  return s.endtest == 0 && !port.DrawsPoints() && port.TimeOfDay() == r.enc.clockstamp;
}

StepEnd EndStep(SimState& s, DisplayPort& port) {
  port.YieldEvents();
  if (s.runstate == 1) Halted(s, port);
  return s.endtest == 1 ? StepEnd::kResults : StepEnd::kGoingOn;
}

StepEnd FinishDisplay(SimState& s, RunningTest& r, DisplayPort& port, bool escape_known) {
  if (!ShowDisplay(s, r, port, escape_known)) return StepEnd::kNoResults;
  return EndStep(s, port);
}

void FinishTest(SimState& s, RunningTest& r, DisplayPort& port, bool results) {
  TestSummary summary;
  summary.results = results;
  if (results) {
    WriteTestResults(s, r.enc, port);
    summary.candidate = BestCandidate(s, r.enc, &summary.ratio);
    summary.vescshown = r.enc.vescshown;
    summary.ratio_body = r.enc.selbody + 1;
    summary.rmax = r.enc.rmax;
  }
  summary.alpha = s.alpha;
  summary.steps = s.tcnt;
  summary.time = static_cast<double>(s.tcnt) * s.tdelta;
  summary.endcause = s.endcause;
  port.TestFinished(summary);
}

bool RunOneTest(SimState& s, DisplayPort& port) {
  RunningTest r;
  if (!SetUpTest(s, r, port)) return false;
  FinishTest(s, r, port, StepTest(s, r, port));
  return true;
}

void RunTests(SimState& s, DisplayPort& port) {
  StartSeries(s, port);
  do {
    if (!RunOneTest(s, port)) Halted(s, port);
    s.alpha0 = s.alpha0 + s.dalpha;
    if (s.pauseflag == 1) PauseForNext(s, port);
  } while (s.alpha0 <= s.alphaend);
  Halted(s, port);
}

}  // namespace lab
