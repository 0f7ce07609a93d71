// A map as an SVG plot: the cells, framed by axes with ticks and labels in
// their units, a legend of the outcomes (or a colour bar of the ratio) and a
// title naming the scenario and its fields. The margins are as wide as their
// texts need; a long title wraps; untrusted cells are hatched.
#pragma once

#include <string>
#include <vector>

#include "records/map_picture.h"

namespace lab {

struct MapLabels {
  std::string title, subtitle;
  std::string x_label, y_label;  // with their units
  std::vector<double> xs;        // the value of each column
  std::vector<double> ys;        // the value of each row
  bool y_log = false;
};

std::string MapSvg(const MapGrid& grid, MapColouring colouring, const MapLabels& labels);

// Round tick values from lo to hi: about `target` of them at steps of 1, 2
// or 5 times a power of ten; on a log axis at 1, 2 and 5 times the powers.
std::vector<double> LinearTicks(double lo, double hi, int target);
std::vector<double> LogTicks(double lo, double hi);

}  // namespace lab
