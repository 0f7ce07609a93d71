// The paths of the three bodies of one test as an SVG plot: axes in the
// scenario's unit at equal scale, one colour per body, the events marked.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "encounter/trajectory.h"

namespace lab {

// What the plot needs of the points, gathered as they come: the paths of the
// bodies while they carry mass (km), and the places of the events.
class TrajectoryPaths {
 public:
  void Add(const encounter::TrajectoryPoint& p);

  struct Mark {
    double x, y;  // body 3's place (km)
    unsigned events;
  };
  std::vector<double> path[3];  // x, y, x, y, ... (km)
  std::vector<Mark> marks;

 private:
  static constexpr std::size_t kMostPoints = 20000;
  std::size_t seen_ = 0, stride_ = 1;
};

// title: the scenario's number and the angle.
std::string TrajectorySvg(const TrajectoryPaths& paths, const std::string& unit, double unit_km,
                          const std::string& scenario, double alpha);

}  // namespace lab
