#include "setup/initial_conditions.h"

#include <cmath>
#include <utility>

#include "setup/number_text.h"
#include "setup/view_geometry.h"

namespace lab {

namespace {

// Angles use this twelve-decimal value, not the full-precision pi.
constexpr double kPi = 3.141592653589;
constexpr double kHalfPi = 1.5707963267945;
constexpr double kThreeHalvesPi = 4.7123889803834995;
constexpr double kFullTurn = 6.283185307178;
constexpr double kStepDivisor = 600000;
constexpr double kOneThird = 0.3333333432674408;  // 1/3 in single precision

// The speed at which a body covers, in one time step, the distance from a
// body of mass mass at which that body's escape speed is this speed; capped
// at vcap. Returns the speed and the distance.
std::pair<double, double> LimitSpeedAndDistance(const SimState& t, double mass) {
  double speed = std::pow(((2 * t.G) * mass) / t.tdelta, kOneThird);
  double distance = speed * t.tdelta;
  if (speed > t.vcap) {
    speed = t.vcap;
    distance = ((2 * t.G) * mass) / (speed * speed);
  }
  return {speed, distance};
}

std::string Quoted(const char* field) { return std::string("\"") + field + "\""; }

bool AllFinite(const SimState& t) {
  bool ok = std::isfinite(t.TT) && std::isfinite(t.tdelta) && t.tdelta > 0 &&
            std::isfinite(t.vlimit) && std::isfinite(t.rlimit2) && std::isfinite(t.dist2sq) &&
            std::isfinite(t.xscale) && std::isfinite(t.xscale2) && std::isfinite(t.mul0);
  for (int i = 0; i < 3; ++i) {
    ok = ok && std::isfinite(t.x[i]) && std::isfinite(t.y[i]) && std::isfinite(t.vx[i]) &&
         std::isfinite(t.vy[i]);
    for (int j = 0; j < 3; ++j) ok = ok && (i == j || std::isfinite(t.rr2limit[i][j]));
  }
  return ok;
}

}  // namespace

void PlaceCircularPair(double G, double ma, double mb, double d, double& pa, double& pb,
                       double& ua, double& ub) {
  const double M = ma + mb;
  const double ra = (d * mb) / M;
  const double rb = d - ra;
  const double wa = std::sqrt((G * ra) * mb) / d;
  const double wb = std::sqrt((G * rb) * ma) / d;
  pb = pa;
  ub = ua;
  pa = pa - ra;
  pb = pb + rb;
  ua = ua - wa;
  ub = ub + wb;
}

std::optional<std::string> SetupFault(const SimState& s) {
  struct Check {
    double value;
    const char* field;
  };
  for (const Check& c : {Check{s.m1, "m1"}, Check{s.m2, "m2"}, Check{s.m3, "m3"},
                         Check{s.mstart[0], "m1"}, Check{s.mstart[1], "m2"},
                         Check{s.mstart[2], "m3"}, Check{s.alpha0, "start"},
                         Check{s.alphaend, "end"}, Check{s.dalpha, "d alpha"},
                         Check{s.dist1, "dist 1"}, Check{s.dist2, "dist 2"},
                         Check{s.tdeltafact, "t d fact"}}) {
    if (!std::isfinite(c.value)) return Quoted(c.field) + " does not hold a usable number.";
  }
  for (int i = 0; i < 3; ++i) {
    static const char* const kMassField[3] = {"m1", "m2", "m3"};
    if (s.mstart[i] < 0) return Quoted(kMassField[i]) + ": a mass cannot be negative.";
  }
  if (!(s.mstart[0] > 0)) return Quoted("m1") + ": body 0 needs a mass greater than 0.";
  if (!(s.dist1 > 0))
    return Quoted("dist 1") + ": the separation of bodies 0 and 1 must be greater than 0.";
  if (!(s.dist2 > 0))
    return Quoted("dist 2") + ": the start distance of body 2 must be greater than 0.";
  if (!(s.tdeltafact > 0))
    return Quoted("t d fact") + ": the divisor of the time step must be greater than 0.";
  return std::nullopt;
}

namespace {

void ResetTest(SimState& t) {
  t.nstars = 3;
  t.endtest = 0;
  t.endcause = kEndNone;
  t.alpha = t.alpha0;
  t.plotstep = 100;
  for (int i = 0; i < t.nstars; ++i) {
    t.x[i] = 0;
    t.y[i] = 0;
    t.vx[i] = 0;
    t.vy[i] = 0;
    t.m[i] = t.mstart[i];
  }
}

// The pair on its circular orbit about the origin, along x, then turned to
// the start angle (counter-clockwise). Returns the orbital speed of body 1.
double PlacePair(SimState& t) {
  PlaceCircularPair(t.G, t.m[0], t.m[1], t.dist1, t.x[0], t.x[1], t.vy[0], t.vy[1]);
  const double ar = (t.alpha * kPi) / 180;
  const double rb = std::fabs(t.x[1]);
  const double wb = std::fabs(t.vy[1]);
  const double ra = std::fabs(t.x[0]);
  const double wa = std::fabs(t.vy[0]);
  t.x[1] = rb * std::cos(ar);
  t.y[1] = rb * std::sin(ar);
  t.vx[1] = wb * std::cos(ar + kHalfPi);
  t.vy[1] = wb * std::sin(ar + kHalfPi);
  t.x[0] = ra * std::cos(ar + kPi);
  t.y[0] = ra * std::sin(ar + kPi);
  t.vx[0] = wa * std::cos(ar + kThreeHalvesPi);
  t.vy[0] = wa * std::sin(ar + kThreeHalvesPi);
  return wb;
}

// Body 2 on the positive x axis, falling in with a fraction of the escape
// speed; the distances to the pair count x differences only. False (and a
// message) when body 2 would start on a body of the pair.
bool PlaceBody2(SimState& t, DisplayPort& port) {
  t.x[2] = t.dist2;
  const double r20 = std::fabs(t.x[2] - t.x[0]);
  const double r21 = std::fabs(t.x[2] - t.x[1]);
  if (r20 == 0 || r21 == 0) {
    port.ShowMessage(Quoted("dist 2") + ": body 2 would start on body " + (r20 == 0 ? "0." : "1."));
    return false;
  }
  if (t.m1 >= t.mbig) {
    t.vx[2] = (-t.escape) * std::sqrt((2 * t.G) * (t.m[0] / r20));
  } else {
    t.vx[2] = (-t.escape) * std::sqrt((2 * t.G) * ((t.m[0] / r20) + (t.m[1] / r21)));
    if (t.m3 >= 1) {  // a heavy body 2 rests and the pair falls towards it
      t.vx[2] = 0;
      const double u = t.escape * std::sqrt(((2 * t.G) * t.m[2]) / r20);
      t.vx[0] = t.vx[0] + u;
      t.vx[1] = t.vx[1] + u;
    }
  }
  return true;
}

// Absorption distances. h is the heaviest body, l the lighter of bodies 0
// and 1, and the third body is u.
void SetAbsorptionDistances(SimState& t) {
  int h = 0, l = 1, u = 2;
  if (t.m[1] > t.m[0]) {
    h = 1;
    l = 0;
  }
  if (t.m[2] > t.m[h]) std::swap(h, u);
  const auto [vlimit, rlimit] = LimitSpeedAndDistance(t, t.m[h]);
  t.vlimit = vlimit;
  t.rlimit2 = rlimit * rlimit;
  t.rr2limit[h][l] = t.rr2limit[l][h] = t.rlimit2;
  t.rr2limit[h][u] = t.rr2limit[u][h] = t.rlimit2;
  t.rr2 = t.rr2prev = t.rr2prev2 = t.rlimit2;
  const double mo = t.m[u] > t.m[l] ? t.m[u] : t.m[l];
  const double rother = LimitSpeedAndDistance(t, mo).second;
  t.rr2limit[l][u] = t.rr2limit[u][l] = rother * rother;
}

}  // namespace

bool INITIALISE(SimState& s, DisplayPort& port) {
  if (const auto fault = SetupFault(s)) {
    port.ShowMessage(*fault);
    return false;
  }
  // Staged on a copy: a set-up that turns out unsound leaves the state as it was.
  SimState t = s;
  ResetTest(t);
  const double wb = PlacePair(t);
  if (!PlaceBody2(t, port)) return false;

  SetViewGeometry(t, port);

  t.rmin20sq = t.x[2] * t.x[2];
  t.rmin21sq = t.rmin20sq;
  t.rmin201sq = t.rmin20sq;
  t.dist2sq = t.dist2 * t.dist2;

  // Time step: a fixed fraction of the reference time of the pair.
  t.TT = (kFullTurn * t.dist1) / wb;
  t.tdelta = (t.TT / kStepDivisor) / t.tdeltafact;

  SetAbsorptionDistances(t);

  for (int i = 0; i < t.nstars; ++i) {
    t.x0[i] = t.x[i];
    t.y0[i] = t.y[i];
    t.vx0[i] = t.vx[i];
    t.vy0[i] = t.vy[i];
  }
  t.state = 0;

  if (!AllFinite(t)) {
    port.ShowMessage("The masses and distances give a start state that is not finite (test at " +
                     NumberText(t.alpha) + " degrees); check the fields.");
    return false;
  }
  s = t;
  return true;
}

}  // namespace lab
