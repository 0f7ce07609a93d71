// The one record of the program: bodies, scenario parameters, the counters of
// the running test, the encounter bookkeeping and the run-control flags.
// Every procedure reads and writes these fields directly by name. Units:
// km, kg, s, km/s, degrees, squared distances in km².
#pragma once

#include <cstdint>

#include "state/colour.h"

namespace lab {

inline constexpr int kSlots = 11;  // per-body arrays: slots 0..10, a test uses 0..2

// Why the running test ended; the batch runner reports it.
enum EndCause : int {
  kEndNone = 0,
  kEndEscaped,   // body 2 was near and is now beyond its start distance
  kEndReceded,   // pair regime, heavy body 2: beyond a quarter of its start distance
  kEndAbsorbed,  // an absorption left body 2 lighter than body 0 (or one body only)
  kEndPassages,  // central-mass regime: the set number of closest approaches
  kEndNext,      // the user pressed Next
};

struct SimState {
  // Bodies (index = body number).
  double m[kSlots]{};       // mass (kg); 0 = absorbed or massless
  double mstart[kSlots]{};  // masses prepared for the series (kg)
  double x[kSlots]{}, y[kSlots]{};    // position (km)
  double vx[kSlots]{}, vy[kSlots]{};  // velocity at test start (km/s)
  double x0[kSlots]{}, y0[kSlots]{}, vx0[kSlots]{}, vy0[kSlots]{};  // start state
  double vxcur[kSlots]{}, vycur[kSlots]{};  // current velocity (km/s)
  double v[kSlots]{};                       // current speed (km/s)
  double rr2limit[3][3]{};  // squared absorption distance of each pair (km²)

  // The running test.
  int nstars = 0;         // 3 at set-up, then the highest body index (2)
  int nalive = 0;         // bodies still carrying mass
  std::int64_t tcnt = 0;  // step counter of the test
  double tdelta = 0;      // time step (s)
  double G = 0;           // gravitational constant (km³ kg⁻¹ s⁻²)
  int state = 0;          // 1 once a closest approach of body 2 has qualified
  int endtest = 0;        // 1 ends the running test at the end of the step
  int endcause = kEndNone;
  int plotstep = 0;       // a display step runs every plotstep steps
  double rr2 = 0, rr2prev = 0, rr2prev2 = 0;  // nearest squared distance of body 2
  double rmin20sq = 0, rmin21sq = 0, rmin201sq = 0;  // test minima (km²)
  double bestratio = 0;   // smallest speed / escape speed in row 2; 0 = none yet

  // Scenario parameters read by the run.
  double dist1 = 0;    // separation of bodies 0 and 1 (km)
  double dist2sq = 0;  // squared start distance of body 2 (km²)
  double rlimit2 = 0;  // squared absorption distance of the heaviest body (km²)
  double vlimit = 0;   // limit speed (km/s)
  double alpha = 0;    // start angle of the running test (degrees)
  double alpha0 = 0;   // start angle of the next test
  double dalpha = 0, alphaend = 0;
  double m1 = 0, m2 = 0, m3 = 0;  // entered masses (units of msun)
  double mbig = 0;     // threshold of the central-mass regime (units of msun)
  int pcntmax = 0;     // closest approaches that end a central-mass test
  int pauseflag = 0;   // 1: wait for Next after each test
  double auc = 0;      // km per astronomical unit
  int auflag = 0;      // 1: distances in AU
  int aupending = 0;   // 1: dist1 and dist2 still hold a preset's AU values
  double xorg = 0, yorg = 0, xscale = 0, yscale = 0;  // main view (twips, twips/km)
  double xorg2 = 0, yorg2 = 0, xscale2 = 0, yscale2 = 0;
  double xorg3 = 0, yorg3 = 0;
  double mul0 = 0, mul1 = 0, mul2 = 0;  // zoom factors of the enlarged views

  // Further set-up fields.
  double msun = 0;       // kg per mass unit
  double vcap = 0;       // upper bound of vlimit (km/s)
  double escape = 0;     // fraction of the escape speed given at start
  double mul_dist2 = 0;  // span of the main view in units of dist2
  double dist2 = 0;      // start distance of body 2
  double dist2f = 0;     // dist2 / dist1
  double alphastart = 0;
  double tdeltafact = 0;  // divisor of the time step
  double TT = 0;          // reference time of the time step (s)
  double testno = 0;      // the number in the field "test"
  int auflag2 = 0;
  double trajwidth = 0, trajheight = 0;  // outer size of the Trajectory Display (twips)

  // Run control.
  int runstate = 0;  // -1 idle, 0 running, 1 stop requested or halted, 2 cancel
  int waitnext = 0;  // 1 while a finished test waits for Next
  int inseries = 0;  // 1 while a series runs; a Start then replaces it

  // Colours, set at the start of every run.
  ColourNumber cblack = 0, clightblue = 0, clightgreen = 0, clightred = 0, cmagenta = 0;
};

}  // namespace lab
