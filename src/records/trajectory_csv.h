// The CSV of one test's trajectory: its columns, each named once with its
// unit and meaning, and the line of one point.
#pragma once

#include <string>
#include <vector>

#include "encounter/trajectory.h"

namespace lab {

struct TrajectoryColumnInfo {
  const char* name;
  const char* unit;  // "unit": the scenario's unit of length (AU or km)
  const char* meaning;
  bool full_only;  // only with --full
};

// Every column in the order of the line.
const std::vector<TrajectoryColumnInfo>& TrajectoryColumnTable();

std::string TrajectoryHeader(bool full);
// unit_km: the length of the scenario's unit (km); end: the end word of the
// test, for the point that carries the end.
std::string TrajectoryLine(const encounter::TrajectoryPoint& p, double unit_km, bool full,
                           const std::string& end);
std::string EventText(unsigned events, const std::string& end);

}  // namespace lab
