// A map as a picture: one block of whole pixels per cell, coloured by the end
// of the test and whether body 3 ended faster than its escape speed, or by
// the ratio speed / escape speed on a perceptual colour scale.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "encounter/end.h"
#include "encounter/series.h"

namespace lab {

using RgbColour = std::array<std::uint8_t, 3>;

// The cells of a map, row 0 the first y value, each row in series order.
struct MapGrid {
  int rows = 0;
  std::int64_t columns = 0;
  // Per cell: the index of its end (escaped receded absorbed passages limit
  // next none) x 2 + 1 when v3_red, or -1 for a cell not in this run.
  std::vector<int> outcome;
  std::vector<double> ratio;  // the column ratio; NaN where there is none
  // 1 where the test's total energy changed by more than the limit (known
  // only when the map ran with energy tracking).
  std::vector<std::uint8_t> untrusted;
  void Resize(int r, std::int64_t c);
  void Set(int row, std::int64_t column, const std::string& end, bool red, const double* ratio,
           bool untrusted);
  bool AnyUntrusted() const;
};

// The legend's words for a cell whose test is untrusted.
std::string UntrustedLabel();

enum class MapColouring { kEnd, kRatio };

inline constexpr int kEnds = encounter::kEndCount;

RgbColour OutcomeColour(int outcome);  // -1: the colour of a missing cell
// The legend's words for an outcome: "escaped", "escaped, v3 > vesc", ...;
// -1: "not in this run".
std::string OutcomeLabel(int outcome);
RgbColour Viridis(double t);           // t from 0 to 1
RgbColour NoRatioColour();

// The ratio scale: log10 of the smallest and largest ratio above 0.
struct RatioScale {
  double lo = -1, hi = 1;
  bool any = false;
  double Position(double ratio) const;  // 0 to 1 on the scale
};
RatioScale RatioRange(const MapGrid& grid);

struct MapImage {
  int width = 0, height = 0;
  int cell_width = 1, cell_height = 1;
  std::vector<std::uint8_t> rgb;  // rows top to bottom: the last y value first
};

// At least 600 pixels wide and 300 high, each cell a block of whole pixels;
// untrusted cells hatched with black and white diagonal stripes.
MapImage PaintMap(const MapGrid& grid, MapColouring colouring);
RgbColour CellColour(const MapGrid& grid, const RatioScale& scale, MapColouring colouring,
                     std::int64_t cell);

}  // namespace lab
