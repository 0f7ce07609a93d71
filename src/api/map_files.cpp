#include "api/map_files.h"

#include "encounter/units.h"
#include "records/png_encode.h"
#include "setup/field_names.h"

namespace lab {

MapLabels MapLabelsOf(const encounter::Map& map, const std::string& scenario, bool y_log,
                      bool ratio, const std::string& refined) {
  MapLabels l;
  const std::string field = map.y_column().substr(0, map.y_column().find('_'));
  const std::string caption = kFieldCaptions[FieldOfName(field)];
  const bool distance = field == "dist1" || field == "dist2";
  const std::string unit = encounter::UnitName(map.unit());
  l.title = "Scenario " + scenario + ": " + (ratio ? "speed / escape speed" : "end of the test") +
            " by start angle and " + caption + (refined.empty() ? "" : " (" + refined + ")");
  for (const auto& [name, text] : map.fields()) {
    if (name == caption || name == "start" || name == "end" || name == "d alpha") continue;
    l.subtitle += (l.subtitle.empty() ? "" : ", ") + name + " = " + text;
  }
  l.subtitle += "; distances in " + unit + "; " + std::to_string(map.rows()) + " x " +
                std::to_string(map.columns()) + " cells";
  l.x_label = "start angle (degrees)";
  l.y_label = caption + (distance ? " (" + unit + ")"
                         : field == "tdfact" ? " (time-step divisor)"
                                             : " (solar masses)") +
              (y_log ? ", log scale" : "");
  l.xs = map.angles();
  l.ys = map.y();
  l.y_log = y_log;
  return l;
}

std::string MapPngFile(const MapGrid& grid, MapColouring colouring, const std::string& refined) {
  const MapImage image = PaintMap(grid, colouring);
  return EncodeRgbPng(image.width, image.height, image.rgb, refined);
}

std::string MapSvgFile(const encounter::Map& map, const MapGrid& grid, MapColouring colouring,
                       const std::string& scenario, bool y_log, const std::string& refined) {
  return MapSvg(grid, colouring,
                MapLabelsOf(map, scenario, y_log, colouring == MapColouring::kRatio, refined));
}

}  // namespace lab
