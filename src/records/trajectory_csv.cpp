#include "records/trajectory_csv.h"

#include "records/texts.h"

namespace lab {

const std::vector<TrajectoryColumnInfo>& TrajectoryColumnTable() {
  static const std::vector<TrajectoryColumnInfo> table = {
      {"step", "", "steps integrated so far (0: the start state)", false},
      {"t_s", "s", "time since the start of the test", false},
      {"x1", "unit", "position of body 1, x", false},
      {"y1", "unit", "position of body 1, y", false},
      {"x2", "unit", "position of body 2, x", false},
      {"y2", "unit", "position of body 2, y", false},
      {"x3", "unit", "position of body 3, x", false},
      {"y3", "unit", "position of body 3, y", false},
      {"x1_km", "km", "position of body 1, x", true},
      {"y1_km", "km", "position of body 1, y", true},
      {"x2_km", "km", "position of body 2, x", true},
      {"y2_km", "km", "position of body 2, y", true},
      {"x3_km", "km", "position of body 3, x", true},
      {"y3_km", "km", "position of body 3, y", true},
      {"vx1", "km/s", "velocity of body 1, x", false},
      {"vy1", "km/s", "velocity of body 1, y", false},
      {"vx2", "km/s", "velocity of body 2, x", false},
      {"vy2", "km/s", "velocity of body 2, y", false},
      {"vx3", "km/s", "velocity of body 3, x", false},
      {"vy3", "km/s", "velocity of body 3, y", false},
      {"v1_kms", "km/s", "speed of body 1", false},
      {"v2_kms", "km/s", "speed of body 2", false},
      {"v3_kms", "km/s", "speed of body 3", false},
      {"m1_kg", "kg", "mass of body 1 (0 once absorbed)", false},
      {"m2_kg", "kg", "mass of body 2 (0 once absorbed)", false},
      {"m3_kg", "kg", "mass of body 3 (0 once absorbed)", false},
      {"energy_change", "", "(E - E0) / |E0|, E the energy of the bodies with mass", false},
      {"angmom_change", "", "(L - L0) / |L0|, L their angular momentum about the origin", false},
      {"event", "", "closest-approach, absorption, end:WORD (the series' end), joined by ;",
       false},
  };
  return table;
}

std::string TrajectoryHeader(bool full) {
  std::string h;
  for (const TrajectoryColumnInfo& c : TrajectoryColumnTable()) {
    if (c.full_only && !full) continue;
    h += (h.empty() ? "" : ",") + std::string(c.name);
  }
  return h + '\n';
}

std::string EventText(unsigned events, const std::string& end) {
  std::string text;
  auto add = [&](const std::string& word) { text += (text.empty() ? "" : ";") + word; };
  if (events & encounter::kClosestApproach) add("closest-approach");
  if (events & encounter::kAbsorption) add("absorption");
  if (events & encounter::kEnd) add("end:" + end);
  return text;
}

// The values in the order of the table; the event text is added last.
std::string TrajectoryLine(const encounter::TrajectoryPoint& p, double unit_km, bool full,
                           const std::string& end) {
  std::string line = std::to_string(p.step) + ',' + ShortestText(p.t_s);
  auto put = [&](double v) { line += ',' + ShortestText(v); };
  for (int k = 0; k < 3; ++k) {
    put(p.x_km[k] / unit_km);
    put(p.y_km[k] / unit_km);
  }
  if (full) {
    for (int k = 0; k < 3; ++k) {
      put(p.x_km[k]);
      put(p.y_km[k]);
    }
  }
  for (int k = 0; k < 3; ++k) {
    put(p.vx_kms[k]);
    put(p.vy_kms[k]);
  }
  for (int k = 0; k < 3; ++k) put(p.v_kms[k]);
  for (int k = 0; k < 3; ++k) put(p.m_kg[k]);
  put(p.energy_change);
  put(p.angmom_change);
  return line + ',' + EventText(p.events, end) + '\n';
}

}  // namespace lab
