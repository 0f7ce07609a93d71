#include "records/map_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "encounter/series.h"

namespace lab {

namespace {

// Each end a colour of the palette of Okabe and Ito ("Color Universal
// Design", 2008), told apart by readers with any common colour vision; the
// second of each pair where body 3 ended faster than its escape speed.
constexpr RgbColour kOutcomeColours[kEnds][2] = {
    {{0, 114, 178}, {213, 94, 0}},     // escaped: blue, vermillion
    {{86, 180, 233}, {230, 159, 0}},   // receded: sky blue, orange
    {{0, 0, 0}, {90, 90, 90}},         // absorbed: black, dark grey
    {{0, 158, 115}, {240, 228, 66}},   // passages: bluish green, yellow
    {{190, 190, 190}, {204, 121, 167}},  // limit: light grey, reddish purple
    {{150, 150, 150}, {170, 90, 140}},   // next
    {{255, 255, 255}, {255, 255, 255}},  // none
};

// viridis, the perceptually uniform colour map of S. van der Walt and
// N. Smith (2015), at nine evenly spaced control points 0, 1/8, ..., 1 as
// published; between them it is interpolated linearly in sRGB.
constexpr RgbColour kViridis[9] = {
    {0x44, 0x01, 0x54}, {0x47, 0x2d, 0x7b}, {0x3b, 0x52, 0x8b}, {0x2c, 0x72, 0x8e}, {0x21, 0x90, 0x8c},
    {0x27, 0xad, 0x81}, {0x5d, 0xc8, 0x63}, {0xaa, 0xdc, 0x32}, {0xfd, 0xe7, 0x25}};

// The hatching of an untrusted cell at pixel (x, y): diagonal stripes, one
// black and one white pixel wide, every six pixels across the picture.
const RgbColour& HatchColour(std::int64_t x, int y, const RgbColour& colour) {
  static constexpr RgbColour kBlack{0, 0, 0}, kWhite{255, 255, 255};
  const std::int64_t k = (x + y) % 6;
  return k == 0 ? kBlack : k == 1 ? kWhite : colour;
}

}  // namespace

void MapGrid::Resize(int r, std::int64_t c) {
  rows = r;
  columns = c;
  outcome.assign(static_cast<std::size_t>(r * c), -1);
  ratio.assign(outcome.size(), std::nan(""));
  untrusted.assign(outcome.size(), 0);
}

void MapGrid::Set(int row, std::int64_t column, const std::string& end, bool red,
                  const double* r, bool energy_untrusted) {
  const std::size_t cell = static_cast<std::size_t>(row * columns + column);
  const int e = static_cast<int>(encounter::EndOfName(end).value_or(encounter::End::kNone));
  outcome[cell] = e * 2 + (red ? 1 : 0);
  ratio[cell] = r ? *r : std::nan("");
  untrusted[cell] = energy_untrusted ? 1 : 0;
}

bool MapGrid::AnyUntrusted() const {
  return std::find(untrusted.begin(), untrusted.end(), 1) != untrusted.end();
}

std::string UntrustedLabel() {
  char percent[32];
  std::snprintf(percent, sizeof percent, "%g", encounter::kEnergyChangeLimit * 100);
  return std::string("untrusted (energy changed > ") + percent + " %)";
}

RgbColour OutcomeColour(int outcome) {
  if (outcome < 0 || outcome >= 2 * kEnds) return {239, 239, 239};
  return kOutcomeColours[outcome / 2][outcome % 2];
}

std::string OutcomeLabel(int outcome) {
  if (outcome < 0 || outcome >= 2 * kEnds) return "not in this run";
  return std::string(encounter::kEndWords[outcome / 2]) + (outcome % 2 ? ", v3 > vesc" : "");
}

RgbColour Viridis(double t) {
  t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0) * 8;
  const int k = std::min(7, static_cast<int>(t));
  const double f = t - k;
  RgbColour c;
  for (int i = 0; i < 3; ++i)
    c[i] = static_cast<std::uint8_t>(std::lround(kViridis[k][i] + f * (kViridis[k + 1][i] - kViridis[k][i])));
  return c;
}

RgbColour NoRatioColour() { return {200, 200, 200}; }

double RatioScale::Position(double ratio) const {
  if (!(hi > lo)) return 0.5;
  return (std::log10(ratio) - lo) / (hi - lo);
}

RatioScale RatioRange(const MapGrid& grid) {
  RatioScale s;
  for (double r : grid.ratio) {
    if (!(r > 0) || !std::isfinite(r)) continue;
    const double l = std::log10(r);
    s.lo = s.any ? std::min(s.lo, l) : l;
    s.hi = s.any ? std::max(s.hi, l) : l;
    s.any = true;
  }
  if (s.any && s.hi - s.lo < 1e-3) {  // one ratio: a scale around it
    s.lo -= 0.05;
    s.hi += 0.05;
  }
  return s;
}

RgbColour CellColour(const MapGrid& grid, const RatioScale& scale, MapColouring colouring,
                     std::int64_t cell) {
  if (grid.outcome[cell] < 0 || colouring == MapColouring::kEnd) return OutcomeColour(grid.outcome[cell]);
  const double r = grid.ratio[cell];
  return r > 0 && std::isfinite(r) ? Viridis(scale.Position(r)) : NoRatioColour();
}

MapImage PaintMap(const MapGrid& grid, MapColouring colouring) {
  MapImage image;
  const std::int64_t columns = std::max<std::int64_t>(grid.columns, 1);
  const int rows = std::max(grid.rows, 1);
  image.cell_width = static_cast<int>(std::max<std::int64_t>(1, (600 + columns - 1) / columns));
  image.cell_height = std::max(1, (300 + rows - 1) / rows);
  image.width = static_cast<int>(columns * image.cell_width);
  image.height = rows * image.cell_height;
  image.rgb.assign(static_cast<std::size_t>(image.width) * image.height * 3, 239);
  const RatioScale scale = RatioRange(grid);
  for (int row = 0; row < grid.rows; ++row) {
    const int top = (grid.rows - 1 - row) * image.cell_height;  // the first y value at the bottom
    for (std::int64_t c = 0; c < grid.columns; ++c) {
      const std::int64_t cell = row * grid.columns + c;
      const RgbColour colour = CellColour(grid, scale, colouring, cell);
      const bool hatched = grid.untrusted[static_cast<std::size_t>(cell)] != 0;
      const std::int64_t left = c * image.cell_width;
      for (int y = top; y < top + image.cell_height; ++y) {
        std::uint8_t* p = &image.rgb[(static_cast<std::size_t>(y) * image.width + left) * 3];
        for (int x = 0; x < image.cell_width; ++x, p += 3) {
          const RgbColour& shown = hatched ? HatchColour(left + x, y, colour) : colour;
          std::copy(shown.begin(), shown.end(), p);
        }
      }
    }
  }
  return image;
}

}  // namespace lab
