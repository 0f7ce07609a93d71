// The accurate integrators against known values: circular and elliptic
// two-body orbits, the events of an encounter at their analytic moments, the
// energy of the presets' tests, and results that a tighter tolerance leaves
// unchanged. Every case runs under both methods.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "setup/number_text.h"
#include "setup/presets.h"
#include "setup/read_fields.h"
#include "simulation/accurate_test.h"
#include "simulation/energy.h"
#include "simulation/integrator_bulirsch_stoer.h"
#include "simulation/integrator_gauss_radau.h"
#include "control/headless_port.h"

namespace {

constexpr double kG = 6.672e-20;    // km³ kg⁻¹ s⁻²
constexpr double kSun = 1.9891e30;  // kg
constexpr double kAu = 149600000;   // km
constexpr double kPi = 3.14159265358979323846;

using lab::Integrator;

const auto kBoth = testing::Values(Integrator::kGaussRadau, Integrator::kBulirschStoer);
std::string MethodName(const testing::TestParamInfo<Integrator>& info) {
  return info.param == Integrator::kGaussRadau ? "GaussRadau" : "BulirschStoer";
}

class AccurateMotion : public ::testing::TestWithParam<Integrator> {};
INSTANTIATE_TEST_SUITE_P(Both, AccurateMotion, kBoth, MethodName);

// Two suns one AU apart on their circular orbit, body 2 massless far out.
TEST_P(AccurateMotion, CircularOrbitKeepsRadiusAndPhaseForAHundredPeriods) {
  const double r = kAu / 2;                                       // each from the centre
  const double w = std::sqrt(kG * 2 * kSun / (kAu * kAu * kAu));  // angular speed
  lab::Bodies b;
  b.m = {kSun, kSun, 0};
  b.x = {-r, r, 40 * kAu};
  b.vy = {-w * r, w * r, 30};  // body 2 has a speed but, without mass, does not move
  const auto motion_owned = lab::MakeAccurateMotion(GetParam(), kG, b, kAu);
  lab::AccurateMotion& motion = *motion_owned;
  for (double turns : {100.0, 100.3}) {
    SCOPED_TRACE(turns);
    const double t = turns * 2 * kPi / w;
    const lab::Bodies at = motion.Advance(t);
    const double phase = 2 * kPi * turns;
    EXPECT_NEAR(at.x[1], r * std::cos(phase), 1e-10 * r);
    EXPECT_NEAR(at.y[1], r * std::sin(phase), 1e-10 * r);
    EXPECT_NEAR(at.x[0], -r * std::cos(phase), 1e-10 * r);
    EXPECT_NEAR(std::hypot(at.x[1], at.y[1]), r, 1e-10 * r);
    EXPECT_EQ(at.x[2], 40 * kAu);  // without mass nothing moves
    EXPECT_EQ(at.y[2], 0);
  }
}

// A Kepler ellipse of eccentricity 0.8 from its periapsis: the apoapsis after
// half a period, the start again after a full one. With a unit of length a
// thousand times too large the first step is far too long and must be
// taken again.
TEST_P(AccurateMotion, KeplerEllipseReturnsToItsStartAfterOnePeriod) {
  const double m0 = kSun, m1 = 0.3 * kSun, mu = kG * (m0 + m1);
  const double a = 2 * kAu, e = 0.8, q = a * (1 - e);
  const double vp = std::sqrt(mu * (1 + e) / q);
  const double f0 = m1 / (m0 + m1), f1 = m0 / (m0 + m1);  // shares about the centre
  lab::Bodies b;
  b.m = {m0, m1, 0};
  b.x = {-q * f0, q * f1, 100 * kAu};
  b.vy = {-vp * f0, vp * f1, 0};
  const double period = 2 * kPi * std::sqrt(a * a * a / mu);
  for (const double unit : {kAu, 1000 * kAu}) {
    SCOPED_TRACE(unit);
    const auto motion_owned = lab::MakeAccurateMotion(GetParam(), kG, b, unit);
    lab::AccurateMotion& motion = *motion_owned;
    lab::Bodies half = motion.Advance(period / 2);
    EXPECT_NEAR(half.x[1] - half.x[0], -a * (1 + e), 1e-10 * a);
    EXPECT_NEAR(half.y[1] - half.y[0], 0, 1e-10 * a);
    lab::Bodies full = motion.Advance(period);
    for (int i = 0; i < 2; ++i) {
      EXPECT_NEAR(full.x[i], b.x[i], 1e-10 * q) << i;
      EXPECT_NEAR(full.y[i], b.y[i], 1e-10 * q) << i;
      EXPECT_NEAR(full.vx[i], b.vx[i], 1e-10 * vp) << i;
      EXPECT_NEAR(full.vy[i], b.vy[i], 1e-10 * vp) << i;
    }
  }
}

// Body 2 (a millionth of body 0) falls from the apoapsis of an ellipse about
// a central body 0; body 1 has no mass. The test ends at the first closest
// approach, or at an absorption on the way in.
class KeplerEncounter : public ::testing::TestWithParam<Integrator> {
 protected:
  static constexpr double M = 4e6 * kSun, m2 = 4 * kSun, mu = kG * (M + m2);
  static constexpr double a = 1000 * kAu, e = 0.9;
  double Q() const { return a * (1 + e); }
  double q() const { return a * (1 - e); }

  void SetUp() override {
    s.G = kG;
    s.m1 = 4e6;
    s.m3 = 4;
    s.mbig = 1e6;
    s.pcntmax = 1;
    s.nstars = 3;
    s.auc = kAu;
    s.dist1 = a;
    s.dist2sq = 100 * Q() * Q();
    s.rlimit2 = 1;
    for (auto& row : s.rr2limit)
      for (double& limit : row) limit = 1;
    s.rr2 = s.rr2prev = s.rr2prev2 = s.rlimit2;
    s.rmin20sq = s.rmin21sq = s.rmin201sq = 4 * Q() * Q();
    const double va = std::sqrt(mu * (1 - e) / Q());  // relative speed at apoapsis
    const double f0 = m2 / (M + m2), f2 = M / (M + m2);
    s.m[0] = s.mstart[0] = M;
    s.m[2] = s.mstart[2] = m2;
    s.x[0] = -Q() * f0;
    s.x[2] = Q() * f2;
    s.vy[0] = -va * f0;
    s.vy[2] = va * f2;
    s.x[1] = 3 * Q();  // body 1: no mass, out of the way
    for (int i = 0; i < 3; ++i) {
      s.x0[i] = s.x[i];
      s.y0[i] = s.y[i];
      s.vx0[i] = s.vx[i];
      s.vy0[i] = s.vy[i];
    }
  }
  // Speed of body 2 about the centre of mass at distance r from body 0.
  double Speed2(double r) const { return std::sqrt(mu * (2 / r - 1 / a)) * M / (M + m2); }

  lab::SimState s;
  lab::HeadlessPort port{s};
};

INSTANTIATE_TEST_SUITE_P(Both, KeplerEncounter, kBoth, MethodName);

TEST_P(KeplerEncounter, ClosestApproachAtTheTrueMinimum) {
  lab::IntegrateTestAccurate(GetParam(), s, port);
  EXPECT_EQ(s.endcause, lab::kEndPassages);
  EXPECT_NEAR(std::sqrt(s.rmin201sq), q(), 1e-10 * q());
  EXPECT_NEAR(s.v[2], Speed2(q()), 1e-9 * Speed2(q()));
  // Row 1 shows the speed at periapsis and the periapsis in km, cut down.
  EXPECT_EQ(port.results[10], lab::NumberText(std::floor(Speed2(q()) * 1000) / 1000));
  EXPECT_EQ(port.results[13], lab::NumberText(std::floor(q())));
}

TEST_P(KeplerEncounter, AbsorptionWhereTheDistanceReachesTheLimit) {
  const double r = 0.3 * a;
  s.rr2limit[0][2] = s.rr2limit[2][0] = r * r;
  lab::IntegrateTestAccurate(GetParam(), s, port);
  EXPECT_EQ(s.endcause, lab::kEndAbsorbed);
  EXPECT_EQ(s.m[2], 0);  // the lighter one
  EXPECT_EQ(s.nalive, 2);
  EXPECT_LT(s.rmin201sq, r * r);
  EXPECT_NEAR(std::sqrt(s.rmin201sq), r, 1e-10 * r);
  EXPECT_NEAR(s.v[2], Speed2(r), 1e-9 * Speed2(r));
}

// Tests of the presets: the energy is kept to 1e-12 where nothing was
// absorbed, and a tolerance a hundred times tighter changes no shown digit
// and the values themselves by less than 1e-10.
struct Outcome {
  std::array<std::string, 7> row1;
  double v[3], rmin, energy;
  double rmax_over_start;  // farther distance of body 2 at the end / its start distance, squared
  int nalive, endcause;
};

Outcome RunAt(Integrator method, double testno, double alpha, double tighter) {
  lab::SimState s;
  lab::HeadlessPort port{s};
  s.testno = testno;
  lab::INIT0(s, port);
  lab::INIT1(s, port);
  s.alpha0 = alpha;
  EXPECT_TRUE(lab::RunOneTestAccurate(method, s, port, tighter));
  Outcome o;
  for (int c = 0; c < 7; ++c) o.row1[c] = port.results[7 + c];
  for (int i = 0; i < 3; ++i) o.v[i] = s.v[i];
  o.rmin = s.rmin201sq;
  const double start = lab::TotalEnergy(s, true);
  o.energy = (lab::TotalEnergy(s, false) - start) / std::abs(start);
  o.nalive = s.nalive;
  o.endcause = s.endcause;
  double rmax = 0;
  for (int k = 0; k < 2; ++k)
    rmax = std::max(rmax, std::pow(s.x[2] - s.x[k], 2) + std::pow(s.y[2] - s.y[k], 2));
  o.rmax_over_start = rmax / s.dist2sq;
  return o;
}

class AccuratePresets : public ::testing::TestWithParam<Integrator> {};
INSTANTIATE_TEST_SUITE_P(Both, AccuratePresets, kBoth, MethodName);

TEST_P(AccuratePresets, EnergyKeptAndTighterToleranceChangesNothingShown) {
  const struct {
    double testno;
    std::vector<double> angles;
    double energy;
  } cases[] = {{0, {0, 90}, 1e-12},
               {2, {10, 140}, 1e-12},
               {3, {0, 170}, 1e-12},
               {4, {30, 160}, 1e-12},
               // These end at a periapsis where the kinetic energy is 5e4 times
               // the total: the last bit of v3 alone is worth 1e-11 of it.
               {8, {350.6225, 350.623}, 1e-11},
               {111, {40, 210}, 1e-12}};
  for (const auto& c : cases) {
    for (double alpha : c.angles) {
      SCOPED_TRACE(testing::Message() << "preset " << c.testno << " at " << alpha);
      const Outcome o = RunAt(GetParam(), c.testno, alpha, 1);
      const Outcome tight = RunAt(GetParam(), c.testno, alpha, 100);
      EXPECT_EQ(o.nalive, 3);
      EXPECT_LE(std::abs(o.energy), c.energy);
      EXPECT_EQ(o.endcause, tight.endcause);
      EXPECT_EQ(o.row1, tight.row1);
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(o.v[i], tight.v[i], 1e-10 * tight.v[i]) << i;
      EXPECT_NEAR(o.rmin, tight.rmin, 1e-10 * tight.rmin);
      // An escape ends where body 2 crosses its start distance, not a step later.
      if (o.endcause == lab::kEndEscaped) {
        EXPECT_GT(o.rmax_over_start, 1);
        EXPECT_LT(o.rmax_over_start, 1 + 1e-12);
      }
    }
  }
}

// A tolerance far below the rounding of double precision asks no more than
// the rounding allows: the steps do not shrink without end, and the ellipse
// is as accurate as ever.
TEST(GaussRadau, ToleranceBelowRoundingNeitherStallsNorLosesAccuracy) {
  const double m0 = kSun, m1 = 0.3 * kSun, mu = kG * (m0 + m1);
  const double a = 2 * kAu, e = 0.8, q = a * (1 - e);
  const double vp = std::sqrt(mu * (1 + e) / q);
  lab::Bodies b;
  b.m = {m0, m1, 0};
  b.x = {0, q, 100 * kAu};
  b.vy = {0, vp, 0};
  const double period = 2 * kPi * std::sqrt(a * a * a / mu);
  lab::GaussRadauMotion usual(kG, b, kAu, lab::kGaussRadauTolerance);
  lab::GaussRadauMotion tight(kG, b, kAu, lab::kGaussRadauTolerance * 1e-8);
  while (usual.Time() < period) usual.Step();
  while (tight.Time() < period && tight.Steps() < 4 * usual.Steps()) tight.Step();
  ASSERT_GE(tight.Time(), period);
  const lab::Bodies end = tight.At(period);
  EXPECT_NEAR(end.x[1] - end.x[0], q, 1e-10 * q);
  EXPECT_NEAR(end.vy[1] - end.vy[0], vp, 1e-10 * vp);
}

// The substeps of the Gauss-Radau step: Everhart's spacings, the roots of
// P7 + P8 mapped onto (0, 1).
TEST(GaussRadau, SubstepsAtTheRadauSpacings) {
  const double published[7] = {0.0562625605369221464656522, 0.1802406917368923649875799,
                               0.3526247171131696373739078, 0.5471536263305553830014486,
                               0.7342101772154105410531523, 0.8853209468390957680903598,
                               0.9775206135612875018911745};
  for (int k = 0; k < 7; ++k) EXPECT_NEAR(lab::GaussRadauSpacings()[k], published[k], 2e-16) << k;
}

}  // namespace
