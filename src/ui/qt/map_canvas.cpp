#include "ui/qt/map_canvas.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

#include "records/map_svg.h"
#include "setup/number_text.h"

namespace lab {

namespace {

// Margins around the cells (pixels): room for the ticks and labels on the
// left and below, for the legend on the right.
constexpr int kLeft = 64, kRight = 170, kTop = 10, kBottom = 42;
constexpr int kTick = 4;

QColor ColourOf(const RgbColour& c) { return QColor(c[0], c[1], c[2]); }

}  // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MapCanvas"));
  setMouseTracking(true);
  setMinimumSize(kLeft + kRight + 200, kTop + kBottom + 120);
  setAutoFillBackground(true);
}

void MapCanvas::SetAxes(const MapAxes& axes, MapColouring colouring) {
  axes_ = axes;
  colouring_ = colouring;
  update();
}

void MapCanvas::Clear() {
  cells_ = QImage();
  rows_ = 0;
  columns_ = 0;
  present_.clear();
  untrusted_.clear();
  update();
}

void MapCanvas::Show(const MapGrid& grid, MapColouring colouring) {
  colouring_ = colouring;
  rows_ = grid.rows;
  columns_ = grid.columns;
  if (cells_.width() != columns_ || cells_.height() != rows_)
    cells_ = QImage(static_cast<int>(columns_), rows_, QImage::Format_RGB32);
  scale_ = RatioRange(grid);
  present_.assign(2 * kEnds + 1, false);
  untrusted_.clear();
  for (int row = 0; row < rows_; ++row) {
    auto* line = reinterpret_cast<QRgb*>(cells_.scanLine(rows_ - 1 - row));
    for (std::int64_t c = 0; c < columns_; ++c) {
      const std::int64_t cell = row * columns_ + c;
      const RgbColour colour = CellColour(grid, scale_, colouring_, cell);
      line[c] = qRgb(colour[0], colour[1], colour[2]);
      const int o = grid.outcome[static_cast<std::size_t>(cell)];
      present_[o < 0 ? 2 * kEnds : o] = true;
      if (grid.untrusted[static_cast<std::size_t>(cell)]) untrusted_.push_back(cell);
    }
  }
  update();
}

QRect MapCanvas::Plot() const {
  return QRect(kLeft, kTop, std::max(1, width() - kLeft - kRight),
               std::max(1, height() - kTop - kBottom));
}

std::int64_t MapCanvas::CellAt(QPoint point) const {
  const QRect plot = Plot();
  if (columns_ <= 0 || rows_ <= 0 || !plot.contains(point)) return -1;
  const auto c = static_cast<std::int64_t>((point.x() - plot.left()) * columns_ / plot.width());
  const int from_top = (point.y() - plot.top()) * rows_ / plot.height();
  return (rows_ - 1 - from_top) * columns_ + c;
}

QPoint MapCanvas::CentreOf(std::int64_t cell) const {
  const QRect plot = Plot();
  const std::int64_t c = cell % columns_;
  const std::int64_t from_top = rows_ - 1 - cell / columns_;
  return {plot.left() + static_cast<int>((2 * c + 1) * plot.width() / (2 * columns_)),
          plot.top() + static_cast<int>((2 * from_top + 1) * plot.height() / (2 * rows_))};
}

// Where a value lies along an axis of cells evenly spaced (in the logarithm
// on a log axis), measured from the axis' start to the centre of its cell.
double MapCanvas::Offset(double value, const std::vector<double>& values, bool log,
                         int extent) const {
  const auto n = static_cast<double>(values.size());
  if (values.empty()) return std::nan("");
  const double first = log ? std::log10(values.front()) : values.front();
  const double last = log ? std::log10(values.back()) : values.back();
  const double v = log ? std::log10(value) : value;
  const double k = values.size() == 1 ? 0 : (v - first) / (last - first) * (n - 1);
  if (!(k >= -0.5 && k <= n - 0.5)) return std::nan("");
  return (k + 0.5) * extent / n;
}

void MapCanvas::DrawAxes(QPainter& painter, const QRect& plot) const {
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawRect(plot.adjusted(0, 0, -1, -1));
  const QFontMetrics metrics(font());
  if (!axes_.xs.empty()) {
    const double lo = std::min(axes_.xs.front(), axes_.xs.back());
    const double hi = std::max(axes_.xs.front(), axes_.xs.back());
    for (double t : LinearTicks(lo, hi, 6)) {
      const double off = Offset(t, axes_.xs, false, plot.width());
      if (std::isnan(off)) continue;
      const int x = plot.left() + static_cast<int>(off);
      painter.drawLine(x, plot.bottom(), x, plot.bottom() + kTick);
      const QString text = QString::fromStdString(NumberText(t));
      painter.drawText(x - metrics.horizontalAdvance(text) / 2, plot.bottom() + kTick + metrics.ascent() + 1, text);
    }
  }
  if (!axes_.ys.empty()) {
    const double lo = std::min(axes_.ys.front(), axes_.ys.back());
    const double hi = std::max(axes_.ys.front(), axes_.ys.back());
    const std::vector<double> ticks = axes_.y_log ? LogTicks(lo, hi) : LinearTicks(lo, hi, 5);
    for (double t : ticks) {
      const double off = Offset(t, axes_.ys, axes_.y_log, plot.height());
      if (std::isnan(off)) continue;
      const int y = plot.bottom() - static_cast<int>(off);
      painter.drawLine(plot.left() - kTick, y, plot.left(), y);
      const QString text = QString::fromStdString(NumberText(t));
      painter.drawText(plot.left() - kTick - 2 - metrics.horizontalAdvance(text), y + metrics.ascent() / 2, text);
    }
  }
  painter.drawText(QRect(plot.left(), height() - metrics.height() - 2, plot.width(), metrics.height()),
                   Qt::AlignHCenter, axes_.x_label);
  painter.save();
  painter.translate(metrics.height() / 2 + 2, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-plot.height() / 2, -metrics.height() / 2, plot.height(), metrics.height()),
                   Qt::AlignHCenter, axes_.y_label);
  painter.restore();
}

void MapCanvas::DrawLegend(QPainter& painter, const QRect& plot) const {
  const QFontMetrics metrics(font());
  const int x = plot.right() + 16;
  int y = plot.top();
  if (colouring_ == MapColouring::kEnd) {
    painter.drawText(x, y + metrics.ascent(), QStringLiteral("end of the test"));
    for (int o = 0; o < static_cast<int>(present_.size()); ++o) {
      if (!present_[o]) continue;
      y += metrics.height() + 4;
      const int outcome = o < 2 * kEnds ? o : -1;
      painter.fillRect(x, y, 12, 12, ColourOf(OutcomeColour(outcome)));
      painter.drawRect(x, y, 12, 12);
      painter.drawText(x + 18, y + 11, QString::fromStdString(OutcomeLabel(outcome)));
    }
    if (!untrusted_.empty()) UntrustedSwatch(painter, x, y + metrics.height() + 4);
    return;
  }
  painter.drawText(x, y + metrics.ascent(), QStringLiteral("ratio (log scale)"));
  const int top = y + metrics.height() + 4, bar = std::max(20, plot.bottom() - top - 24);
  for (int k = 0; k < bar; ++k)
    painter.fillRect(x, top + bar - 1 - k, 14, 1, ColourOf(Viridis((k + 0.5) / bar)));
  painter.drawRect(x, top, 14, bar);
  if (scale_.any) {
    for (double t : LogTicks(std::pow(10, scale_.lo), std::pow(10, scale_.hi))) {
      const int ty = top + bar - static_cast<int>(scale_.Position(t) * bar);
      if (ty < top || ty > top + bar) continue;
      painter.drawLine(x + 14, ty, x + 14 + kTick, ty);
      painter.drawText(x + 20, ty + metrics.ascent() / 2, QString::fromStdString(NumberText(t)));
    }
  }
  painter.fillRect(x, top + bar + 8, 12, 12, ColourOf(NoRatioColour()));
  painter.drawRect(x, top + bar + 8, 12, 12);
  painter.drawText(x + 18, top + bar + 19, QStringLiteral("no ratio (absorbed)"));
  if (!untrusted_.empty()) UntrustedSwatch(painter, x, top + bar + 8 + metrics.height() + 4);
}

// The cells of untrusted tests: black diagonal hatching over their colour.
void MapCanvas::DrawUntrusted(QPainter& painter, const QRect& plot) const {
  if (untrusted_.empty() || columns_ <= 0 || rows_ <= 0) return;
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(QBrush(Qt::black, Qt::BDiagPattern));
  for (std::int64_t cell : untrusted_) {
    const std::int64_t c = cell % columns_, from_top = rows_ - 1 - cell / columns_;
    const auto x0 = static_cast<int>(c * plot.width() / columns_);
    const auto x1 = static_cast<int>((c + 1) * plot.width() / columns_);
    const auto y0 = static_cast<int>(from_top * plot.height() / rows_);
    const auto y1 = static_cast<int>((from_top + 1) * plot.height() / rows_);
    painter.drawRect(plot.left() + x0, plot.top() + y0, x1 - x0, y1 - y0);
  }
  painter.restore();
}

void MapCanvas::UntrustedSwatch(QPainter& painter, int x, int y) const {
  painter.fillRect(x, y, 12, 12, Qt::white);
  painter.fillRect(x, y, 12, 12, QBrush(Qt::black, Qt::BDiagPattern));
  painter.drawRect(x, y, 12, 12);
  // Two lines: the legend's column is narrow.
  const QString label = QString::fromStdString(UntrustedLabel());
  const auto at = label.indexOf(QStringLiteral(" ("));
  painter.drawText(x + 18, y + 11, label.left(at));
  painter.drawText(x + 18, y + 11 + QFontMetrics(font()).height(), label.mid(at + 1));
}

void MapCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect plot = Plot();
  if (!cells_.isNull()) painter.drawImage(plot, cells_);  // each cell a block, not smoothed
  DrawUntrusted(painter, plot);
  DrawAxes(painter, plot);
  DrawLegend(painter, plot);
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
  const std::int64_t cell = CellAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && cell >= 0) emit cellClicked(cell);
}

bool MapCanvas::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const std::int64_t cell = CellAt(help->pos());
  const QString tip = cell >= 0 && tips_ ? tips_(cell) : QString();
  if (tip.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), tip, this);
  }
  return true;
}

}  // namespace lab
