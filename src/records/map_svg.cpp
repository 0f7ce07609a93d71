#include "records/map_svg.h"

#include <algorithm>
#include <cmath>

#include "records/svg_writer.h"
#include "setup/number_text.h"

namespace lab {

namespace {

// The picture's parts, in pixels: the outer margin, the tick marks, the
// sizes of the texts, the gaps between a text and what it labels, the
// legend's swatches.
constexpr double kPad = 10, kTick = 5, kFont = 12, kLabelFont = 13, kTitleFont = 16;
constexpr double kGap = 6, kSwatch = 14, kLegendGap = 20, kBar = 18;

// One line of text at its size; a line too wide for the room it has is
// drawn smaller.
struct Line {
  std::string text;
  double size = kFont;
};

// Where everything goes: the cells' box, the title's lines, the legend.
struct Layout {
  double left = 0, top = 0, width = 0, height = 0;  // the cells' box and the whole picture
  double plot_w = 0, plot_h = 0;
  double title_x = 0, title_y = 0;  // the first line's baseline
  std::vector<Line> title, subtitle;
  double legend_x = 0;
};

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

// The y axis' tick values that fall on the cells, with their offsets from
// the bottom.
std::vector<std::pair<double, double>> YTicks(const MapLabels& l, double cell_height) {
  std::vector<std::pair<double, double>> ticks;
  for (double t : TicksOf(l.ys, l.y_log)) {
    const double off = Place(t, l.ys, l.y_log, cell_height);
    if (!std::isnan(off)) ticks.emplace_back(t, off);
  }
  return ticks;
}

// The widest of the texts, each preceded by `indent` pixels.
double Widest(const std::vector<std::string>& texts, double size, bool bold, double indent = 0) {
  double w = 0;
  for (const std::string& t : texts) w = std::max(w, indent + TextWidth(t, size, bold));
  return w;
}

// The lines of a text wrapped to `room` after its separators, each still
// too wide drawn smaller.
std::vector<Line> Fitted(const std::string& text, double size, bool bold, double room,
                         std::string_view separator) {
  std::vector<Line> lines;
  for (std::string& t : WrappedLines(text, size, bold, room, separator)) {
    const double w = TextWidth(t, size, bold);
    lines.push_back({std::move(t), w > room ? std::floor(size * room / w * 10) / 10 : size});
  }
  return lines;
}

// The outcomes the cells show, in the legend's order; -1 (not in this run)
// last.
std::vector<int> PresentOutcomes(const MapGrid& grid) {
  std::vector<bool> present(2 * kEnds + 1, false);
  for (int o : grid.outcome) present[o < 0 || o >= 2 * kEnds ? 2 * kEnds : o] = true;
  std::vector<int> outcomes;
  for (int o = 0; o <= 2 * kEnds; ++o)
    if (present[o]) outcomes.push_back(o < 2 * kEnds ? o : -1);
  return outcomes;
}

// The legend's texts: what its column must be wide enough for.
std::vector<std::string> LegendTexts(const MapGrid& grid, MapColouring colouring) {
  std::vector<std::string> texts;
  if (colouring == MapColouring::kEnd) {
    for (int o : PresentOutcomes(grid)) texts.push_back(OutcomeLabel(o));
  } else {
    texts.push_back("no ratio");
  }
  if (grid.AnyUntrusted()) texts.push_back(UntrustedLabel());
  return texts;
}

std::vector<std::string> RatioTickTexts(const MapGrid& grid) {
  std::vector<std::string> texts;
  const RatioScale scale = RatioRange(grid);
  if (scale.any)
    for (double t : LogTicks(std::pow(10, scale.lo), std::pow(10, scale.hi))) texts.push_back(NumberText(t));
  return texts;
}

Layout LayOut(const MapGrid& grid, MapColouring colouring, const MapLabels& l, const MapImage& image) {
  Layout a;
  a.plot_w = image.width;
  a.plot_h = image.height;
  std::vector<std::string> ticks;
  for (const auto& [t, off] : YTicks(l, image.cell_height)) ticks.push_back(NumberText(t));
  // The y label reads upwards with its baseline just right of its glyphs,
  // then the tick labels, right-aligned against their ticks.
  a.left = kPad + kLabelFont + kGap + Widest(ticks, kFont, false) + 3 + kTick;
  const bool by_end = colouring == MapColouring::kEnd;
  double legend = std::max(Widest(LegendTexts(grid, colouring), kFont, false, kSwatch + 6),
                           TextWidth(by_end ? "end of the test" : "ratio (log scale)", kFont, true));
  if (!by_end) legend = std::max(legend, Widest(RatioTickTexts(grid), kFont, false, kBar + kTick + 3));
  a.legend_x = a.left + a.plot_w + kLegendGap;
  a.width = std::ceil(a.legend_x + legend + kPad);
  // The title over the cells when it fits there, else from the left edge.
  const double over_cells = a.width - a.left - kPad;
  a.title_x = TextWidth(l.title, kTitleFont, true) <= over_cells &&
                      TextWidth(l.subtitle, kFont, false) <= over_cells
                  ? a.left
                  : kPad;
  a.title = Fitted(l.title, kTitleFont, true, a.width - a.title_x - kPad, " ");
  a.subtitle = Fitted(l.subtitle, kFont, false, a.width - a.title_x - kPad, ", ");
  a.title_y = kPad + kTitleFont;
  a.top = a.title_y + 20.0 * static_cast<double>(a.title.size()) +
          16.0 * static_cast<double>(a.subtitle.size()) + 4;
  const double below = kTick + kFont + 2 + kGap + kLabelFont + kPad;
  const double legend_bottom =
      by_end ? a.top + kLegendGap * static_cast<double>(LegendTexts(grid, colouring).size()) + kSwatch
             : a.top + a.plot_h + 12 + kLegendGap * (grid.AnyUntrusted() ? 2 : 1);
  a.height = std::ceil(std::max(a.top + a.plot_h + below, legend_bottom + kPad));
  return a;
}

void Titles(SvgWriter& svg, const Layout& a) {
  double y = a.title_y;
  for (const Line& line : a.title) {
    svg.Text(a.title_x, y, line.text, line.size, SvgWriter::Anchor::kStart, false, true);
    y += 20;
  }
  for (const Line& line : a.subtitle) {
    svg.Text(a.title_x, y, line.text, line.size, SvgWriter::Anchor::kStart);
    y += 16;
  }
}

// The cells, each row's runs of one colour as one rectangle; then the runs
// of untrusted cells hatched over them.
void Cells(SvgWriter& svg, const MapGrid& grid, MapColouring colouring, const MapImage& image,
           const Layout& a) {
  const RatioScale scale = RatioRange(grid);
  auto runs = [&](auto same, auto draw) {
    for (int row = 0; row < grid.rows; ++row) {
      const double y = a.top + (grid.rows - 1 - row) * image.cell_height;
      for (std::int64_t c = 0; c < grid.columns;) {
        std::int64_t end = c + 1;
        while (end < grid.columns && same(row * grid.columns + c, row * grid.columns + end)) ++end;
        draw(row * grid.columns + c, a.left + static_cast<double>(c) * image.cell_width, y,
             static_cast<double>(end - c) * image.cell_width);
        c = end;
      }
    }
  };
  svg.BeginCrisp();
  runs([&](std::int64_t p, std::int64_t q) {
         return CellColour(grid, scale, colouring, p) == CellColour(grid, scale, colouring, q);
       },
       [&](std::int64_t cell, double x, double y, double w) {
         svg.Rect(x, y, w, image.cell_height, CellColour(grid, scale, colouring, cell));
       });
  svg.End();
  if (!grid.AnyUntrusted()) return;
  svg.DefineHatching();
  runs([&](std::int64_t p, std::int64_t q) { return grid.untrusted[p] == grid.untrusted[q]; },
       [&](std::int64_t cell, double x, double y, double w) {
         if (grid.untrusted[cell]) svg.HatchedRect(x, y, w, image.cell_height);
       });
}

void Axes(SvgWriter& svg, const MapLabels& l, const MapImage& image, const Layout& a) {
  const double w = a.plot_w, h = a.plot_h;
  svg.Frame(a.left, a.top, w, h);
  for (double t : TicksOf(l.xs, false)) {
    const double x = a.left + Place(t, l.xs, false, image.cell_width);
    if (std::isnan(x)) continue;
    svg.Line(x, a.top + h, x, a.top + h + kTick);
    svg.Text(x, a.top + h + kTick + kFont + 2, NumberText(t), kFont, SvgWriter::Anchor::kMiddle);
  }
  for (const auto& [t, off] : YTicks(l, image.cell_height)) {
    const double y = a.top + h - off;
    svg.Line(a.left - kTick, y, a.left, y);
    svg.Text(a.left - kTick - 3, y + kFont / 3, NumberText(t), kFont, SvgWriter::Anchor::kEnd);
  }
  svg.Text(a.left + w / 2, a.top + h + kTick + kFont + 2 + kGap + kLabelFont, l.x_label, kLabelFont,
           SvgWriter::Anchor::kMiddle);
  // A y label longer than the cells are high is drawn smaller.
  const double y_width = TextWidth(l.y_label, kLabelFont, false);
  const double y_size = y_width > h ? std::floor(kLabelFont * h / y_width * 10) / 10 : kLabelFont;
  svg.Text(kPad + kLabelFont, a.top + h / 2, l.y_label, y_size, SvgWriter::Anchor::kMiddle, true);
}

// A swatch with its words; hatched for the untrusted cells.
void Swatch(SvgWriter& svg, double x, double y, const RgbColour* colour, const std::string& text) {
  if (colour) {
    svg.Rect(x, y, kSwatch, kSwatch, *colour);
  } else {
    svg.HatchedRect(x, y, kSwatch, kSwatch);
  }
  svg.Frame(x, y, kSwatch, kSwatch);
  svg.Text(x + kSwatch + 6, y + 12, text, kFont, SvgWriter::Anchor::kStart);
}

void OutcomeLegend(SvgWriter& svg, const MapGrid& grid, const Layout& a) {
  double y = a.top;
  svg.Text(a.legend_x, y + kFont, "end of the test", kFont, SvgWriter::Anchor::kStart, false, true);
  for (int o : PresentOutcomes(grid)) {
    y += kLegendGap;
    const RgbColour colour = OutcomeColour(o);
    Swatch(svg, a.legend_x, y, &colour, OutcomeLabel(o));
  }
  if (grid.AnyUntrusted()) Swatch(svg, a.legend_x, y + kLegendGap, nullptr, UntrustedLabel());
}

void RatioBar(SvgWriter& svg, const MapGrid& grid, const Layout& a) {
  const RatioScale scale = RatioRange(grid);
  const double x = a.legend_x, h = a.plot_h, top = a.top;
  svg.Text(x, top - 8, "ratio (log scale)", kFont, SvgWriter::Anchor::kStart, false, true);
  constexpr int kSlices = 100;
  svg.BeginCrisp();
  for (int k = 0; k < kSlices; ++k)
    svg.Rect(x, top + h - (k + 1) * h / kSlices, kBar, h / kSlices + 0.5, Viridis((k + 0.5) / kSlices));
  svg.End();
  svg.Frame(x, top, kBar, h);
  if (scale.any) {
    for (double t : LogTicks(std::pow(10, scale.lo), std::pow(10, scale.hi))) {
      const double y = top + h - scale.Position(t) * h;
      if (!(y >= top - 0.5 && y <= top + h + 0.5)) continue;
      svg.Line(x + kBar, y, x + kBar + kTick, y);
      svg.Text(x + kBar + kTick + 3, y + kFont / 3, NumberText(t), kFont, SvgWriter::Anchor::kStart);
    }
  }
  const RgbColour none = NoRatioColour();
  Swatch(svg, x, top + h + 12, &none, "no ratio");
  if (grid.AnyUntrusted()) Swatch(svg, x, top + h + 12 + kLegendGap, nullptr, UntrustedLabel());
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
  const Layout a = LayOut(grid, colouring, labels, image);
  SvgWriter svg(a.width, a.height, labels.title);
  Titles(svg, a);
  Cells(svg, grid, colouring, image, a);
  Axes(svg, labels, image, a);
  if (colouring == MapColouring::kEnd) {
    OutcomeLegend(svg, grid, a);
  } else {
    RatioBar(svg, grid, a);
  }
  return svg.Finish();
}

}  // namespace lab
