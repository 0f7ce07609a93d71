#include "simulation/encounter.h"

#include <cmath>

#include "setup/number_text.h"

namespace lab {

std::string SpeedText(double speed) { return NumberText(std::floor(speed * 1000) / 1000); }

std::string DistanceText(const SimState& s, double squared) {
  if (s.auflag == 0) return NumberText(std::floor(std::sqrt(squared)));
  return NumberText(std::floor((std::sqrt(squared) * 100) / s.auc) / 100);
}

namespace {

void EndTest(SimState& s, EndCause cause) {
  s.endtest = 1;
  if (s.endcause == kEndNone) s.endcause = cause;
}

}  // namespace

void NearAndFar(const SimState& s, const double (&R2)[kSlots][kSlots], double* rr2, double* rmax) {
  if (s.m[0] > 0) {
    *rr2 = R2[0][2];
    *rmax = R2[0][2];
    if (s.m[1] > 0) {
      if (R2[1][2] < *rr2) {
        *rr2 = R2[1][2];
      } else {
        *rmax = R2[1][2];
      }
    }
  } else {
    *rr2 = R2[1][2];
    *rmax = R2[1][2];
  }
}

void UpdateMinima(SimState& s, const double (&R2)[kSlots][kSlots]) {
  if (s.m[0] > 0 && R2[0][2] < s.rmin20sq) s.rmin20sq = R2[0][2];
  if (s.m[1] > 0 && R2[1][2] < s.rmin21sq) s.rmin21sq = R2[1][2];
  s.rmin201sq = s.rmin20sq < s.rmin21sq ? s.rmin20sq : s.rmin21sq;
}

void CheckEndConditions(SimState& s, const Encounter& e) {
  // All four are looked at.
  if (e.rmax > s.dist2sq && s.state == 1) EndTest(s, kEndEscaped);
  if (!CentralMass(s) && e.rmax > s.dist2sq / 4 && s.state == 1 && s.m3 > 1) EndTest(s, kEndReceded);
  if (s.nalive == 2 && (s.m[2] < s.m[0] || s.m1 > s.mbig)) EndTest(s, kEndAbsorbed);
  if (s.nalive == 1) EndTest(s, kEndAbsorbed);
}

void TrackEncounter(SimState& s, Encounter& e, const double (&R2)[kSlots][kSlots]) {
  s.rr2prev2 = s.rr2prev;
  s.rr2prev = s.rr2;
  NearAndFar(s, R2, &s.rr2, &e.rmax);
  UpdateMinima(s, R2);
  CheckEndConditions(s, e);
  // Every step is displayed near an encounter, every hundredth far from one.
  s.plotstep = s.rr2 < 5000 * s.rlimit2 ? 1 : 100;
}

void AbsorptionMinimum(SimState& s, int i, int j, double r2) {
  if (j != 2) return;
  if (i == 0 && r2 < s.rmin20sq) s.rmin20sq = r2;
  if (i == 1 && r2 < s.rmin21sq) s.rmin21sq = r2;
}

void CountClosestApproach(SimState& s, Encounter& e) {
  if (CentralMass(s)) {
    e.pcnt = e.pcnt + 1;
    s.state = 1;
    if (e.pcnt >= s.pcntmax) EndTest(s, kEndPassages);
  }
  if (s.rr2 < s.dist1 * s.dist1) s.state = 1;
}

void CheckClosestApproach(SimState& s, Encounter& e) {
  // The previous step was a closest approach of body 2 to its nearer body.
  if (!(s.rr2 > s.rr2prev && s.rr2prev < s.rr2prev2)) return;
  CountClosestApproach(s, e);
}

void TakeEscapeSpeeds(const SimState& s, Encounter& e, const PairEscape<double>& pair) {
  e.vesc1 = pair.vesc1;
  e.vesc2 = pair.vesc2;
  e.vesc3 = pair.vesc3;
  e.ratio1 = (s.m[2] == 0 || s.m[0] == 0) ? 0 : pair.q1;
  e.ratio2 = (s.m[2] == 0 || s.m[1] == 0) ? 0 : pair.q2;
  e.ratio3 = (s.m[0] == 0 && s.m[1] == 0) ? 0 : pair.q3;
}

void ComputeEscapeSpeeds(const SimState& s, Encounter& e, const double (&R2)[kSlots][kSlots]) {
  if (!CentralMass(s)) {
    const double m[3] = {s.m[0], s.m[1], s.m[2]};
    const double v[3] = {s.v[0], s.v[1], s.v[2]};
    const auto root = [](double x) { return std::sqrt(x); };
    TakeEscapeSpeeds(s, e, PairEscapeSpeeds(m, s.G, R2[0][2], R2[1][2], v, root));
  } else {
    const double d02 = std::sqrt(R2[0][2]);
    e.vesc1 = e.vesc2 = e.ratio1 = e.ratio2 = 0;
    e.vesc3 = std::sqrt((s.G * 2) * (s.m[0] / d02));
    e.ratio3 = (s.m[0] == 0 || s.m[2] == 0) ? 0 : s.v[2] / e.vesc3;
  }
}

void UpdateLiveResults(SimState& s, Encounter& e, DisplayPort& port) {
  const std::int64_t now = port.TimeOfDay();
  if (now == e.clockstamp && s.endtest != 1) return;
  e.clockstamp = now;
  port.SetFieldText(7, NumberText(static_cast<double>(s.tcnt)));

  port.SetResultText(1, SpeedText(s.v[0]));
  port.SetResultText(2, SpeedText(s.v[1]));
  port.SetResultColour(3, s.v[2] > e.vesc3 ? s.clightred : kNearBlack);
  port.SetResultText(3, SpeedText(s.v[2]));

  // The escape speed shown: of the body with the larger ratio, or of body 2
  // when it is light or the regime is central-mass.
  e.vescshown = e.vesc1;
  e.vescheading = "Vesc #1";
  e.vsel = s.v[0];
  e.selbody = 0;
  if (e.ratio2 > e.ratio1) {
    e.vescshown = e.vesc2;
    e.vescheading = "Vesc #2";
    e.vsel = s.v[1];
    e.selbody = 1;
  }
  if (s.m3 < 1 || CentralMass(s)) {
    e.vescshown = e.vesc3;
    e.vescheading = "Vesc #3";
  }
  port.SetResultHeading(4, e.vescheading);
  port.SetResultText(4, SpeedText(e.vescshown));
  port.SetResultText(5, DistanceText(s, s.rr2));
  port.SetResultText(6, DistanceText(s, s.rmin201sq));
}

bool BestCandidate(const SimState& s, const Encounter& e, double* ratio) {
  // Only tests in which body 2 ends outside the absorption distance, and
  // whose ratio is a real number (an escape speed of 0 gives none).
  if (!(s.rr2 > s.rlimit2) || !(e.vescshown > 0)) return false;
  *ratio = e.vsel / e.vescshown;
  return std::isfinite(*ratio);
}

void WriteTestResults(SimState& s, const Encounter& e, DisplayPort& port) {
  port.SetResultText(7, NumberText(s.alpha));
  port.SetResultText(8, SpeedText(s.v[0]));
  port.SetResultText(9, SpeedText(s.v[1]));
  port.SetResultColour(10, e.ratio3 > 1 ? s.clightred : kNearBlack);
  port.SetResultText(10, SpeedText(s.v[2]));
  port.SetResultText(11, SpeedText(e.vescshown));
  port.SetResultText(12, DistanceText(s, e.rmax));
  port.SetResultText(13, DistanceText(s, s.rmin201sq));

  double ratio = 0;
  if (!BestCandidate(s, e, &ratio) || !BeatsBest(s.bestratio, ratio)) return;
  port.SetResultText(14, NumberText(s.alpha));
  port.SetResultText(15, SpeedText(s.v[0]));
  port.SetResultText(16, SpeedText(s.v[1]));
  port.SetResultColour(17, e.vsel > e.vescshown ? s.clightred : kNearBlack);
  port.SetResultText(17, SpeedText(s.v[2]));
  port.SetResultText(18, SpeedText(e.vescshown));
  port.SetResultText(19, DistanceText(s, e.rmax));
  port.SetResultText(20, DistanceText(s, s.rmin201sq));
  s.bestratio = ratio;
}

bool ShownValuesFinite(const SimState& s, const Encounter& e) {
  const double v[3] = {s.v[0], s.v[1], s.v[2]};
  const PairEscape<double> shown{e.vesc1, e.vesc2, e.vesc3, e.ratio1, e.ratio2, e.ratio3};
  return ShownValuesSum(v, shown, s.rr2, e.rmax, s.rmin201sq) == 0;
}

}  // namespace lab
