#include "setup/view_geometry.h"

namespace lab {

// The main view spans mul_dist2 start distances across the window; the second
// and third views sit at fixed fractions of the window. Origins are fractions
// of the outer size, frame and title bar included.
void SetViewGeometry(SimState& s, DisplayPort& port) {
  const TrajectorySize size = port.GetTrajectorySize();
  s.trajwidth = size.width;
  s.trajheight = size.height;
  const double W = s.trajwidth;
  const double H = s.trajheight;

  s.xorg = W / 2;
  s.yorg = H / 2;
  s.xscale = W / (s.mul_dist2 * s.dist2);
  s.yscale = s.xscale;
  s.xorg2 = 0.9 * W;
  s.yorg2 = 0.25 * H;
  s.xorg3 = 0.5 * W;
  s.yorg3 = 0.65 * H;
  s.xscale2 = W / (1.3 * s.dist2);
  s.yscale2 = s.xscale2;

  if (s.m1 >= s.mbig) {  // dominant body 0
    s.xorg2 = 0.5 * W;
    s.yorg3 = 0.75 * H;
  }

  if (s.testno == 6.5) {
    // Test 6.5 stretches the relative views along x, and its third view
    // shrinks by four with every test of the series.
    s.xscale2 = s.xscale2 * 4;
    s.mul0 = s.mul0 / 4;
    s.xorg3 = 0.9 * W;
    if (s.alpha == 170) {
      s.yorg2 = 0.15 * H;
      s.yorg3 = 0.35 * H;
    }
    if (s.alpha == 180) {
      s.yorg2 = 0.55 * H;
      s.yorg3 = 0.75 * H;
    }
  }
}

}  // namespace lab
