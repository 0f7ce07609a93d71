#include "records/trajectory_svg.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "records/map_svg.h"
#include "records/svg_writer.h"
#include "records/texts.h"

namespace lab {

namespace {

constexpr double kWidth = 640, kHeight = 600;
constexpr double kLeft = 80, kRight = 20, kTop = 50, kBottom = 60;  // margins (pixels)
const RgbColour kBodyColours[3] = {{204, 121, 167}, {0, 158, 115}, {0, 114, 178}};
const RgbColour kMarkColours[3] = {{230, 159, 0}, {213, 94, 0}, {0, 0, 0}};  // closest, absorption, end
const char* const kMarkNames[3] = {"closest approach", "absorption", "end"};

std::string TickText(double v) {
  std::string s = ShortestText(std::abs(v) < 1e-12 ? 0 : v);
  return s.empty() ? "0" : s;
}

}  // namespace

// Every stride-th point, and every point with an event; when the paths grow
// past kMostPoints, every other point is dropped and the stride doubles, so
// that a test of millions of steps still makes a plot of modest size.
void TrajectoryPaths::Add(const encounter::TrajectoryPoint& p) {
  const bool keep = p.events != 0 || seen_ % stride_ == 0;
  ++seen_;
  if (!keep) return;
  for (int k = 0; k < 3; ++k) {
    if (p.m_kg[k] > 0 || (p.events & encounter::kAbsorption)) {
      path[k].push_back(p.x_km[k]);
      path[k].push_back(p.y_km[k]);
    }
  }
  if (p.events != 0) marks.push_back({p.x_km[2], p.y_km[2], p.events});
  if (path[2].size() / 2 <= kMostPoints && path[0].size() / 2 <= kMostPoints) return;
  for (auto& xy : path) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i + 1 < xy.size(); i += 4, kept += 2) {
      xy[kept] = xy[i];
      xy[kept + 1] = xy[i + 1];
    }
    xy.resize(kept);
  }
  stride_ *= 2;
}

std::string TrajectorySvg(const TrajectoryPaths& paths, const std::string& unit, double unit_km,
                          const std::string& scenario, double alpha) {
  // The box around every path, in the unit, widened to the plot's aspect so
  // that both axes have the same scale.
  double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  double hi[2] = {-lo[0], -lo[1]};
  for (const auto& path : paths.path) {
    for (std::size_t k = 0; k < path.size(); ++k) {
      const double v = path[k] / unit_km;
      if (!std::isfinite(v)) continue;
      lo[k % 2] = std::min(lo[k % 2], v);
      hi[k % 2] = std::max(hi[k % 2], v);
    }
  }
  if (!(lo[0] <= hi[0])) lo[0] = lo[1] = -1, hi[0] = hi[1] = 1;
  const double plot_w = kWidth - kLeft - kRight, plot_h = kHeight - kTop - kBottom;
  double span = std::max({hi[0] - lo[0], (hi[1] - lo[1]) * plot_w / plot_h, 1e-9}) * 1.05;
  const double cx = (lo[0] + hi[0]) / 2, cy = (lo[1] + hi[1]) / 2;
  const double scale = plot_w / span;
  const double x0 = cx - plot_w / 2 / scale, x1 = cx + plot_w / 2 / scale;
  const double y0 = cy - plot_h / 2 / scale, y1 = cy + plot_h / 2 / scale;
  auto px = [&](double x) { return kLeft + (x - x0) * scale; };
  auto py = [&](double y) { return kTop + (y1 - y) * scale; };

  SvgWriter svg(kWidth, kHeight, "Scenario " + scenario + ", the test at " + TickText(alpha) + " degrees");
  svg.Text(kWidth / 2, 24, "Scenario " + scenario + ": paths of the test at " + TickText(alpha) + " degrees",
           15, SvgWriter::Anchor::kMiddle, false, true);
  for (int k = 0; k < 3; ++k) {
    std::vector<double> xy;
    xy.reserve(paths.path[k].size());
    for (std::size_t i = 0; i + 1 < paths.path[k].size(); i += 2) {
      xy.push_back(px(paths.path[k][i] / unit_km));
      xy.push_back(py(paths.path[k][i + 1] / unit_km));
    }
    svg.Polyline(xy, kBodyColours[k], 1.2);
  }
  for (const TrajectoryPaths::Mark& m : paths.marks) {
    for (int e = 0; e < 3; ++e)
      if (m.events & (1u << e)) svg.Circle(px(m.x / unit_km), py(m.y / unit_km), 3.5, kMarkColours[e]);
  }
  svg.Frame(kLeft, kTop, plot_w, plot_h);
  for (double t : LinearTicks(x0, x1, 6)) {
    svg.Line(px(t), kTop + plot_h, px(t), kTop + plot_h + 5);
    svg.Text(px(t), kTop + plot_h + 18, TickText(t), 11, SvgWriter::Anchor::kMiddle);
  }
  double widest = 0;  // of the y tick labels
  for (double t : LinearTicks(y0, y1, 6)) {
    svg.Line(kLeft - 5, py(t), kLeft, py(t));
    svg.Text(kLeft - 8, py(t) + 4, TickText(t), 11, SvgWriter::Anchor::kEnd);
    widest = std::max(widest, TextWidth(TickText(t), 11));
  }
  svg.Text(kLeft + plot_w / 2, kHeight - 22, "x (" + unit + ")", 12, SvgWriter::Anchor::kMiddle);
  // The y label reads upwards just left of the widest tick label.
  const double label_x = std::max(22.0, kLeft - 8 - widest - 6);
  svg.Text(label_x, kTop + plot_h / 2, "y (" + unit + ")", 12, SvgWriter::Anchor::kMiddle, true);
  // The legend: the bodies, then the marks.
  double lx = kLeft;
  for (int k = 0; k < 3; ++k, lx += 80) {
    svg.Rect(lx, kHeight - 12, 14, 4, kBodyColours[k]);
    svg.Text(lx + 18, kHeight - 7, "body " + std::to_string(k + 1), 11, SvgWriter::Anchor::kStart);
  }
  for (int e = 0; e < 3; ++e, lx += 110) {
    svg.Circle(lx + 5, kHeight - 10, 3.5, kMarkColours[e]);
    svg.Text(lx + 12, kHeight - 7, kMarkNames[e], 11, SvgWriter::Anchor::kStart);
  }
  return svg.Finish();
}

}  // namespace lab
