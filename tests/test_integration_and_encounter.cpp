// The integrator, the encounter bookkeeping and the shown results: first
// step, absorption, end conditions, truncated texts, row 2, plotting.
#include <gtest/gtest.h>

#include <cmath>

#include "setup/initial_conditions.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "simulation/encounter.h"
#include "simulation/integrator.h"
#include "simulation/plotting.h"
#include "ui/headless_port.h"

namespace {

class Stepping : public ::testing::Test {
 protected:
  // Set-up as the run loop does it at test start, for one angle of a preset.
  void Start(double testno, double alpha) {
    s.testno = testno;
    lab::INIT0(s, port);
    lab::INIT1(s, port);
    s.alpha0 = alpha;
    ASSERT_TRUE(lab::INITIALISE(s, port));
    s.nstars = 2;
    s.tcnt = 0;
    s.nalive = 3;
    lab::StartPairTables(s, t);
  }
  void Step() {
    ++s.tcnt;
    lab::AdvanceBodies(s, t, port);
    lab::TrackEncounter(s, e, t.R2);
    lab::CheckClosestApproach(s, e);
  }
  lab::SimState s;
  lab::HeadlessPort port{s};
  lab::PairTables t;
  lab::Encounter e;
};

TEST_F(Stepping, FirstStepIsOneKickThenOneDrift) {
  Start(2, 30);
  Step();
  for (int i = 0; i < 3; ++i) {
    double ax = 0, ay = 0;
    for (int j = 0; j < 3; ++j) {
      if (j == i) continue;
      const double dx = s.x0[j] - s.x0[i], dy = s.y0[j] - s.y0[i];
      const double r2 = dx * dx + dy * dy;
      const double q = (s.m[j] * s.G) / r2;
      ax = ax + (dx * q) / std::sqrt(r2);
      ay = ay + (dy * q) / std::sqrt(r2);
    }
    EXPECT_EQ(s.x[i], s.x0[i] + s.tdelta * (s.vx0[i] + s.tdelta * ax)) << i;
    EXPECT_EQ(s.y[i], s.y0[i] + s.tdelta * (s.vy0[i] + s.tdelta * ay)) << i;
    EXPECT_EQ(s.vxcur[i], s.vx[i] + s.tdelta * ax) << i;
    EXPECT_EQ(s.v[i], std::hypot(s.vxcur[i], s.vycur[i])) << i;
  }
  // No closest approach can be seen in the first step.
  EXPECT_EQ(s.state, 0);
  EXPECT_EQ(e.pcnt, 0);
}

TEST_F(Stepping, SummedFormAgreesWithIncrements) {
  Start(2, 30);
  double x[3], y[3], vx[3], vy[3];
  for (int i = 0; i < 3; ++i) x[i] = s.x0[i], y[i] = s.y0[i], vx[i] = s.vx0[i], vy[i] = s.vy0[i];
  for (int n = 0; n < 2000; ++n) {
    Step();
    for (int i = 0; i < 3; ++i) {
      vx[i] += s.tdelta * t.AX[i];
      vy[i] += s.tdelta * t.AY[i];
      x[i] += s.tdelta * vx[i];
      y[i] += s.tdelta * vy[i];
    }
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(s.x[i], x[i], 1e-9 * std::fabs(s.dist2)) << i;
    EXPECT_NEAR(s.y[i], y[i], 1e-9 * std::fabs(s.dist2)) << i;
  }
}

TEST_F(Stepping, MasslessBodyNeitherMovesNorPulls) {
  Start(0, 0);
  port.fields[2] = "0";  // m3 = 0 in the free-form scenario
  lab::INIT1(s, port);
  ASSERT_TRUE(lab::INITIALISE(s, port));
  s.nstars = 2;
  s.nalive = 3;
  lab::StartPairTables(s, t);
  const double start_r2 = t.R2[2][0];
  for (int n = 0; n < 500; ++n) Step();
  EXPECT_EQ(s.x[2], s.x0[2]);
  EXPECT_EQ(t.R2[2][0], start_r2);  // its row keeps the start geometry
  // Nothing pulls the pair off its circular orbit: the separation stays dist1.
  const double dx = s.x[1] - s.x[0], dy = s.y[1] - s.y[0];
  EXPECT_NEAR(std::sqrt(dx * dx + dy * dy) / s.dist1, 1, 1e-4);
}

TEST_F(Stepping, BodyTwoIsAbsorbedAndTheTestEnds) {
  Start(2, 20);  // body 2 runs into body 0 at this angle
  while (s.endtest == 0 && s.tcnt < 400000) Step();
  EXPECT_EQ(s.nalive, 2);
  EXPECT_EQ(s.m[2], 0);
  EXPECT_GT(s.m[0], 0);
  EXPECT_EQ(s.endcause, lab::kEndAbsorbed);
  EXPECT_EQ(port.fields[6], "2");
  // The absorbed body stays where it was.
  const double x2 = s.x[2];
  Step();
  EXPECT_EQ(s.x[2], x2);
}

TEST_F(Stepping, BodiesZeroAndOneAreNeverJoined) {
  Start(2, 0);
  s.rr2limit[0][1] = s.rr2limit[1][0] = 1e300;
  for (int n = 0; n < 100; ++n) Step();
  EXPECT_EQ(s.nalive, 3);
  EXPECT_GT(s.m[0], 0);
  EXPECT_GT(s.m[1], 0);
}

TEST_F(Stepping, FirstClosestApproachEndsACentralMassTestWithoutPassages) {
  Start(8, 350.6225);
  s.pcntmax = 0;
  s.rr2prev2 = 5;
  s.rr2prev = 3;
  s.rr2 = 4;
  lab::CheckClosestApproach(s, e);
  EXPECT_EQ(e.pcnt, 1);
  EXPECT_EQ(s.state, 1);
  EXPECT_EQ(s.endtest, 1);
  EXPECT_EQ(s.endcause, lab::kEndPassages);
}

TEST(ShownTexts, AreCutNeverRounded) {
  lab::SimState s;
  s.auc = 149600000;
  EXPECT_EQ(lab::SpeedText(12.3459), "12.345");
  EXPECT_EQ(lab::SpeedText(-0.0004), "-0.001");
  EXPECT_EQ(lab::DistanceText(s, 812.7 * 812.7), "812");
  s.auflag = 1;
  EXPECT_EQ(lab::DistanceText(s, (1.499 * s.auc) * (1.499 * s.auc)), "1.49");
}

TEST(RowTwo, HoldsTheSmallestRatioAndIgnoresAZeroEscapeSpeed) {
  lab::SimState s;
  lab::HeadlessPort port(s);
  lab::Encounter e;
  s.rlimit2 = 1;
  s.rr2 = 4;
  s.alpha = 10;
  e.vsel = 1;
  e.vescshown = 0;  // no escape speed: not a candidate
  lab::WriteTestResults(s, e, port);
  EXPECT_EQ(port.results[7], "10");
  EXPECT_EQ(port.results[14], "Text1");
  EXPECT_EQ(s.bestratio, 0);

  e.vescshown = 4;
  lab::WriteTestResults(s, e, port);
  EXPECT_EQ(port.results[14], "10");
  EXPECT_EQ(port.results[18], "4");
  EXPECT_EQ(s.bestratio, 0.25);

  s.alpha = 20;
  e.vescshown = 2;  // a worse ratio stays out
  lab::WriteTestResults(s, e, port);
  EXPECT_EQ(port.results[14], "10");
  s.rr2 = 0.5;  // body 2 ended inside the absorption distance
  e.vescshown = 8;
  lab::WriteTestResults(s, e, port);
  EXPECT_EQ(port.results[14], "10");
  EXPECT_EQ(port.results[7], "20");
}

TEST_F(Stepping, HeavyBodyTwoIsPlottedInViewsCentredOnIt) {
  Start(5, 0);  // m3 = 100, pair regime
  s.cblack = lab::kPalette[0];
  s.clightred = lab::kPalette[12];
  Step();
  lab::ComputeEscapeSpeeds(s, e, t.R2);
  lab::PlotBodies(s, e, port);
  ASSERT_EQ(port.points.size(), 6u);  // two views, three bodies, no main view
  EXPECT_EQ(port.points[4].x, static_cast<float>(s.xorg2));
  EXPECT_EQ(port.points[4].y, static_cast<float>(s.yorg2));
  EXPECT_EQ(port.points[5].x, static_cast<float>(s.xorg3));
  EXPECT_EQ(port.points[4].colour, lab::kPalette[12]);
  // An absorbed body is no longer plotted.
  s.m[1] = 0;
  port.points.clear();
  lab::PlotBodies(s, e, port);
  EXPECT_EQ(port.points.size(), 4u);
}

}  // namespace
