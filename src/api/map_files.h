// The files of a map besides its CSV, as encounter-batch map writes them:
// the picture (one block of pixels per cell, PNG) and the plot with axes,
// units and a legend (SVG). The desktop program's map window writes the same
// bytes through these.
#pragma once

#include <string>

#include "encounter/map.h"
#include "records/map_picture.h"
#include "records/map_svg.h"

namespace lab {

// Title, subtitle, axis labels with their units and the axes' values;
// refined: what refinement computed and measured (MapSummary::refined), said
// in the title, "" for a map of every cell.
MapLabels MapLabelsOf(const encounter::Map& map, const std::string& scenario, bool y_log,
                      bool ratio, const std::string& refined = "");

// The PNG file's bytes; refined (as for the labels) becomes its description.
std::string MapPngFile(const MapGrid& grid, MapColouring colouring, const std::string& refined);

// The SVG file's text; scenario: the text typed into the field "test".
std::string MapSvgFile(const encounter::Map& map, const MapGrid& grid, MapColouring colouring,
                       const std::string& scenario, bool y_log, const std::string& refined);

}  // namespace lab
