#include "records/map_svg.h"

#include <algorithm>
#include <cmath>

#include "records/svg_writer.h"
#include "setup/number_text.h"

namespace lab {

namespace {

constexpr double kLeft = 90, kTop = 64, kRight = 230, kBottom = 56;
constexpr double kTick = 5, kFont = 12;

// Where a value falls along an axis of n cells of `size` pixels each, the
// first cell's value at the first cell's centre: a pixel offset, or NaN
// when it falls outside the cells.
double Place(double v, const std::vector<double>& values, bool log, double size) {
  const double n = static_cast<double>(values.size());
  double u = 0;
  if (values.size() > 1) {
    auto f = [log](double x) { return log ? std::log10(x) : x; };
    u = (f(v) - f(values.front())) / (f(values.back()) - f(values.front())) * (n - 1);
  } else if (v != values.front()) {
    return std::nan("");
  }
  if (!(u >= -0.5 && u <= n - 0.5)) return std::nan("");
  return (u + 0.5) * size;
}

std::vector<double> TicksOf(const std::vector<double>& values, bool log) {
  const auto [lo, hi] = std::minmax(values.front(), values.back());
  return log ? LogTicks(lo, hi) : LinearTicks(lo, hi, 6);
}

// The cells, each row's runs of one colour as one rectangle.
void Cells(SvgWriter& svg, const MapGrid& grid, MapColouring colouring, const MapImage& image) {
  const RatioScale scale = RatioRange(grid);
  svg.BeginCrisp();
  for (int row = 0; row < grid.rows; ++row) {
    const double y = kTop + (grid.rows - 1 - row) * image.cell_height;
    for (std::int64_t c = 0; c < grid.columns;) {
      const RgbColour colour = CellColour(grid, scale, colouring, row * grid.columns + c);
      std::int64_t end = c + 1;
      while (end < grid.columns && CellColour(grid, scale, colouring, row * grid.columns + end) == colour)
        ++end;
      svg.Rect(kLeft + static_cast<double>(c) * image.cell_width, y,
               static_cast<double>(end - c) * image.cell_width, image.cell_height, colour);
      c = end;
    }
  }
  svg.End();
}

void Axes(SvgWriter& svg, const MapLabels& l, const MapImage& image) {
  const double w = image.width, h = image.height;
  svg.Frame(kLeft, kTop, w, h);
  for (double t : TicksOf(l.xs, false)) {
    const double x = kLeft + Place(t, l.xs, false, image.cell_width);
    if (std::isnan(x)) continue;
    svg.Line(x, kTop + h, x, kTop + h + kTick);
    svg.Text(x, kTop + h + kTick + kFont + 2, NumberText(t), kFont, SvgWriter::Anchor::kMiddle);
  }
  for (double t : TicksOf(l.ys, l.y_log)) {
    const double off = Place(t, l.ys, l.y_log, image.cell_height);
    if (std::isnan(off)) continue;
    const double y = kTop + h - off;
    svg.Line(kLeft - kTick, y, kLeft, y);
    svg.Text(kLeft - kTick - 3, y + kFont / 3, NumberText(t), kFont, SvgWriter::Anchor::kEnd);
  }
  svg.Text(kLeft + w / 2, kTop + h + kBottom - 10, l.x_label, kFont + 1, SvgWriter::Anchor::kMiddle);
  svg.Text(22, kTop + h / 2, l.y_label, kFont + 1, SvgWriter::Anchor::kMiddle, true);
}

void OutcomeLegend(SvgWriter& svg, const MapGrid& grid, double x) {
  std::vector<bool> present(2 * kEnds + 1, false);
  for (int o : grid.outcome) present[o < 0 ? 2 * kEnds : o] = true;
  double y = kTop;
  svg.Text(x, y + kFont, "end of the test", kFont, SvgWriter::Anchor::kStart, false, true);
  for (int o = 0; o <= 2 * kEnds; ++o) {
    if (!present[o]) continue;
    y += 20;
    svg.Rect(x, y, 14, 14, OutcomeColour(o < 2 * kEnds ? o : -1));
    svg.Frame(x, y, 14, 14);
    svg.Text(x + 20, y + 12, OutcomeLabel(o < 2 * kEnds ? o : -1), kFont,
             SvgWriter::Anchor::kStart);
  }
}

void RatioBar(SvgWriter& svg, const MapGrid& grid, double x, double h) {
  const RatioScale scale = RatioRange(grid);
  svg.Text(x, kTop - 8, "ratio (log scale)", kFont, SvgWriter::Anchor::kStart, false, true);
  constexpr int kSlices = 100;
  svg.BeginCrisp();
  for (int k = 0; k < kSlices; ++k)
    svg.Rect(x, kTop + h - (k + 1) * h / kSlices, 18, h / kSlices + 0.5, Viridis((k + 0.5) / kSlices));
  svg.End();
  svg.Frame(x, kTop, 18, h);
  if (scale.any) {
    for (double t : LogTicks(std::pow(10, scale.lo), std::pow(10, scale.hi))) {
      const double y = kTop + h - scale.Position(t) * h;
      if (!(y >= kTop - 0.5 && y <= kTop + h + 0.5)) continue;
      svg.Line(x + 18, y, x + 18 + kTick, y);
      svg.Text(x + 18 + kTick + 3, y + kFont / 3, NumberText(t), kFont, SvgWriter::Anchor::kStart);
    }
  }
  svg.Rect(x, kTop + h + 12, 14, 14, NoRatioColour());
  svg.Frame(x, kTop + h + 12, 14, 14);
  svg.Text(x + 20, kTop + h + 24, "no ratio", kFont, SvgWriter::Anchor::kStart);
}

}  // namespace

std::vector<double> LinearTicks(double lo, double hi, int target) {
  if (!(hi > lo)) return {lo};
  const double raw = (hi - lo) / target;
  const double magnitude = std::pow(10, std::floor(std::log10(raw)));
  const double f = raw / magnitude;
  const double step = (f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10) * magnitude;
  std::vector<double> ticks;
  for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; ++k)
    ticks.push_back(k * step == 0 ? 0 : k * step);
  return ticks;
}

std::vector<double> LogTicks(double lo, double hi) {
  std::vector<double> ticks;
  const int first = static_cast<int>(std::floor(std::log10(lo)));
  const int last = static_cast<int>(std::ceil(std::log10(hi)));
  const bool crowded = last - first > 4;  // many decades: the powers alone
  for (int e = first; e <= last; ++e) {
    for (double m : {1.0, 2.0, 5.0}) {
      if (crowded && m != 1) continue;
      const double v = m * std::pow(10.0, e);
      if (v >= lo * (1 - 1e-12) && v <= hi * (1 + 1e-12)) ticks.push_back(v);
    }
  }
  return ticks.size() >= 2 ? ticks : LinearTicks(lo, hi, 4);
}

std::string MapSvg(const MapGrid& grid, MapColouring colouring, const MapLabels& labels) {
  const MapImage image = PaintMap(grid, colouring);
  const double width = kLeft + image.width + kRight;
  const double height = kTop + image.height + kBottom;
  SvgWriter svg(width, height, labels.title);
  svg.Text(kLeft, 24, labels.title, kFont + 4, SvgWriter::Anchor::kStart, false, true);
  svg.Text(kLeft, 44, labels.subtitle, kFont, SvgWriter::Anchor::kStart);
  Cells(svg, grid, colouring, image);
  Axes(svg, labels, image);
  const double legend_x = kLeft + image.width + 24;
  if (colouring == MapColouring::kEnd) {
    OutcomeLegend(svg, grid, legend_x);
  } else {
    RatioBar(svg, grid, legend_x, image.height);
  }
  return svg.Finish();
}

}  // namespace lab
