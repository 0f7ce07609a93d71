#include "simulation/plotting.h"

namespace lab {

namespace {

// Coordinates are computed in double precision and cross the port in single.
void Plot(DisplayPort& port, double x, double y, ColourNumber c) {
  port.PlotPoint(static_cast<float>(x), static_cast<float>(y), c);
}

}  // namespace

void PlotBodies(const SimState& s, const Encounter& e, DisplayPort& port) {
  if (!port.DrawsPoints()) return;
  const bool central = CentralMass(s);
  for (int k = 0; k <= 2; ++k) {
    // A body faster than its escape speed turns black (or light red).
    ColourNumber c = 0;
    ColourNumber c2 = 0;
    if (k == 0) {
      c = s.cmagenta;
      if (e.ratio1 > 1 && s.m3 > 2) c = s.cblack;
    } else if (k == 1) {
      c = s.clightgreen;
      if (e.ratio2 > 1 && s.m3 > 2) c = s.cblack;
    } else {
      c = s.cblack;
      c2 = s.clightblue;
      if (e.ratio3 > 1 && (s.m3 < 1 || s.m1 > s.mbig)) c = c2 = s.clightred;
    }
    if (s.m[k] <= 0) continue;

    if (s.m3 <= 1 || central) {
      Plot(port, s.xorg + s.xscale * s.x[k], s.yorg - s.yscale * s.y[k], c);
      if (central) {
        // Third view: enlarged about body 1's start distance; second view:
        // enlarged about the central body.
        Plot(port, s.xorg3 + s.mul1 * (s.xscale * (s.x[k] - s.dist1)),
             s.yorg3 - s.mul1 * (s.yscale * s.y[k]), k == 2 ? c2 : c);
        Plot(port, s.xorg2 + s.mul2 * (s.xscale * s.x[k]), s.yorg2 - s.mul2 * (s.yscale * s.y[k]),
             c);
      }
    } else {
      // A heavy body 2 in the pair regime: views centred on body 2.
      if (k == 2) c = s.clightred;
      const double dx = s.x[k] - s.x[2];
      const double dy = s.y[k] - s.y[2];
      Plot(port, s.xorg2 + s.xscale2 * dx, s.yorg2 - s.yscale2 * dy, c);
      Plot(port, s.xorg3 + s.mul0 * (s.xscale2 * dx), s.yorg3 - s.mul0 * (s.yscale2 * dy), c);
    }
  }
}

}  // namespace lab
