// One test from its start state to its results: the pair on its orbit,
// body 2 falling in, the time step and absorption distances, set-ups that are
// refused, the end conditions and row 2. Whole tests of every scenario, with
// the texts they show, are pinned in tests/data (test_batch_series,
// test_drawing).
#include <gtest/gtest.h>

#include <cmath>

#include "setup/initial_conditions.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "simulation/encounter.h"
#include "simulation/integrator.h"
#include "control/headless_port.h"

namespace {

class TestSetup : public ::testing::Test {
 protected:
  // A preset loaded and read as a Start would read it, at one start angle.
  void Prepare(double testno, double alpha) {
    s.testno = testno;
    lab::INIT0(s, port);
    lab::INIT1(s, port);
    s.alpha0 = alpha;
  }
  lab::SimState s;
  lab::HeadlessPort port{s};
};

// Two solar masses one AU apart, a thousandth of a solar mass at 2.5 AU.
TEST_F(TestSetup, WorkedCaseOfPresetTwo) {
  Prepare(2, 0);
  ASSERT_TRUE(lab::INITIALISE(s, port));
  EXPECT_EQ(s.x[0], -74800000);
  EXPECT_EQ(s.x[1], 74800000);
  EXPECT_EQ(s.y[1], 0);
  EXPECT_NEAR(s.vy[0], -21.060832, 5e-7);
  EXPECT_NEAR(s.vy[1], 21.060832, 5e-7);
  EXPECT_NEAR(s.vx[2], -15.380657, 5e-7);
  EXPECT_NEAR(s.TT, 44630929.2, 0.05);
  EXPECT_NEAR(s.tdelta, 37.192441, 5e-7);
  EXPECT_NEAR(s.vlimit, 1925.2897, 5e-5);
  EXPECT_NEAR(std::sqrt(s.rlimit2), 71606.22, 5e-3);
  // The angle constant is not pi: small residues off the axes.
  EXPECT_NEAR(s.y[0], 5.93e-5, 1e-7);
  EXPECT_NE(s.vx[1], 0);
  // All three pairs share the distance when bodies 0 and 1 are equal.
  for (int i = 0; i < 3; ++i)
    for (int j = (i + 1) % 3; j != i; j = (j + 1) % 3)
      EXPECT_EQ(s.rr2limit[i][j], s.rlimit2) << i << j;
  EXPECT_EQ(s.rr2, s.rlimit2);
  EXPECT_EQ(s.rr2prev2, s.rlimit2);
  EXPECT_EQ(s.rmin201sq, s.dist2 * s.dist2);
  EXPECT_EQ(s.x0[2], s.x[2]);
  EXPECT_EQ(s.nstars, 3);
  EXPECT_EQ(s.plotstep, 100);
}

TEST_F(TestSetup, LimitSpeedCappedForACompactPair) {
  Prepare(8, 350.6225);  // central mass of four million suns, tiny time step
  ASSERT_TRUE(lab::INITIALISE(s, port));
  EXPECT_EQ(s.vlimit, s.vcap);
  // 2 G m / vcap^2: about 2.9492 km per solar mass of the central body.
  EXPECT_NEAR(std::sqrt(s.rlimit2) / 4000000, 2.9492, 1e-4);
}

TEST_F(TestSetup, UnsoundSetUpsAreRefusedAndNamed) {
  const struct {
    double preset;
    int field;
    std::string text;
    const char* named;
  } cases[] = {
      {0, 3, "0 AU", "\"dist 1\""},  {0, 4, "-1 AU", "\"dist 2\""},
      {0, 13, "0", "\"t d fact\""},  {0, 1, "-1", "\"m2\""},
      {0, 2, "-1", "\"m3\""},        {2, 0, "1e999", "\"m1\""},
      {0, 11, "1e999", "\"start\""}, {2, 14, "&H" + std::string(300, 'F'), "\"d alpha\""},
  };
  for (const auto& c : cases) {
    Prepare(c.preset, 0);
    ASSERT_TRUE(lab::INITIALISE(s, port));
    const lab::SimState before = s;
    port.messages.clear();
    port.fields[c.field] = c.text;
    lab::INIT1(s, port);
    EXPECT_FALSE(lab::INITIALISE(s, port)) << c.text;
    ASSERT_EQ(port.messages.size(), 1u) << c.text;
    EXPECT_NE(port.messages[0].find(c.named), std::string::npos) << port.messages[0];
    // Nothing of the refused set-up reached the bodies.
    EXPECT_EQ(s.x[2], before.x[2]) << c.text;
    EXPECT_EQ(s.tdelta, before.tdelta) << c.text;
  }
}

TEST_F(TestSetup, BodyTwoStartingOnBodyOneIsRefused) {
  Prepare(0, 0);
  s.dist2 = s.dist1 / 2;  // equal masses: body 1 sits at half the separation
  EXPECT_FALSE(lab::INITIALISE(s, port));
  ASSERT_EQ(port.messages.size(), 1u);
  EXPECT_NE(port.messages[0].find("body 1"), std::string::npos);
}

class Stepping : public TestSetup {
 protected:
  // Set-up as the run loop does it at test start, for one angle of a preset.
  void Start(double testno, double alpha) {
    Prepare(testno, alpha);
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
  lab::PairTables t;
  lab::Encounter e;
};

TEST_F(Stepping, BodiesZeroAndOneAreNeverJoined) {
  Start(2, 0);
  s.m[2] = 0;  // a massless body 2 takes the general path of the integrator
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

// Row 2 of the Data Display (the batch runner keeps its own account).
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

}  // namespace
