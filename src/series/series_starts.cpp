#include "series/series_starts.h"

#include "port/control_flow.h"
#include "setup/initial_conditions.h"
#include "simulation/run_loop.h"

namespace lab {

bool PrepareNextStart(SimState& next, DisplayPort& port) {
  if (!INITIALISE(next, port)) return false;
  next.alpha0 = next.alpha0 + next.dalpha;
  return true;
}

SimState SeriesBase(const SeriesRequest& request) {
  SimState s;
  HeadlessPort port(s);
  port.record_points = false;
  LoadAsUser(request, s, port);
  try {
    s.runstate = 0;
    StartSeries(s, port);
  } catch (const ProgramEnded&) {
  }
  return s;
}

}  // namespace lab
